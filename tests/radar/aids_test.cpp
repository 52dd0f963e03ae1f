// The controller aids' marks and blocks, and what they draw, on the recording canvas.

#include "radar/aids.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "model/geodesy.h"
#include "model/shared_state.h"
#include "platform/recording_canvas.h"
#include "radar/scope.h"
#include "tests/radar/aid_support.h"

namespace radar {
namespace {

using namespace testing_aids;
using platform::DrawnItem;
using platform::RecordingCanvas;

class Aids : public ::testing::Test {
protected:
    void SetUp() override {
        model::g_airport.latitude = kLat;
        model::g_airport.longitude = kLon;
    }
    void TearDown() override { model::ResetSharedState(); }

    // A row of the table where `flight` is at time `now`, its reports in the history.
    void Row(int row, const Flight& flight, double now) {
        model::g_trafficCount =
            std::max<std::int16_t>(model::g_trafficCount, static_cast<std::int16_t>(row));
        const TrackPoint at = flight.At(now);
        model::g_traffic[static_cast<std::size_t>(row)] = {
            flight.name, at.altitude, flight.course, at.longitude, at.latitude, "", ""};
        flight.Report(m_history, 0, now);
    }

    std::vector<DrawnItem> Draw(const AidScene& scene, const View& view) {
        RecordingCanvas canvas(view.m_scopeWidthPx, view.m_scopeHeightPx);
        DrawTargetsWithAids(canvas, view, model::g_traffic, model::g_trafficCount, scene);
        return canvas.Items();
    }

    TrafficHistory m_history;
};

TEST_F(Aids, RingsStandAtLeastFortyPixelsApartAtEveryLevel) {
    for (int level : {5, 7, 9, 12, 16}) {
        SCOPED_TRACE(level);
        const View view = ViewAt(level);
        const RingPlan plan = PlanRings(view, kLat, kLon);
        ASSERT_FALSE(plan.radiiPx.empty());
        int previous = 0;
        for (const auto& [rx, ry] : plan.radiiPx) {
            EXPECT_GE(std::min(rx, ry) - previous, kRingGapPx - 1);
            previous = std::min(rx, ry);
        }
        // The spacing is the smallest of 1, 2, 5, 10 … that keeps them apart.
        const double spacing = plan.spacingNm;
        const double decade = std::pow(10, std::floor(std::log10(spacing) + 1e-9));
        EXPECT_TRUE(std::abs(spacing - decade) < 1e-9 || std::abs(spacing - 2 * decade) < 1e-9 ||
                    std::abs(spacing - 5 * decade) < 1e-9)
            << spacing;
        // The first ring passes through the point its distance north of the centre.
        const Pixel centre = Geo_To_Pixel(view, kLat, kLon);
        const auto north = Along(kLat, kLon, 0, spacing);
        EXPECT_NEAR(plan.radiiPx[0].second,
                    centre.y - Geo_To_Pixel(view, north.first, north.second).y, 1);
    }
}

TEST_F(Aids, RingLabelsStandOnceOnAFreeRadial) {
    const View view = ViewAt(9);
    RecordingCanvas canvas(view.m_scopeWidthPx, view.m_scopeHeightPx);
    RingPlan plan = PlanRings(view, kLat, kLon);
    PlaceRingLabels(canvas, view, model::g_airport, plan, {});
    EXPECT_EQ(plan.labelRadial, 45);
    // Something over the upper right radial: the labels go elsewhere.
    const std::vector<Box> busy = RingLabelBoxes(canvas, view, model::g_airport, plan);
    PlaceRingLabels(canvas, view, model::g_airport, plan, busy);
    EXPECT_NE(plan.labelRadial, 45);
    DrawRings(canvas, view, model::g_airport, plan);
    const auto texts =
        std::count_if(canvas.Items().begin(), canvas.Items().end(),
                      [](const DrawnItem& item) { return item.kind == DrawnItem::Kind::Text; });
    EXPECT_EQ(static_cast<std::size_t>(texts), plan.radiiPx.size());
}

bool Apart(const BlockPlace& a, const BlockPlace& b) {
    return a.x + a.width <= b.x || b.x + b.width <= a.x || a.y + a.height <= b.y ||
           b.y + b.height <= a.y;
}

struct EdgeRow {
    const char* name;
    Pixel dot;
    Pixel neighbour;
};

class BlocksAtTheEdge : public testing::TestWithParam<EdgeRow> {};

TEST_P(BlocksAtTheEdge, StayInsideTheScope) {
    const EdgeRow& row = GetParam();
    const Box scope{0, 0, 600, 300};
    const auto places = PlaceBlocks({{"A", row.neighbour, 120, 13}, {"B", row.dot, 120, 13}}, 4,
                                    scope, {}, nullptr);
    for (const BlockPlace& place : places) {
        EXPECT_GE(place.x, 0);
        EXPECT_GE(place.y, 0);
        EXPECT_LE(place.x + place.width, 600);
        EXPECT_LE(place.y + place.height, 300);
    }
    EXPECT_TRUE(Apart(places[0], places[1]));
}

INSTANTIATE_TEST_SUITE_P(Edges, BlocksAtTheEdge,
                         testing::Values(EdgeRow{"FourPixelsBelowTheTop", {300, 4}, {300, 16}},
                                         EdgeRow{"AtTheRightEdge", {595, 150}, {560, 150}},
                                         EdgeRow{"InTheBottomLeftCorner", {3, 297}, {3, 270}}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(Aids, TenBlocksAtTheApronDoNotOverlap) {
    std::vector<BlockRequest> blocks;
    for (int i = 0; i < 10; ++i)
        blocks.push_back({std::to_string(i), {400 + (i % 2) * 30, 200 + (i / 2) * 24}, 140, 13});
    const auto places = PlaceBlocks(blocks, 4, {0, 0, 1000, 500}, {}, nullptr);
    for (std::size_t a = 0; a < places.size(); ++a)
        for (std::size_t b = a + 1; b < places.size(); ++b)
            EXPECT_TRUE(Apart(places[a], places[b])) << a << " and " << b;
    EXPECT_FALSE(
        PlaceBlocks({{"ALONE", {10, 10}, 50, 13}}, 4, {0, 0, 100, 100}, {}, nullptr)[0].moved);
}

TEST_F(Aids, ABlockKeepsItsPlaceWhileItIsFree) {
    BlockMemory memory;
    const Box scope{0, 0, 1000, 500};
    // B's default place is taken by A's block at first: B moves.
    auto places = PlaceBlocks({{"A", {300, 190}, 120, 13}, {"B", {250, 185}, 120, 13}}, 4, scope,
                              {}, &memory);
    const int moved = places[1].place;
    ASSERT_NE(moved, 0);
    // A flies away; over ten repaints B's default place is free, and B stays where it went.
    for (int repaint = 1; repaint <= 10; ++repaint) {
        places = PlaceBlocks(
            {{"A", {300 - 40 * repaint, 100}, 120, 13}, {"B", {250 + repaint, 185}, 120, 13}}, 4,
            scope, {}, &memory);
        EXPECT_EQ(places[1].place, moved) << repaint;
    }
    // Without memory it would have gone back.
    EXPECT_EQ(PlaceBlocks({{"B", {330, 200}, 120, 13}}, 4, scope, {}, nullptr)[0].place, 0);
    // A block the user put somewhere stays there, until its aircraft leaves.
    memory.Pin("B", 5);
    EXPECT_EQ(PlaceBlocks({{"B", {330, 200}, 120, 13}}, 4, scope, {}, &memory)[0].place, 5);
    ASSERT_NE(memory.BlockAt(330 - 60, 210), nullptr);
    memory.Retain({"A"});
    EXPECT_EQ(PlaceBlocks({{"B", {330, 200}, 120, 13}}, 4, scope, {}, &memory)[0].place, 0);
}

TEST_F(Aids, BlocksAvoidTheLabelsOfTheScene) {
    const Box label{330, 200, 400, 213};  // a runway's name right where the block would go
    const auto places =
        PlaceBlocks({{"A", {320, 200}, 60, 13}}, 4, {0, 0, 1000, 500}, {label}, nullptr);
    EXPECT_EQ(label.Overlap({places[0].x, places[0].y, places[0].x + 60, places[0].y + 13}), 0);
}

TEST_F(Aids, RangeAndBearingFiguresAreTheGeodesys) {
    // Head on, 1 nm apart sideways, 20 nm apart, closing at 400 kt.
    const Flight west{"WEST", kLat, kLon, 5000, 90, 200, 0};
    const auto [lat, lon] = Along(kLat, kLon, 90, 20);
    const Flight east{"EAST", lat + 1 / 60.0, lon, 5000, 270, 200, 0};
    Row(1, west, 30);
    Row(2, east, 30);
    const TargetPositions targets = PositionsOf(model::g_traffic, model::g_trafficCount, m_history);
    const RangeBearingLine line{{"WEST"}, {"EAST"}};
    const auto figures = Figures(line, targets, m_history, 30);
    ASSERT_TRUE(figures.has_value());
    const auto& a = model::g_traffic[1];
    const auto& b = model::g_traffic[2];
    EXPECT_DOUBLE_EQ(figures->distanceNm,
                     DistanceNm(a.latitude, a.longitude, b.latitude, b.longitude));
    EXPECT_LE(std::abs(figures->distanceNm -
                       model::Distance_NM(a.latitude, a.longitude, b.latitude, b.longitude)),
              0.5);
    EXPECT_EQ(figures->bearingMagnetic,
              model::Bearing_Magnetic(a.latitude, a.longitude, b.latitude, b.longitude));
    ASSERT_TRUE(figures->cpaNm.has_value());
    EXPECT_NEAR(*figures->cpaNm, 1, 0.005);
    const double apart = 20 - 400 * 30 / 3600.0;
    EXPECT_NEAR(*figures->cpaSeconds, apart / 400 * 3600, 2);
    char distance[16];
    std::snprintf(distance, sizeof distance, "%.1f nm ", figures->distanceNm);
    EXPECT_EQ(FiguresText(*figures).substr(0, 8), distance);
    // To a point: no closest approach; to a target no longer seen: no line.
    const RangeBearingLine toPoint{{"WEST"}, {"", kLat, kLon}};
    EXPECT_FALSE(Figures(toPoint, targets, m_history, 30)->cpaNm.has_value());
    EXPECT_FALSE(Figures({{"WEST"}, {"GONE"}}, targets, m_history, 30).has_value());
    // A click on its middle finds it, ten pixels off does not.
    const View view = ViewAt(9);
    const Pixel pa = Geo_To_Pixel(view, a.latitude, a.longitude);
    const Pixel pb = Geo_To_Pixel(view, b.latitude, b.longitude);
    const std::vector<RangeBearingLine> lines{line};
    EXPECT_EQ(LineNear(view, lines, targets, (pa.x + pb.x) / 2, (pa.y + pb.y) / 2), 0u);
    EXPECT_FALSE(LineNear(view, lines, targets, (pa.x + pb.x) / 2, (pa.y + pb.y) / 2 + 10));
}

TEST_F(Aids, HistoryDotsVectorsAndConflictsAsDrawn) {
    const Flight one{"DAL123", kLat, kLon, 4000, 90, 240, 0};
    const auto [lat, lon] = Along(kLat, kLon, 0, 1);
    const Flight two{"N456", lat, lon, 4500, 90, 240, 0};
    const Flight high{"HIGH", kLat + 0.05, kLon, 30000, 90, 450, 0};
    Row(1, one, 60);
    Row(2, two, 60);
    Row(3, high, 60);
    AidScene scene;
    scene.history = &m_history;
    scene.now = 60;
    scene.settings.trails = scene.settings.vectors = scene.settings.filter = true;
    scene.settings.filterHighFt = 20000;
    scene.settings.vectorMinutes = 2;
    scene.conflicts = FindConflicts(m_history, scene.settings, 60, {});
    ASSERT_EQ(scene.conflicts.size(), 1u);
    const View view = ViewAt(11);
    const auto items = Draw(scene, view);
    int dots = 0;
    int red = 0;
    for (const DrawnItem& item : items) {
        EXPECT_EQ(item.text.find("HIGH"), std::string::npos);  // filtered out
        if (item.kind == DrawnItem::Kind::Ellipse && item.pen.red > 0 && item.pen.red < 255)
            ++dots;  // red fading towards black
        if (item.kind == DrawnItem::Kind::Ellipse && item.pen.red == 255)
            ++red;
    }
    EXPECT_EQ(dots, 2 * scene.settings.historyDots);
    EXPECT_EQ(red, 2);
    // The vector: two minutes at 240 kt, 8 nm east of the target.
    const Pixel from =
        Geo_To_Pixel(view, model::g_traffic[1].latitude, model::g_traffic[1].longitude);
    const auto ahead = Along(model::g_traffic[1].latitude, model::g_traffic[1].longitude, 90, 8);
    const Pixel to = Geo_To_Pixel(view, ahead.first, ahead.second);
    EXPECT_TRUE(std::any_of(items.begin(), items.end(), [&](const DrawnItem& item) {
        return item.kind == DrawnItem::Kind::Line && item.x1 == from.x && item.y1 == from.y &&
               std::abs(item.x2 - to.x) <= 2 && std::abs(item.y2 - to.y) <= 2;
    }));
}

TEST_F(Aids, WithEveryAidOffTheTargetsAreThePartsTargets) {
    Row(1, {"ABC1", kLat, kLon, 3500, 270, 120, 0}, 20);
    Row(2, {"ABC2", kLat + 0.01, kLon, 2500, 90, 120, 0}, 20);
    const View view = ViewAt(12);
    RecordingCanvas plain(view.m_scopeWidthPx, view.m_scopeHeightPx);
    Draw_Targets(plain, view);
    AidScene scene;
    scene.history = &m_history;
    scene.now = 20;
    RecordingCanvas layered(view.m_scopeWidthPx, view.m_scopeHeightPx);
    DrawUnderlay(layered, view, &scene);
    DrawTrafficLayer(layered, view, &scene);
    ASSERT_EQ(plain.Items().size(), layered.Items().size());
    for (std::size_t i = 0; i < plain.Items().size(); ++i) {
        EXPECT_EQ(plain.Items()[i].kind, layered.Items()[i].kind);
        EXPECT_EQ(plain.Items()[i].text, layered.Items()[i].text);
        EXPECT_EQ(plain.Items()[i].x1, layered.Items()[i].x1);
    }
}

TEST_F(Aids, OwnersPointOutsAndOtherControllersAirportsAsDrawn) {
    Row(1, {"DAL123", kLat, kLon, 3500, 270, 120, 0}, 20);
    const View view = ViewAt(12);
    struct Case {
        const char* name;
        bool owners;
        bool sites;
        bool pointOut;
        int ownerTexts;  // "TVO_APP" under the block or beside its airport
        int magentaRings;
    };
    for (const Case& c :
         {Case{"nothing asked", false, false, false, 0, 0},
          Case{"owner in the block", true, false, false, 1, 0},
          Case{"airports", false, true, false, 1, 0}, Case{"point-out", false, false, true, 0, 1},
          Case{"all", true, true, true, 2, 1}}) {
        SCOPED_TRACE(c.name);
        AidScene scene;
        scene.history = &m_history;
        scene.now = 20;
        scene.settings.owners = c.owners;
        scene.settings.controllerAirports = c.sites;
        scene.owners["DAL123"] = "TVO_APP";
        scene.sites.push_back({"TVO_APP", kLat + 0.1, kLon + 0.1});
        if (c.pointOut)
            scene.pointOuts.push_back({"DAL123", "TVO_APP: traffic"});
        RecordingCanvas canvas(view.m_scopeWidthPx, view.m_scopeHeightPx);
        DrawTrafficLayer(canvas, view, &scene);
        int owners = 0;
        int rings = 0;
        bool said = false;
        for (const DrawnItem& item : canvas.Items()) {
            owners += item.text == "TVO_APP";
            said = said || item.text == "TVO_APP: traffic";
            rings += item.kind == DrawnItem::Kind::Ellipse && item.pen.red == 255 &&
                     item.pen.green == 0 && item.pen.blue == 255;
        }
        EXPECT_EQ(owners, c.ownerTexts);
        EXPECT_EQ(rings, c.magentaRings);
        EXPECT_EQ(said, c.pointOut);
    }
}

TEST_F(Aids, CentrelinesReachTenMilesWithTicks) {
    model::RunwayRecord runway;
    runway.end1Latitude = kLat + 1 / 60.0;
    runway.end1Longitude = kLon;
    runway.end2Latitude = kLat - 1 / 60.0;
    runway.end2Longitude = kLon;
    model::g_airport.runways = {runway, {}};
    model::g_airport.runwayCount = 1;
    const View view = ViewAt(8);
    RecordingCanvas canvas(view.m_scopeWidthPx, view.m_scopeHeightPx);
    DrawCentrelines(canvas, view, model::g_airport);
    std::vector<DrawnItem> lines;
    for (const DrawnItem& item : canvas.Items())
        if (item.kind == DrawnItem::Kind::Line)
            lines.push_back(item);
    ASSERT_EQ(lines.size(), 2u * (1 + kCentrelineNm));  // each end: the line and its ticks
    const auto far = Along(runway.end1Latitude, kLon, 0, 10);
    EXPECT_EQ(lines[0].y2, Geo_To_Pixel(view, far.first, far.second).y);
    EXPECT_EQ(lines[0].pen.green, 96);
    // Every fifth tick is the longer one.
    EXPECT_GT(std::abs(lines[5].x2 - lines[5].x1), std::abs(lines[4].x2 - lines[4].x1));
}

struct SettingRow {
    const char* name;
    void (*spoil)(AidSettings&);
    bool (*holds)(const AidSettings&);
};

class CheckedSettings : public testing::TestWithParam<SettingRow> {};

TEST_P(CheckedSettings, ImpossibleValuesAreCorrectedWithAReason) {
    AidSettings aids;
    GetParam().spoil(aids);
    EXPECT_FALSE(CheckAidSettings(aids).empty());
    EXPECT_TRUE(GetParam().holds(aids));
    EXPECT_TRUE(CheckAidSettings(aids).empty());  // a second look finds nothing more
}

INSTANTIATE_TEST_SUITE_P(
    Values, CheckedSettings,
    testing::Values(
        SettingRow{
            "LowestAboveHighest",
            [](AidSettings& a) { a.filterLowFt = 9000, a.filterHighFt = 2000; },
            [](const AidSettings& a) { return a.filterLowFt == 2000 && a.filterHighFt == 9000; }},
        SettingRow{"LateralMinimumZero", [](AidSettings& a) { a.conflictLateralNm = 0; },
                   [](const AidSettings& a) { return a.conflictLateralNm == 3.0; }},
        SettingRow{"LateralMinimumNotANumber",
                   [](AidSettings& a) { a.conflictLateralNm = std::nan(""); },
                   [](const AidSettings& a) { return a.conflictLateralNm == 3.0; }},
        SettingRow{"VerticalMinimumNegative", [](AidSettings& a) { a.conflictVerticalFt = -5; },
                   [](const AidSettings& a) { return a.conflictVerticalFt == 1000; }},
        SettingRow{"HundredHistoryDots", [](AidSettings& a) { a.historyDots = 100; },
                   [](const AidSettings& a) { return a.historyDots == 20; }},
        SettingRow{"ThreeMinuteVectors", [](AidSettings& a) { a.vectorMinutes = 3; },
                   [](const AidSettings& a) { return a.vectorMinutes == 2; }}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace radar
