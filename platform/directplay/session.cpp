#include "platform/directplay/session.h"

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

namespace platform::directplay {

using wire::Bytes;
using wire::Command;

namespace {

constexpr std::uint16_t kFirstStreamPort = 2300;
constexpr std::uint16_t kLastStreamPort = 2349;
constexpr std::uint16_t kFirstDatagramPort = 2350;
constexpr std::uint16_t kLastDatagramPort = 2399;
constexpr int kEnumResendMs = 500;
constexpr int kMaxUnansweredPings = 8;

std::uint32_t TickCount() {
    static QElapsedTimer clock = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return static_cast<std::uint32_t>(clock.elapsed());
}

std::uint32_t Ipv4(const QHostAddress& address) {
    bool ok = false;
    const std::uint32_t v = address.toIPv4Address(&ok);
    return ok ? v : 0;
}

template <typename Socket>
bool BindInRange(Socket& bind, std::uint16_t wanted, std::uint16_t first, std::uint16_t last) {
    if (wanted != 0)
        return bind(wanted);
    for (std::uint32_t port = first; port <= last; ++port) {
        if (bind(static_cast<std::uint16_t>(port)))
            return true;
    }
    return bind(0);
}

[[noreturn]] void Fail(std::int32_t code, const std::string& text) {
    throw DirectPlayError(code, text);
}

}  // namespace

Session::Session(SessionOptions options, QObject* parent)
    : QObject(parent), m_options(std::move(options)) {
    m_pingTimer.setInterval(m_options.pingIntervalMs);
    connect(&m_pingTimer, &QTimer::timeout, this, &Session::PingTick);
}

Session::~Session() {
    for (auto& [socket, connection] : m_connections) {
        socket->disconnect(this);
        socket->abort();
        delete socket;
    }
    m_connections.clear();
}

void Session::OpenSockets() {
    if (m_server)
        return;
    m_server = new QTcpServer(this);
    auto listen = [&](std::uint16_t port) { return m_server->listen(m_options.bindAddress, port); };
    if (!BindInRange(listen, m_options.tcpPort, kFirstStreamPort, kLastStreamPort))
        Fail(hresult::kUnavailable, "no TCP port to listen on");
    connect(m_server, &QTcpServer::newConnection, this, &Session::OnNewConnection);

    m_udp = new QUdpSocket(this);
    auto bindUdp = [&](std::uint16_t port) { return m_udp->bind(m_options.bindAddress, port); };
    if (!BindInRange(bindUdp, m_options.udpPort, kFirstDatagramPort, kLastDatagramPort))
        Fail(hresult::kUnavailable, "no UDP port to bind");
    connect(m_udp, &QUdpSocket::readyRead, this, [this] { OnDatagrams(m_udp); });
}

std::uint16_t Session::TcpPort() const {
    return m_server ? m_server->serverPort() : 0;
}
std::uint16_t Session::UdpPort() const {
    return m_udp ? m_udp->localPort() : 0;
}
std::uint16_t Session::EnumPort() const {
    return m_enumUdp ? m_enumUdp->localPort() : 0;
}

// ---------------------------------------------------------------------------------------------
// Sockets

void Session::OnNewConnection() {
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        // A flood of connections costs the flooder, not the session: beyond the limit new
        // ones are closed at once.
        if (m_connections.size() >= m_options.maxConnections) {
            ++m_refusedConnections;
            socket->abort();
            socket->deleteLater();
            continue;
        }
        Attach(socket, false, 0);
    }
}

void Session::Attach(QTcpSocket* socket, bool outgoing, std::uint16_t port) {
    auto connection = std::make_unique<Connection>();
    connection->socket = socket;
    connection->outgoing = outgoing;
    connection->peerPort = port;
    connection->peerIp = Ipv4(socket->peerAddress());
    socket->setParent(this);
    socket->setReadBufferSize(1 << 20);
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { OnReadable(socket); });
    connect(socket, &QTcpSocket::disconnected, this, [this, socket] { OnSocketGone(socket); });
    connect(socket, &QTcpSocket::errorOccurred, this, [this, socket] { OnSocketGone(socket); });
    m_connections[socket] = std::move(connection);
    if (!outgoing && socket->bytesAvailable() > 0)
        OnReadable(socket);
}

void Session::OnReadable(QTcpSocket* socket) {
    auto it = m_connections.find(socket);
    if (it == m_connections.end())
        return;
    Connection* connection = it->second.get();
    if (connection->peerIp == 0)
        connection->peerIp = Ipv4(socket->peerAddress());
    const QByteArray bytes = socket->readAll();
    connection->framer.Append({reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                               static_cast<std::size_t>(bytes.size())});
    while (auto frame = connection->framer.Next()) {
        HandleFrame(*frame, connection->peerIp, connection);
        // Handling may have closed the session or dropped this connection.
        if (m_connections.find(socket) == m_connections.end())
            return;
    }
    if (connection->framer.Broken()) {
        ++m_malformed;
        OnSocketGone(socket);
    }
}

void Session::OnSocketGone(QTcpSocket* socket) {
    auto it = m_connections.find(socket);
    if (it == m_connections.end())
        return;
    const bool outgoing = it->second->outgoing;
    const std::uint32_t peerIp = it->second->peerIp;
    const std::uint16_t peerPort = it->second->peerPort;
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
    m_connections.erase(it);
    for (auto out = m_outgoing.begin(); out != m_outgoing.end();) {
        if (out->second == socket)
            out = m_outgoing.erase(out);
        else
            ++out;
    }
    if (!IsOpen())
        return;
    // Only the link we send on tells reliably which machine went away: an incoming
    // connection may come from anybody.
    if (outgoing) {
        if (Machine* machine = MachineAt(peerIp, peerPort))
            MachineLost(machine->systemId);
    }
}

void Session::OnDatagrams(QUdpSocket* socket) {
    while (socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = socket->receiveDatagram(wire::kMaxFrameSize);
        const QByteArray data = datagram.data();
        const std::span<const std::uint8_t> bytes{
            reinterpret_cast<const std::uint8_t*>(data.constData()),
            static_cast<std::size_t>(data.size())};
        const std::uint32_t peerIp = Ipv4(datagram.senderAddress());
        auto frame = wire::DecodeFrame(bytes);
        if (frame && frame->isSystem) {
            if (frame->command == Command::EnumSessions && m_state == State::Hosting)
                AnswerEnum(*frame, peerIp);
            else if (socket == m_udp)
                HandleSystem(*frame, peerIp, nullptr);
            emit progressed();
            continue;
        }
        // With the reliable protocol every other datagram is one of its frames, bare or (read
        // all the same) behind a service-provider prefix.
        if (socket == m_udp && IsOpen() && (m_desc.flags & wire::session_flag::kReliableProtocol)) {
            if (frame)
                OnReliableDatagram(frame->body, peerIp);
            else
                OnReliableDatagram(bytes, peerIp);
            continue;
        }
        // Unguaranteed player messages come as [idFrom][idTo][data] without any prefix.
        if (socket == m_udp && IsOpen()) {
            const bool noIds = m_desc.flags & wire::session_flag::kNoMessageId;
            auto message = wire::DecodePlayerPayload(bytes, noIds);
            // Without a prefix the sender is known by its address alone.
            const Player* player = message ? FindPlayer(message->from) : nullptr;
            const Machine* sender = player ? MachineOf(player->systemId) : nullptr;
            if (message && sender && sender->stream.address == peerIp && MayCarry(*message, sender))
                HandlePlayerMessage(*message);
            else if (message)
                ++m_refusedMessages;
            else
                ++m_malformed;
        }
    }
}

void Session::HandleFrame(const Bytes& bytes, std::uint32_t peerIp, Connection* from) {
    auto frame = wire::DecodeFrame(bytes);
    if (!frame) {
        Malformed(from);
        return;
    }
    if (Machine* machine = MachineAt(peerIp, frame->sender.port)) {
        machine->heard = true;
        machine->missedPings = 0;
    }
    if (frame->isSystem) {
        HandleSystem(*frame, peerIp, from);
    } else if (IsOpen()) {
        const bool noIds = m_desc.flags & wire::session_flag::kNoMessageId;
        if (auto message = wire::DecodePlayerPayload(frame->body, noIds)) {
            // Dropped before the queue: a message from a player nobody created, or from a
            // player of another machine than the one that sent it (unless the host relays).
            if (MayCarry(*message, SenderOf(*frame, peerIp)))
                HandlePlayerMessage(*message);
            else
                Refuse(from);
        } else {
            Malformed(from);
        }
    }
    emit progressed();
}

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

void Session::Refuse(Connection* from) {
    ++m_refusedMessages;
    Malformed(from);
}

void Session::Malformed(Connection* from) {
    ++m_malformed;
    if (from && ++from->malformed > m_options.malformedLimit) {
        QTcpSocket* socket = from->socket;
        QTimer::singleShot(0, this, [this, socket] { OnSocketGone(socket); });
    }
}

// ---------------------------------------------------------------------------------------------
// Messages of both roles

void Session::HandleSystem(const wire::Frame& frame, std::uint32_t peerIp, Connection* from) {
    const auto& body = frame.body;
    switch (frame.command) {
        case Command::EnumSessionsReply:
            if (m_enumerating) {
                auto reply = wire::DecodeEnumSessionsReply(body);
                if (!reply)
                    return Malformed(from);
                FoundSession found{
                    reply->desc, reply->name, QHostAddress(peerIp), frame.sender.port,
                    std::clamp(frame.version, wire::kOldestVersion, wire::kNewestVersion)};
                auto same = std::find_if(
                    m_found.begin(), m_found.end(),
                    [&](const FoundSession& s) { return s.desc.instance == found.desc.instance; });
                if (same != m_found.end())
                    *same = found;
                else
                    m_found.push_back(found);
            }
            return;
        case Command::RequestPlayerId:
            if (m_state == State::Hosting)
                AnswerRequestPlayerId(frame, peerIp, from);
            return;
        case Command::RequestPlayerReply:
            // A reply that answers no request of ours is ignored.
            if (!m_requestOutstanding)
                return;
            if (!FromHost(frame, peerIp))
                return Refuse(from);
            if (auto reply = wire::DecodeRequestPlayerReply(body)) {
                m_playerReply = reply;
                m_requestOutstanding = false;
            } else {
                Malformed(from);
            }
            return;
        case Command::AddForwardRequest:
            if (m_state == State::Hosting)
                AdmitMachine(frame, peerIp, from);
            return;
        case Command::AddForwardAck:
            if (m_state == State::Hosting) {
                auto id = wire::DecodeId(body);
                if (!id)
                    return Malformed(from);
                const Machine* acker = MachineAt(peerIp, frame.sender.port);
                for (auto& [admitted, admission] : m_admissions) {
                    if (admitted != *id || !acker)
                        continue;
                    std::erase(admission.waitingFor, acker->systemId);
                    if (admission.waitingFor.empty()) {
                        FinishAdmission(admitted);
                        return;
                    }
                }
            }
            return;
        case Command::AddForwardReply:
            if (!m_joining)
                return Refuse(from);  // answers nothing of ours
            if (!FromHost(frame, peerIp))
                return Refuse(from);
            if (auto error = wire::DecodeId(body))
                m_addForwardError = *error;
            return;
        case Command::SuperEnumPlayersReply:
            if (!m_joining)
                return Refuse(from);  // answers nothing of ours
            if (!FromHost(frame, peerIp))
                return Refuse(from);
            if (auto reply = wire::DecodeSuperEnumPlayersReply(body))
                m_superEnum = std::move(reply);
            else
                Malformed(from);
            return;
        case Command::AddForward: {
            if (m_state != State::Joined)
                return;
            // Only the host admits machines.
            if (!FromHost(frame, peerIp))
                return Refuse(from);
            auto message = wire::DecodePlayerCreate(body, false);
            if (!message || !(message->player.flags & wire::player_flag::kSystem))
                return Malformed(from);
            if (!m_players.count(message->player.id) && !AddRemotePlayer(message->player, peerIp))
                return Refuse(from);
            if (Machine* host = MachineOf(m_hostSystemId))
                SendSystem(*host, Command::AddForwardAck, wire::EncodeId(message->playerId));
            return;
        }
        case Command::CreatePlayer:
        case Command::CreatePlayerVerify:
            if (m_joining) {
                // Created while we join: kept until the name table is here, then applied.
                if (m_earlyCreates.size() < 256)
                    m_earlyCreates.emplace_back(frame, peerIp);
                return;
            }
            if (IsOpen())
                CreateFromMessage(frame, peerIp, from);
            return;
        case Command::IAmNameServer:
            if (IsOpen()) {
                auto message = wire::DecodeIAmNameServer(body);
                if (!message)
                    return Malformed(from);
                // A machine can only announce itself.
                const Machine* sender = SenderOf(frame, peerIp);
                if (!sender || sender->systemId != message->idHost)
                    return Refuse(from);
                FollowNewHost(*message, peerIp);
            }
            return;
        case Command::DeletePlayer: {
            if (!IsOpen())
                return;
            auto id = wire::DecodeDeletePlayer(body);
            if (!id)
                return Malformed(from);
            const bool host = FromHost(frame, peerIp);
            if (*id == m_systemId)
                return host ? LoseSession() : Refuse(from);  // only the host lets us go
            auto player = m_players.find(*id);
            if (player == m_players.end() || player->second.local)
                return;
            // A machine deletes its own players; the host anybody's.
            const Machine* sender = SenderOf(frame, peerIp);
            if (!host && (!sender || sender->systemId != player->second.systemId))
                return Refuse(from);
            if (player->second.flags & wire::player_flag::kSystem)
                MachineLost(*id);
            else
                RemovePlayer(*id, true);
            return;
        }
        case Command::Ping: {
            auto ping = wire::DecodePing(body);
            if (!ping || !IsOpen())
                return;
            const auto player = m_players.find(ping->idFrom);
            if (player == m_players.end()) {
                if (m_state == State::Hosting)
                    SendTcp(peerIp, frame.sender.port,
                            wire::EncodeFrame(OwnStream(), Command::YouAreDead, Version(), {}));
                return;
            }
            if (Machine* machine = MachineOf(player->second.systemId)) {
                machine->heard = true;
                machine->missedPings = 0;
                SendDatagram(*machine, Command::PingReply,
                             wire::EncodePing({m_systemId, ping->tickCount}));
            }
            return;
        }
        case Command::PingReply:
            if (auto reply = wire::DecodePing(body)) {
                if (Machine* machine = MachineOf(reply->idFrom))
                    machine->heard = true, machine->missedPings = 0;
            }
            return;
        case Command::YouAreDead:
            if (m_state == State::Joined)
                return FromHost(frame, peerIp) ? LoseSession() : Refuse(from);
            return;
        case Command::PlayerWrapper:
            if (IsOpen()) {
                const bool noIds = m_desc.flags & wire::session_flag::kNoMessageId;
                auto message = wire::DecodePlayerPayload(body, noIds);
                if (!message)
                    return Malformed(from);
                if (!MayCarry(*message, SenderOf(frame, peerIp)))
                    return Refuse(from);
                HandlePlayerMessage(*message);
            }
            return;
        default:
            return;  // other messages are not used by this layer
    }
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

void Session::HandlePlayerMessage(const wire::PlayerMessage& message) {
    if (message.to == 0 || message.from == -1) {
        Enqueue({message.from, message.to, message.data});
        return;
    }
    auto target = m_players.find(message.to);
    if (target == m_players.end())
        return;
    if (target->second.local) {
        Enqueue({message.from, message.to, message.data});
        return;
    }
    // The host passes on what reached it for a player of another machine.
    if (m_state == State::Hosting) {
        if (Machine* machine = MachineOf(target->second.systemId)) {
            const bool noIds = m_desc.flags & wire::session_flag::kNoMessageId;
            SendTo(*machine, wire::EncodePlayerMessage(OwnStream(), Version(), message, noIds));
        }
    }
}

void Session::Enqueue(QueuedMessage message) {
    // Bounded in count and in bytes; the newest are kept.
    while (!m_queue.empty() && (m_queue.size() >= m_options.maxQueuedMessages ||
                                m_queuedBytes + message.data.size() > m_options.maxQueuedBytes)) {
        m_queuedBytes -= m_queue.front().data.size();
        m_queue.pop_front();
    }
    if (message.data.size() > m_options.maxQueuedBytes)
        return;
    m_queuedBytes += message.data.size();
    m_queue.push_back(std::move(message));
    emit messageQueued();
}

void Session::Notice(std::uint32_t type, std::int32_t id) {
    Bytes data(8);
    for (unsigned i = 0; i < 4; ++i) {
        data[i] = static_cast<std::uint8_t>(type >> (8 * i));
        data[4 + i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(id) >> (8 * i));
    }
    Enqueue({0, 0, std::move(data)});
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

void Session::CountIssued(std::int32_t id) {
    const std::uint32_t raw = static_cast<std::uint32_t>(id) ^ m_desc.reserved1;
    m_idsIssued = std::max({m_idsIssued, raw & 0xFFFF, raw >> 16});
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

void Session::MachineLost(std::int32_t systemId) {
    const bool hostLeft = m_state == State::Joined && systemId == m_hostSystemId;
    if (hostLeft && !(m_desc.flags & wire::session_flag::kMigrateHost))
        return LoseSession();
    if (!m_machines.count(systemId))
        return;
    std::vector<std::int32_t> gone;
    for (const auto& [id, player] : m_players)
        if (player.systemId == systemId)
            gone.push_back(id);
    m_machines.erase(systemId);
    m_links.erase(systemId);
    m_admissions.erase(systemId);
    for (auto& [admitted, admission] : m_admissions)
        std::erase(admission.waitingFor, systemId);
    for (std::int32_t id : gone) {
        const bool system = id == systemId;
        RemovePlayer(id, !system);
        // The host speaks for a machine that can no longer say goodbye.
        if (m_state == State::Hosting)
            SendToAllMachines(Command::DeletePlayer, wire::EncodeDeletePlayer(id));
    }
    if (m_state == State::Hosting)
        RecountPlayers();
    if (hostLeft)
        ElectHost();
}

void Session::ElectHost() {
    // Every machine runs the same election: the system player with the lowest ID follows the
    // host. IDs compare as the unsigned 32-bit DPIDs they are; as signed numbers a masked ID
    // with its top bit set would wrongly come first.
    std::uint32_t lowest = static_cast<std::uint32_t>(m_systemId);
    for (const auto& [id, machine] : m_machines)
        lowest = std::min(lowest, static_cast<std::uint32_t>(id));
    if (lowest == static_cast<std::uint32_t>(m_systemId))
        return BecomeHost();
    // Another machine takes over; until it says so, every machine is pinged so that one that
    // is gone too is noticed and the election runs again.
    m_hostSystemId = static_cast<std::int32_t>(lowest);
    m_awaitingHost = true;
}

void Session::BecomeHost() {
    m_state = State::Hosting;
    m_awaitingHost = false;
    m_hostSystemId = m_systemId;
    using namespace wire::player_flag;
    if (auto self = m_players.find(m_systemId); self != m_players.end())
        self->second.flags = kSystem | kNameServer | kInGroup | kLocal;
    // New IDs go on beyond every index and uniqueness count the old host handed out.
    for (const auto& [id, player] : m_players)
        CountIssued(id);
    RecountPlayers();
    // Enumeration is answered where the old host answered it when the port is free;
    // otherwise the session goes on without being listed.
    if (!m_enumUdp)
        (void)OpenEnumSocket();
    wire::IAmNameServer announcement;
    announcement.idHost = m_systemId;
    announcement.flags = kSystem | kNameServer | kInGroup;
    announcement.hasAddresses = true;
    announcement.stream = {0, TcpPort()};
    announcement.datagram = {0, UdpPort()};
    for (const auto& [id, machine] : m_machines) {
        announcement.idTo = id;
        SendSystem(machine, Command::IAmNameServer, wire::EncodeIAmNameServer(announcement));
    }
    emit progressed();
}

void Session::FollowNewHost(const wire::IAmNameServer& message, std::uint32_t) {
    if (message.idHost == m_hostSystemId && !m_awaitingHost)
        return;  // the host we follow says it again
    // Only a host that left makes room for a new one.
    if (!m_awaitingHost)
        return;
    auto player = m_players.find(message.idHost);
    if (player == m_players.end() || !(player->second.flags & wire::player_flag::kSystem) ||
        message.idHost == m_systemId)
        return;
    for (auto& [id, other] : m_players)
        other.flags &= ~wire::player_flag::kNameServer;
    player->second.flags |= wire::player_flag::kNameServer;
    m_hostSystemId = message.idHost;
    m_awaitingHost = false;
}

void Session::LoseSession() {
    if (m_state != State::Joined && m_state != State::Hosting)
        return;
    m_state = State::Lost;
    m_pingTimer.stop();
    m_reliableTimer.stop();
    m_links.clear();
    for (auto& [socket, connection] : m_connections) {
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }
    m_connections.clear();
    m_outgoing.clear();
    Notice(system_message::kSessionLost, 0);
    emit sessionLost();
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

void Session::SendTcp(std::uint32_t ip, std::uint16_t port, const Bytes& frame) {
    const auto key = std::make_pair(ip, port);
    QTcpSocket* socket = nullptr;
    if (auto it = m_outgoing.find(key); it != m_outgoing.end()) {
        socket = it->second;
    } else {
        if (m_outgoing.size() >= m_options.maxOutgoing ||
            m_connections.size() >= m_options.maxConnections) {
            ++m_refusedConnections;
            return;
        }
        socket = new QTcpSocket(this);
        socket->connectToHost(QHostAddress(ip), port);
        m_outgoing[key] = socket;
        Attach(socket, true, port);
        m_connections[socket]->peerIp = ip;
    }
    socket->write(reinterpret_cast<const char*>(frame.data()), static_cast<qint64>(frame.size()));
    // A peer that does not read is cut off rather than buffered for without end: one whose
    // unsent bytes stay beyond the limit (a burst that drains does not count).
    Connection& connection = *m_connections[socket];
    if (static_cast<std::size_t>(socket->bytesToWrite()) <= m_options.maxWriteBuffer) {
        connection.overWriteLimitSince = -1;
    } else if (connection.overWriteLimitSince < 0) {
        connection.overWriteLimitSince = TickCount();
    } else if (TickCount() - connection.overWriteLimitSince > m_options.writeStallMs) {
        ++m_refusedConnections;
        QTimer::singleShot(0, this, [this, socket] { OnSocketGone(socket); });
    }
}

void Session::SendTo(const Machine& machine, const Bytes& frame) {
    if (UsesReliable(machine))
        SendReliable(machine, frame);
    else
        SendTcp(machine.stream.address, machine.stream.port, frame);
}

void Session::SendSystem(const Machine& machine, Command command, const Bytes& body) {
    SendTo(machine, wire::EncodeFrame(OwnStream(), command, Version(), body));
}

void Session::SendToAllMachines(Command command, const Bytes& body) {
    const Bytes frame = wire::EncodeFrame(OwnStream(), command, Version(), body);
    for (const auto& [id, machine] : m_machines)
        SendTo(machine, frame);
}

void Session::SendDatagram(const Machine& machine, Command command, const Bytes& body) {
    const Bytes frame = wire::EncodeFrame(OwnStream(), command, Version(), body);
    // With the reliable protocol, pings travel in its frames like everything else.
    if (UsesReliable(machine))
        SendReliable(machine, frame);
    else
        WriteDatagram(machine.datagram.address, machine.datagram.port, frame);
}

void Session::PingTick() {
    std::vector<std::int32_t> silent;
    for (auto& [id, machine] : m_machines) {
        if (machine.heard) {
            machine.heard = false;
            continue;
        }
        if (++machine.missedPings > kMaxUnansweredPings) {
            silent.push_back(id);
            continue;
        }
        SendDatagram(machine, Command::Ping, wire::EncodePing({m_systemId, TickCount()}));
    }
    for (std::int32_t id : silent)
        MachineLost(id);
}

bool Session::WaitUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        const qint64 left = timeoutMs - clock.elapsed();
        if (left <= 0)
            return false;
        QEventLoop loop;
        QTimer::singleShot(static_cast<int>(std::min<qint64>(left, 25)), &loop, &QEventLoop::quit);
        connect(this, &Session::progressed, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

void Session::RequireOpen() const {
    if (m_state == State::Lost)
        Fail(hresult::kSessionLost, "the session is lost");
    if (!IsOpen())
        Fail(hresult::kNoConnection, "no session is open");
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

// ---------------------------------------------------------------------------------------------
// Joining

Session::BlockingCall::BlockingCall(Session& session) : m_session(session) {
    // The waits below spin an event loop: a window's handler may call in again meanwhile.
    if (session.m_blocking)
        Fail(session.m_joining ? hresult::kConnecting : hresult::kBusy,
             "another DirectPlay operation of this session is still waiting");
    session.m_blocking = true;
}

Session::BlockingCall::~BlockingCall() {
    m_session.m_blocking = false;
}

std::vector<FoundSession> Session::EnumSessions(const QString& host, std::uint16_t port,
                                                const wire::Guid& application,
                                                const std::u16string& password, int timeoutMs) {
    BlockingCall blocking(*this);
    int window = timeoutMs > 0 ? timeoutMs : m_options.enumTimeoutMs;
    if (IsOpen())
        Fail(hresult::kAlreadyInitialized, "a session is already open");
    OpenSockets();
    QHostAddress target(QHostAddress::Broadcast);
    if (!host.isEmpty()) {
        target = QHostAddress(host);
        if (target.isNull()) {
            // The name is looked up without blocking the event loop, within the same window.
            QElapsedTimer lookupClock;
            lookupClock.start();
            std::optional<QHostInfo> resolved;
            const int lookup = QHostInfo::lookupHost(
                host, this, [&resolved](const QHostInfo& info) { resolved = info; });
            if (!WaitUntil([&] { return resolved.has_value(); }, window)) {
                QHostInfo::abortHostLookup(lookup);
                Fail(hresult::kNoConnection, "the session host's name did not resolve in time");
            }
            for (const QHostAddress& address : resolved->addresses())
                if (address.protocol() == QAbstractSocket::IPv4Protocol)
                    target = address;
            if (target.isNull())
                Fail(hresult::kNoConnection, "the session host's name is not known");
            window = std::max(kEnumResendMs, window - static_cast<int>(lookupClock.elapsed()));
        }
    }
    const Bytes request = wire::EncodeFrame(
        OwnStream(), Command::EnumSessions, wire::kNewestVersion,
        wire::EncodeEnumSessions({application, wire::enum_flag::kAvailable, password}));
    m_found.clear();
    m_enumerating = true;
    QElapsedTimer clock;
    clock.start();
    // Asking one named host, its answer is all there is to wait for: the search ends one
    // resend period after it. A search of the network waits the whole window.
    const bool directed = !host.isEmpty();
    qint64 answeredAt = -1;
    while (clock.elapsed() < window) {
        if (directed && !m_found.empty()) {
            if (answeredAt < 0)
                answeredAt = clock.elapsed();
            else if (clock.elapsed() - answeredAt >= kEnumResendMs)
                break;
        }
        m_udp->writeDatagram(reinterpret_cast<const char*>(request.data()),
                             static_cast<qint64>(request.size()), target, port);
        const qint64 left = window - clock.elapsed();
        WaitUntil([] { return false; }, static_cast<int>(std::min<qint64>(left, kEnumResendMs)));
    }
    m_enumerating = false;
    return m_found;
}

void Session::Join(const FoundSession& session, const std::u16string& password) {
    BlockingCall blocking(*this);
    if (IsOpen())
        Fail(hresult::kAlreadyInitialized, "a session is already open");
    using namespace wire::session_flag;
    if (session.desc.flags & kSecure)
        Fail(hresult::kAuthenticationFailed, "the session is secure and needs a Windows logon");
    OpenSockets();
    QElapsedTimer clock;
    clock.start();
    auto left = [&] {
        return static_cast<int>(std::max<qint64>(0, m_options.joinTimeoutMs - clock.elapsed()));
    };

    m_version = std::clamp(session.version, wire::kOldestVersion, wire::kNewestVersion);
    m_desc = session.desc;
    m_name = session.name;
    const std::uint32_t hostIp = Ipv4(session.host);
    Machine host;
    host.address = session.host;
    host.stream = {hostIp, session.hostPort};
    m_machines.clear();
    m_players.clear();
    m_machines[0] = host;  // keyed by its system player once known

    // A join that fails leaves nothing of the session behind.
    auto abandon = [&](std::int32_t code, const std::string& text) {
        m_machines.clear();
        m_players.clear();
        m_systemId = 0;
        m_joining = false;
        m_requestOutstanding = false;
        m_earlyCreates.clear();
        Fail(code, text);
    };
    m_joining = true;
    m_earlyCreates.clear();
    m_playerReply.reset();
    m_requestOutstanding = true;
    SendSystem(host, Command::RequestPlayerId,
               wire::EncodeRequestPlayerId(wire::player_flag::kSystem | wire::player_flag::kLocal));
    if (!WaitUntil([&] { return m_playerReply.has_value(); },
                   std::min(left(), m_options.requestTimeoutMs)))
        abandon(hresult::kTimeout, "the session host did not answer");
    if (m_playerReply->result != 0)
        abandon(m_playerReply->result, "the session host refused to admit this machine");
    m_systemId = m_playerReply->id;

    Player self;
    self.id = m_systemId;
    self.systemId = m_systemId;
    self.flags = wire::player_flag::kSystem | wire::player_flag::kLocal;
    self.local = true;
    m_players[m_systemId] = self;

    wire::PlayerCreate request;
    request.playerId = m_systemId;
    request.player = InfoOf(self);
    request.password = password;
    request.tickCount = m_desc.reserved1;
    m_superEnum.reset();
    m_addForwardError.reset();
    SendSystem(host, Command::AddForwardRequest, wire::EncodeAddForwardRequest(request));
    if (!WaitUntil([&] { return m_superEnum.has_value() || m_addForwardError.has_value(); },
                   std::min(left(), m_options.requestTimeoutMs)))
        abandon(hresult::kTimeout, "the session host did not send the players of the session");
    if (m_addForwardError)
        abandon(*m_addForwardError, "the session host refused this machine");
    m_state = State::Joined;
    m_machines.clear();
    m_desc = m_superEnum->desc;
    // The host first, so the others' addresses resolve against it.
    for (const auto& info : m_superEnum->players) {
        if ((info.flags & wire::player_flag::kNameServer) && info.id != m_systemId) {
            m_hostSystemId = info.id;
            Machine hostMachine = host;
            hostMachine.systemId = info.id;
            hostMachine.datagram = {info.datagram.address ? info.datagram.address : hostIp,
                                    info.datagram.port};
            m_machines[info.id] = hostMachine;
            Player player;
            player.id = info.id;
            player.systemId = info.id;
            player.flags = info.flags;
            m_players[info.id] = player;
        }
    }
    for (const auto& info : m_superEnum->players) {
        if (info.id == m_systemId || info.id == m_hostSystemId)
            continue;
        AddRemotePlayer(info, hostIp);
    }
    m_superEnum.reset();
    m_joining = false;
    // Players created while the name table was on its way join it now.
    auto early = std::move(m_earlyCreates);
    m_earlyCreates.clear();
    for (const auto& [frame, peerIp] : early)
        CreateFromMessage(frame, peerIp, nullptr);
    m_pingTimer.start();
}

// ---------------------------------------------------------------------------------------------
// Hosting

void Session::Host(const wire::SessionDesc& desc, const std::u16string& name,
                   const std::u16string& password) {
    if (IsOpen())
        Fail(hresult::kAlreadyInitialized, "a session is already open");
    OpenSockets();
    if (!OpenEnumSocket())
        Fail(hresult::kUnavailable, "the enumeration port is taken");

    m_desc = desc;
    auto* random = QRandomGenerator::global();
    if (m_desc.instance == wire::Guid{})
        for (auto& b : m_desc.instance)
            b = static_cast<std::uint8_t>(random->bounded(256));
    if (m_options.idMask)
        m_desc.reserved1 = *m_options.idMask;
    else if (m_desc.reserved1 == 0)
        m_desc.reserved1 = random->generate();
    m_desc.currentPlayers = 0;
    m_name = name;
    m_password = password;
    m_version = wire::kNewestVersion;
    m_state = State::Hosting;
    m_systemId = NewPlayerId();
    m_hostSystemId = m_systemId;
    Player self;
    self.id = m_systemId;
    self.systemId = m_systemId;
    self.flags = wire::player_flag::kSystem | wire::player_flag::kNameServer |
                 wire::player_flag::kInGroup | wire::player_flag::kLocal;
    self.local = true;
    m_players[m_systemId] = self;
    m_pingTimer.start();
}

bool Session::OpenEnumSocket() {
    auto* socket = new QUdpSocket(this);
    if (!socket->bind(m_options.bindAddress, m_options.enumPort, QAbstractSocket::ShareAddress)) {
        delete socket;
        return false;
    }
    m_enumUdp = socket;
    connect(m_enumUdp, &QUdpSocket::readyRead, this, [this] { OnDatagrams(m_enumUdp); });
    return true;
}

std::int32_t Session::NewPlayerId() {
    // An index in the low half and a uniqueness count in the high half; IDs are never
    // reused, so one count serves as both. 0 addresses every player and 0xFFFFFFFF is
    // DirectPlay's "unknown": a mask that would turn a count into either skips that count.
    for (;;) {
        ++m_idsIssued;
        const std::uint32_t raw = ((m_idsIssued & 0xFFFF) << 16) | (m_idsIssued & 0xFFFF);
        const std::uint32_t id = raw ^ m_desc.reserved1;
        if (id != 0 && id != 0xFFFFFFFFu)
            return static_cast<std::int32_t>(id);
    }
}

void Session::AnswerEnum(const wire::Frame& frame, std::uint32_t peerIp) {
    auto request = wire::DecodeEnumSessions(frame.body);
    if (!request)
        return Malformed(nullptr);
    if (request->application != wire::Guid{} && request->application != m_desc.application)
        return;
    const bool full = m_desc.currentPlayers >= m_desc.maxPlayers && m_desc.maxPlayers != 0;
    if (full && !(request->flags & wire::enum_flag::kAll))
        return;
    if ((m_desc.flags & wire::session_flag::kPrivate) && request->password != m_password)
        return;
    const Bytes reply = wire::EncodeFrame(OwnStream(), Command::EnumSessionsReply, m_version,
                                          wire::EncodeEnumSessionsReply({m_desc, m_name}));
    // The answer goes on a connection of its own, which closes once written.
    auto* socket = new QTcpSocket(this);
    connect(socket, &QTcpSocket::connected, socket, [socket, reply] {
        socket->write(reinterpret_cast<const char*>(reply.data()),
                      static_cast<qint64>(reply.size()));
        socket->disconnectFromHost();
    });
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QTcpSocket::errorOccurred, socket, &QObject::deleteLater);
    socket->connectToHost(QHostAddress(peerIp), frame.sender.port);
}

void Session::AnswerRequestPlayerId(const wire::Frame& frame, std::uint32_t peerIp,
                                    Connection* from) {
    auto flags = wire::DecodeRequestPlayerId(frame.body);
    if (!flags)
        return Malformed(from);
    wire::RequestPlayerReply reply;
    const bool system = *flags & wire::player_flag::kSystem;
    const bool full = m_desc.maxPlayers != 0 && m_desc.currentPlayers >= m_desc.maxPlayers;
    const std::uint32_t closed =
        system ? wire::session_flag::kJoinDisabled : wire::session_flag::kNoNewPlayers;
    if (full || (m_desc.flags & closed))
        reply.result = hresult::kNoNewPlayers;
    else
        reply.id = NewPlayerId();
    if (!system && reply.result == 0) {
        // Counted now, so that the limit holds while the CREATEPLAYER is on its way.
        ++m_desc.currentPlayers;
    }
    SendTcp(peerIp, frame.sender.port,
            wire::EncodeFrame(OwnStream(), Command::RequestPlayerReply, m_version,
                              wire::EncodeRequestPlayerReply(reply)));
}

void Session::AdmitMachine(const wire::Frame& frame, std::uint32_t peerIp, Connection* from) {
    auto request = wire::DecodePlayerCreate(frame.body, true);
    if (!request)
        return Malformed(from);
    if ((m_desc.flags & wire::session_flag::kPasswordRequired) && request->password != m_password) {
        SendTcp(peerIp, frame.sender.port,
                wire::EncodeFrame(OwnStream(), Command::AddForwardReply, m_version,
                                  wire::EncodeId(hresult::Make(340))));
        return;
    }
    wire::PlayerInfo info = request->player;
    info.id = request->playerId;
    info.flags = wire::player_flag::kSystem | wire::player_flag::kInGroup;
    if (!info.hasAddresses) {
        info.hasAddresses = true;
        info.stream = {0, frame.sender.port};
    }
    // Others learn this machine's real address from us.
    if (info.stream.address == 0)
        info.stream.address = peerIp;
    if (info.datagram.address == 0)
        info.datagram.address = peerIp;
    std::vector<std::int32_t> others;
    for (const auto& [id, machine] : m_machines)
        others.push_back(id);
    if (!AddRemotePlayer(info, peerIp)) {
        SendTcp(peerIp, frame.sender.port,
                wire::EncodeFrame(OwnStream(), Command::AddForwardReply, m_version,
                                  wire::EncodeId(hresult::kNoNewPlayers)));
        return;
    }
    // Until it has the name table, a joining machine is spoken to as during any join.
    if (Machine* joining = MachineOf(info.id))
        joining->joined = false;

    wire::PlayerCreate forward;
    forward.playerId = info.id;
    forward.player = info;
    forward.player.flags = wire::player_flag::kSystem | wire::player_flag::kInGroup;
    for (std::int32_t id : others)
        if (const Machine* machine = MachineOf(id))
            SendSystem(*machine, Command::AddForward, wire::EncodeAddForward(forward));

    if (others.empty())
        return FinishAdmission(info.id);
    Admission& admission = m_admissions[info.id];
    admission.waitingFor = others;
    admission.timer = new QTimer(this);
    admission.timer->setSingleShot(true);
    const std::int32_t admitted = info.id;
    connect(admission.timer, &QTimer::timeout, this,
            [this, admitted] { FinishAdmission(admitted); });
    admission.timer->start(m_options.nameTableTimeoutMs);
}

void Session::FinishAdmission(std::int32_t systemId) {
    if (auto it = m_admissions.find(systemId); it != m_admissions.end()) {
        if (it->second.timer)
            it->second.timer->deleteLater();
        m_admissions.erase(it);
    }
    Machine* machine = MachineOf(systemId);
    if (!machine)
        return;
    wire::SuperEnumPlayersReply reply;
    reply.desc = m_desc;
    reply.name = m_name;
    reply.players = NameTable();
    SendSystem(*machine, Command::SuperEnumPlayersReply, wire::EncodeSuperEnumPlayersReply(reply));
    machine->joined = true;
}

std::vector<wire::PlayerInfo> Session::NameTable() const {
    using namespace wire::player_flag;
    std::vector<wire::PlayerInfo> table;
    for (const auto& [id, player] : m_players) {
        wire::PlayerInfo info = InfoOf(player);
        if (player.flags & kSystem) {
            info.flags = id == m_systemId ? (kSystem | kNameServer | kInGroup | kLocal)
                                          : (kSystem | kInGroup);
            info.version = m_version;
            if (id == m_systemId)
                info.stream.address = 0, info.datagram.address = 0;
        } else {
            info.flags = kLocal;
        }
        table.push_back(std::move(info));
    }
    return table;
}

// ---------------------------------------------------------------------------------------------
// Players and messages

std::int32_t Session::CreatePlayer(const std::u16string& friendlyName,
                                   const std::u16string& formalName) {
    BlockingCall blocking(*this);
    RequireOpen();
    Player player;
    player.systemId = m_systemId;
    player.flags = wire::player_flag::kLocal;
    player.shortName = friendlyName;
    player.longName = formalName;
    player.local = true;
    if (m_state == State::Hosting) {
        if (m_desc.maxPlayers != 0 && m_desc.currentPlayers >= m_desc.maxPlayers)
            Fail(hresult::kNoNewPlayers, "the session is full");
        player.id = NewPlayerId();
        ++m_desc.currentPlayers;
    } else {
        Machine* host = MachineOf(m_hostSystemId);
        if (!host)
            Fail(hresult::kConnectionLost, "the session host is gone");
        m_playerReply.reset();
        m_requestOutstanding = true;
        SendSystem(*host, Command::RequestPlayerId,
                   wire::EncodeRequestPlayerId(wire::player_flag::kLocal));
        if (!WaitUntil([&] { return m_playerReply.has_value() || !IsOpen(); },
                       m_options.requestTimeoutMs) ||
            !IsOpen()) {
            m_requestOutstanding = false;
            Fail(hresult::kTimeout, "the session host did not give a player ID");
        }
        if (m_playerReply->result != 0)
            Fail(m_playerReply->result, "the session host refused a new player");
        player.id = m_playerReply->id;
    }
    m_players[player.id] = player;
    m_recentLocal.emplace_back(player.id, TickCount());
    wire::PlayerCreate create;
    create.playerId = player.id;
    create.player = InfoOf(player);
    SendToAllMachines(Command::CreatePlayer, wire::EncodeCreatePlayer(create));
    return player.id;
}

void Session::DestroyPlayer(std::int32_t id) {
    RequireOpen();
    auto it = m_players.find(id);
    if (it == m_players.end() || !it->second.local || id == m_systemId)
        Fail(hresult::kInvalidPlayer, "not a player of this program");
    m_players.erase(it);
    if (m_state == State::Hosting && m_desc.currentPlayers > 0)
        --m_desc.currentPlayers;
    SendToAllMachines(Command::DeletePlayer, wire::EncodeDeletePlayer(id));
}

void Session::Send(std::int32_t from, std::int32_t to, std::span<const std::uint8_t> data) {
    RequireOpen();
    auto sender = m_players.find(from);
    if (sender == m_players.end() || !sender->second.local)
        Fail(hresult::kInvalidPlayer, "the sender is not a player of this program");
    const std::size_t limit = (m_desc.flags & wire::session_flag::kReliableProtocol)
                                  ? reliable::kMaxMessageSize
                                  : wire::kMaxFrameSize - wire::kPrefixSize;
    if (data.size() + 8 > limit)
        Fail(hresult::kSendTooBig, "the message is too large");
    const bool noIds = m_desc.flags & wire::session_flag::kNoMessageId;
    const wire::PlayerMessage message{from, to, Bytes(data.begin(), data.end())};
    if (to == 0) {
        // One copy per machine; players of this machine do not hear themselves.
        const Bytes frame = wire::EncodePlayerMessage(OwnStream(), Version(), message, noIds);
        for (const auto& [id, machine] : m_machines)
            SendTo(machine, frame);
        return;
    }
    auto target = m_players.find(to);
    if (target == m_players.end())
        Fail(hresult::kInvalidPlayer, "no such player");
    if (target->second.local) {
        Enqueue({from, to, message.data});
        return;
    }
    Machine* machine = MachineOf(target->second.systemId);
    if (!machine)
        machine = MachineOf(m_hostSystemId);  // let the host pass it on
    if (!machine)
        Fail(hresult::kInvalidPlayer, "no route to the player");
    SendTo(*machine, wire::EncodePlayerMessage(OwnStream(), Version(), message, noIds));
}

std::size_t Session::MessageCount(std::int32_t playerId) const {
    return static_cast<std::size_t>(
        std::count_if(m_queue.begin(), m_queue.end(),
                      [&](const QueuedMessage& m) { return m.to == 0 || m.to == playerId; }));
}

std::optional<QueuedMessage> Session::Receive() {
    if (m_queue.empty())
        return std::nullopt;
    QueuedMessage message = std::move(m_queue.front());
    m_queue.pop_front();
    m_queuedBytes -= message.data.size();
    return message;
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

void Session::Close() {
    // Leaving, a machine deletes its players everywhere, the host's as well: the others learn
    // at once that it left (and, where the session allows it, choose the next host).
    if (m_state == State::Joined || m_state == State::Hosting) {
        for (const auto& [id, player] : m_players)
            if (player.local && id != m_systemId)
                SendToAllMachines(Command::DeletePlayer, wire::EncodeDeletePlayer(id));
        SendToAllMachines(Command::DeletePlayer, wire::EncodeDeletePlayer(m_systemId));
    }
    m_state = State::Idle;
    m_reliableTimer.stop();
    m_links.clear();
    m_awaitingHost = false;
    m_recentLocal.clear();
    m_pingTimer.stop();
    for (auto& [socket, connection] : m_connections) {
        socket->disconnect(this);
        if (connection->outgoing) {
            // Let what was written reach the other side before the connection goes, even
            // when this object goes first; a peer that never lets go is cut after 2 s.
            socket->setParent(
                QCoreApplication::instance());  // outlives this object, not the program
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            QTcpSocket* leaving = socket;
            QTimer::singleShot(2000, leaving,
                               [leaving] { leaving->abort(), leaving->deleteLater(); });
            socket->disconnectFromHost();
        } else {
            socket->abort();
            socket->deleteLater();
        }
    }
    m_connections.clear();
    m_outgoing.clear();
    m_machines.clear();
    m_players.clear();
    for (auto& [id, admission] : m_admissions)
        if (admission.timer)
            admission.timer->deleteLater();
    m_admissions.clear();
    if (m_server)
        m_server->close();
    if (m_enumUdp) {
        m_enumUdp->disconnect(this);
        m_enumUdp->close();
        m_enumUdp->deleteLater();
        m_enumUdp = nullptr;
    }
    if (m_udp)
        m_udp->close();
}

}  // namespace platform::directplay
