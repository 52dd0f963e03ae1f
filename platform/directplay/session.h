#pragma once

// The TCP/IP service provider and session logic of DirectPlay 4, both roles of one machine:
// joining (enumerating, joining, creating players, talking to every machine of the session)
// and hosting (answering enumeration, handing out player IDs, admitting machines, pinging),
// which a joiner takes over when the session migrates its host. Its parts live in files by
// role: session_transport.cpp (sockets, framing, connections, datagrams, pings, waits),
// session_names.cpp (the name table and who may speak for whom), session_join.cpp,
// session_host.cpp, session_reliable.cpp (traffic in the reliable protocol's frames), and
// session.cpp (the operations the program calls, the queue, messages of both roles).
// It runs on the thread that owns it, driven by that thread's event loop; the waiting
// operations spin a local event loop with a deadline, so windows keep painting. Received
// messages queue here until the program takes them. Every peer is untrusted: only the host
// changes who is in the session, and SessionOptions names every bound on what a peer can make
// it hold.

#include <QHostAddress>
#include <QObject>
#include <QTimer>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/directplay/reliable.h"
#include "platform/directplay/wire.h"

class QTcpServer;
class QTcpSocket;
class QUdpSocket;

namespace platform::directplay {

// DirectPlay's own notices, queued from player 0.
namespace system_message {
inline constexpr std::uint32_t kCreatePlayer = 0x0003;
inline constexpr std::uint32_t kDestroyPlayer = 0x0005;
inline constexpr std::uint32_t kSessionLost = 0x0031;
}  // namespace system_message

struct SessionOptions {
    std::uint16_t enumPort = wire::kEnumPort;  // hosting: where enumeration is answered (0: any)
    std::uint16_t tcpPort = 0;                 // 0: the first free of 2300-2349, else any
    std::uint16_t udpPort = 0;                 // 0: the first free of 2350-2399, else any
    QHostAddress bindAddress = QHostAddress(QHostAddress::AnyIPv4);
    int enumTimeoutMs = 5000;  // an enumeration without a timeout of its own: Windows' default
    int requestTimeoutMs = 5000;
    int joinTimeoutMs = 10000;
    int pingIntervalMs = 35000;
    int nameTableTimeoutMs = 15000;
    // Every bound on what a peer can make this layer hold. Beyond them: the oldest queued
    // message goes, a connection or a peer's frame is refused (and counted against its
    // connection like malformed input), a peer that does not read is cut off. The framer holds
    // one frame of at most 1 MiB per connection (the size field's limit), a joiner keeps at
    // most 256 creations that arrive before its name table, a reliable link at most 128 frames
    // ahead of the next one due.
    std::size_t maxQueuedMessages = 10000;
    std::size_t maxQueuedBytes = 16u << 20;
    int malformedLimit = 8;                 // malformed or refused frames before a connection goes
    std::size_t maxConnections = 128;       // open TCP connections, both ways
    std::size_t maxOutgoing = 64;           // of them, opened by this machine
    std::size_t maxWriteBuffer = 4u << 20;  // unsent bytes to one peer, for at most:
    int writeStallMs = 2000;
    std::size_t maxMachines = 256;  // hard ceilings; the session's maximum counts too
    std::size_t maxPlayers = 1024;
    // Hosting: the mask every player ID is XORed with (the session description's Reserved1).
    // Without one the host picks a random mask as Windows does, so about half of the IDs it
    // hands out are negative as signed numbers.
    std::optional<std::uint32_t> idMask;
    // A stand-in for a bad network on every datagram this session sends (tests, benchmark).
    reliable::Impairment impairment;
    // Whom this session may send to (by IPv4 address); unset, anybody. The fuzz target keeps
    // it on the loopback whatever addresses its input names.
    std::function<bool(std::uint32_t)> mayContact;
};

struct FoundSession {
    wire::SessionDesc desc;
    std::u16string name;
    QHostAddress host;
    std::uint16_t hostPort = 0;  // the host's listening TCP port
    std::uint16_t version = wire::kNewestVersion;
};

struct QueuedMessage {
    std::int32_t from = 0;  // 0: a DirectPlay notice
    std::int32_t to = 0;
    wire::Bytes data;
};

class Session : public QObject {
    Q_OBJECT

public:
    explicit Session(SessionOptions options = {}, QObject* parent = nullptr);
    ~Session() override;

    // Joining. Every failure throws DirectPlayError.
    std::vector<FoundSession> EnumSessions(const QString& host, std::uint16_t port,
                                           const wire::Guid& application,
                                           const std::u16string& password, int timeoutMs = 0);
    void Join(const FoundSession& session, const std::u16string& password);

    // Hosting.
    void Host(const wire::SessionDesc& desc, const std::u16string& name,
              const std::u16string& password);

    std::int32_t CreatePlayer(const std::u16string& friendlyName, const std::u16string& formalName);
    void DestroyPlayer(std::int32_t id);
    void Send(std::int32_t from, std::int32_t to, std::span<const std::uint8_t> data);
    std::size_t MessageCount(std::int32_t playerId) const;
    std::optional<QueuedMessage> Receive();
    std::optional<std::u16string> FriendlyName(std::int32_t id) const;
    std::vector<std::int32_t> PlayerIds() const;
    void Close();

    bool IsOpen() const { return m_state == State::Hosting || m_state == State::Joined; }
    bool IsHost() const { return m_state == State::Hosting; }
    std::int32_t HostSystemPlayerId() const { return m_hostSystemId; }
    std::uint16_t TcpPort() const;
    std::uint16_t UdpPort() const;
    std::uint16_t EnumPort() const;
    std::int32_t SystemPlayerId() const { return m_systemId; }
    const wire::SessionDesc& Desc() const { return m_desc; }
    std::size_t MachineCount() const { return m_machines.size(); }
    std::uint64_t MalformedCount() const { return m_malformed; }
    std::uint64_t RefusedConnections() const { return m_refusedConnections; }
    std::uint64_t RefusedMessages() const { return m_refusedMessages; }
    std::size_t QueuedBytes() const { return m_queuedBytes; }
    std::size_t PlayerCount() const { return m_players.size(); }
    std::size_t ConnectionCount() const { return m_connections.size(); }
    // Bytes as if a peer at `peerIp` had sent them: a whole frame from a TCP connection, or a
    // datagram to the session's UDP port. The fuzz target drives the session with them.
    void FeedFrame(std::span<const std::uint8_t> frame, std::uint32_t peerIp);
    void FeedDatagram(std::span<const std::uint8_t> datagram, std::uint32_t peerIp);
    // The reliable protocol's link to a machine, while the session uses it (tests, benchmark).
    const reliable::Link* LinkOf(std::int32_t systemId) const;

signals:
    void progressed();
    void messageQueued();
    void sessionLost();

private:
    enum class State { Idle, Hosting, Joined, Lost };

    struct Player {
        std::int32_t id = 0;
        std::int32_t systemId = 0;
        std::uint32_t flags = 0;
        std::u16string shortName;
        std::u16string longName;
        bool local = false;
    };
    struct Machine {
        std::int32_t systemId = 0;
        QHostAddress address;
        wire::SockAddr stream;  // port; address resolved below
        wire::SockAddr datagram;
        bool heard = true;
        int missedPings = 0;
        // Joined: in a session with the reliable protocol, traffic to it goes in its frames.
        bool joined = true;
    };
    struct Connection {
        QTcpSocket* socket = nullptr;
        wire::StreamFramer framer;
        int malformed = 0;
        bool outgoing = false;
        std::uint32_t peerIp = 0;
        std::uint16_t peerPort = 0;  // outgoing: the port connected to
        std::int64_t overWriteLimitSince = -1;
    };

    void OpenSockets();
    bool OpenEnumSocket();
    void OnNewConnection();
    void Attach(QTcpSocket* socket, bool outgoing, std::uint16_t port);
    void OnReadable(QTcpSocket* socket);
    void OnSocketGone(QTcpSocket* socket);
    void OnDatagrams(QUdpSocket* socket);
    void HandleDatagram(std::span<const std::uint8_t> bytes, std::uint32_t peerIp,
                        bool sessionPort);
    void HandleFrame(const wire::Bytes& bytes, std::uint32_t peerIp, Connection* from);
    void HandleSystem(const wire::Frame& frame, std::uint32_t peerIp, Connection* from);
    void HandleForJoiner(const wire::Frame& frame, std::uint32_t peerIp, Connection* from);
    void HandleForHost(const wire::Frame& frame, std::uint32_t peerIp, Connection* from);
    void HandleShared(const wire::Frame& frame, std::uint32_t peerIp, Connection* from);
    void HandlePlayerMessage(const wire::PlayerMessage& message);
    void Malformed(Connection* from);
    void MachineLost(std::int32_t systemId);
    void LoseSession();
    // Host migration: who follows a host that left, and taking over its duties.
    void ElectHost();
    void BecomeHost();
    void FollowNewHost(const wire::IAmNameServer& message, std::uint32_t peerIp);
    void CreateFromMessage(const wire::Frame& frame, std::uint32_t peerIp, Connection* from);

    // The reliable protocol (session_reliable.cpp).
    bool UsesReliable(const Machine& machine) const;
    std::uint16_t IndexOf(std::int32_t id) const;
    const Player* PlayerAtIndex(std::uint16_t index) const;
    reliable::Link& LinkTo(const Machine& machine);
    void SendReliable(const Machine& machine, const wire::Bytes& frame);
    void OnReliableDatagram(std::span<const std::uint8_t> bytes, std::uint32_t peerIp);
    void OnReliableMessage(std::int32_t systemId, const reliable::Frame& last, wire::Bytes message);
    void ReliableTick();
    void WriteDatagram(std::uint32_t ip, std::uint16_t port, const wire::Bytes& datagram);

    // Host side.
    void AnswerEnum(const wire::Frame& frame, std::uint32_t peerIp);
    void AnswerRequestPlayerId(const wire::Frame& frame, std::uint32_t peerIp, Connection* from);
    void AdmitMachine(const wire::Frame& frame, std::uint32_t peerIp, Connection* from);
    void FinishAdmission(std::int32_t systemId);
    std::int32_t NewPlayerId();
    void CountIssued(std::int32_t id);  // an ID of the session that new ones must not repeat
    // Every player of the session as the name table sent to a joining machine lists it.
    std::vector<wire::PlayerInfo> NameTable() const;

    // Both sides.
    // False when the session's bounds leave no room for it.
    bool AddRemotePlayer(const wire::PlayerInfo& info, std::uint32_t peerIp);
    // Trust: which machine sent a frame, whether it is the host, and whether a player message
    // may come from it.
    Machine* SenderOf(const wire::Frame& frame, std::uint32_t peerIp);
    const Player* FindPlayer(std::int32_t id) const;
    bool FromHost(const wire::Frame& frame, std::uint32_t peerIp);
    bool MayCarry(const wire::PlayerMessage& message, const Machine* sender) const;
    void Refuse(Connection* from);
    void RemovePlayer(std::int32_t id, bool notify);
    void RecountPlayers();
    wire::PlayerInfo InfoOf(const Player& player) const;
    Machine* MachineOf(std::int32_t systemId);
    Machine* MachineAt(std::uint32_t ip, std::uint16_t streamPort);
    void SendTo(const Machine& machine, const wire::Bytes& frame);
    void SendTcp(std::uint32_t ip, std::uint16_t port, const wire::Bytes& frame);
    void SendSystem(const Machine& machine, wire::Command command, const wire::Bytes& body);
    void SendToAllMachines(wire::Command command, const wire::Bytes& body);
    void SendDatagram(const Machine& machine, wire::Command command, const wire::Bytes& body);
    void Enqueue(QueuedMessage message);
    void Notice(std::uint32_t type, std::int32_t id);
    void PingTick();
    bool WaitUntil(const std::function<bool()>& done, int timeoutMs);
    wire::SockAddr OwnStream() const { return {0, TcpPort()}; }
    std::uint16_t Version() const { return m_version; }
    void RequireOpen() const;

    // Marks a call that waits in an event loop; a second one meanwhile fails at once.
    class BlockingCall {
    public:
        explicit BlockingCall(Session& session);
        ~BlockingCall();
        BlockingCall(const BlockingCall&) = delete;
        BlockingCall& operator=(const BlockingCall&) = delete;

    private:
        Session& m_session;
    };

    SessionOptions m_options;
    State m_state = State::Idle;
    bool m_blocking = false;
    QTcpServer* m_server = nullptr;
    QUdpSocket* m_udp = nullptr;
    QUdpSocket* m_enumUdp = nullptr;
    QTimer m_pingTimer;
    std::map<QTcpSocket*, std::unique_ptr<Connection>> m_connections;
    std::map<std::pair<std::uint32_t, std::uint16_t>, QTcpSocket*> m_outgoing;
    std::map<std::int32_t, Player> m_players;
    std::map<std::int32_t, Machine> m_machines;  // remote machines by system player
    std::map<std::int32_t, std::unique_ptr<reliable::Link>> m_links;  // by system player
    QTimer m_reliableTimer;
    std::uint32_t m_impairmentState = 1;
    std::deque<QueuedMessage> m_queue;
    wire::SessionDesc m_desc;
    std::u16string m_name;
    std::u16string m_password;
    std::uint16_t m_version = wire::kNewestVersion;
    std::int32_t m_systemId = 0;
    std::int32_t m_hostSystemId = 0;
    std::uint32_t m_idsIssued = 0;
    std::uint64_t m_malformed = 0;
    std::uint64_t m_refusedConnections = 0;
    std::uint64_t m_refusedMessages = 0;
    std::size_t m_queuedBytes = 0;

    // Local application players with the time they were created, for CREATEPLAYERVERIFY.
    std::vector<std::pair<std::int32_t, std::int64_t>> m_recentLocal;
    // Host migration: the host left and the elected machine has not announced itself yet.
    bool m_awaitingHost = false;

    // Joining in progress.
    bool m_enumerating = false;
    bool m_joining = false;
    bool m_requestOutstanding = false;  // a REQUESTPLAYERID waits for its reply
    std::vector<std::pair<wire::Frame, std::uint32_t>> m_earlyCreates;
    std::vector<FoundSession> m_found;
    std::optional<wire::RequestPlayerReply> m_playerReply;
    std::optional<wire::SuperEnumPlayersReply> m_superEnum;
    std::optional<std::int32_t> m_addForwardError;

    // Hosting: machines waiting for acknowledgements of their announcement.
    struct Admission {
        std::vector<std::int32_t> waitingFor;
        QTimer* timer = nullptr;
    };
    std::map<std::int32_t, Admission> m_admissions;
};

}  // namespace platform::directplay
