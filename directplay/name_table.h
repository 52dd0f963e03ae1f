#pragma once

// The session's name table: every player of the session and every machine (by its system
// player) with the addresses it is reached at. It holds no sockets and sends nothing: the
// session asks it who someone is, whether the session has room for one more, and whether a
// machine may speak for a player.

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "directplay/wire.h"

namespace directplay {

class NameTable {
public:
    struct Player {
        std::int32_t id = 0;
        std::int32_t systemId = 0;
        std::uint32_t flags = 0;
        std::u16string shortName;
        std::u16string longName;
        bool local = false;
        wire::Bytes data;  // the player's game data ("remote data"), as its machine set it

        bool IsSystem() const { return flags & wire::player_flag::kSystem; }
    };
    struct Machine {
        std::int32_t systemId = 0;
        wire::SockAddr stream;
        wire::SockAddr datagram;
        bool heard = true;
        int missedPings = 0;
        // Joined: in a session with the reliable protocol, traffic to it goes in its frames.
        bool joined = true;
    };
    // What the session can hold: its own maximum of application players (0: no maximum), a
    // machine for each and the host's, within hard ceilings.
    struct Limits {
        std::size_t sessionMax = 0;
        std::size_t maxMachines = 0;
        std::size_t maxPlayers = 0;
    };

    const Player* Find(std::int32_t id) const;
    Player* Find(std::int32_t id);
    bool Contains(std::int32_t id) const { return m_players.count(id) != 0; }
    const Machine* MachineOf(std::int32_t systemId) const;
    Machine* MachineOf(std::int32_t systemId);
    // Machines are told apart by address and listening port.
    Machine* MachineAt(std::uint32_t ip, std::uint16_t streamPort);

    // Whether a player not yet listed fits (a system player needs a machine's place).
    bool HasRoomFor(bool system, const Limits& limits) const;
    void Put(Player player) { m_players[player.id] = std::move(player); }
    // A machine listens where no other can: one already listed at the same address and port
    // (its stream or its datagram port) is gone (its process left, and the port was taken
    // again). It is no longer found there
    // nor sent to, and its system player is returned for the session to remove.
    std::optional<std::int32_t> PutMachine(const Machine& machine);
    bool Remove(std::int32_t id) { return m_players.erase(id) != 0; }
    // The machine goes; its players' IDs are returned, the system player's first, for the
    // session to remove and tell of.
    std::vector<std::int32_t> RemoveMachine(std::int32_t systemId);
    void Clear();

    // Whether a message from `message.from` may come from `sender`: a player of that machine,
    // or anybody's when the host relays it; never one of ours, never a player nobody created.
    bool MayCarry(const wire::PlayerMessage& message, const Machine* sender,
                  std::int32_t hostSystemId) const;
    // The session's own player with the host's mark moved to `hostId`.
    void MarkHost(std::int32_t hostId);

    std::uint32_t ApplicationPlayerCount() const;
    std::vector<std::int32_t> ApplicationPlayerIds() const;
    const std::map<std::int32_t, Player>& Players() const { return m_players; }
    const std::map<std::int32_t, Machine>& Machines() const { return m_machines; }
    std::map<std::int32_t, Machine>& Machines() { return m_machines; }

private:
    std::map<std::int32_t, Player> m_players;
    std::map<std::int32_t, Machine> m_machines;  // remote machines by system player
};

}  // namespace directplay
