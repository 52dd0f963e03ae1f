#pragma once

// The traffic list: every row of the traffic table with what a controller reads off it, the
// speeds from successive positions, and where it is from the airport.

#include <optional>
#include <string>
#include <vector>

#include "model/records.h"
#include "radar/aids.h"

namespace radar {

inline constexpr double kSilentAfterSeconds = 30;
inline constexpr double kOnThePointNm = 0.05;  // nearer the reference point, no bearing

struct TrafficListRow {
    int row = 0;  // in the traffic table
    std::string callsign;
    std::string category;
    std::string model;
    std::int32_t altitude = 0;
    int heading = 0;  // magnetic, as the table holds it
    std::optional<int> groundSpeedKt;
    std::optional<int> verticalSpeedFpm;
    // From the airport reference point; none before the aircraft's first position. The
    // bearing is magnetic, to the nearest degree, north read as 360; none on the point itself.
    std::optional<double> distanceNm;
    std::optional<int> bearing;
    std::optional<double> silentSeconds;
    bool silent = false;  // not heard for kSilentAfterSeconds
    double latitude = 0;
    double longitude = 0;
};

std::vector<TrafficListRow> BuildTrafficList(const TrafficRows& rows, std::int16_t count,
                                             const TrafficHistory& history,
                                             const model::AirportRecord& airport, double now);

}  // namespace radar
