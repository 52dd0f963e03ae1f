#pragma once

// The TCP/IP service provider and session logic of DirectPlay 4, both roles of one machine:
// joining (enumerating, joining, creating players, talking to every machine of the session)
// and hosting (answering enumeration, handing out player IDs, admitting machines, pinging),
// which a joiner takes over when the session migrates its host. It is built of two parts with
// narrow interfaces, the Transport (sockets, framing, connections, datagrams) and the
// NameTable (players and machines), and its roles live in files of their own:
// session_join.cpp, session_host.cpp, session_reliable.cpp (traffic in the reliable
// protocol's frames), session_transport.cpp (what arrives, how it is sent, pings, waits),
// session_names.cpp (who may change the name table and what is told of it), and session.cpp
// (the operations the program calls, the queue, messages of both roles).
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

#include "platform/directplay/name_table.h"
#include "platform/directplay/reliable.h"
#include "platform/directplay/session_options.h"
#include "platform/directplay/transport.h"
#include "platform/directplay/wire.h"

namespace platform::directplay {

// DirectPlay's own notices, queued from player 0.
namespace system_message {
inline constexpr std::uint32_t kCreatePlayer = 0x0003;
inline constexpr std::uint32_t kDestroyPlayer = 0x0005;
inline constexpr std::uint32_t kSessionLost = 0x0031;
}  // namespace system_message

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
    std::uint16_t TcpPort() const { return m_transport->TcpPort(); }
    std::uint16_t UdpPort() const { return m_transport->UdpPort(); }
    std::uint16_t EnumPort() const { return m_transport->EnumPort(); }
    std::int32_t SystemPlayerId() const { return m_systemId; }
    const wire::SessionDesc& Desc() const { return m_desc; }
    std::size_t MachineCount() const { return m_names.Machines().size(); }
    std::uint64_t MalformedCount() const { return m_transport->MalformedCount(); }
    std::uint64_t RefusedConnections() const { return m_transport->RefusedConnections(); }
    std::uint64_t RefusedMessages() const { return m_refusedMessages; }
    std::size_t QueuedBytes() const { return m_queuedBytes; }
    std::size_t PlayerCount() const { return m_names.Players().size(); }
    std::size_t ConnectionCount() const { return m_transport->ConnectionCount(); }
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

    using Player = NameTable::Player;
    using Machine = NameTable::Machine;
    using Connection = Transport::Connection;

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

    // Host side.
    void AnswerEnum(const wire::Frame& frame, std::uint32_t peerIp);
    void AnswerRequestPlayerId(const wire::Frame& frame, std::uint32_t peerIp, Connection* from);
    void AdmitMachine(const wire::Frame& frame, std::uint32_t peerIp, Connection* from);
    void FinishAdmission(std::int32_t systemId);
    std::int32_t NewPlayerId();
    void CountIssued(std::int32_t id);  // an ID of the session that new ones must not repeat
    // Every player of the session as the name table sent to a joining machine lists it.
    std::vector<wire::PlayerInfo> NameTableForJoiner() const;

    // Both sides.
    // False when the session's bounds leave no room for it.
    bool AddRemotePlayer(const wire::PlayerInfo& info, std::uint32_t peerIp);
    // Trust: which machine sent a frame, and whether it is the host.
    Machine* SenderOf(const wire::Frame& frame, std::uint32_t peerIp);
    bool FromHost(const wire::Frame& frame, std::uint32_t peerIp);
    void Refuse(Connection* from);
    void RemovePlayer(std::int32_t id, bool notify);
    void RecountPlayers();
    wire::PlayerInfo InfoOf(const Player& player) const;
    void SendTo(const Machine& machine, const wire::Bytes& frame);
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
    QTimer m_pingTimer;
    Transport* m_transport;  // a child of this object
    NameTable m_names;
    std::map<std::int32_t, std::unique_ptr<reliable::Link>> m_links;  // by system player
    QTimer m_reliableTimer;
    std::deque<QueuedMessage> m_queue;
    wire::SessionDesc m_desc;
    std::u16string m_name;
    std::u16string m_password;
    std::uint16_t m_version = wire::kNewestVersion;
    std::int32_t m_systemId = 0;
    std::int32_t m_hostSystemId = 0;
    std::uint32_t m_idsIssued = 0;
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
