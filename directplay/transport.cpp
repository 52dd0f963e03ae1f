#include "directplay/transport.h"

#include <QCoreApplication>
#include <QNetworkDatagram>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUdpSocket>

#include "directplay/errors.h"
#include "directplay/session_internal.h"

namespace directplay {

using wire::Bytes;
using namespace session_internal;

struct Transport::Connection {
    QTcpSocket* socket = nullptr;
    wire::StreamFramer framer;
    int malformed = 0;
    bool outgoing = false;
    std::uint32_t peerIp = 0;
    std::uint16_t peerPort = 0;  // outgoing: the port connected to
    std::int64_t overWriteLimitSince = -1;
    bool vouched = false;
    std::uint64_t serial = 0;
};

Transport::Transport(const SessionOptions& options, Handlers handlers, QObject* parent)
    : QObject(parent), m_options(options), m_handlers(std::move(handlers)) {}

Transport::~Transport() {
    for (auto& [socket, connection] : m_connections) {
        socket->disconnect(this);
        socket->abort();
        delete socket;
    }
}

void Transport::Open() {
    if (m_server)
        return;
    m_server = new QTcpServer(this);
    auto listen = [&](std::uint16_t port) { return m_server->listen(m_options.bindAddress, port); };
    if (!BindInRange(listen, m_options.tcpPort, kFirstStreamPort, kLastStreamPort))
        Fail(hresult::kUnavailable, "no TCP port to listen on");
    connect(m_server, &QTcpServer::newConnection, this, &Transport::OnNewConnection);

    m_udp = new QUdpSocket(this);
    auto bindUdp = [&](std::uint16_t port) { return m_udp->bind(m_options.bindAddress, port); };
    if (!BindInRange(bindUdp, m_options.udpPort, kFirstDatagramPort, kLastDatagramPort))
        Fail(hresult::kUnavailable, "no UDP port to bind");
    connect(m_udp, &QUdpSocket::readyRead, this, [this] { OnDatagrams(m_udp); });
}

bool Transport::OpenEnum() {
    auto* socket = new QUdpSocket(this);
    if (!socket->bind(m_options.bindAddress, m_options.enumPort, QAbstractSocket::ShareAddress)) {
        delete socket;
        return false;
    }
    m_enumUdp = socket;
    connect(m_enumUdp, &QUdpSocket::readyRead, this, [this] { OnDatagrams(m_enumUdp); });
    return true;
}

std::uint16_t Transport::TcpPort() const {
    return m_server ? m_server->serverPort() : 0;
}

std::uint16_t Transport::UdpPort() const {
    return m_udp ? m_udp->localPort() : 0;
}

std::uint16_t Transport::EnumPort() const {
    return m_enumUdp ? m_enumUdp->localPort() : 0;
}

bool Transport::MayContact(std::uint32_t ip) const {
    return !m_options.mayContact || m_options.mayContact(ip);
}

void Transport::OnNewConnection() {
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

void Transport::Attach(QTcpSocket* socket, bool outgoing, std::uint16_t port) {
    auto connection = std::make_unique<Connection>();
    connection->socket = socket;
    connection->outgoing = outgoing;
    connection->peerPort = port;
    connection->peerIp = Ipv4(socket->peerAddress());
    connection->vouched = outgoing;
    connection->serial = m_nextSerial++;
    if (!outgoing) {
        // A stranger's connection that never carries a machine's frame does not hold a place.
        const std::uint64_t serial = connection->serial;
        QTimer::singleShot(m_options.strangerConnectionMs, this, [this, socket, serial] {
            auto it = m_connections.find(socket);
            if (it != m_connections.end() && it->second->serial == serial && !it->second->vouched) {
                ++m_refusedConnections;
                OnSocketGone(socket);
            }
        });
    }
    socket->setParent(this);
    socket->setReadBufferSize(1 << 20);
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { OnReadable(socket); });
    connect(socket, &QTcpSocket::disconnected, this, [this, socket] { OnSocketGone(socket); });
    connect(socket, &QTcpSocket::errorOccurred, this, [this, socket] { OnSocketGone(socket); });
    m_connections[socket] = std::move(connection);
    if (!outgoing && socket->bytesAvailable() > 0)
        OnReadable(socket);
}

void Transport::OnReadable(QTcpSocket* socket) {
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
        m_handlers.frame(*frame, connection->peerIp, connection);
        // Handling may have closed the session or dropped this connection.
        if (m_connections.find(socket) == m_connections.end())
            return;
    }
    if (connection->framer.Broken()) {
        ++m_malformed;
        OnSocketGone(socket);
    }
}

void Transport::OnSocketGone(QTcpSocket* socket) {
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
    // Only the link we send on tells reliably which machine went away: an incoming
    // connection may come from anybody.
    if (outgoing)
        m_handlers.outgoingLost(peerIp, peerPort);
}

void Transport::OnDatagrams(QUdpSocket* socket) {
    while (socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = socket->receiveDatagram(wire::kMaxFrameSize);
        if (m_options.blackout && m_options.blackout())
            continue;
        const QByteArray data = datagram.data();
        m_handlers.datagram({reinterpret_cast<const std::uint8_t*>(data.constData()),
                             static_cast<std::size_t>(data.size())},
                            Ipv4(datagram.senderAddress()), socket == m_udp);
    }
}

void Transport::Malformed(Connection* from) {
    ++m_malformed;
    if (from && ++from->malformed > m_options.malformedLimit) {
        QTcpSocket* socket = from->socket;
        QTimer::singleShot(0, this, [this, socket] { OnSocketGone(socket); });
    }
}

void Transport::Vouch(Connection* from) {
    if (from)
        from->vouched = true;
}

bool Transport::Written() const {
    for (const auto& [socket, connection] : m_connections) {
        const auto state = socket->state();
        if (state == QAbstractSocket::HostLookupState || state == QAbstractSocket::ConnectingState)
            return false;
        if (state == QAbstractSocket::ConnectedState && socket->bytesToWrite() > 0)
            return false;
    }
    return true;
}

void Transport::SendStream(std::uint32_t ip, std::uint16_t port, const Bytes& frame) {
    if (!MayContact(ip))
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
        connection.overWriteLimitSince = NowMs();
    } else if (NowMs() - connection.overWriteLimitSince > m_options.writeStallMs) {
        ++m_refusedConnections;
        QTimer::singleShot(0, this, [this, socket] { OnSocketGone(socket); });
    }
}

void Transport::SendOnce(std::uint32_t ip, std::uint16_t port, const Bytes& frame) {
    if (!MayContact(ip))
        return;
    if (m_pendingAnswers >= m_options.maxPendingAnswers) {
        ++m_refusedConnections;
        return;
    }
    ++m_pendingAnswers;
    auto* socket = new QTcpSocket(this);
    connect(socket, &QObject::destroyed, this, [this] { --m_pendingAnswers; });
    // One that is never answered goes after a while.
    QTimer::singleShot(5000, socket, [socket] { socket->abort(), socket->deleteLater(); });
    connect(socket, &QTcpSocket::connected, socket, [socket, frame] {
        socket->write(reinterpret_cast<const char*>(frame.data()),
                      static_cast<qint64>(frame.size()));
        socket->disconnectFromHost();
    });
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QTcpSocket::errorOccurred, socket, &QObject::deleteLater);
    socket->connectToHost(QHostAddress(ip), port);
}

void Transport::SendSearch(const QHostAddress& to, std::uint16_t port, const Bytes& datagram) {
    if (m_udp)
        m_udp->writeDatagram(reinterpret_cast<const char*>(datagram.data()),
                             static_cast<qint64>(datagram.size()), to, port);
}

void Transport::SendDatagram(std::uint32_t ip, std::uint16_t port, const Bytes& datagram) {
    if (!m_udp || !MayContact(ip) || (m_options.blackout && m_options.blackout()))
        return;
    const QByteArray bytes(reinterpret_cast<const char*>(datagram.data()),
                           static_cast<qsizetype>(datagram.size()));
    if (!m_options.impairment.Active()) {
        m_udp->writeDatagram(bytes, QHostAddress(ip), port);
        return;
    }
    WriteImpaired(bytes, ip, port);
}

void Transport::WriteImpaired(const QByteArray& bytes, std::uint32_t ip, std::uint16_t port) {
    const auto& bad = m_options.impairment;
    // A small linear congruential generator, seeded, so a run can be repeated.
    auto roll = [this](int percent) {
        if (m_impairmentState == 1)
            m_impairmentState = m_options.impairment.seed * 2654435761u + 1;
        m_impairmentState = m_impairmentState * 1664525u + 1013904223u;
        return static_cast<int>((m_impairmentState >> 8) % 100) < percent;
    };
    if (roll(bad.dropPercent))
        return;
    const int copies = roll(bad.duplicatePercent) ? 2 : 1;
    for (int i = 0; i < copies; ++i) {
        if (roll(bad.reorderPercent)) {
            // Held back a few milliseconds, so that later datagrams overtake it.
            QPointer<QUdpSocket> socket = m_udp;
            QTimer::singleShot(static_cast<int>(5 + m_impairmentState % 25), this,
                               [socket, bytes, ip, port] {
                                   if (socket)
                                       socket->writeDatagram(bytes, QHostAddress(ip), port);
                               });
        } else {
            m_udp->writeDatagram(bytes, QHostAddress(ip), port);
        }
    }
}

void Transport::Drop() {
    for (auto& [socket, connection] : m_connections) {
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }
    m_connections.clear();
    m_outgoing.clear();
}

void Transport::Close() {
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

}  // namespace directplay
