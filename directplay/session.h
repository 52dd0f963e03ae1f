#pragma once

// The TCP/IP service provider and session logic of DirectPlay 4, both roles of one machine:
// joining (enumerating, joining, creating players, talking to every machine of the session)
// and hosting (answering enumeration, handing out player IDs, admitting machines, pinging),
// which a joiner takes over when the session migrates its host. The Session is small and
// routes between parts with narrow interfaces of their own: the Transport (sockets, framing,
// connections, datagrams), the NameTable (players and machines), PlayerIds (the host's IDs
// and their reservations) and ReliableLinks (traffic in the reliable protocol's frames). Its
// roles live in files of their own: session_join.cpp, session_host.cpp (with migration),
// session_reliable.cpp, session_transport.cpp (what arrives, how it is sent, pings, waits),
// session_names.cpp (who may change the name table and what is told of it), and session.cpp
// (the operations the program calls, the queue, departures, messages of both roles).
//
// The session's life is one state machine (README.md beside this file draws it):
//   Closed -> Enumerating -> Closed            EnumSessions
//   Closed -> Joining -> Joined | Closed       Join (a failed join leaves nothing behind)
//   Closed -> Hosting                          Host
//   Joined -> Migrating -> Joined | Hosting    the host left a session that migrates
//   Joined | Migrating | Hosting -> Closing -> Closed      Close (our players deleted first)
//   Joined | Migrating | Hosting -> Lost       the host ended it, or it left without migration
// State changes at safe points only: a machine that leaves (said so, went silent, its link
// died) is removed once the event that told of it is over, and nothing removed while it runs
// (a reliable link, a connection) is destroyed before its own call returns.
//
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

#include "directplay/name_table.h"
#include "directplay/player_ids.h"
#include "directplay/reliable.h"
#include "directplay/reliable_links.h"
#include "directplay/session_options.h"
#include "directplay/transport.h"
#include "directplay/wire.h"

namespace directplay {

// DirectPlay's own notices, queued from player 0.
namespace system_message {
inline constexpr std::uint32_t kCreatePlayer = 0x0003;
inline constexpr std::uint32_t kDestroyPlayer = 0x0005;
inline constexpr std::uint32_t kSetPlayerData = 0x0102;  // DPSYS_SETPLAYERORGROUPDATA
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

    std::int32_t CreatePlayer(const std::u16string& friendlyName, const std::u16string& formalName,
                              wire::Bytes data = {});
    // A local player's game data: every machine of the session is told (DPSP_MSG_PLAYERDATA-
    // CHANGED) and queues DPSYS_SETPLAYERORGROUPDATA for its players.
    void SetPlayerData(std::int32_t id, wire::Bytes data);
    // Any player's game data as this machine knows it; none for a player it does not know.
    std::optional<wire::Bytes> PlayerData(std::int32_t id) const;
    void DestroyPlayer(std::int32_t id);
    void Send(std::int32_t from, std::int32_t to, std::span<const std::uint8_t> data);
    std::size_t MessageCount(std::int32_t playerId) const;
    std::optional<QueuedMessage> Receive();
    std::optional<std::u16string> FriendlyName(std::int32_t id) const;
    std::vector<std::int32_t> PlayerIds() const;
    void Close();

    enum class Phase { Closed, Enumerating, Joining, Joined, Migrating, Hosting, Closing, Lost };
    Phase CurrentPhase() const { return m_phase; }
    bool IsOpen() const {
        return m_phase == Phase::Joined || m_phase == Phase::Migrating || m_phase == Phase::Hosting;
    }
    bool IsHost() const { return m_phase == Phase::Hosting; }
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
    // Links of the reliable protocol given up (a guaranteed frame unacknowledged too long).
    std::uint64_t DeadLinks() const { return m_links->DeadLinks(); }
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
    // A machine left: removed once the current event is over (ApplyDepartures).
    void MachineLost(std::int32_t systemId);
    void ApplyDepartures();
    void RemoveMachine(std::int32_t systemId);
    void LoseSession();
    // Host migration: who follows a host that left, and taking over its duties.
    void ElectHost();
    void BecomeHost();
    void FollowNewHost(const wire::IAmNameServer& message, std::uint32_t peerIp);
    // Joining: a creation or deletion before the name table, kept to apply after it.
    void KeepEarly(const wire::Frame& frame, std::uint32_t peerIp);
    void CreateFromMessage(const wire::Frame& frame, std::uint32_t peerIp, Connection* from);

    // The reliable protocol (session_reliable.cpp).
    bool UsesReliable(const Machine& machine) const;
    std::uint16_t IndexOf(std::int32_t id) const;
    const Player* PlayerAtIndex(std::uint16_t index) const;
    reliable::Link& LinkTo(const Machine& machine);
    void SendReliable(const Machine& machine, const wire::Bytes& frame);
    void OnReliableDatagram(std::span<const std::uint8_t> bytes, std::uint32_t peerIp);
    void OnReliableMessage(std::int32_t systemId, const reliable::Frame& last, wire::Bytes message);

    // Host side.
    void AnswerEnum(const wire::Frame& frame, std::uint32_t peerIp);
    void AnswerRequestPlayerId(const wire::Frame& frame, std::uint32_t peerIp, Connection* from);
    void AdmitMachine(const wire::Frame& frame, std::uint32_t peerIp, Connection* from);
    void FinishAdmission(std::int32_t systemId);
    // A new ID no player of the session holds; nullopt when none is left.
    std::optional<std::int32_t> NewPlayerId();
    bool ClaimCreated(const wire::PlayerInfo& info, const Machine* sender);
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
    // Closing: our players' deletions reach the wire before the links go (bounded).
    void Flush();
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
    Phase m_phase = Phase::Closed;
    bool m_blocking = false;
    QTimer m_pingTimer;
    Transport* m_transport;  // a child of this object
    NameTable m_names;
    PlayerIdIssuer m_ids;
    ReliableLinks* m_links;                  // a child of this object
    std::vector<std::int32_t> m_departures;  // machines that left, removed at the safe point
    std::deque<QueuedMessage> m_queue;
    wire::SessionDesc m_desc;
    std::u16string m_name;
    std::u16string m_password;
    std::uint16_t m_version = wire::kNewestVersion;
    std::int32_t m_systemId = 0;
    std::int32_t m_hostSystemId = 0;
    std::uint64_t m_refusedMessages = 0;
    std::int64_t m_answerSecondStart = 0;  // hosting: enumeration answers this second
    int m_answersThisSecond = 0;
    std::size_t m_queuedBytes = 0;

    // Local application players with the time they were created, for CREATEPLAYERVERIFY.
    std::vector<std::pair<std::int32_t, std::int64_t>> m_recentLocal;

    // Joining in progress.
    bool m_requestOutstanding = false;  // a REQUESTPLAYERID waits for its reply
    // Creations and deletions that arrive before the name table, applied after it in order.
    std::vector<std::pair<wire::Frame, std::uint32_t>> m_early;
    std::vector<std::pair<wire::Bytes, std::uint32_t>> m_earlyDatagrams;  // reliable frames
    std::size_t m_earlyBytes = 0;
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

}  // namespace directplay
