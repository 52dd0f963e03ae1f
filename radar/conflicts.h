#pragma once

// The predictive conflict alert: two airborne aircraft whose positions, carried forward along
// their tracks at their speeds and vertical speeds, come closer than both minima within the
// look-ahead; pairs already inside the minima too. An aircraft is airborne over the speed
// threshold, or higher than a set height above the field nearest to it. Around the loaded
// airport's runways an inhibition volume keeps finals and departures quiet. The alert log
// keeps one entry per encounter.

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "model/airfields.h"
#include "model/records.h"
#include "radar/track_history.h"

namespace radar {

struct AidSettings;

// What the alert knows of the ground.
struct ConflictGround {
    const model::AirfieldIndex* airfields = nullptr;  // none: the loaded airport stands for all
    const model::AirportRecord* airport = nullptr;    // the loaded one, with its runways
};

inline constexpr double kInhibitNm = 3;        // from a runway end of the loaded airport
inline constexpr int kInhibitHeightFt = 1500;  // above the loaded airport

bool IsAirborne(const TrackPoint& at, const std::optional<Motion>& motion, const AidSettings& aids,
                const ConflictGround& ground);
bool InInhibitionVolume(const TrackPoint& at, const model::AirportRecord& airport);

struct Conflict {
    std::string nameA;  // nameA < nameB
    std::string nameB;
    double lateralNm = 0;  // now
    std::int32_t verticalFt = 0;
    double minimumNm = 0;  // the least lateral distance while both minima are broken
    double secondsTo = 0;  // from now to it
    bool inside = false;   // the minima are broken now
};

// Every airborne pair heard in the last few seconds, whatever the altitude filter shows.
std::vector<Conflict> FindConflicts(const TrafficHistory& history, const AidSettings& aids,
                                    double now, const ConflictGround& ground);

// One encounter of a pair: from its first alert until the pair has been clear for a minute.
struct AlertEntry {
    std::string nameA;
    std::string nameB;
    double since = 0;
    double lastSeen = 0;
    double minimumNm = 0;
    double secondsTo = 0;
    bool active = true;
};

class AlertLog {
public:
    static constexpr double kClearSeconds = 60;
    static constexpr std::size_t kMaxEntries = 200;

    // The conflicts at time `now`; returns how many encounters began.
    int Update(const std::vector<Conflict>& conflicts, double now);
    void Clear() { m_entries.clear(); }
    const std::deque<AlertEntry>& Entries() const { return m_entries; }  // oldest first

private:
    std::deque<AlertEntry> m_entries;
};

// "DAL123 / N456  1.2 nm in 45 s", "… 0.8 nm now"
std::string AlertText(const AlertEntry& entry);

}  // namespace radar
