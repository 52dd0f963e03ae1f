#include "radar/traffic_list.h"

#include <algorithm>
#include <cmath>

#include "model/geodesy.h"
#include "model/rounding.h"

namespace radar {

std::vector<TrafficListRow> BuildTrafficList(const TrafficRows& rows, std::int16_t count,
                                             const TrafficHistory& history,
                                             const model::AirportRecord& airport, double now) {
    std::vector<TrafficListRow> list;
    const int last = std::clamp<int>(count, 0, static_cast<int>(model::kTrafficRows) - 1);
    for (int i = 1; i <= last; ++i) {
        const model::TrafficEntry& entry = rows[static_cast<std::size_t>(i)];
        if (entry.name.empty())
            continue;
        TrafficListRow row;
        row.row = i;
        row.callsign = entry.name;
        row.category = entry.category;
        row.model = entry.model;
        row.altitude = entry.altitude;
        row.heading = model::RoundToInt(entry.heading);
        if (const auto speed = history.GroundSpeedKt(entry.name, now))
            row.groundSpeedKt = static_cast<int>(std::lround(*speed));
        if (const auto climb = history.VerticalSpeedFpm(entry.name, now))
            row.verticalSpeedFpm = static_cast<int>(std::lround(*climb));
        row.distanceNm =
            DistanceNm(airport.latitude, airport.longitude, entry.latitude, entry.longitude);
        const int bearingTrue = model::Bearing_True(airport.latitude, airport.longitude,
                                                    entry.latitude, entry.longitude);
        row.bearing = model::True_To_Magnetic(bearingTrue, airport.latitude, airport.longitude);
        row.silentSeconds = history.SecondsSinceHeard(entry.name, now);
        row.silent = row.silentSeconds && *row.silentSeconds >= kSilentAfterSeconds;
        row.latitude = entry.latitude;
        row.longitude = entry.longitude;
        list.push_back(std::move(row));
    }
    return list;
}

}  // namespace radar
