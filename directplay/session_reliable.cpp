// The session's side of the reliable protocol: which machines it carries traffic to, the
// player indexes of its frames, the datagrams they travel in, and what arrives in them.

#include <QHostAddress>
#include <QTimer>

#include "directplay/session.h"
#include "directplay/session_internal.h"

namespace directplay {

using wire::Bytes;

namespace {

using session_internal::NowMs;

bool StartsWithSignature(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= 4 && wire::LoadU32(bytes.data()) == wire::kSignature;
}

}  // namespace

bool Session::UsesReliable(const Machine& machine) const {
    return (m_desc.flags & wire::session_flag::kReliableProtocol) && machine.joined && IsOpen();
}

std::uint16_t Session::IndexOf(std::int32_t id) const {
    // The index is the ID before the session's mask, low half.
    return static_cast<std::uint16_t>((static_cast<std::uint32_t>(id) ^ m_desc.reserved1) & 0xFFFF);
}

const Session::Player* Session::PlayerAtIndex(std::uint16_t index) const {
    for (const auto& [id, player] : m_names.Players())
        if (IndexOf(id) == index)
            return &player;
    return nullptr;
}

const reliable::Link* Session::LinkOf(std::int32_t systemId) const {
    return m_links->Find(systemId);
}

reliable::Link& Session::LinkTo(const Machine& machine) {
    return m_links->To(machine.systemId, IndexOf(m_systemId), IndexOf(machine.systemId));
}

void Session::SendReliable(const Machine& machine, const Bytes& frame) {
    // The frame's data is the message without the service provider's prefix; the index header
    // names its players: a player message's own, or for a system message the two machines'.
    const std::span<const std::uint8_t> message =
        std::span<const std::uint8_t>(frame).subspan(wire::kPrefixSize);
    std::uint16_t from = IndexOf(m_systemId);
    std::uint16_t to = IndexOf(machine.systemId);
    const bool noIds = m_desc.flags & wire::session_flag::kNoMessageId;
    if (!StartsWithSignature(message) && !noIds && message.size() >= 8) {
        from = IndexOf(static_cast<std::int32_t>(wire::LoadU32(message.data())));
        if (const auto target = static_cast<std::int32_t>(wire::LoadU32(message.data() + 4)))
            to = IndexOf(target);
    }
    LinkTo(machine).Send(from, to, Bytes(message.begin(), message.end()), true, NowMs());
}

void Session::OnReliableDatagram(std::span<const std::uint8_t> bytes, std::uint32_t peerIp) {
    auto frame = reliable::DecodeFrame(bytes);
    // Only a player of another machine, sending from that machine's address to a player of
    // this one (or to nobody in particular), is heard. A frame for another player comes from
    // a link to a machine that used this port before (its sender has not heard it left): read
    // as ours, it would take numbers of another link's count.
    const Player* sender = frame ? PlayerAtIndex(frame->fromIndex) : nullptr;
    Machine* machine = sender && !sender->local ? m_names.MachineOf(sender->systemId) : nullptr;
    const Player* target = frame && frame->toIndex != 0 ? PlayerAtIndex(frame->toIndex) : nullptr;
    if (!machine || machine->stream.address != peerIp ||
        (frame->toIndex != 0 && (!target || !target->local))) {
        Malformed(nullptr);
        return;
    }
    machine->heard = true;
    machine->missedPings = 0;
    LinkTo(*machine).OnFrame(*frame, NowMs());
}

void Session::OnReliableMessage(std::int32_t systemId, const reliable::Frame& last, Bytes message) {
    const Machine* machine = m_names.MachineOf(systemId);
    if (!machine)
        return;
    if (StartsWithSignature(message)) {
        // A system message, its prefix left out: read it as if it had come with one.
        const wire::SockAddr sender{machine->stream.address, machine->stream.port};
        if (auto frame = wire::DecodeFrame(wire::EncodeRawFrame(sender, message)))
            HandleSystem(*frame, machine->stream.address, nullptr);
        else
            Malformed(nullptr);
        emit progressed();
        return;
    }
    const Player* from = PlayerAtIndex(last.fromIndex);
    const Player* to = PlayerAtIndex(last.toIndex);
    if (!from)
        return;
    // The envelope keeps the message's own IDs; a peer that leaves them out is read by the
    // index header alone.
    const bool noIds = m_desc.flags & wire::session_flag::kNoMessageId;
    std::optional<wire::PlayerMessage> player;
    if (!noIds && message.size() >= 8 &&
        wire::LoadU32(message.data()) == static_cast<std::uint32_t>(from->id))
        player = wire::DecodePlayerPayload(message, false);
    if (!player)
        player = wire::PlayerMessage{
            from->id, to && to->local && !(to->flags & wire::player_flag::kSystem) ? to->id : 0,
            std::move(message)};
    HandlePlayerMessage(*player);
    emit progressed();
}

}  // namespace directplay
