#pragma once

// The controller aids: what today's radar clients add to the scope to keep traffic apart.
// Range rings around the airport, extended runway centrelines, each aircraft's history dots
// and predicted vector, an altitude filter, the predictive conflict alert, data blocks that
// move out of each other's way and stay put, with an optional line of ground speed and trend,
// range and bearing lines, and the ways of moving the view with wheel, drag and keys. Every
// aid has its own switch; with all of them off the scope is drawn by the same painters as
// ever and nothing here touches the picture.

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "model/records.h"
#include "model/shared_state.h"
#include "platform/canvas.h"
#include "radar/aid_marks.h"
#include "radar/blocks.h"
#include "radar/conflicts.h"
#include "radar/track_history.h"
#include "radar/view.h"

namespace radar {

struct AidSettings {
    bool wheelAndPan = true;  // takes no room on the scope: on unless switched off
    bool rings = false;
    bool trails = false;  // the history dots
    int historyDots = 5;
    int historySeconds = 5;
    bool filter = false;
    int filterLowFt = 0;
    int filterHighFt = 60000;
    bool conflicts = false;
    double conflictLateralNm = 3.0;
    int conflictVerticalFt = 1000;
    int lookAheadSeconds = 120;
    int airborneSpeedKt = 40;    // above it an aircraft is airborne
    int airborneHeightFt = 300;  // or this high above the nearest field
    bool declutter = false;
    bool speedLine = false;
    bool vectors = false;
    int vectorMinutes = 1;  // 1, 2 or 5
    bool centrelines = false;
    bool rangeBearing = false;        // Shift and the left button draw range and bearing lines
    bool owners = false;              // the owning controller's position in each data block
    bool controllerAirports = false;  // the other controllers' airports with their positions

    // Whether any aid draws on the scope by itself.
    bool DrawsOnScope() const {
        return rings || trails || filter || conflicts || declutter || speedLine || vectors ||
               centrelines || owners;
    }
    bool operator==(const AidSettings&) const = default;
};

// Brings every value into its range (the lowest altitude not above the highest, minima above
// zero, counts and times within what Options offers); returns a sentence for each correction.
std::vector<std::string> CheckAidSettings(AidSettings& aids);

using TrafficRows = std::array<model::TrafficEntry, model::kTrafficRows>;

// Nautical miles between two positions on the sphere where a minute of arc is a mile,
// unrounded.
double DistanceNm(double lat1, double lon1, double lat2, double lon2);

// Whether the altitude filter lets a row be drawn and inspected.
bool PassesFilter(const model::TrafficEntry& row, const AidSettings& aids);

// What the aids need to draw a scene.
struct AidScene {
    AidSettings settings;
    const TrafficHistory* history = nullptr;
    std::vector<Conflict> conflicts;
    double now = 0;  // the history's clock
    ConflictGround ground;
    std::vector<RangeBearingLine> lines;
    BlockMemory* blocks = nullptr;  // the blocks' places between repaints; none: placed afresh
    // Controllers coordinating: who owns what, aircraft pointed out to us, the others' airports.
    std::map<std::string, std::string> owners;  // callsign -> position
    struct PointOut {
        std::string callsign;
        std::string text;  // "TVO_APP: over the field"
    };
    std::vector<PointOut> pointOuts;
    struct Site {
        std::string position;
        double latitude = 0;
        double longitude = 0;
    };
    std::vector<Site> sites;
};

// Every aircraft with a position: the table's rows, then tracks the table does not hold yet.
TargetPositions PositionsOf(const TrafficRows& rows, std::int16_t count,
                            const TrafficHistory& history);

// The targets with the aids that change them: filter, history dots, vectors, conflict colours
// and lines, decluttered blocks, the speed line, range and bearing lines.
void DrawTargetsWithAids(platform::Canvas& canvas, const View& view, const TrafficRows& rows,
                         std::int16_t count, const AidScene& scene);

// A ring round the target of the row with that callsign (the traffic list's selection).
void DrawHighlight(platform::Canvas& canvas, const View& view, const TrafficRows& rows,
                   std::int16_t count, const std::string& callsign);

// Aircraft pointed out to us (a ring and the text) and, as an aid, the other controllers'
// airports with their positions.
void DrawCoordination(platform::Canvas& canvas, const View& view, const TrafficRows& rows,
                      std::int16_t count, const AidScene& scene);

// Under the airspaces and the diagram: range rings and centrelines when they are on.
void DrawUnderlay(platform::Canvas& canvas, const View& view, const AidScene* scene);
// The targets of g_traffic: with the aids when any is on, otherwise exactly as Draw_Targets.
void DrawTrafficLayer(platform::Canvas& canvas, const View& view, const AidScene* scene);

}  // namespace radar
