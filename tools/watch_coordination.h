#pragma once

// watch as a controller (--position): marks its player, announces itself to the other
// coordinating players, keeps the board from their messages, runs the commands it is given
// (one a tick, each waiting up to kCommandWaitMs until it can apply) and prints the
// controllers, owners, offers and new controllers' chat lines with each second's line.

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "link/coordinator.h"
#include "link/link.h"
#include "tools/json_writer.h"

namespace directplay {
class DirectPlay4;
}

namespace tools {

class WatchCoordinator {
public:
    static constexpr std::int64_t kCommandWaitMs = 15000;

    WatchCoordinator(directplay::DirectPlay4& play, std::int32_t me, std::string position,
                     std::string frequency, std::int64_t nowMs);
    // Replays a recording's coordination: no session, the board from the recorded messages.
    explicit WatchCoordinator(std::int32_t me);

    void AddCommand(const std::string& line);
    // One tick of the message loop: its coordination messages and departures, then the next
    // command. Failed commands, and another controller at our position, go to `errors`.
    void Tick(const mplink::TickResult& tick, std::int64_t nowMs, std::vector<std::string>& errors);
    // "controllers", "owners", "offers" and "atc" into the open object of a printed line.
    // A recorded tick's coordination messages, then its departures and lapsed offers.
    void Replay(const std::vector<coord::Coordinator::Applied>& recorded,
                const std::vector<std::int32_t>& departed, std::int64_t nowMs);
    void Write(JsonWriter& out);
    const coord::Board& Board() const { return m_coordinator.Board(); }
    std::uint64_t Refused() const { return m_coordinator.Refused(); }
    // What the board took since the last call, for a recording.
    std::vector<coord::Coordinator::Applied> TakeApplied() { return m_coordinator.TakeApplied(); }

private:
    coord::Outcome Run(const std::string& line, std::int64_t now, std::string& why);
    void Heard(const coord::Events& events);

    std::unique_ptr<coord::DirectPlaySession> m_session;
    coord::Coordinator m_coordinator;
    std::deque<std::string> m_commands;
    std::int64_t m_commandSince = -1;
    std::vector<std::string> m_atc;       // new lines since the last printed one
    std::vector<std::string> m_warnings;  // for standard error
};

}  // namespace tools
