#pragma once

// A controller simhost plays beside its pilots (--controller POSITION:FREQUENCY): it claims
// the arrivals it hosts, offers each to the tower when it is 10 nm out, takes the departures
// the tower offers it, and says so on the controllers' channel, so a user sees handoffs arrive
// without a second computer.

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "link/coordinator.h"

namespace simhost {

enum class Phase { Arriving, Departing, Other };

// An aircraft as the script sees it.
struct Flight {
    std::string callsign;
    Phase phase = Phase::Other;
    double distanceNm = 0;  // from the runway threshold
};

inline constexpr double kHandoffNm = 10.0;

// "POSITION:FREQUENCY" split; none for a text without both.
std::optional<std::pair<std::string, std::string>> ParseController(const std::string& text);

class ScriptedController {
public:
    ScriptedController(coord::Session& session, std::int32_t me, coord::Identity identity,
                       std::int64_t now);

    // One tick: the messages sent to it and the players that left, then the script over the
    // flights. Returns what it did, a line each, for the log.
    std::vector<std::string> Tick(
        const std::vector<std::pair<std::int32_t, coord::Bytes>>& received,
        const std::vector<std::int32_t>& departed, const std::vector<Flight>& flights,
        std::int64_t now);
    const coord::Coordinator& Coordinator() const { return m_coordinator; }
    std::int32_t Player() const { return m_coordinator.Me(); }

private:
    // The first other controller whose position ends in TWR.
    std::string Tower() const;
    void Say(const std::string& text, std::int64_t now);

    coord::Coordinator m_coordinator;
    std::set<std::string> m_offered;  // arrivals offered on this approach
};

}  // namespace simhost
