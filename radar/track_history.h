#pragma once

// Each aircraft's track: its reported positions, one point per position message, stamped with
// the time the message was taken from the queue. Tracks live apart from the traffic table: the
// roll call's emptying and a row's 0/0 position before its first report do not touch them; a
// track ends when its aircraft leaves the session or has not been heard for a minute. Ground
// speed, track and vertical speed come from a least-squares fit over the last reports.

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace radar {

// One position of an aircraft at a time in seconds.
struct TrackPoint {
    double latitude = 0;
    double longitude = 0;
    std::int32_t altitude = 0;
    double t = 0;
};

// What the fit says of an aircraft's motion.
struct Motion {
    double groundSpeedKt = 0;
    double trackTrue = 0;  // degrees, 0 up to 360
    double verticalSpeedFpm = 0;
    double eastKt = 0;  // the ground speed's parts
    double northKt = 0;
};

enum class Trend { Unknown, Climbing, Level, Descending };
Trend TrendOf(const std::optional<Motion>& motion);

class TrafficHistory {
public:
    static constexpr double kFitSeconds = 10;       // the reports the speeds are fitted over
    static constexpr double kRateSeconds = 60;      // the reports the reporting rate is found over
    static constexpr double kUnknownAfter = 5;      // not heard this long: speeds unknown
    static constexpr double kForgetAfter = 60;      // not heard this long: the track ends
    static constexpr double kKeepSeconds = 120;     // how far back a track reaches
    static constexpr std::size_t kMaxPoints = 400;  // per track, whatever a peer sends
    static constexpr std::size_t kMaxTracks = 256;

    // A report: the aircraft `name` (of player `playerId`, 0 when unknown) was at `point`. A
    // report that repeats the one before it within half a second is a doubled message and
    // adds nothing; a report stamped before the newest counts as taken with it.
    void Add(const std::string& name, const TrackPoint& point, std::int32_t playerId = 0);
    // The player left the session: its tracks end.
    void Depart(std::int32_t playerId);
    // Tracks not heard for kForgetAfter seconds before `now` end.
    void Expire(double now);
    void Clear() { m_tracks.clear(); }

    // Oldest first; empty for an aircraft never heard or forgotten.
    const std::deque<TrackPoint>& Track(const std::string& name) const;
    std::optional<TrackPoint> Latest(const std::string& name) const;
    std::vector<std::string> Names() const;

    // From the reports of the last kFitSeconds; none when the aircraft was not heard in the
    // last kUnknownAfter seconds, or its reports span less than two seconds.
    std::optional<Motion> MotionOf(const std::string& name, double now) const;
    std::optional<double> GroundSpeedKt(const std::string& name, double now) const;
    std::optional<double> VerticalSpeedFpm(const std::string& name, double now) const;
    Trend TrendOf(const std::string& name, double now) const;
    // Seconds from the last report to `now`; none for an aircraft never heard.
    std::optional<double> SecondsSinceHeard(const std::string& name, double now) const;

    // The history dots: where the aircraft was `seconds`, 2 × `seconds` … `count` × `seconds`
    // before its newest report (the report nearest each time, within half an interval), newest
    // first.
    std::vector<TrackPoint> Dots(const std::string& name, int count, double seconds) const;

private:
    struct Followed {
        std::deque<TrackPoint> points;
        std::int32_t playerId = 0;
    };
    std::map<std::string, Followed> m_tracks;
};

}  // namespace radar
