#include "tools/simhost/controller.h"

#include <algorithm>

namespace simhost {

std::optional<std::pair<std::string, std::string>> ParseController(const std::string& text) {
    const auto colon = text.find(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == text.size() ||
        text.find_first_of(" \t") != std::string::npos)
        return std::nullopt;
    return std::pair(text.substr(0, colon), text.substr(colon + 1));
}

ScriptedController::ScriptedController(coord::Session& session, std::int32_t me,
                                       coord::Identity identity, std::int64_t now)
    : m_coordinator(&session, me, std::move(identity), now) {}

std::string ScriptedController::Tower() const {
    for (const auto& [player, controller] : m_coordinator.Board().Controllers()) {
        const std::string& position = controller.position;
        if (player != m_coordinator.Me() && position.size() >= 3 &&
            position.compare(position.size() - 3, 3, "TWR") == 0)
            return position;
    }
    return {};
}

void ScriptedController::Say(const std::string& text, std::int64_t now) {
    std::string why;
    (void)m_coordinator.Chat({}, text, now, why);
}

std::vector<std::string> ScriptedController::Tick(
    const std::vector<std::pair<std::int32_t, coord::Bytes>>& received,
    const std::vector<std::int32_t>& departed, const std::vector<Flight>& flights,
    std::int64_t now) {
    std::vector<std::string> log;
    const std::string me = m_coordinator.Self().position;
    const coord::Events events = m_coordinator.Tick(received, departed, now);
    std::string why;
    for (const coord::Board::Offer& offer : events.offered) {
        if (m_coordinator.Accept(offer.callsign, now, why) != coord::Outcome::Done)
            continue;
        log.push_back(me + " accepts " + offer.callsign + " from " +
                      m_coordinator.PositionOf(offer.from));
        Say("taking " + offer.callsign + ", thanks", now);
    }
    for (const coord::Events::Handed& handed : events.accepted) {
        log.push_back(me + " handed " + handed.callsign + " to " + handed.position);
        Say(handed.callsign + " is with " + handed.position + " now", now);
    }
    for (const coord::Board::Offer& offer : events.refused) {
        log.push_back(me + " keeps " + offer.callsign + ", refused by " +
                      m_coordinator.PositionOf(offer.to));
        Say("keeping " + offer.callsign, now);
    }
    for (const coord::Board::Line& line : events.lines)
        log.push_back(me + " heard " + m_coordinator.PositionOf(line.from) + ": " + line.text);
    for (const coord::Events::Clash& clash : events.clashes)
        log.push_back(me + " is also claimed as a position by " + clash.nickname);

    const std::string tower = Tower();
    for (const Flight& flight : flights) {
        if (flight.phase != Phase::Arriving) {
            m_offered.erase(flight.callsign);  // the next approach is offered again
            continue;
        }
        const auto owner = m_coordinator.Board().Owner(flight.callsign);
        if (!owner) {
            if (m_coordinator.Claim(flight.callsign, now, why) == coord::Outcome::Done)
                log.push_back(me + " claims " + flight.callsign);
            continue;
        }
        if (*owner != m_coordinator.Me() || flight.distanceNm > kHandoffNm || tower.empty() ||
            m_offered.count(flight.callsign))
            continue;
        if (m_coordinator.Offer(flight.callsign, tower, now, why) == coord::Outcome::Done) {
            m_offered.insert(flight.callsign);
            log.push_back(me + " offers " + flight.callsign + " to " + tower);
            Say(flight.callsign + " 10 nm out, offered to " + tower, now);
        }
    }
    return log;
}

}  // namespace simhost
