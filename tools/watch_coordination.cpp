#include "tools/watch_coordination.h"

#include <sstream>

#include "directplay/directplay.h"
#include "directplay/errors.h"
#include "directplay/session.h"
#include "model/shared_state.h"

namespace tools {
namespace {

namespace dp = directplay;

std::vector<std::string> Words(const std::string& line, std::size_t keep) {
    // The first `keep` words, then the rest of the line as one.
    std::vector<std::string> words;
    std::istringstream in(line);
    std::string word;
    while (words.size() + 1 < keep && in >> word)
        words.push_back(word);
    std::string rest;
    std::getline(in >> std::ws, rest);
    if (!rest.empty())
        words.push_back(rest);
    return words;
}

}  // namespace

WatchCoordinator::WatchCoordinator(dp::DirectPlay4& play, std::int32_t me, std::string position,
                                   std::string frequency)
    : m_play(play), m_me(me), m_position(std::move(position)), m_frequency(std::move(frequency)) {
    coord::Message announce = Make(coord::Kind::Announce, 0);
    m_board.Apply(m_me, announce, 0);
}

coord::Message WatchCoordinator::Make(coord::Kind kind, std::int64_t now) const {
    coord::Message m;
    m.kind = kind;
    m.stamp = now;
    if (kind == coord::Kind::Announce) {
        m.position = m_position;
        m.frequency = m_frequency;
        m.airport = model::g_airport.ident;
    }
    return m;
}

std::vector<std::int32_t> WatchCoordinator::Marked() const {
    std::vector<std::int32_t> marked;
    for (const std::int32_t id : m_play.Engine().PlayerIds()) {
        if (id == m_me)
            continue;
        try {
            if (coord::IsMarked(m_play.GetPlayerData(id)))
                marked.push_back(id);
        } catch (const dp::DirectPlayError&) {
        }
    }
    return marked;
}

void WatchCoordinator::Send(std::int32_t to, const coord::Message& message) {
    try {
        m_play.Send(m_me, to, dp::kSendGuaranteed, dp::DirectPlayMessage(coord::Encode(message)));
    } catch (const dp::DirectPlayError&) {
        // gone meanwhile: its departure will tell
    }
}

void WatchCoordinator::SendToAll(const coord::Message& message) {
    // Only to coordinating players, never to everybody: the simulator hears none of it.
    for (const std::int32_t id : Marked())
        Send(id, message);
}

std::string WatchCoordinator::PositionOf(std::int32_t player) const {
    auto it = m_board.Controllers().find(player);
    return it == m_board.Controllers().end() ? std::string() : it->second.position;
}

void WatchCoordinator::AddCommand(const std::string& line) {
    if (line.find_first_not_of(" \t\r") != std::string::npos)
        m_commands.push_back(line);
}

void WatchCoordinator::Tick(const mplink::TickResult& tick, std::int64_t now,
                            std::vector<std::string>& errors) {
    for (const std::int32_t player : tick.departed)
        m_board.Leave(player);
    const std::vector<std::int32_t> marked = Marked();
    for (const auto& [from, bytes] : tick.coordination) {
        if (std::find(marked.begin(), marked.end(), from) == marked.end()) {
            ++m_refused;  // only coordinating players coordinate
            continue;
        }
        const coord::DecodeResult read = coord::Decode(bytes);
        if (read.what == coord::Decoded::Malformed)
            ++m_refused;
        if (read.what != coord::Decoded::Message)
            continue;
        m_board.Apply(from, read.message, now);
    }
    // Newcomers hear who we are and what we own.
    for (const std::int32_t id : marked) {
        if (!m_told.insert(id).second)
            continue;
        Send(id, Make(coord::Kind::Announce, now));
        for (const auto& [callsign, ownership] : m_board.OwnersList()) {
            if (ownership.owner != m_me)
                continue;
            coord::Message claim = Make(coord::Kind::Claim, ownership.claimed);
            claim.callsign = callsign;
            Send(id, claim);
        }
    }
    std::erase_if(m_told, [&](std::int32_t id) {
        return std::find(marked.begin(), marked.end(), id) == marked.end();
    });
    (void)m_board.Expire(now);
    for (const coord::Board::Line& line : m_board.TakeLines()) {
        if (!line.toPosition.empty() && line.toPosition != m_position)
            continue;
        m_atc.push_back(line.kind == coord::Kind::PointOut
                            ? PositionOf(line.from) + " points out " + line.callsign + ": " +
                                  line.text
                            : PositionOf(line.from) + ": " + line.text);
    }
    // The next command, once it can apply.
    if (m_commands.empty())
        return;
    if (m_commandSince < 0)
        m_commandSince = now;
    std::string why;
    const Outcome outcome = Run(m_commands.front(), now, why);
    if (outcome == Outcome::Wait && now - m_commandSince < kCommandWaitMs)
        return;
    if (outcome != Outcome::Done)
        errors.push_back("command not carried out: " + m_commands.front() +
                         (why.empty() ? std::string() : " (" + why + ")"));
    m_commands.pop_front();
    m_commandSince = -1;
}

WatchCoordinator::Outcome WatchCoordinator::Run(const std::string& line, std::int64_t now,
                                                std::string& why) {
    std::istringstream in(line);
    std::string verb;
    in >> verb;
    using coord::Kind;
    const auto known = [&](const std::string& position) {
        return m_board.ControllerAt(position) != nullptr;
    };
    const auto owner = [&](const std::string& callsign) { return m_board.Owner(callsign); };
    if (verb == "claim" || verb == "release" || verb == "accept" || verb == "refuse") {
        const auto words = Words(line, 2);
        if (words.size() != 2) {
            why = "usage: " + verb + " CALLSIGN";
            return Outcome::Failed;
        }
        const Kind kind = verb == "claim"     ? Kind::Claim
                          : verb == "release" ? Kind::Release
                          : verb == "accept"  ? Kind::Accept
                                              : Kind::Refuse;
        coord::Message m = Make(kind, now);
        m.callsign = words[1];
        if (kind == Kind::Claim && owner(m.callsign) && owner(m.callsign) != m_me) {
            why = "owned by " + PositionOf(*owner(m.callsign));
            return Outcome::Failed;
        }
        if ((kind == Kind::Accept || kind == Kind::Refuse) &&
            std::none_of(m_board.Offers().begin(), m_board.Offers().end(),
                         [&](const auto& o) { return o.callsign == m.callsign && o.to == m_me; })) {
            why = "no offer of it";
            return Outcome::Wait;
        }
        if (m_board.Apply(m_me, m, now) != coord::Board::Verdict::Applied) {
            why = "not ours to " + verb;
            return Outcome::Wait;
        }
        SendToAll(m);
        return Outcome::Done;
    }
    if (verb == "offer" || verb == "point") {
        const auto words = Words(line, verb == "offer" ? 3 : 4);
        if (words.size() < 3) {
            why = "usage: " + verb + " CALLSIGN POSITION" + (verb == "point" ? " TEXT" : "");
            return Outcome::Failed;
        }
        if (!known(words[2])) {
            why = "no controller at " + words[2];
            return Outcome::Wait;
        }
        coord::Message m = Make(verb == "offer" ? Kind::Offer : Kind::PointOut, now);
        m.callsign = words[1];
        m.position = words[2];
        m.text = words.size() > 3 ? words[3] : std::string();
        if (verb == "offer") {
            if (const auto* owned = m_board.OwnershipOf(m.callsign))
                m.strip = owned->strip;
            if (m_board.Apply(m_me, m, now) != coord::Board::Verdict::Applied) {
                why = "not ours to offer";
                return Outcome::Wait;
            }
            SendToAll(m);
        } else {
            Send(m_board.ControllerAt(m.position)->player, m);
        }
        return Outcome::Done;
    }
    if (verb == "atc" || verb == "atc-to") {
        const auto words = Words(line, verb == "atc" ? 2 : 3);
        coord::Message m = Make(Kind::Chat, now);
        if (verb == "atc-to") {
            if (words.size() < 3) {
                why = "usage: atc-to POSITION TEXT";
                return Outcome::Failed;
            }
            if (!known(words[1])) {
                why = "no controller at " + words[1];
                return Outcome::Wait;
            }
            m.position = words[1];
            m.text = words[2];
            Send(m_board.ControllerAt(m.position)->player, m);
        } else {
            if (m_board.Controllers().size() < 2) {
                why = "no other controller";
                return Outcome::Wait;  // a line nobody would read
            }
            m.text = words.size() > 1 ? words[1] : std::string();
            SendToAll(m);
        }
        return Outcome::Done;
    }
    if (verb == "strip") {
        std::string callsign;
        in >> callsign;
        const auto* owned = m_board.OwnershipOf(callsign);
        if (callsign.empty() || !owned || owned->owner != m_me) {
            why = "not ours";
            return Outcome::Wait;
        }
        coord::Message m = Make(Kind::Strip, now);
        m.callsign = callsign;
        m.strip = owned->strip;
        std::string pair;
        while (in >> pair) {
            const auto equals = pair.find('=');
            const std::string key = pair.substr(0, equals);
            const std::string value = equals == std::string::npos ? "" : pair.substr(equals + 1);
            std::string* field = key == "altitude"  ? &m.strip.altitude
                                 : key == "heading" ? &m.strip.heading
                                 : key == "runway"  ? &m.strip.runway
                                 : key == "squawk"  ? &m.strip.squawk
                                 : key == "remarks" ? &m.strip.remarks
                                                    : nullptr;
            if (!field) {
                why = "no strip field " + key;
                return Outcome::Failed;
            }
            *field = value;
        }
        m_board.Apply(m_me, m, now);
        SendToAll(m);
        return Outcome::Done;
    }
    why = "unknown command";
    return Outcome::Failed;
}

void WatchCoordinator::Write(JsonWriter& out) {
    out.Key("controllers").BeginArray();
    for (const auto& [player, controller] : m_board.Controllers()) {
        if (player == m_me)
            continue;
        std::string nickname;
        try {
            nickname = m_play.GetPlayerFriendlyName(player);
        } catch (const dp::DirectPlayError&) {
        }
        out.BeginObject()
            .Field("position", controller.position)
            .Field("nickname", nickname)
            .Field("frequency", controller.frequency)
            .Field("airport", controller.airport)
            .EndObject();
    }
    out.EndArray().Key("owners").BeginObject();
    for (const auto& [callsign, ownership] : m_board.OwnersList())
        out.Field(callsign, PositionOf(ownership.owner));
    out.EndObject().Key("offers").BeginArray();
    for (const auto& offer : m_board.Offers())
        out.BeginObject()
            .Field("callsign", offer.callsign)
            .Field("from", PositionOf(offer.from))
            .Field("to", PositionOf(offer.to))
            .EndObject();
    out.EndArray().Key("atc").BeginArray();
    for (const std::string& line : m_atc)
        out.Text(line);
    out.EndArray();
    m_atc.clear();
}

}  // namespace tools
