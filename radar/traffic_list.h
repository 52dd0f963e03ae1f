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

struct TrafficListRow {
    int row = 0;  // in the traffic table
    std::string callsign;
    std::string category;
    std::string model;
    std::int32_t altitude = 0;
    int heading = 0;  // magnetic, as the table holds it
    std::optional<int> groundSpeedKt;
    std::optional<int> verticalSpeedFpm;
    double distanceNm = 0;  // from the airport reference point
    int bearing = 0;        // magnetic, from the airport
    std::optional<double> silentSeconds;
    bool silent = false;  // not heard for kSilentAfterSeconds
    double latitude = 0;
    double longitude = 0;
};

std::vector<TrafficListRow> BuildTrafficList(const TrafficRows& rows, std::int16_t count,
                                             const TrafficHistory& history,
                                             const model::AirportRecord& airport, double now);

}  // namespace radar
