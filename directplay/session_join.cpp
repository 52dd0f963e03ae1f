// Joining: finding sessions, joining one, the messages a joined machine takes from its host,
// and following a new host.

#include <QElapsedTimer>
#include <QHostInfo>
#include <algorithm>

#include "directplay/errors.h"
#include "directplay/session.h"
#include "directplay/session_internal.h"

namespace directplay {

using wire::Bytes;
using wire::Command;
using namespace session_internal;

Session::BlockingCall::BlockingCall(Session& session) : m_session(session) {
    // The waits below spin an event loop: a window's handler may call in again meanwhile.
    if (session.m_blocking)
        Fail(session.m_phase == Phase::Joining ? hresult::kConnecting : hresult::kBusy,
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
    m_transport->Open();
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
    m_phase = Phase::Enumerating;
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
        m_transport->SendSearch(target, port, request);
        const qint64 left = window - clock.elapsed();
        WaitUntil([] { return false; }, static_cast<int>(std::min<qint64>(left, kEnumResendMs)));
    }
    m_phase = Phase::Closed;
    return m_found;
}

void Session::Join(const FoundSession& session, const std::u16string& password) {
    BlockingCall blocking(*this);
    if (IsOpen())
        Fail(hresult::kAlreadyInitialized, "a session is already open");
    using namespace wire::session_flag;
    if (session.desc.flags & kSecure)
        Fail(hresult::kAuthenticationFailed, "the session is secure and needs a Windows logon");
    m_transport->Open();
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
    host.stream = {hostIp, session.hostPort};
    m_names.Clear();
    m_names.PutMachine(host);  // keyed by its system player (0 until known)

    // A join that fails leaves nothing of the session behind.
    auto abandon = [&](std::int32_t code, const std::string& text) {
        m_names.Clear();
        m_systemId = 0;
        m_phase = Phase::Closed;
        m_requestOutstanding = false;
        m_early.clear();
        m_earlyDatagrams.clear();
        m_earlyBytes = 0;
        Fail(code, text);
    };
    m_phase = Phase::Joining;
    m_early.clear();
    m_earlyDatagrams.clear();
    m_earlyBytes = 0;
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
    m_names.Put(self);

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
    m_phase = Phase::Joined;
    m_password = password;  // a machine that becomes host admits with the session's password
    m_names.Machines().clear();
    m_desc = m_superEnum->desc;
    // The host first, so the others' addresses resolve against it.
    for (const auto& info : m_superEnum->players) {
        if ((info.flags & wire::player_flag::kNameServer) && info.id != m_systemId) {
            m_hostSystemId = info.id;
            Machine hostMachine = host;
            hostMachine.systemId = info.id;
            hostMachine.datagram = {info.datagram.address ? info.datagram.address : hostIp,
                                    info.datagram.port};
            m_names.PutMachine(hostMachine);
            Player player;
            player.id = info.id;
            player.systemId = info.id;
            player.flags = info.flags;
            m_names.Put(player);
        }
    }
    for (const auto& info : m_superEnum->players) {
        if (info.id == m_systemId || info.id == m_hostSystemId)
            continue;
        AddRemotePlayer(info, hostIp);
    }
    m_superEnum.reset();
    // Machines admitted and players created and deleted while the name table was on its way:
    // applied now, in the order they came.
    auto early = std::move(m_early);
    auto earlyDatagrams = std::move(m_earlyDatagrams);
    m_early.clear();
    m_earlyDatagrams.clear();
    m_earlyBytes = 0;
    for (const auto& [frame, peerIp] : early)
        HandleSystem(frame, peerIp, nullptr);
    for (const auto& [bytes, peerIp] : earlyDatagrams)
        HandleDatagram(bytes, peerIp, true);
    m_pingTimer.start();
}

// Messages a joining or joined machine takes: answers to its requests, and the host's word.
void Session::HandleForJoiner(const wire::Frame& frame, std::uint32_t peerIp, Connection* from) {
    const auto& body = frame.body;
    switch (frame.command) {
        case Command::EnumSessionsReply:
            if (m_phase == Phase::Enumerating) {
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
        case Command::AddForwardReply:
            if (m_phase != Phase::Joining)
                return Refuse(from);  // answers nothing of ours
            if (!FromHost(frame, peerIp))
                return Refuse(from);
            if (auto error = wire::DecodeId(body))
                m_addForwardError = *error;
            return;
        case Command::SuperEnumPlayersReply:
            if (m_phase != Phase::Joining)
                return Refuse(from);  // answers nothing of ours
            if (!FromHost(frame, peerIp))
                return Refuse(from);
            if (auto reply = wire::DecodeSuperEnumPlayersReply(body))
                m_superEnum = std::move(reply);
            else
                Malformed(from);
            return;
        case Command::AddForward: {
            // Only the host admits machines.
            if (!FromHost(frame, peerIp))
                return Refuse(from);
            // A machine admitted while we are still joining: it may not be in the name table
            // on its way, and nobody else will tell us of it. Kept, and taken with the table.
            if (m_phase == Phase::Joining)
                return KeepEarly(frame, peerIp);
            if (m_phase != Phase::Joined)
                return;
            auto message = wire::DecodePlayerCreate(body, false);
            if (!message || !(message->player.flags & wire::player_flag::kSystem))
                return Malformed(from);
            if (!m_names.Contains(message->player.id) && !AddRemotePlayer(message->player, peerIp))
                return Refuse(from);
            if (Machine* host = m_names.MachineOf(m_hostSystemId))
                SendSystem(*host, Command::AddForwardAck, wire::EncodeId(message->playerId));
            return;
        }
        case Command::YouAreDead:
            if (IsOpen() && !IsHost())
                return FromHost(frame, peerIp) ? LoseSession() : Refuse(from);
            return;
        default:
            return;
    }
}

void Session::KeepEarly(const wire::Frame& frame, std::uint32_t peerIp) {
    // Kept until the name table is here, within bounds: beyond them the rest is dropped and
    // counted (not held against the connection, which may be the host's).
    if (m_early.size() >= m_options.maxEarlyMessages ||
        m_earlyBytes + frame.body.size() > m_options.maxEarlyBytes) {
        ++m_refusedMessages;
        return;
    }
    m_earlyBytes += frame.body.size();
    m_early.emplace_back(frame, peerIp);
}

void Session::FollowNewHost(const wire::IAmNameServer& message, std::uint32_t) {
    const std::int32_t announced = message.idHost;
    if (announced == m_hostSystemId && m_phase == Phase::Joined)
        return;  // the host we follow says it again
    Machine* rival = m_names.MachineOf(announced);
    if (!rival)
        return;
    if (IsHost()) {
        // There is one host: a machine that claims to be another is told it is not in the
        // session any more, and goes.
        SendSystem(*rival, Command::YouAreDead, {});
        MachineLost(announced);
        return;
    }
    // The machine that says it is the host is followed. A host we followed before and that
    // has not said goodbye yet is gone: a new one is only announced when the old one left.
    const std::int32_t previous = m_hostSystemId;
    m_names.MarkHost(announced);
    m_hostSystemId = announced;
    m_phase = Phase::Joined;
    if (previous != announced && previous != 0 && m_names.MachineOf(previous))
        MachineLost(previous);
}

}  // namespace directplay
