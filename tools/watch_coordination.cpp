#include "tools/watch_coordination.h"

#include <sstream>

#include "directplay/directplay.h"
#include "model/shared_state.h"

namespace tools {
namespace {

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

WatchCoordinator::WatchCoordinator(directplay::DirectPlay4& play, std::int32_t me,
                                   std::string position, std::string frequency, std::int64_t now)
    : m_session(std::make_unique<coord::DirectPlaySession>(play, me)),
      m_coordinator(m_session.get(), me,
                    {std::move(position), std::move(frequency), model::g_airport.ident}, now) {}

WatchCoordinator::WatchCoordinator(std::int32_t me) : m_coordinator(nullptr, me, {}, 0) {}

void WatchCoordinator::AddCommand(const std::string& line) {
    if (line.find_first_not_of(" \t\r") != std::string::npos)
        m_commands.push_back(line);
}

void WatchCoordinator::Heard(const coord::Events& events) {
    for (const coord::Events::Clash& clash : events.clashes)
        m_warnings.push_back("another controller (" + clash.nickname + ") also calls itself " +
                             m_coordinator.Self().position +
                             ": the others may not list us; choose another position");
    for (const coord::Board::Line& line : events.lines) {
        const std::string from = m_coordinator.PositionOf(line.from);
        m_atc.push_back(line.kind == coord::Kind::PointOut
                            ? from + " points out " + line.callsign + ": " + line.text
                            : from + ": " + line.text);
    }
}

void WatchCoordinator::Replay(const std::vector<coord::Coordinator::Applied>& recorded,
                              const std::vector<std::int32_t>& departed, std::int64_t now) {
    Heard(m_coordinator.Replay(recorded, departed, now));
}

void WatchCoordinator::Tick(const mplink::TickResult& tick, std::int64_t now,
                            std::vector<std::string>& errors) {
    Heard(m_coordinator.Tick(tick.coordination, tick.departed, now));
    for (std::string& warning : m_warnings)
        errors.push_back(std::move(warning));
    m_warnings.clear();
    // The next command, once it can apply.
    if (m_commands.empty())
        return;
    if (m_commandSince < 0)
        m_commandSince = now;
    std::string why;
    const coord::Outcome outcome = Run(m_commands.front(), now, why);
    if (outcome == coord::Outcome::Wait && now - m_commandSince < kCommandWaitMs)
        return;
    if (outcome != coord::Outcome::Done)
        errors.push_back("command not carried out: " + m_commands.front() +
                         (why.empty() ? std::string() : " (" + why + ")"));
    m_commands.pop_front();
    m_commandSince = -1;
}

coord::Outcome WatchCoordinator::Run(const std::string& line, std::int64_t now, std::string& why) {
    using coord::Outcome;
    std::istringstream in(line);
    std::string verb;
    in >> verb;
    coord::Coordinator& c = m_coordinator;
    if (verb == "claim" || verb == "release" || verb == "accept" || verb == "refuse") {
        const auto words = Words(line, 2);
        if (words.size() != 2) {
            why = "usage: " + verb + " CALLSIGN";
            return Outcome::Failed;
        }
        return verb == "claim"     ? c.Claim(words[1], now, why)
               : verb == "release" ? c.Release(words[1], now, why)
               : verb == "accept"  ? c.Accept(words[1], now, why)
                                   : c.Refuse(words[1], now, why);
    }
    if (verb == "offer" || verb == "point") {
        const auto words = Words(line, verb == "offer" ? 3 : 4);
        if (words.size() < 3) {
            why = "usage: " + verb + " CALLSIGN POSITION" + (verb == "point" ? " TEXT" : "");
            return Outcome::Failed;
        }
        return verb == "offer"
                   ? c.Offer(words[1], words[2], now, why)
                   : c.PointOut(words[1], words[2], words.size() > 3 ? words[3] : "", now, why);
    }
    if (verb == "atc" || verb == "atc-to") {
        const auto words = Words(line, verb == "atc" ? 2 : 3);
        if (verb == "atc")
            return c.Chat({}, words.size() > 1 ? words[1] : std::string(), now, why);
        if (words.size() < 3) {
            why = "usage: atc-to POSITION TEXT";
            return Outcome::Failed;
        }
        return c.Chat(words[1], words[2], now, why);
    }
    if (verb == "strip") {
        std::string callsign;
        in >> callsign;
        const auto* owned = c.Board().OwnershipOf(callsign);
        if (callsign.empty() || !owned || owned->owner != c.Me()) {
            why = "not ours";
            return Outcome::Wait;
        }
        coord::Strip strip = owned->strip;
        std::string pair;
        while (in >> pair) {
            const auto equals = pair.find('=');
            const std::string key = pair.substr(0, equals);
            const std::string value = equals == std::string::npos ? "" : pair.substr(equals + 1);
            std::string* field = key == "altitude"  ? &strip.altitude
                                 : key == "heading" ? &strip.heading
                                 : key == "runway"  ? &strip.runway
                                 : key == "squawk"  ? &strip.squawk
                                 : key == "remarks" ? &strip.remarks
                                                    : nullptr;
            if (!field) {
                why = "no strip field " + key;
                return Outcome::Failed;
            }
            *field = value;
        }
        return c.SetStrip(callsign, strip, now, why);
    }
    why = "unknown command";
    return Outcome::Failed;
}

void WatchCoordinator::Write(JsonWriter& out) {
    const coord::Coordinator& c = m_coordinator;
    out.Key("controllers").BeginArray();
    for (const auto& [player, controller] : c.Board().Controllers()) {
        if (player == c.Me())
            continue;
        out.BeginObject()
            .Field("position", controller.position)
            .Field("nickname", c.NicknameOf(player))
            .Field("frequency", controller.frequency)
            .Field("airport", controller.airport)
            .EndObject();
    }
    out.EndArray().Key("owners").BeginObject();
    for (const auto& [callsign, ownership] : c.Board().OwnersList())
        out.Field(callsign, c.PositionOf(ownership.owner));
    out.EndObject().Key("offers").BeginArray();
    for (const auto& offer : c.Board().Offers())
        out.BeginObject()
            .Field("callsign", offer.callsign)
            .Field("from", c.PositionOf(offer.from))
            .Field("to", c.PositionOf(offer.to))
            .EndObject();
    out.EndArray().Key("atc").BeginArray();
    for (const std::string& line : m_atc)
        out.Text(line);
    out.EndArray();
    m_atc.clear();
}

}  // namespace tools
