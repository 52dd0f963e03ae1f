#pragma once

// The TCP/IP service provider's sockets: the listening TCP port and its connections both
// ways, each with its framer; the session's UDP port and the enumeration port; outgoing
// datagrams (through the impairment, where one is set). It knows nothing of players or
// machines: frames and datagrams go to the handlers it is given, with the sender's address,
// and the session tells it which connection misbehaved. Every bound of SessionOptions on
// connections and unsent bytes is kept here.

#include <QHostAddress>
#include <QObject>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <utility>

#include "directplay/session_options.h"
#include "directplay/wire.h"

class QTcpServer;
class QTcpSocket;
class QUdpSocket;

namespace directplay {

class Transport : public QObject {
    Q_OBJECT

public:
    // A TCP connection, as the session sees it: where a frame came from, to be blamed.
    struct Connection;

    struct Handlers {
        // A whole frame from a TCP connection (`from` is null for frames fed by hand).
        std::function<void(const wire::Bytes& frame, std::uint32_t peerIp, Connection* from)> frame;
        // A datagram to the session's port (sessionPort) or to the enumeration port.
        std::function<void(std::span<const std::uint8_t> bytes, std::uint32_t peerIp,
                           bool sessionPort)>
            datagram;
        // A connection this machine opened went away: the machine it led to may be gone.
        std::function<void(std::uint32_t ip, std::uint16_t port)> outgoingLost;
    };

    Transport(const SessionOptions& options, Handlers handlers, QObject* parent);
    ~Transport() override;
    Transport(const Transport&) = delete;
    Transport& operator=(const Transport&) = delete;

    // The listening TCP port and the session's UDP port; throws DirectPlayError.
    void Open();
    // The enumeration port, shared with other programs; false when it cannot be had.
    bool OpenEnum();
    bool HasEnum() const { return m_enumUdp != nullptr; }

    // A frame on the connection to ip:port, opened when there is none.
    void SendStream(std::uint32_t ip, std::uint16_t port, const wire::Bytes& frame);
    // A frame on a connection of its own, which closes once the frame is written.
    void SendOnce(std::uint32_t ip, std::uint16_t port, const wire::Bytes& frame);
    // A datagram from the session's UDP port.
    void SendDatagram(std::uint32_t ip, std::uint16_t port, const wire::Bytes& datagram);
    // An enumeration request: to one host or to the broadcast address.
    void SendSearch(const QHostAddress& to, std::uint16_t port, const wire::Bytes& datagram);

    // Input that could not be read (or was refused): counted, and a connection that sends too
    // much of it is closed.
    void Malformed(Connection* from);
    // The connection carried a frame of a machine of the session: it stays however quiet it
    // is. An incoming connection nobody vouches for is closed after strangerConnectionMs.
    void Vouch(Connection* from);
    // Everything written is in the system's hands (or can no longer be): nothing waits in a
    // connection's buffer, and no connection is still being opened.
    bool Written() const;

    // Every connection cut at once (the session is lost).
    void Drop();
    // Leaving: what was written to others still reaches them; every port closes.
    void Close();

    std::uint16_t TcpPort() const;
    std::uint16_t UdpPort() const;
    std::uint16_t EnumPort() const;
    std::size_t ConnectionCount() const { return m_connections.size(); }
    std::uint64_t MalformedCount() const { return m_malformed; }
    std::uint64_t RefusedConnections() const { return m_refusedConnections; }
    std::size_t PendingAnswers() const { return m_pendingAnswers; }

private:
    void OnNewConnection();
    void Attach(QTcpSocket* socket, bool outgoing, std::uint16_t port);
    void OnReadable(QTcpSocket* socket);
    void OnSocketGone(QTcpSocket* socket);
    void OnDatagrams(QUdpSocket* socket);
    void WriteImpaired(const QByteArray& bytes, std::uint32_t ip, std::uint16_t port);
    bool MayContact(std::uint32_t ip) const;

    const SessionOptions& m_options;
    Handlers m_handlers;
    QTcpServer* m_server = nullptr;
    QUdpSocket* m_udp = nullptr;
    QUdpSocket* m_enumUdp = nullptr;
    std::map<QTcpSocket*, std::unique_ptr<Connection>> m_connections;
    std::map<std::pair<std::uint32_t, std::uint16_t>, QTcpSocket*> m_outgoing;
    std::uint32_t m_impairmentState = 1;
    std::size_t m_pendingAnswers = 0;  // one-shot connections not yet closed
    std::uint64_t m_nextSerial = 1;    // connections are told apart by it after they go
    std::uint64_t m_malformed = 0;
    std::uint64_t m_refusedConnections = 0;
};

}  // namespace directplay
