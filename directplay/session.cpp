// The session's public operations, its message queue, and the messages both roles take.

#include <QTimer>
#include <QtGlobal>
#include <algorithm>

#include "directplay/errors.h"
#include "directplay/session.h"
#include "directplay/session_internal.h"

namespace directplay {

using wire::Bytes;
using wire::Command;
using namespace session_internal;

Session::Session(SessionOptions options, QObject* parent)
    : QObject(parent), m_options(std::move(options)) {
    Transport::Handlers handlers;
    handlers.frame = [this](const Bytes& frame, std::uint32_t peerIp, Connection* from) {
        HandleFrame(frame, peerIp, from);
    };
    handlers.datagram = [this](std::span<const std::uint8_t> bytes, std::uint32_t peerIp,
                               bool sessionPort) { HandleDatagram(bytes, peerIp, sessionPort); };
    handlers.outgoingLost = [this](std::uint32_t ip, std::uint16_t port) {
        // A broken connection tells of the machine at its end only where that machine's
        // presence is ours to judge: the host judges everybody, the others their host.
        if (!IsOpen())
            return;
        if (Machine* machine = m_names.MachineAt(ip, port))
            if (IsHost() || machine->systemId == m_hostSystemId)
                MachineLost(machine->systemId);
    };
    m_transport = new Transport(m_options, std::move(handlers), this);
    ReliableLinks::Handlers links;
    links.transmit = [this](std::int32_t systemId, const Bytes& frame) {
        if (const Machine* to = m_names.MachineOf(systemId); to && to->datagram.port != 0)
            m_transport->SendDatagram(to->datagram.address, to->datagram.port, frame);
    };
    links.deliver = [this](std::int32_t systemId, const reliable::Frame& last, Bytes message) {
        OnReliableMessage(systemId, last, std::move(message));
    };
    links.dead = [this](std::int32_t systemId) {
        qWarning("DirectPlay: machine %08x acknowledged nothing for %lld s; its link is dead",
                 static_cast<unsigned>(systemId),
                 static_cast<long long>(reliable::Link::kGiveUpMs / 1000));
        MachineLost(systemId);
    };
    m_links = new ReliableLinks(std::move(links), this);
    m_pingTimer.setInterval(m_options.pingIntervalMs);
    connect(&m_pingTimer, &QTimer::timeout, this, &Session::PingTick);
}

Session::~Session() = default;

// Every system message goes to the role that takes it.
void Session::HandleSystem(const wire::Frame& frame, std::uint32_t peerIp, Connection* from) {
    switch (frame.command) {
        case Command::AddForward:
        case Command::AddForwardReply:
        case Command::EnumSessionsReply:
        case Command::RequestPlayerReply:
        case Command::SuperEnumPlayersReply:
        case Command::YouAreDead:
            return HandleForJoiner(frame, peerIp, from);
        case Command::AddForwardAck:
        case Command::AddForwardRequest:
        case Command::RequestPlayerId:
            return HandleForHost(frame, peerIp, from);
        default:
            return HandleShared(frame, peerIp, from);
    }
}

// Messages both roles take.
void Session::HandleShared(const wire::Frame& frame, std::uint32_t peerIp, Connection* from) {
    const auto& body = frame.body;
    switch (frame.command) {
        case Command::CreatePlayer:
        case Command::CreatePlayerVerify:
            if (m_phase == Phase::Joining)
                return KeepEarly(frame, peerIp);
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
            if (m_phase == Phase::Joining)
                return KeepEarly(frame, peerIp);
            if (!IsOpen())
                return;
            auto id = wire::DecodeDeletePlayer(body);
            if (!id)
                return Malformed(from);
            const bool host = FromHost(frame, peerIp);
            if (*id == m_systemId)
                return host ? LoseSession() : Refuse(from);  // only the host lets us go
            const Player* player = m_names.Find(*id);
            if (!player || player->local)
                return;
            // A machine deletes its own players; the host anybody's.
            const Machine* sender = SenderOf(frame, peerIp);
            if (!host && (!sender || sender->systemId != player->systemId))
                return Refuse(from);
            if (player->IsSystem())
                MachineLost(*id);
            else
                RemovePlayer(*id, true);
            return;
        }
        case Command::PlayerDataChanged: {
            if (!IsOpen() || m_phase == Phase::Joining)
                return;
            auto change = wire::DecodePlayerDataChanged(body);
            if (!change || change->data.size() > m_options.maxPlayerData)
                return Malformed(from);
            Player* player = m_names.Find(change->playerId);
            if (!player || player->local)
                return;
            // A machine sets its own players' data; the host anybody's.
            const Machine* sender = SenderOf(frame, peerIp);
            if (!sender ||
                (sender->systemId != player->systemId && sender->systemId != m_hostSystemId))
                return Refuse(from);
            player->data = std::move(change->data);
            Notice(system_message::kSetPlayerData, change->playerId);
            return;
        }
        case Command::Ping: {
            auto ping = wire::DecodePing(body);
            if (!ping || !IsOpen())
                return;
            // A ping from a player nobody knows is ignored; so is one that does not come from
            // its machine's address.
            const Player* player = m_names.Find(ping->idFrom);
            if (!player || player->local)
                return;
            Machine* machine = m_names.MachineOf(player->systemId);
            if (machine && machine->stream.address == peerIp) {
                machine->heard = true;
                machine->missedPings = 0;
                SendDatagram(*machine, Command::PingReply,
                             wire::EncodePing({m_systemId, ping->tickCount}));
            }
            return;
        }
        case Command::PingReply:
            if (auto reply = wire::DecodePing(body)) {
                Machine* machine = m_names.MachineOf(reply->idFrom);
                if (machine && machine->stream.address == peerIp)
                    machine->heard = true, machine->missedPings = 0;
            }
            return;
        case Command::PlayerWrapper:
            if (IsOpen()) {
                const bool noIds = m_desc.flags & wire::session_flag::kNoMessageId;
                auto message = wire::DecodePlayerPayload(body, noIds);
                if (!message)
                    return Malformed(from);
                if (!m_names.MayCarry(*message, SenderOf(frame, peerIp), m_hostSystemId))
                    return Refuse(from);
                HandlePlayerMessage(*message);
            }
            return;
        default:
            return;  // other messages are not used by this layer
    }
}

void Session::HandlePlayerMessage(const wire::PlayerMessage& message) {
    if (message.to == 0 || message.anonymous) {
        Enqueue({message.from, message.to, message.data});
        return;
    }
    const Player* target = m_names.Find(message.to);
    if (!target)
        return;
    if (target->local) {
        Enqueue({message.from, message.to, message.data});
        return;
    }
    // The host passes on what reached it for a player of another machine.
    if (IsHost()) {
        if (Machine* machine = m_names.MachineOf(target->systemId)) {
            const bool noIds = m_desc.flags & wire::session_flag::kNoMessageId;
            SendTo(*machine, wire::EncodePlayerMessage(OwnStream(), Version(), message, noIds));
        }
    }
}

void Session::Enqueue(QueuedMessage message) {
    // Bounded in count and in bytes; the newest are kept. One message larger than the whole
    // bound is refused on its own, leaving the queue as it was.
    if (message.data.size() > m_options.maxQueuedBytes) {
        ++m_refusedMessages;
        return;
    }
    while (!m_queue.empty() && (m_queue.size() >= m_options.maxQueuedMessages ||
                                m_queuedBytes + message.data.size() > m_options.maxQueuedBytes)) {
        m_queuedBytes -= m_queue.front().data.size();
        m_queue.pop_front();
    }
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

void Session::MachineLost(std::int32_t systemId) {
    if (std::find(m_departures.begin(), m_departures.end(), systemId) != m_departures.end())
        return;
    if (m_departures.empty())
        QMetaObject::invokeMethod(this, &Session::ApplyDepartures, Qt::QueuedConnection);
    m_departures.push_back(systemId);
}

void Session::ApplyDepartures() {
    // Nothing of the event that told of the departures runs any more.
    auto departures = std::move(m_departures);
    m_departures.clear();
    for (std::int32_t systemId : departures)
        if (IsOpen())
            RemoveMachine(systemId);
}

void Session::RemoveMachine(std::int32_t systemId) {
    const bool hostLeft = !IsHost() && systemId == m_hostSystemId;
    if (hostLeft && !(m_desc.flags & wire::session_flag::kMigrateHost))
        return LoseSession();
    const std::vector<std::int32_t> gone = m_names.RemoveMachine(systemId);
    if (gone.empty())
        return;
    m_links->Remove(systemId);
    m_admissions.erase(systemId);
    for (auto& [admitted, admission] : m_admissions)
        std::erase(admission.waitingFor, systemId);
    for (std::int32_t id : gone) {
        const bool system = id == systemId;
        RemovePlayer(id, !system);
        // The host speaks for a machine that can no longer say goodbye.
        if (IsHost())
            SendToAllMachines(Command::DeletePlayer, wire::EncodeDeletePlayer(id));
    }
    if (IsHost())
        RecountPlayers();
    if (hostLeft)
        ElectHost();
}

void Session::LoseSession() {
    if (!IsOpen())
        return;
    m_phase = Phase::Lost;
    m_pingTimer.stop();
    m_links->Clear();
    m_departures.clear();
    m_transport->Drop();
    Notice(system_message::kSessionLost, 0);
    emit sessionLost();
}

void Session::RequireOpen() const {
    if (m_phase == Phase::Lost)
        Fail(hresult::kSessionLost, "the session is lost");
    if (!IsOpen())
        Fail(hresult::kNoConnection, "no session is open");
}

std::int32_t Session::CreatePlayer(const std::u16string& friendlyName,
                                   const std::u16string& formalName, Bytes data) {
    BlockingCall blocking(*this);
    RequireOpen();
    if (data.size() > m_options.maxPlayerData)
        Fail(hresult::kInvalidParams, "the player's data is too large");
    Player player;
    player.systemId = m_systemId;
    player.flags = wire::player_flag::kLocal;
    player.shortName = friendlyName;
    player.longName = formalName;
    player.data = std::move(data);
    player.local = true;
    if (IsHost()) {
        if (m_desc.maxPlayers != 0 && m_desc.currentPlayers >= m_desc.maxPlayers)
            Fail(hresult::kNoNewPlayers, "the session is full");
        const auto id = NewPlayerId();
        if (!id)
            Fail(hresult::kNoNewPlayers, "no player ID is left");
        player.id = *id;
        ++m_desc.currentPlayers;
    } else {
        Machine* host = m_names.MachineOf(m_hostSystemId);
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
    m_names.Put(player);
    m_recentLocal.emplace_back(player.id, NowMs());
    wire::PlayerCreate create;
    create.playerId = player.id;
    create.player = InfoOf(player);
    SendToAllMachines(Command::CreatePlayer, wire::EncodeCreatePlayer(create));
    return player.id;
}

void Session::DestroyPlayer(std::int32_t id) {
    RequireOpen();
    const Player* player = m_names.Find(id);
    if (!player || !player->local || id == m_systemId)
        Fail(hresult::kInvalidPlayer, "not a player of this program");
    m_names.Remove(id);
    if (IsHost() && m_desc.currentPlayers > 0)
        --m_desc.currentPlayers;
    SendToAllMachines(Command::DeletePlayer, wire::EncodeDeletePlayer(id));
}

void Session::SetPlayerData(std::int32_t id, Bytes data) {
    RequireOpen();
    Player* player = m_names.Find(id);
    if (!player || !player->local || id == m_systemId)
        Fail(hresult::kInvalidPlayer, "not a player of this program");
    if (data.size() > m_options.maxPlayerData)
        Fail(hresult::kInvalidParams, "the player's data is too large");
    player->data = data;
    SendToAllMachines(Command::PlayerDataChanged,
                      wire::EncodePlayerDataChanged({id, std::move(data)}));
}

std::optional<Bytes> Session::PlayerData(std::int32_t id) const {
    const Player* player = m_names.Find(id);
    if (!player)
        return std::nullopt;
    return player->data;
}

void Session::Send(std::int32_t from, std::int32_t to, std::span<const std::uint8_t> data) {
    RequireOpen();
    const Player* sender = m_names.Find(from);
    if (!sender || !sender->local)
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
        for (const auto& [id, machine] : m_names.Machines())
            SendTo(machine, frame);
        return;
    }
    const Player* target = m_names.Find(to);
    if (!target)
        Fail(hresult::kInvalidPlayer, "no such player");
    if (target->local) {
        Enqueue({from, to, message.data});
        return;
    }
    Machine* machine = m_names.MachineOf(target->systemId);
    if (!machine)
        machine = m_names.MachineOf(m_hostSystemId);  // let the host pass it on
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

void Session::Close() {
    // Leaving, a machine deletes its players everywhere, the host's as well: the others learn
    // at once that it left (and, where the session allows it, choose the next host). The
    // deletions reach the wire before the links and connections go.
    if (IsOpen()) {
        m_pingTimer.stop();
        for (const auto& [id, player] : m_names.Players())
            if (player.local && id != m_systemId)
                SendToAllMachines(Command::DeletePlayer, wire::EncodeDeletePlayer(id));
        SendToAllMachines(Command::DeletePlayer, wire::EncodeDeletePlayer(m_systemId));
        m_phase = Phase::Closing;
        Flush();
    }
    m_phase = Phase::Closed;
    m_links->Clear();
    m_departures.clear();
    m_recentLocal.clear();
    m_pingTimer.stop();
    m_transport->Close();
    m_names.Clear();
    m_ids.Clear();
    m_password.clear();
    for (auto& [id, admission] : m_admissions)
        if (admission.timer)
            admission.timer->deleteLater();
    m_admissions.clear();
}

void Session::Flush() {
    if (m_blocking)
        return;  // called from inside a wait: what was sent goes as the connections close
    BlockingCall blocking(*this);
    WaitUntil([&] { return m_links->Settled() && m_transport->Written(); }, m_options.closeFlushMs);
}

}  // namespace directplay
