#include "radar/traffic_list.h"

#include <algorithm>
#include <cmath>

#include "model/geodesy.h"
#include "model/rounding.h"

namespace radar {

namespace {

constexpr double kRadians = 3.14159265358979323846 / 180;

// The initial great-circle course from the airport, rounded to the nearest degree, made
// magnetic with the variation there; north is 360.
int MagneticBearing(const model::AirportRecord& airport, double latitude, double longitude) {
    const double p1 = airport.latitude * kRadians;
    const double p2 = latitude * kRadians;
    const double dl = (longitude - airport.longitude) * kRadians;
    const double course =
        std::atan2(std::sin(dl) * std::cos(p2),
                   std::cos(p1) * std::sin(p2) - std::sin(p1) * std::cos(p2) * std::cos(dl)) /
        kRadians;
    const int whole = static_cast<int>(std::lround(course < 0 ? course + 360 : course));
    const int magnetic = model::True_To_Magnetic(whole, airport.latitude, airport.longitude) % 360;
    return magnetic <= 0 ? magnetic + 360 : magnetic;
}

}  // namespace

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
        if (entry.latitude != 0 || entry.longitude != 0) {
            row.distanceNm =
                DistanceNm(airport.latitude, airport.longitude, entry.latitude, entry.longitude);
            if (*row.distanceNm >= kOnThePointNm)
                row.bearing = MagneticBearing(airport, entry.latitude, entry.longitude);
        }
        row.silentSeconds = history.SecondsSinceHeard(entry.name, now);
        row.silent = row.silentSeconds && *row.silentSeconds >= kSilentAfterSeconds;
        row.latitude = entry.latitude;
        row.longitude = entry.longitude;
        list.push_back(std::move(row));
    }
    return list;
}

}  // namespace radar
