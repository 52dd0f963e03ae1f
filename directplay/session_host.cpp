// Hosting: answering searches, handing out player IDs, admitting machines, and taking the
// host's place when the session migrates.

#include <QRandomGenerator>
#include <QTimer>
#include <algorithm>

#include "directplay/errors.h"
#include "directplay/session.h"
#include "directplay/session_internal.h"

namespace directplay {

using wire::Bytes;
using wire::Command;
using namespace session_internal;

void Session::Host(const wire::SessionDesc& desc, const std::u16string& name,
                   const std::u16string& password) {
    if (IsOpen())
        Fail(hresult::kAlreadyInitialized, "a session is already open");
    m_transport->Open();
    if (!m_transport->OpenEnum())
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
    m_phase = Phase::Hosting;
    m_ids = PlayerIdIssuer();
    m_ids.SetMask(m_desc.reserved1);
    m_systemId = *NewPlayerId();
    m_hostSystemId = m_systemId;
    Player self;
    self.id = m_systemId;
    self.systemId = m_systemId;
    self.flags = wire::player_flag::kSystem | wire::player_flag::kNameServer |
                 wire::player_flag::kInGroup | wire::player_flag::kLocal;
    self.local = true;
    m_names.Put(self);
    m_pingTimer.start();
}

std::optional<std::int32_t> Session::NewPlayerId() {
    // No index a player of the session holds is handed out again.
    std::vector<bool> held(0x10000);
    for (const auto& [id, player] : m_names.Players())
        held[m_ids.IndexOf(id)] = true;
    return m_ids.Issue([&](std::uint16_t index) { return static_cast<bool>(held[index]); });
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
    // Each answer costs a connection: so many a second, so many at once.
    const std::int64_t now = NowMs();
    if (now - m_answerSecondStart >= 1000)
        m_answerSecondStart = now, m_answersThisSecond = 0;
    if (m_answersThisSecond >= m_options.maxAnswersPerSecond) {
        ++m_refusedMessages;
        return;
    }
    ++m_answersThisSecond;
    const Bytes reply = wire::EncodeFrame(OwnStream(), Command::EnumSessionsReply, m_version,
                                          wire::EncodeEnumSessionsReply({m_desc, m_name}));
    // The answer goes on a connection of its own, which closes once written.
    m_transport->SendOnce(peerIp, frame.sender.port, reply);
}

void Session::AnswerRequestPlayerId(const wire::Frame& frame, std::uint32_t peerIp,
                                    Connection* from) {
    auto flags = wire::DecodeRequestPlayerId(frame.body);
    if (!flags)
        return Malformed(from);
    const bool system = *flags & wire::player_flag::kSystem;
    const Machine* asker = SenderOf(frame, peerIp);
    // A machine of the session asks for its players' IDs; a stranger only for the system
    // player it joins with, and only so many strangers at once.
    if (!system && !asker)
        return Refuse(from);
    const std::int64_t now = NowMs();
    if (m_ids.Expire(now, m_options.reservationMs) != 0)
        RecountPlayers();
    wire::RequestPlayerReply reply;
    const bool full = m_desc.maxPlayers != 0 && m_desc.currentPlayers >= m_desc.maxPlayers;
    const std::uint32_t closed =
        system ? wire::session_flag::kJoinDisabled : wire::session_flag::kNoNewPlayers;
    if (system && asker)
        return Refuse(from);  // a machine of the session has its system player
    if (full || (m_desc.flags & closed) ||
        (system && m_ids.Reserved(true) >= m_options.maxPendingJoins)) {
        reply.result = hresult::kNoNewPlayers;
    } else if (const auto id = NewPlayerId()) {
        reply.id = *id;
        // Held for the asker until its ADDFORWARDREQUEST or CREATEPLAYER names it; an
        // application player counts now, so the limit holds while its creation is on its way.
        m_ids.Reserve(*id, {peerIp, frame.sender.port}, system, now);
        if (!system)
            RecountPlayers();
    } else {
        reply.result = hresult::kNoNewPlayers;
    }
    // A machine of the session is answered the way all its traffic goes (in a session with
    // the reliable protocol, in its frames); a joining one where it asked from.
    const Bytes answer = wire::EncodeFrame(OwnStream(), Command::RequestPlayerReply, m_version,
                                           wire::EncodeRequestPlayerReply(reply));
    if (asker)
        SendTo(*asker, answer);
    else
        m_transport->SendStream(peerIp, frame.sender.port, answer);
}

void Session::AdmitMachine(const wire::Frame& frame, std::uint32_t peerIp, Connection* from) {
    auto request = wire::DecodePlayerCreate(frame.body, true);
    if (!request)
        return Malformed(from);
    auto answer = [&](std::int32_t error) {
        m_transport->SendStream(peerIp, frame.sender.port,
                                wire::EncodeFrame(OwnStream(), Command::AddForwardReply, m_version,
                                                  wire::EncodeId(error)));
    };
    if ((m_desc.flags & wire::session_flag::kPasswordRequired) && request->password != m_password)
        return answer(hresult::kInvalidPassword);
    // The system player's ID must be the one handed to this machine, and free.
    if (m_names.Contains(request->playerId) ||
        !m_ids.Claim(request->playerId, {peerIp, frame.sender.port}, true)) {
        ++m_refusedMessages;
        return answer(hresult::kInvalidPlayer);
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
    for (const auto& [id, machine] : m_names.Machines())
        others.push_back(id);
    if (!AddRemotePlayer(info, peerIp))
        return answer(hresult::kNoNewPlayers);
    m_transport->Vouch(from);
    // Until it has the name table, a joining machine is spoken to as during any join.
    if (Machine* joining = m_names.MachineOf(info.id))
        joining->joined = false;

    wire::PlayerCreate forward;
    forward.playerId = info.id;
    forward.player = info;
    forward.player.flags = wire::player_flag::kSystem | wire::player_flag::kInGroup;
    for (std::int32_t id : others)
        if (const Machine* machine = m_names.MachineOf(id))
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
    Machine* machine = m_names.MachineOf(systemId);
    if (!machine)
        return;
    wire::SuperEnumPlayersReply reply;
    reply.desc = m_desc;
    reply.name = m_name;
    reply.players = NameTableForJoiner();
    SendSystem(*machine, Command::SuperEnumPlayersReply, wire::EncodeSuperEnumPlayersReply(reply));
    machine->joined = true;
}

std::vector<wire::PlayerInfo> Session::NameTableForJoiner() const {
    using namespace wire::player_flag;
    std::vector<wire::PlayerInfo> table;
    for (const auto& [id, player] : m_names.Players()) {
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

// Messages only the host takes: requests of joining machines.
void Session::HandleForHost(const wire::Frame& frame, std::uint32_t peerIp, Connection* from) {
    const auto& body = frame.body;
    switch (frame.command) {
        case Command::RequestPlayerId:
            if (IsHost())
                AnswerRequestPlayerId(frame, peerIp, from);
            return;
        case Command::AddForwardRequest:
            if (IsHost())
                AdmitMachine(frame, peerIp, from);
            return;
        case Command::AddForwardAck:
            if (IsHost()) {
                auto id = wire::DecodeId(body);
                if (!id)
                    return Malformed(from);
                const Machine* acker = m_names.MachineAt(peerIp, frame.sender.port);
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
        default:
            return;
    }
}

void Session::ElectHost() {
    // Every machine runs the same election: the system player with the lowest ID follows the
    // host. IDs compare as the unsigned 32-bit DPIDs they are; as signed numbers a masked ID
    // with its top bit set would wrongly come first.
    std::uint32_t lowest = static_cast<std::uint32_t>(m_systemId);
    for (const auto& [id, machine] : m_names.Machines())
        lowest = std::min(lowest, static_cast<std::uint32_t>(id));
    if (lowest == static_cast<std::uint32_t>(m_systemId))
        return BecomeHost();
    // Another machine takes over; until it says so, every machine is pinged so that one that
    // is gone too is noticed and the election runs again.
    m_hostSystemId = static_cast<std::int32_t>(lowest);
    m_phase = Phase::Migrating;
}

void Session::BecomeHost() {
    m_phase = Phase::Hosting;
    m_hostSystemId = m_systemId;
    using namespace wire::player_flag;
    if (Player* self = m_names.Find(m_systemId))
        self->flags = kSystem | kNameServer | kInGroup | kLocal;
    // New IDs go on beyond every index and uniqueness count the old host handed out.
    m_ids = PlayerIdIssuer();
    m_ids.SetMask(m_desc.reserved1);
    for (const auto& [id, player] : m_names.Players())
        m_ids.Seen(id);
    RecountPlayers();
    // Enumeration is answered where the old host answered it when the port is free;
    // otherwise the session goes on without being listed.
    if (!m_transport->HasEnum())
        (void)m_transport->OpenEnum();
    wire::IAmNameServer announcement;
    announcement.idHost = m_systemId;
    announcement.flags = kSystem | kNameServer | kInGroup;
    announcement.hasAddresses = true;
    announcement.stream = {0, TcpPort()};
    announcement.datagram = {0, UdpPort()};
    for (const auto& [id, machine] : m_names.Machines()) {
        announcement.idTo = id;
        SendSystem(machine, Command::IAmNameServer, wire::EncodeIAmNameServer(announcement));
    }
    emit progressed();
}

}  // namespace directplay
