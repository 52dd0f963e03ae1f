#include "radar/track_history.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace radar {
namespace {

constexpr double kRadians = 3.14159265358979323846 / 180;
constexpr double kLevelFpm = 200;   // within it either way an aircraft flies level
constexpr double kShortestFit = 2;  // seconds the fitted reports must span
// Where the fit against a steady reporting rate and the fit against the stamps differ by
// more than this part (plus a few knots), the rate was not steady and the stamps are used.
constexpr double kRateDisagreement = 0.12;
constexpr double kRateSlackKt = 5;

struct Velocity {
    double east = 0, north = 0, up = 0;  // nm/s, nm/s, ft/s
    double Knots() const { return std::hypot(east, north) * 3600; }
};

// A least-squares line through points added one by one, for three quantities against one
// variable: east, north (miles) and up (feet) against time.
struct LineFit {
    double n = 0, sx = 0, sxx = 0;
    double sy[3] = {0, 0, 0};
    double sxy[3] = {0, 0, 0};

    void Add(double x, double east, double north, double up) {
        const double y[3] = {east, north, up};
        n += 1;
        sx += x;
        sxx += x * x;
        for (int k = 0; k < 3; ++k) {
            sy[k] += y[k];
            sxy[k] += x * y[k];
        }
    }
    // The three slopes; none when x does not vary.
    std::optional<Velocity> Slopes() const {
        const double spread = n * sxx - sx * sx;
        if (n < 2 || spread <= 1e-9 * std::max(1.0, n * sxx))
            return std::nullopt;
        auto slope = [&](int k) { return (n * sxy[k] - sx * sy[k]) / spread; };
        return Velocity{slope(0), slope(1), slope(2)};
    }
};

}  // namespace

void TrafficHistory::Add(const std::string& name, const TrackPoint& point, std::int32_t playerId) {
    if (!std::isfinite(point.latitude) || !std::isfinite(point.longitude) ||
        !std::isfinite(point.t))
        return;
    auto it = m_tracks.find(name);
    if (it == m_tracks.end()) {
        if (m_tracks.size() >= kMaxTracks) {
            // The track heard least recently makes room.
            auto oldest = std::min_element(m_tracks.begin(), m_tracks.end(), [](auto& a, auto& b) {
                return a.second.points.back().t < b.second.points.back().t;
            });
            m_tracks.erase(oldest);
        }
        it = m_tracks.emplace(name, Followed{}).first;
    }
    Followed& track = it->second;
    if (playerId != 0)
        track.playerId = playerId;
    TrackPoint added = point;
    if (!track.points.empty()) {
        const TrackPoint& last = track.points.back();
        added.t = std::max(added.t, last.t);
        if (added.latitude == last.latitude && added.longitude == last.longitude &&
            added.altitude == last.altitude && added.t - last.t < 0.5)
            return;  // the same report twice
    }
    track.points.push_back(added);
    while (track.points.size() > kMaxPoints || track.points.front().t < added.t - kKeepSeconds)
        track.points.pop_front();
}

void TrafficHistory::Depart(std::int32_t playerId) {
    if (playerId == 0)
        return;
    std::erase_if(m_tracks,
                  [playerId](const auto& track) { return track.second.playerId == playerId; });
}

void TrafficHistory::Expire(double now) {
    std::erase_if(m_tracks, [now](const auto& track) {
        return now - track.second.points.back().t > kForgetAfter;
    });
}

const std::deque<TrackPoint>& TrafficHistory::Track(const std::string& name) const {
    static const std::deque<TrackPoint> kNone;
    auto it = m_tracks.find(name);
    return it == m_tracks.end() ? kNone : it->second.points;
}

std::optional<TrackPoint> TrafficHistory::Latest(const std::string& name) const {
    const auto& points = Track(name);
    if (points.empty())
        return std::nullopt;
    return points.back();
}

std::vector<std::string> TrafficHistory::Names() const {
    std::vector<std::string> names;
    names.reserve(m_tracks.size());
    for (const auto& [name, track] : m_tracks)
        names.push_back(name);
    return names;
}

std::optional<Motion> TrafficHistory::MotionOf(const std::string& name, double now) const {
    const auto& points = Track(name);
    if (points.empty() || now - points.back().t > kUnknownAfter)
        return std::nullopt;
    const TrackPoint& last = points.back();
    const std::size_t n = points.size();
    std::size_t first = n - 1;
    while (first > 0 && points[first - 1].t > last.t - kFitSeconds)
        --first;
    if (n - first < 3 || last.t - points[first].t < kShortestFit)
        return std::nullopt;

    // Positions in miles east and north of the newest, heights in feet.
    const double across = 60 * std::cos(last.latitude * kRadians);
    auto offsets = [&](const TrackPoint& p) {
        double dLon = p.longitude - last.longitude;
        dLon -= 360 * std::round(dLon / 360);  // across the date line
        return std::array<double, 3>{
            dLon * across, (p.latitude - last.latitude) * 60,
            static_cast<double>(p.altitude) - static_cast<double>(last.altitude)};
    };
    LineFit byStamp;
    for (std::size_t i = first; i < n; ++i) {
        const auto [east, north, up] = offsets(points[i]);
        byStamp.Add(points[i].t - last.t, east, north, up);
    }
    std::optional<Velocity> velocity = byStamp.Slopes();
    if (!velocity)
        return std::nullopt;

    // A message is taken up to a tick after it came, so the stamps of a steady stream of
    // reports wander by up to a tick: over ten seconds that is a tenth of the speed. The
    // reporting rate found over the last minute gives each report its place in time instead.
    std::size_t rateFirst = n - 1;
    while (rateFirst > 0 && points[rateFirst - 1].t > last.t - kRateSeconds)
        --rateFirst;
    LineFit rate;  // stamps against the reports' order
    for (std::size_t i = rateFirst; i < n; ++i)
        rate.Add(static_cast<double>(i - rateFirst), points[i].t - last.t, 0, 0);
    if (const auto interval = rate.Slopes(); interval && interval->east > 0) {
        LineFit steady;
        for (std::size_t i = first; i < n; ++i) {
            const auto [east, north, up] = offsets(points[i]);
            steady.Add(static_cast<double>(i - first) * interval->east, east, north, up);
        }
        if (const auto even = steady.Slopes()) {
            const double a = velocity->Knots();
            if (std::abs(even->Knots() - a) <= kRateDisagreement * a + kRateSlackKt)
                velocity = even;
        }
    }
    Motion motion;
    motion.eastKt = velocity->east * 3600;
    motion.northKt = velocity->north * 3600;
    motion.groundSpeedKt = velocity->Knots();
    motion.trackTrue = std::atan2(motion.eastKt, motion.northKt) / kRadians;
    if (motion.trackTrue < 0)
        motion.trackTrue += 360;
    motion.verticalSpeedFpm = velocity->up * 60;
    return motion;
}

std::optional<double> TrafficHistory::GroundSpeedKt(const std::string& name, double now) const {
    const auto motion = MotionOf(name, now);
    return motion ? std::optional(motion->groundSpeedKt) : std::nullopt;
}

std::optional<double> TrafficHistory::VerticalSpeedFpm(const std::string& name, double now) const {
    const auto motion = MotionOf(name, now);
    return motion ? std::optional(motion->verticalSpeedFpm) : std::nullopt;
}

Trend TrendOf(const std::optional<Motion>& motion) {
    if (!motion)
        return Trend::Unknown;
    const double fpm = motion->verticalSpeedFpm;
    return fpm > kLevelFpm ? Trend::Climbing : fpm < -kLevelFpm ? Trend::Descending : Trend::Level;
}

Trend TrafficHistory::TrendOf(const std::string& name, double now) const {
    return radar::TrendOf(MotionOf(name, now));
}

std::optional<double> TrafficHistory::SecondsSinceHeard(const std::string& name, double now) const {
    const auto latest = Latest(name);
    return latest ? std::optional(now - latest->t) : std::nullopt;
}

std::vector<TrackPoint> TrafficHistory::Dots(const std::string& name, int count,
                                             double seconds) const {
    std::vector<TrackPoint> dots;
    const auto& points = Track(name);
    if (points.empty() || seconds <= 0)
        return dots;
    const double newest = points.back().t;
    for (int k = 1; k <= count; ++k) {
        const double when = newest - k * seconds;
        auto after = std::lower_bound(points.begin(), points.end(), when,
                                      [](const TrackPoint& p, double t) { return p.t < t; });
        const TrackPoint* best = nullptr;
        if (after != points.end())
            best = &*after;
        if (after != points.begin() && (!best || when - std::prev(after)->t < best->t - when))
            best = &*std::prev(after);
        if (best && std::abs(best->t - when) <= seconds / 2 && best != &points.back())
            dots.push_back(*best);
    }
    return dots;
}

}  // namespace radar
