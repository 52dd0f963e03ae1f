#include "link/coordinator.h"

#include <algorithm>

#include "directplay/directplay.h"
#include "directplay/errors.h"
#include "directplay/session.h"

namespace coord {

namespace dp = directplay;

std::vector<std::int32_t> DirectPlaySession::MarkedPlayers() {
    std::vector<std::int32_t> marked;
    for (const std::int32_t id : m_play.Engine().PlayerIds()) {
        if (id == m_me)
            continue;
        try {
            if (IsMarked(m_play.GetPlayerData(id)))
                marked.push_back(id);
        } catch (const dp::DirectPlayError&) {
        }
    }
    return marked;
}

void DirectPlaySession::Send(std::int32_t to, const Bytes& message) {
    try {
        m_play.Send(m_me, to, dp::kSendGuaranteed, dp::DirectPlayMessage(message));
        m_bytesSent += message.size();
    } catch (const dp::DirectPlayError&) {
        // gone meanwhile: its departure will tell
    }
}

std::string DirectPlaySession::Nickname(std::int32_t player) {
    try {
        return m_play.GetPlayerFriendlyName(player);
    } catch (const dp::DirectPlayError&) {
        return {};
    }
}

Coordinator::Coordinator(Session* session, std::int32_t me, Identity identity, std::int64_t now)
    : m_session(session), m_me(me), m_identity(std::move(identity)) {
    if (m_session)
        ApplyOwn(Make(Kind::Announce, now), now);
}

Message Coordinator::Make(Kind kind, std::int64_t now) const {
    Message m;
    m.kind = kind;
    m.stamp = now;
    if (kind == Kind::Announce) {
        m.position = m_identity.position;
        m.frequency = m_identity.frequency;
        m.airport = m_identity.airport;
    }
    return m;
}

Board::Verdict Coordinator::ApplyOwn(const Message& message, std::int64_t now) {
    const Board::Verdict verdict = m_board.Apply(m_me, message, now);
    if (verdict == Board::Verdict::Applied)
        Keep(
            m_me,
            m_session && message.kind == Kind::Announce ? m_session->Nickname(m_me) : std::string(),
            message);
    return verdict;
}

void Coordinator::Keep(std::int32_t from, const std::string& nickname, const Message& message) {
    if (message.kind == Kind::Announce)
        m_nicknames[from] = nickname;
    m_applied.push_back({from, nickname, Encode(message)});
}

void Coordinator::Send(std::int32_t to, const Message& message) {
    if (m_session)
        m_session->Send(to, Encode(message));
}

void Coordinator::SendToAll(const Message& message) {
    // Only to coordinating players, never to everybody: the simulator hears none of it.
    if (!m_session)
        return;
    const Bytes bytes = Encode(message);
    for (const std::int32_t id : m_marked)
        m_session->Send(id, bytes);
}

std::string Coordinator::PositionOf(std::int32_t player) const {
    auto it = m_board.Controllers().find(player);
    return it == m_board.Controllers().end() ? std::string() : it->second.position;
}

std::string Coordinator::NicknameOf(std::int32_t player) const {
    auto it = m_nicknames.find(player);
    return it == m_nicknames.end() ? std::string() : it->second;
}

std::string Coordinator::FrequencyOf(std::int32_t player) const {
    auto it = m_board.Controllers().find(player);
    return it == m_board.Controllers().end() ? std::string() : it->second.frequency;
}

bool Coordinator::OfferedToMe(const std::string& callsign) const {
    return std::any_of(
        m_board.Offers().begin(), m_board.Offers().end(),
        [&](const Board::Offer& o) { return o.callsign == callsign && o.to == m_me; });
}

void Coordinator::Take(std::int32_t from, const std::string& nickname, const Message& message,
                       std::int64_t now, Events& events) {
    const auto& offers = m_board.Offers();
    const auto offer = std::find_if(offers.begin(), offers.end(), [&](const Board::Offer& o) {
        return o.callsign == message.callsign;
    });
    const std::optional<Board::Offer> before =
        offer == offers.end() ? std::nullopt : std::optional(*offer);
    if (m_board.Apply(from, message, now) != Board::Verdict::Applied) {
        if (message.kind == Kind::Announce && from != m_me &&
            message.position == m_identity.position && m_clashes.insert(from).second)
            events.clashes.push_back({from, nickname});
        return;
    }
    Keep(from, nickname, message);
    events.changed = true;
    if (message.kind == Kind::Offer && PositionOf(m_me) == message.position && from != m_me)
        events.offered.push_back(m_board.Offers().back());
    if (before && before->from == m_me && before->to == from) {
        if (message.kind == Kind::Accept)
            events.accepted.push_back({message.callsign, PositionOf(from), FrequencyOf(from)});
        else if (message.kind == Kind::Refuse)
            events.refused.push_back(*before);
    }
}

void Coordinator::ApplyRecorded(const Applied& recorded, std::int64_t now, Events& events) {
    const DecodeResult read = Decode(recorded.bytes);
    if (read.what == Decoded::Message)
        Take(recorded.from, recorded.nickname, read.message, now, events);
}

Events Coordinator::Replay(const std::vector<Applied>& recorded,
                           const std::vector<std::int32_t>& departed, std::int64_t now) {
    Events events;
    for (const Applied& message : recorded)
        ApplyRecorded(message, now, events);
    Events later = Tick({}, departed, now);
    events.lines.insert(events.lines.end(), later.lines.begin(), later.lines.end());
    events.freed = std::move(later.freed);
    events.lapsed = std::move(later.lapsed);
    events.changed = events.changed || later.changed;
    m_applied.clear();  // a recording's messages are recorded already
    return events;
}

Events Coordinator::Tick(const std::vector<std::pair<std::int32_t, Bytes>>& received,
                         const std::vector<std::int32_t>& departed, std::int64_t now) {
    Events events;
    for (const std::int32_t player : departed) {
        m_clashes.erase(player);
        if (!m_board.Controllers().count(player))
            continue;
        for (std::string& callsign : m_board.Leave(player))
            events.freed.push_back(std::move(callsign));
        events.changed = true;
    }
    if (m_session)
        m_marked = m_session->MarkedPlayers();
    for (const auto& [from, bytes] : received) {
        if (!m_session || std::find(m_marked.begin(), m_marked.end(), from) == m_marked.end()) {
            ++m_refused;  // only coordinating players coordinate
            continue;
        }
        const DecodeResult read = Decode(bytes);
        if (read.what == Decoded::Malformed)
            ++m_refused;
        if (read.what == Decoded::Message)
            Take(from, m_session->Nickname(from), read.message, now, events);
    }
    // Newcomers hear who we are and what we own.
    for (const std::int32_t id : m_marked) {
        if (!m_told.insert(id).second)
            continue;
        Send(id, Make(Kind::Announce, now));
        for (const auto& [callsign, ownership] : m_board.OwnersList()) {
            if (ownership.owner != m_me)
                continue;
            Message claim = Make(Kind::Claim, ownership.claimed);
            claim.callsign = callsign;
            Send(id, claim);
            if (!(ownership.strip == Strip{})) {
                Message strip = Make(Kind::Strip, now);
                strip.callsign = callsign;
                strip.strip = ownership.strip;
                Send(id, strip);
            }
        }
    }
    std::erase_if(m_told, [&](std::int32_t id) {
        return std::find(m_marked.begin(), m_marked.end(), id) == m_marked.end();
    });
    events.lapsed = m_board.Expire(now);
    events.changed = events.changed || !events.lapsed.empty();
    for (Board::Line& line : m_board.TakeLines()) {
        if (line.from != m_me &&
            (line.toPosition.empty() || line.toPosition == m_identity.position))
            events.lines.push_back(std::move(line));
    }
    return events;
}

void Coordinator::SetAirport(const std::string& airport, std::int64_t now) {
    if (airport == m_identity.airport)
        return;
    m_identity.airport = airport;
    const Message announce = Make(Kind::Announce, now);
    ApplyOwn(announce, now);
    SendToAll(announce);
}

Outcome Coordinator::Claim(const std::string& callsign, std::int64_t now, std::string& why) {
    const auto owner = m_board.Owner(callsign);
    if (owner && *owner != m_me) {
        why = "owned by " + PositionOf(*owner);
        return Outcome::Failed;
    }
    if (owner)
        return Outcome::Done;
    Message m = Make(Kind::Claim, now);
    m.callsign = callsign;
    if (callsign.empty() || ApplyOwn(m, now) != Board::Verdict::Applied) {
        why = "cannot be claimed";
        return Outcome::Failed;
    }
    SendToAll(m);
    return Outcome::Done;
}

Outcome Coordinator::Release(const std::string& callsign, std::int64_t now, std::string& why) {
    Message m = Make(Kind::Release, now);
    m.callsign = callsign;
    if (ApplyOwn(m, now) != Board::Verdict::Applied) {
        why = "not ours to release";
        return Outcome::Wait;
    }
    SendToAll(m);
    return Outcome::Done;
}

Outcome Coordinator::Offer(const std::string& callsign, const std::string& position,
                           std::int64_t now, std::string& why) {
    if (!m_board.ControllerAt(position)) {
        why = "no controller at " + position;
        return Outcome::Wait;
    }
    if (position == m_identity.position) {
        why = "that is us";
        return Outcome::Failed;
    }
    Message m = Make(Kind::Offer, now);
    m.callsign = callsign;
    m.position = position;
    if (const auto* owned = m_board.OwnershipOf(callsign))
        m.strip = owned->strip;
    if (ApplyOwn(m, now) != Board::Verdict::Applied) {
        why = "not ours to offer";
        return Outcome::Wait;
    }
    SendToAll(m);
    return Outcome::Done;
}

Outcome Coordinator::Answer(Kind kind, const std::string& callsign, std::int64_t now,
                            std::string& why) {
    if (!OfferedToMe(callsign)) {
        why = "no offer of it";
        return Outcome::Wait;
    }
    Message m = Make(kind, now);
    m.callsign = callsign;
    ApplyOwn(m, now);
    SendToAll(m);
    return Outcome::Done;
}

Outcome Coordinator::Accept(const std::string& callsign, std::int64_t now, std::string& why) {
    return Answer(Kind::Accept, callsign, now, why);
}

Outcome Coordinator::Refuse(const std::string& callsign, std::int64_t now, std::string& why) {
    return Answer(Kind::Refuse, callsign, now, why);
}

Outcome Coordinator::SendToPosition(Message m, std::string& why) {
    const Board::Controller* to = m_board.ControllerAt(m.position);
    if (!to || to->player == m_me) {
        why = "no controller at " + m.position;
        return Outcome::Wait;
    }
    Keep(m_me, {}, m);
    Send(to->player, m);
    return Outcome::Done;
}

Outcome Coordinator::PointOut(const std::string& callsign, const std::string& position,
                              const std::string& text, std::int64_t now, std::string& why) {
    Message m = Make(Kind::PointOut, now);
    m.callsign = callsign;
    m.position = position;
    m.text = text.substr(0, kLongestText);
    return SendToPosition(std::move(m), why);
}

Outcome Coordinator::Chat(const std::string& position, const std::string& text, std::int64_t now,
                          std::string& why) {
    Message m = Make(Kind::Chat, now);
    m.position = position;
    m.text = text.substr(0, kLongestText);
    if (!position.empty())
        return SendToPosition(std::move(m), why);
    if (m_board.Controllers().size() < 2) {
        why = "no other controller";
        return Outcome::Wait;  // a line nobody would read
    }
    Keep(m_me, {}, m);
    SendToAll(m);
    return Outcome::Done;
}

Outcome Coordinator::SetStrip(const std::string& callsign, const Strip& strip, std::int64_t now,
                              std::string& why) {
    Message m = Make(Kind::Strip, now);
    m.callsign = callsign;
    m.strip = strip;
    if (ApplyOwn(m, now) != Board::Verdict::Applied) {
        why = "not ours";
        return Outcome::Wait;
    }
    SendToAll(m);
    return Outcome::Done;
}

}  // namespace coord
