// The transport: sockets, the TCP framing, the connection table, datagrams, pings and the
// bounded waits.

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
        HandleDatagram({reinterpret_cast<const std::uint8_t*>(data.constData()),
                        static_cast<std::size_t>(data.size())},
                       Ipv4(datagram.senderAddress()), socket == m_udp);
    }
}

void Session::FeedFrame(std::span<const std::uint8_t> frame, std::uint32_t peerIp) {
    HandleFrame(Bytes(frame.begin(), frame.end()), peerIp, nullptr);
}

void Session::FeedDatagram(std::span<const std::uint8_t> datagram, std::uint32_t peerIp) {
    HandleDatagram(datagram, peerIp, true);
}

void Session::HandleDatagram(std::span<const std::uint8_t> bytes, std::uint32_t peerIp,
                             bool sessionPort) {
    auto frame = wire::DecodeFrame(bytes);
    if (frame && frame->isSystem) {
        if (frame->command == Command::EnumSessions && m_state == State::Hosting)
            AnswerEnum(*frame, peerIp);
        else if (sessionPort)
            HandleSystem(*frame, peerIp, nullptr);
        emit progressed();
        return;
    }
    // With the reliable protocol every other datagram is one of its frames, bare or (read
    // all the same) behind a service-provider prefix.
    if (sessionPort && IsOpen() && (m_desc.flags & wire::session_flag::kReliableProtocol)) {
        if (frame)
            OnReliableDatagram(frame->body, peerIp);
        else
            OnReliableDatagram(bytes, peerIp);
        return;
    }
    // Unguaranteed player messages come as [idFrom][idTo][data] without any prefix.
    if (sessionPort && IsOpen()) {
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

void Session::Malformed(Connection* from) {
    ++m_malformed;
    if (from && ++from->malformed > m_options.malformedLimit) {
        QTcpSocket* socket = from->socket;
        QTimer::singleShot(0, this, [this, socket] { OnSocketGone(socket); });
    }
}

void Session::Refuse(Connection* from) {
    ++m_refusedMessages;
    Malformed(from);
}

void Session::SendTcp(std::uint32_t ip, std::uint16_t port, const Bytes& frame) {
    if (m_options.mayContact && !m_options.mayContact(ip))
        return;
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

}  // namespace platform::directplay
