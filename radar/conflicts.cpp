#include "radar/conflicts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "radar/aids.h"

namespace radar {
namespace {

constexpr double kRadians = 3.14159265358979323846 / 180;
constexpr double kTiny = 1e-12;

// Miles east and north of `from` to `to`, on a plane touching the sphere at `from`.
std::pair<double, double> Offset(const TrackPoint& from, const TrackPoint& to) {
    double dLon = to.longitude - from.longitude;
    dLon -= 360 * std::round(dLon / 360);
    return {dLon * 60 * std::cos(from.latitude * kRadians), (to.latitude - from.latitude) * 60};
}

struct Interval {
    double from = 0;
    double to = 0;
    bool Empty() const { return from > to; }
};

// When |p + v t| < limit, for the lateral pair (p, v) in miles and miles a second.
Interval Lateral(double px, double py, double vx, double vy, double limit) {
    const double a = vx * vx + vy * vy;
    const double b = 2 * (px * vx + py * vy);
    const double c = px * px + py * py - limit * limit;
    if (a < kTiny)
        return c < 0 ? Interval{-1e300, 1e300} : Interval{1, 0};
    const double disc = b * b - 4 * a * c;
    if (disc <= 0)
        return {1, 0};
    const double root = std::sqrt(disc);
    return {(-b - root) / (2 * a), (-b + root) / (2 * a)};
}

// When |dz + vz t| < limit.
Interval Vertical(double dz, double vz, double limit) {
    if (std::abs(vz) < kTiny)
        return std::abs(dz) < limit ? Interval{-1e300, 1e300} : Interval{1, 0};
    const double t1 = (-limit - dz) / vz;
    const double t2 = (limit - dz) / vz;
    return {std::min(t1, t2), std::max(t1, t2)};
}

struct Aircraft {
    std::string name;
    TrackPoint at;
    double eastKt = 0, northKt = 0, fpm = 0;
    double speedKt = 0;
};

std::string Fixed(double value, int decimals) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

}  // namespace

bool InInhibitionVolume(const TrackPoint& at, const model::AirportRecord& airport) {
    if (static_cast<double>(at.altitude) >=
        static_cast<double>(airport.elevation) + kInhibitHeightFt)
        return false;
    const std::size_t runways = std::min<std::size_t>(
        static_cast<std::size_t>(std::max(airport.runwayCount, 0)), airport.runways.size());
    for (std::size_t i = 0; i < runways; ++i) {
        const model::RunwayRecord& runway = airport.runways[i];
        for (const auto& [lat, lon] : {std::pair(runway.end1Latitude, runway.end1Longitude),
                                       std::pair(runway.end2Latitude, runway.end2Longitude)}) {
            if (DistanceNm(at.latitude, at.longitude, lat, lon) <= kInhibitNm)
                return true;
        }
    }
    return false;
}

bool IsAirborne(const TrackPoint& at, const std::optional<Motion>& motion, const AidSettings& aids,
                const ConflictGround& ground) {
    if (motion && motion->groundSpeedKt > aids.airborneSpeedKt)
        return true;
    std::optional<std::int32_t> field;
    if (ground.airfields)
        field = ground.airfields->NearestElevation(at.latitude, at.longitude);
    if (!field && ground.airport)
        field = ground.airport->elevation;
    return static_cast<double>(at.altitude) >
           static_cast<double>(field.value_or(0)) + aids.airborneHeightFt;
}

std::vector<Conflict> FindConflicts(const TrafficHistory& history, const AidSettings& aids,
                                    double now, const ConflictGround& ground) {
    std::vector<Aircraft> airborne;
    for (const std::string& name : history.Names()) {
        const auto latest = history.Latest(name);
        if (!latest || now - latest->t > TrafficHistory::kUnknownAfter)
            continue;  // not heard lately: where it is now is not known
        const auto motion = history.MotionOf(name, now);
        if (!IsAirborne(*latest, motion, aids, ground))
            continue;
        if (ground.airport && InInhibitionVolume(*latest, *ground.airport))
            continue;  // finals and departures: the tower's business
        Aircraft aircraft{name, *latest};
        if (motion) {
            aircraft.eastKt = motion->eastKt;
            aircraft.northKt = motion->northKt;
            aircraft.fpm = motion->verticalSpeedFpm;
            aircraft.speedKt = motion->groundSpeedKt;
        }
        airborne.push_back(std::move(aircraft));
    }

    const double lookAhead = std::max(0, aids.lookAheadSeconds);
    const double lateralMin = aids.conflictLateralNm;
    const double verticalMin = aids.conflictVerticalFt;
    std::vector<Conflict> found;
    for (std::size_t i = 0; i < airborne.size(); ++i) {
        const Aircraft& one = airborne[i];
        for (std::size_t j = i + 1; j < airborne.size(); ++j) {
            const Aircraft& two = airborne[j];
            // The time that would pass before the aircraft at these positions reported now
            // may differ by a second or two: each is carried to `now` first.
            auto [px, py] = Offset(one.at, two.at);
            const double vx = (two.eastKt - one.eastKt) / 3600;
            const double vy = (two.northKt - one.northKt) / 3600;
            const double reach =
                lateralMin +
                (one.speedKt + two.speedKt) / 3600 * (lookAhead + TrafficHistory::kUnknownAfter) +
                1;
            if (std::abs(px) > reach || std::abs(py) > reach)
                continue;  // too far apart to meet within the look-ahead
            px += (two.eastKt * (now - two.at.t) - one.eastKt * (now - one.at.t)) / 3600;
            py += (two.northKt * (now - two.at.t) - one.northKt * (now - one.at.t)) / 3600;
            const double dz = two.at.altitude + two.fpm / 60 * (now - two.at.t) -
                              (one.at.altitude + one.fpm / 60 * (now - one.at.t));
            const double vz = (two.fpm - one.fpm) / 60;
            const Interval lateral = Lateral(px, py, vx, vy, lateralMin);
            const Interval vertical = Vertical(dz, vz, verticalMin);
            const Interval both{std::max({lateral.from, vertical.from, 0.0}),
                                std::min({lateral.to, vertical.to, lookAhead})};
            if (lateral.Empty() || vertical.Empty() || both.Empty())
                continue;
            const double a = vx * vx + vy * vy;
            const double closest =
                a < kTiny ? both.from : std::clamp(-(px * vx + py * vy) / a, both.from, both.to);
            Conflict conflict;
            conflict.nameA = one.name;
            conflict.nameB = two.name;
            conflict.lateralNm = std::hypot(px, py);
            conflict.verticalFt = static_cast<std::int32_t>(std::min(std::abs(dz), 2e9));
            conflict.minimumNm = std::hypot(px + vx * closest, py + vy * closest);
            conflict.secondsTo = closest;
            conflict.inside = both.from <= 0;
            if (conflict.nameB < conflict.nameA)
                std::swap(conflict.nameA, conflict.nameB);
            found.push_back(std::move(conflict));
        }
    }
    return found;
}

int AlertLog::Update(const std::vector<Conflict>& conflicts, double now) {
    int begun = 0;
    for (AlertEntry& entry : m_entries)
        entry.active = false;
    for (const Conflict& conflict : conflicts) {
        auto same = std::find_if(m_entries.rbegin(), m_entries.rend(), [&](const AlertEntry& e) {
            return e.nameA == conflict.nameA && e.nameB == conflict.nameB &&
                   now - e.lastSeen < kClearSeconds;
        });
        if (same == m_entries.rend()) {
            m_entries.push_back({conflict.nameA, conflict.nameB, now, now, 0, 0, true});
            ++begun;
            if (m_entries.size() > kMaxEntries)
                m_entries.pop_front();
            same = m_entries.rbegin();
        }
        same->active = true;
        same->lastSeen = now;
        same->minimumNm = conflict.minimumNm;
        same->secondsTo = conflict.secondsTo;
    }
    return begun;
}

std::string AlertText(const AlertEntry& entry) {
    const std::string when = entry.secondsTo < 0.5
                                 ? std::string("now")
                                 : "in " + std::to_string(std::lround(entry.secondsTo)) + " s";
    return entry.nameA + " / " + entry.nameB + "  " + Fixed(entry.minimumNm, 1) + " nm " + when;
}

}  // namespace radar
