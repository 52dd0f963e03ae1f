#pragma once

// The aids' marks on the scope that are not targets: range rings round the airport, the loaded
// airport's extended runway centrelines, and range and bearing lines between targets or from
// a target to a point.

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "model/records.h"
#include "platform/canvas.h"
#include "radar/blocks.h"
#include "radar/track_history.h"
#include "radar/view.h"

namespace radar {

// The range rings: their spacing in nm (0.1, 0.2, 0.5, 1, 2, 5 …, at least kRingGapPx apart),
// each ring's half-width and half-height in pixels, and the radial their labels stand on
// (degrees clockwise from up).
inline constexpr int kRingGapPx = 40;
struct RingPlan {
    double spacingNm = 5;
    std::vector<std::pair<int, int>> radiiPx;
    int labelRadial = 45;
};
// Rings round (latitude, longitude) up to the first that lies wholly beyond the scope.
RingPlan PlanRings(const View& view, double latitude, double longitude);
// Chooses the radial whose labels cover least of `obstacles` (dots, names) and stay on the
// scope.
void PlaceRingLabels(const platform::Canvas& canvas, const View& view,
                     const model::AirportRecord& airport, RingPlan& plan,
                     const std::vector<Box>& obstacles);
// Where each ring's label stands.
std::vector<Box> RingLabelBoxes(const platform::Canvas& canvas, const View& view,
                                const model::AirportRecord& airport, const RingPlan& plan);
void DrawRings(platform::Canvas& canvas, const View& view, const model::AirportRecord& airport,
               const RingPlan& plan);

// The labels the diagram and the airport name put on the scope at this view.
std::vector<Box> SceneLabelBoxes(const platform::Canvas& canvas, const View& view,
                                 const model::AirportRecord& airport);

// Each runway end's centreline out to 10 nm, with a tick every mile and a longer one every
// five, in the runways' colour at half intensity.
inline constexpr int kCentrelineNm = 10;
void DrawCentrelines(platform::Canvas& canvas, const View& view,
                     const model::AirportRecord& airport);

// One end of a range and bearing line: a target, followed as it moves, or a fixed point.
struct LineEnd {
    std::string callsign;  // empty: the point
    double latitude = 0;
    double longitude = 0;
};
struct RangeBearingLine {
    LineEnd from;
    LineEnd to;
};

// Where an end is now: a target at its row's position (or its track's newest), a point where
// it was put; none for a target no longer seen.
using TargetPositions = std::vector<std::pair<std::string, TrackPoint>>;
std::optional<TrackPoint> Locate(const LineEnd& end, const TargetPositions& targets);

struct LineFigures {
    double distanceNm = 0;  // unrounded
    int bearingMagnetic = 0;
    // Between two moving targets, when they close: the closest point of approach.
    std::optional<double> cpaNm;
    std::optional<double> cpaSeconds;
};
std::optional<LineFigures> Figures(const RangeBearingLine& line, const TargetPositions& targets,
                                   const TrafficHistory& history, double now);
// "12.3 nm 45 *" and, with a closest approach, "  CPA 1.2 nm 2:40".
std::string FiguresText(const LineFigures& figures);

// A line from one position to another with a label beside its middle.
void DrawLabelledLine(platform::Canvas& canvas, const View& view, const TrackPoint& from,
                      const TrackPoint& to, platform::Rgb colour, const std::string& label);

// Draws each line that can be located, labelled at its middle.
void DrawRangeBearingLines(platform::Canvas& canvas, const View& view,
                           const std::vector<RangeBearingLine>& lines,
                           const TargetPositions& targets, const TrafficHistory& history,
                           double now);
// The line within `tolerancePx` of pixel (x, y), the last drawn first.
std::optional<std::size_t> LineNear(const View& view, const std::vector<RangeBearingLine>& lines,
                                    const TargetPositions& targets, int x, int y,
                                    int tolerancePx = 4);

}  // namespace radar
