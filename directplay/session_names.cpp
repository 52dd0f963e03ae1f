// The session's use of its name table: who may add to it and remove from it, how a sender is
// known, and what is told of players.

#include <algorithm>

#include "directplay/errors.h"
#include "directplay/session.h"
#include "directplay/session_internal.h"

namespace directplay {

using wire::Bytes;
using wire::Command;
using namespace session_internal;

Session::Machine* Session::SenderOf(const wire::Frame& frame, std::uint32_t peerIp) {
    // Machines are told apart by address; the listening port is what the frame says.
    return m_names.MachineAt(peerIp, frame.sender.port);
}

bool Session::FromHost(const wire::Frame& frame, std::uint32_t peerIp) {
    const Machine* sender = SenderOf(frame, peerIp);
    if (!sender)
        return false;
    // While joining, the host is the machine we asked (its system player not yet known).
    if (m_phase == Phase::Joining && sender->systemId == 0)
        return true;
    return sender->systemId == m_hostSystemId && m_hostSystemId != 0;
}

void Session::CreateFromMessage(const wire::Frame& frame, std::uint32_t peerIp, Connection* from) {
    auto message = wire::DecodePlayerCreate(frame.body, false);
    if (!message)
        return Malformed(from);
    const wire::PlayerInfo& info = message->player;
    if (m_names.Contains(info.id) || info.id == 0)
        return;
    // A machine creates its own application players; the host may tell of anybody's.
    const Machine* sender = SenderOf(frame, peerIp);
    const bool host = sender && sender->systemId == m_hostSystemId;
    const bool own = sender && sender->systemId == info.systemPlayerId &&
                     !(info.flags & wire::player_flag::kSystem);
    // Hosting, we know which IDs we handed to whom: a machine creates only the player whose ID
    // it was given.
    if (!(host || own) || (IsHost() && !ClaimCreated(info, sender)) ||
        !AddRemotePlayer(info, peerIp))
        return Refuse(from);
    Notice(system_message::kCreatePlayer, info.id);
    // A machine that joined while we created a player may have missed that player: a peer of
    // dialect 13 or later is told again, once per player of the last 40 seconds. A
    // verification is never answered with one, so the exchange cannot loop.
    const bool verify = frame.command == Command::CreatePlayer && !IsHost() &&
                        !(info.flags & wire::player_flag::kSystem) && frame.version >= 13;
    if (!verify)
        return;
    Machine* creator = m_names.MachineOf(info.systemPlayerId);
    if (!creator)
        return;
    const std::int64_t now = NowMs();
    std::erase_if(m_recentLocal, [&](const auto& p) { return now - p.second > 40000; });
    for (const auto& [id, created] : m_recentLocal) {
        const Player* player = m_names.Find(id);
        if (!player)
            continue;
        wire::PlayerCreate create;
        create.playerId = id;
        create.player = InfoOf(*player);
        SendSystem(*creator, Command::CreatePlayerVerify, wire::EncodeCreatePlayer(create));
    }
}

bool Session::AddRemotePlayer(const wire::PlayerInfo& info, std::uint32_t peerIp) {
    if (info.id == m_systemId && m_systemId != 0)
        return true;
    // Nobody fills the name table beyond what the session can hold: its maximum of
    // application players, a machine for each and the host's, within hard ceilings.
    const bool system = info.flags & wire::player_flag::kSystem;
    const NameTable::Limits limits{m_desc.maxPlayers, m_options.maxMachines, m_options.maxPlayers};
    if (!m_names.Contains(info.id) && !m_names.HasRoomFor(system, limits))
        return false;
    Player player;
    player.id = info.id;
    player.systemId = (info.flags & wire::player_flag::kSystem) ? info.id : info.systemPlayerId;
    player.flags = info.flags;
    player.shortName = info.shortName;
    player.longName = info.longName;
    if (info.playerData.size() <= m_options.maxPlayerData)
        player.data = info.playerData;  // more than a player may carry is left out
    if (player.flags & wire::player_flag::kSystem) {
        Machine machine;
        machine.systemId = info.id;
        // 0.0.0.0 means "where this came from"; the host fills in joiners' real addresses.
        const std::uint32_t streamIp = info.stream.address ? info.stream.address : peerIp;
        machine.stream = {streamIp, info.stream.port};
        machine.datagram = {info.datagram.address ? info.datagram.address : streamIp,
                            info.datagram.port};
        if ((info.flags & wire::player_flag::kNameServer) && !IsHost())
            m_hostSystemId = info.id;
        // The host is reached where we joined it, whatever its packed player says.
        if (info.id == m_hostSystemId && !IsHost()) {
            if (Machine* known = m_names.MachineOf(info.id))
                machine.stream = known->stream;
        }
        if (const auto displaced = m_names.PutMachine(machine))
            MachineLost(*displaced);
    }
    m_names.Put(std::move(player));
    if (IsHost())
        RecountPlayers();
    return true;
}

void Session::RemovePlayer(std::int32_t id, bool notify) {
    if (m_names.Remove(id) && notify)
        Notice(system_message::kDestroyPlayer, id);
    if (IsHost())
        RecountPlayers();
}

void Session::RecountPlayers() {
    // Players of the session and those whose IDs are handed out and on their way.
    m_desc.currentPlayers =
        m_names.ApplicationPlayerCount() + static_cast<std::uint32_t>(m_ids.Reserved(false));
}

bool Session::ClaimCreated(const wire::PlayerInfo& info, const Machine* sender) {
    if (!sender)
        return false;
    const bool claimed = m_ids.Claim(info.id, {sender->stream.address, sender->stream.port}, false);
    if (claimed)
        RecountPlayers();
    return claimed;
}

wire::PlayerInfo Session::InfoOf(const Player& player) const {
    wire::PlayerInfo info;
    info.flags = player.flags;
    info.id = player.id;
    info.systemPlayerId = player.systemId;
    info.version = m_version;
    info.shortName = player.shortName;
    info.longName = player.longName;
    info.playerData = player.data;
    if (player.systemId == m_systemId) {
        info.hasAddresses = true;
        info.stream = {0, TcpPort()};
        info.datagram = {0, UdpPort()};
    } else if (const Machine* machine = m_names.MachineOf(player.systemId)) {
        info.hasAddresses = true;
        info.stream = machine->stream;
        info.datagram = machine->datagram;
    }
    return info;
}

std::optional<std::u16string> Session::FriendlyName(std::int32_t id) const {
    const Player* player = m_names.Find(id);
    if (!player)
        return std::nullopt;
    return player->shortName;
}

std::vector<std::int32_t> Session::PlayerIds() const {
    return m_names.ApplicationPlayerIds();
}

}  // namespace directplay
