// What arrives from the transport and how the session sends: frames and datagrams read and
// handed to their role, traffic to a machine by the way its link goes, pings, bounded waits.

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>

#include "directplay/errors.h"
#include "directplay/session.h"
#include "directplay/session_internal.h"

namespace directplay {

using wire::Bytes;
using wire::Command;
using namespace session_internal;

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
        // Datagrams carry searches and pings; every other system message travels on a
        // connection or in the reliable protocol's frames, where its sender is known. One
        // that comes as a bare datagram (a forged YOUAREDEAD, say) is refused.
        if (frame->command == Command::EnumSessions) {
            if (IsHost())
                AnswerEnum(*frame, peerIp);
        } else if (sessionPort &&
                   (frame->command == Command::Ping || frame->command == Command::PingReply)) {
            HandleSystem(*frame, peerIp, nullptr);
        } else {
            ++m_refusedMessages;
            Malformed(nullptr);
        }
        emit progressed();
        return;
    }
    // Joining a session with the reliable protocol, the host's first frames may come before
    // its name table: kept (within the early-message bounds) and read once it is here, rather
    // than dropped and waited for again.
    if (sessionPort && m_phase == Phase::Joining &&
        (m_desc.flags & wire::session_flag::kReliableProtocol)) {
        if (m_earlyDatagrams.size() < m_options.maxEarlyMessages &&
            m_earlyBytes + bytes.size() <= m_options.maxEarlyBytes) {
            m_earlyBytes += bytes.size();
            m_earlyDatagrams.emplace_back(Bytes(bytes.begin(), bytes.end()), peerIp);
        }
        return;
    }
    // With the reliable protocol every other datagram is one of its frames, bare or (read
    // all the same) behind a service-provider prefix.
    // (Closing, the acknowledgements of our goodbyes are still taken.)
    const bool taking = IsOpen() || m_phase == Phase::Closing;
    if (sessionPort && taking && (m_desc.flags & wire::session_flag::kReliableProtocol)) {
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
        const Player* player = message ? m_names.Find(message->from) : nullptr;
        const Machine* sender = player ? m_names.MachineOf(player->systemId) : nullptr;
        if (message && sender && sender->stream.address == peerIp &&
            m_names.MayCarry(*message, sender, m_hostSystemId))
            HandlePlayerMessage(*message);
        else if (message)
            ++m_refusedMessages;
        else
            Malformed(nullptr);
    }
}

void Session::HandleFrame(const Bytes& bytes, std::uint32_t peerIp, Connection* from) {
    auto frame = wire::DecodeFrame(bytes);
    if (!frame) {
        Malformed(from);
        return;
    }
    if (Machine* machine = m_names.MachineAt(peerIp, frame->sender.port)) {
        machine->heard = true;
        machine->missedPings = 0;
        m_transport->Vouch(from);
    }
    if (frame->isSystem) {
        HandleSystem(*frame, peerIp, from);
    } else if (IsOpen()) {
        const bool noIds = m_desc.flags & wire::session_flag::kNoMessageId;
        if (auto message = wire::DecodePlayerPayload(frame->body, noIds)) {
            // Dropped before the queue: a message from a player nobody created, or from a
            // player of another machine than the one that sent it (unless the host relays).
            if (m_names.MayCarry(*message, SenderOf(*frame, peerIp), m_hostSystemId))
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
    m_transport->Malformed(from);
}

void Session::Refuse(Connection* from) {
    ++m_refusedMessages;
    Malformed(from);
}

void Session::SendTo(const Machine& machine, const Bytes& frame) {
    if (machine.stream.port == 0)
        return;  // gone: another machine listens where it did
    if (UsesReliable(machine))
        SendReliable(machine, frame);
    else
        m_transport->SendStream(machine.stream.address, machine.stream.port, frame);
}

void Session::SendSystem(const Machine& machine, Command command, const Bytes& body) {
    SendTo(machine, wire::EncodeFrame(OwnStream(), command, Version(), body));
}

void Session::SendToAllMachines(Command command, const Bytes& body) {
    const Bytes frame = wire::EncodeFrame(OwnStream(), command, Version(), body);
    for (const auto& [id, machine] : m_names.Machines())
        SendTo(machine, frame);
}

void Session::SendDatagram(const Machine& machine, Command command, const Bytes& body) {
    const Bytes frame = wire::EncodeFrame(OwnStream(), command, Version(), body);
    if (machine.stream.port == 0)
        return;
    // With the reliable protocol, pings travel in its frames like everything else.
    if (UsesReliable(machine))
        SendReliable(machine, frame);
    else
        m_transport->SendDatagram(machine.datagram.address, machine.datagram.port, frame);
}

void Session::PingTick() {
    // The host pings every machine; the others ping the host alone, and every machine while
    // they wait for a new host, so that one gone as well is noticed and the election runs
    // again. Who else is in the session is the host's to judge.
    std::vector<std::int32_t> silent;
    for (auto& [id, machine] : m_names.Machines()) {
        if (m_phase == Phase::Joined && id != m_hostSystemId)
            continue;
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

}  // namespace directplay
