// The name table: the session's players and machines, who may speak for whom, and what is
// told of them.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QHostInfo>
#include <QNetworkDatagram>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUdpSocket>
#include <algorithm>

#include "platform/directplay/errors.h"
#include "platform/directplay/session.h"
#include "platform/directplay/session_internal.h"

namespace platform::directplay {

using wire::Bytes;
using wire::Command;
using namespace session_internal;

Session::Machine* Session::SenderOf(const wire::Frame& frame, std::uint32_t peerIp) {
    // Machines are told apart by address; the listening port is what the frame says.
    return MachineAt(peerIp, frame.sender.port);
}

bool Session::FromHost(const wire::Frame& frame, std::uint32_t peerIp) {
    const Machine* sender = SenderOf(frame, peerIp);
    if (!sender)
        return false;
    // While joining, the host is the machine we asked (its system player not yet known).
    if (m_joining && sender->systemId == 0)
        return true;
    return sender->systemId == m_hostSystemId && m_hostSystemId != 0;
}

bool Session::MayCarry(const wire::PlayerMessage& message, const Machine* sender) const {
    if (!sender)
        return false;
    if (message.from == -1)  // the session carries no IDs: the sending machine must do
        return true;
    auto player = m_players.find(message.from);
    if (player == m_players.end() || player->second.local)
        return false;
    return player->second.systemId == sender->systemId || sender->systemId == m_hostSystemId;
}

void Session::CreateFromMessage(const wire::Frame& frame, std::uint32_t peerIp, Connection* from) {
    auto message = wire::DecodePlayerCreate(frame.body, false);
    if (!message)
        return Malformed(from);
    const wire::PlayerInfo& info = message->player;
    if (m_players.count(info.id) || info.id == 0)
        return;
    // A machine creates its own application players; the host may tell of anybody's.
    const Machine* sender = SenderOf(frame, peerIp);
    const bool host = sender && sender->systemId == m_hostSystemId;
    const bool own = sender && sender->systemId == info.systemPlayerId &&
                     !(info.flags & wire::player_flag::kSystem);
    if (!(host || own) || !AddRemotePlayer(info, peerIp))
        return Refuse(from);
    Notice(system_message::kCreatePlayer, info.id);
    // A machine that joined while we created a player may have missed that player: a peer of
    // dialect 13 or later is told again, once per player of the last 40 seconds. A
    // verification is never answered with one, so the exchange cannot loop.
    const bool verify = frame.command == Command::CreatePlayer && m_state != State::Hosting &&
                        !(info.flags & wire::player_flag::kSystem) && frame.version >= 13;
    if (!verify)
        return;
    Machine* creator = MachineOf(info.systemPlayerId);
    if (!creator)
        return;
    const std::int64_t now = TickCount();
    std::erase_if(m_recentLocal, [&](const auto& p) { return now - p.second > 40000; });
    for (const auto& [id, created] : m_recentLocal) {
        auto player = m_players.find(id);
        if (player == m_players.end())
            continue;
        wire::PlayerCreate create;
        create.playerId = id;
        create.player = InfoOf(player->second);
        SendSystem(*creator, Command::CreatePlayerVerify, wire::EncodeCreatePlayer(create));
    }
}

bool Session::AddRemotePlayer(const wire::PlayerInfo& info, std::uint32_t peerIp) {
    if (info.id == m_systemId && m_systemId != 0)
        return true;
    // Nobody fills the name table beyond what the session can hold: its maximum of
    // application players, a machine for each and the host's, within hard ceilings.
    const bool system = info.flags & wire::player_flag::kSystem;
    const std::size_t sessionMax = m_desc.maxPlayers;
    const std::size_t machineCap =
        std::min(m_options.maxMachines, sessionMax ? sessionMax + 1 : m_options.maxMachines);
    std::size_t applicationPlayers = 0;
    for (const auto& [id, known] : m_players)
        applicationPlayers += !(known.flags & wire::player_flag::kSystem);
    const std::size_t playerCap =
        std::min(m_options.maxPlayers, sessionMax ? sessionMax : m_options.maxPlayers);
    if (!m_players.count(info.id) &&
        (system ? m_machines.size() >= machineCap : applicationPlayers >= playerCap))
        return false;
    Player player;
    player.id = info.id;
    player.systemId = (info.flags & wire::player_flag::kSystem) ? info.id : info.systemPlayerId;
    player.flags = info.flags;
    player.shortName = info.shortName;
    player.longName = info.longName;
    if (player.flags & wire::player_flag::kSystem) {
        Machine machine;
        machine.systemId = info.id;
        // 0.0.0.0 means "where this came from"; the host fills in joiners' real addresses.
        const std::uint32_t streamIp = info.stream.address ? info.stream.address : peerIp;
        machine.address = QHostAddress(streamIp);
        machine.stream = {streamIp, info.stream.port};
        machine.datagram = {info.datagram.address ? info.datagram.address : streamIp,
                            info.datagram.port};
        if (info.flags & wire::player_flag::kNameServer)
            m_hostSystemId = info.id;
        // The host is reached where we joined it, whatever its packed player says.
        if (info.id == m_hostSystemId && m_state == State::Joined) {
            if (Machine* known = MachineOf(info.id))
                machine.stream = known->stream, machine.address = known->address;
        }
        m_machines[info.id] = machine;
    }
    // A host that took over may learn of players the old host created after it left.
    if (m_state == State::Hosting)
        CountIssued(player.id);
    m_players[player.id] = std::move(player);
    return true;
}

const Session::Player* Session::FindPlayer(std::int32_t id) const {
    auto it = m_players.find(id);
    return it == m_players.end() ? nullptr : &it->second;
}

void Session::RemovePlayer(std::int32_t id, bool notify) {
    if (m_players.erase(id) && notify)
        Notice(system_message::kDestroyPlayer, id);
    if (m_state == State::Hosting)
        RecountPlayers();
}

void Session::RecountPlayers() {
    std::uint32_t players = 0;
    for (const auto& [id, player] : m_players)
        players += !(player.flags & wire::player_flag::kSystem);
    m_desc.currentPlayers = players;
}

Session::Machine* Session::MachineOf(std::int32_t systemId) {
    auto it = m_machines.find(systemId);
    return it == m_machines.end() ? nullptr : &it->second;
}

Session::Machine* Session::MachineAt(std::uint32_t ip, std::uint16_t streamPort) {
    for (auto& [id, machine] : m_machines)
        if (machine.stream.port == streamPort && machine.stream.address == ip)
            return &machine;
    return nullptr;
}

wire::PlayerInfo Session::InfoOf(const Player& player) const {
    wire::PlayerInfo info;
    info.flags = player.flags;
    info.id = player.id;
    info.systemPlayerId = player.systemId;
    info.version = m_version;
    info.shortName = player.shortName;
    info.longName = player.longName;
    if (player.systemId == m_systemId) {
        info.hasAddresses = true;
        info.stream = {0, TcpPort()};
        info.datagram = {0, UdpPort()};
    } else if (auto machine = m_machines.find(player.systemId); machine != m_machines.end()) {
        info.hasAddresses = true;
        info.stream = machine->second.stream;
        info.datagram = machine->second.datagram;
    }
    return info;
}

std::optional<std::u16string> Session::FriendlyName(std::int32_t id) const {
    auto it = m_players.find(id);
    if (it == m_players.end())
        return std::nullopt;
    return it->second.shortName;
}

std::vector<std::int32_t> Session::PlayerIds() const {
    std::vector<std::int32_t> ids;
    for (const auto& [id, player] : m_players)
        if (!(player.flags & wire::player_flag::kSystem))
            ids.push_back(id);
    return ids;
}

}  // namespace platform::directplay
