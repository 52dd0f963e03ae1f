#pragma once

// The controller aids: what today's radar clients add to the scope to keep traffic apart.
// Range rings around the airport, each aircraft's trail of earlier positions, an altitude
// filter, the conflict alert, data blocks that move out of each other's way with an optional
// line of ground speed and trend, and the ways of moving the view with wheel, drag and keys.
// Every aid has its own switch; with all of them off the scope is drawn by the same painters
// as ever and nothing here touches the picture.

#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "model/records.h"
#include "model/shared_state.h"
#include "platform/canvas.h"
#include "radar/view.h"

namespace radar {

struct AidSettings {
    bool wheelAndPan = true;  // takes no room on the scope: on unless switched off
    bool rings = false;
    bool trails = false;
    bool filter = false;
    int filterLowFt = 0;
    int filterHighFt = 60000;
    bool conflicts = false;
    double conflictLateralNm = 3.0;
    int conflictVerticalFt = 1000;
    int airborneSpeedKt = 40;  // above it, or 300 ft above the field, an aircraft is airborne
    bool declutter = false;
    bool speedLine = false;

    // Whether any aid draws on the scope.
    bool DrawsOnScope() const {
        return rings || trails || filter || conflicts || declutter || speedLine;
    }
    bool operator==(const AidSettings&) const = default;
};

using TrafficRows = std::array<model::TrafficEntry, model::kTrafficRows>;

// One position of an aircraft at a time in seconds.
struct TrackPoint {
    double latitude = 0;
    double longitude = 0;
    std::int32_t altitude = 0;
    double t = 0;
};

enum class Trend { Unknown, Climbing, Level, Descending };

// The positions of each aircraft, by callsign, one per message-loop tick, newest last: the
// trail's dots and the speeds come from them.
class TrafficHistory {
public:
    static constexpr std::size_t kTrailDots = 6;

    // The table's rows as they are at time t; aircraft no longer in it are forgotten.
    void Record(const TrafficRows& rows, std::int16_t count, double t);
    void Add(const std::string& name, const TrackPoint& point);
    void Clear() { m_tracks.clear(); }

    // Oldest first; empty for an aircraft never seen.
    const std::deque<TrackPoint>& Track(const std::string& name) const;
    // Over the positions kept, from the first to the last; none from a single position.
    std::optional<double> GroundSpeedKt(const std::string& name) const;
    std::optional<double> VerticalSpeedFpm(const std::string& name) const;
    Trend TrendOf(const std::string& name) const;
    // An aircraft's position arrived at time t (the message loop knows; without it, a row
    // counts as heard when it changes).
    void MarkHeard(const std::string& name, double t);
    // Seconds from the last time it was heard to `now`; none for an aircraft never seen.
    std::optional<double> SecondsSinceHeard(const std::string& name, double now) const;

private:
    struct Heard {
        double t = 0;
        double latitude = 0, longitude = 0, heading = 0;
        std::int32_t altitude = 0;
    };
    std::map<std::string, std::deque<TrackPoint>> m_tracks;
    std::map<std::string, Heard> m_heard;
};

// Nautical miles between two positions on the sphere where a minute of arc is a mile,
// unrounded.
double DistanceNm(double lat1, double lon1, double lat2, double lon2);

// Whether the altitude filter lets a row be drawn and inspected.
bool PassesFilter(const model::TrafficEntry& row, const AidSettings& aids);

struct Conflict {
    int rowA = 0;  // the table's rows, rowA < rowB
    int rowB = 0;
    std::string nameA;
    std::string nameB;
    double lateralNm = 0;
    std::int32_t verticalFt = 0;
};

// Every pair of airborne aircraft closer than the thresholds, both laterally and vertically.
std::vector<Conflict> FindConflicts(const TrafficRows& rows, std::int16_t count,
                                    const TrafficHistory& history, const AidSettings& aids,
                                    std::int32_t fieldElevationFt);

// "CONFLICT DAL123 / N456 2.4 nm 600 ft"
std::string ConflictLine(const Conflict& conflict);

// The range rings: their spacing in nm, and each ring's half-width and half-height in pixels.
struct RingPlan {
    int spacingNm = 5;
    std::vector<std::pair<int, int>> radiiPx;
};
RingPlan PlanRings(const View& view, double latitude);

// The rings around the airport reference point, dim grey, labelled with their distance.
void DrawRings(platform::Canvas& canvas, const View& view, const model::AirportRecord& airport);

// Where a data block goes: its top-left corner, and whether it left the default place (then a
// leader line joins it to its dot).
struct BlockPlace {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool moved = false;
};
// For the rows at `dots` (their pixels) with blocks of the given sizes: each block takes the
// first of eight places around its dot that overlaps no block placed before and no other dot;
// where none is free it stays in the default place.
std::vector<BlockPlace> PlaceBlocks(const std::vector<Pixel>& dots,
                                    const std::vector<std::pair<int, int>>& sizes, int dotRadius);

// The targets with the aids that change them: filter, trails, conflict colours and lines,
// decluttered blocks, the speed line.
void DrawTargetsWithAids(platform::Canvas& canvas, const View& view, const TrafficRows& rows,
                         std::int16_t count, const AidSettings& aids, const TrafficHistory& history,
                         const std::vector<Conflict>& conflicts);

// A ring round the target of the row with that callsign (the traffic list's selection).
void DrawHighlight(platform::Canvas& canvas, const View& view, const TrafficRows& rows,
                   std::int16_t count, const std::string& callsign);

// What the aids need to draw a scene with g_traffic.
struct AidScene {
    AidSettings settings;
    const TrafficHistory* history = nullptr;
    std::vector<Conflict> conflicts;
};

// Under the airspaces and the diagram: the range rings when they are on.
void DrawUnderlay(platform::Canvas& canvas, const View& view, const AidScene* scene);
// The targets of g_traffic: with the aids when any is on, otherwise exactly as Draw_Targets.
void DrawTrafficLayer(platform::Canvas& canvas, const View& view, const AidScene* scene);

}  // namespace radar
