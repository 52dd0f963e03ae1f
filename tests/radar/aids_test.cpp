// The controller aids' logic and what they draw, on the recording canvas.

#include "radar/aids.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "model/shared_state.h"
#include "platform/recording_canvas.h"

namespace radar {
namespace {

using platform::DrawnItem;
using platform::RecordingCanvas;

constexpr double kLat = 47.5;
constexpr double kLon = -122.3;

// A position `nm` miles from (lat, lon) on a true course, as a minute of arc is a mile.
std::pair<double, double> Along(double lat, double lon, double course, double nm) {
    const double rad = course * 3.14159265358979323846 / 180;
    return {lat + nm * std::cos(rad) / 60,
            lon + nm * std::sin(rad) / 60 / std::cos(lat * 3.14159265358979323846 / 180)};
}

View ViewAt(int level) {
    View view;
    view.m_scopeWidthPx = 1000;
    view.m_scopeHeightPx = 500;
    ResetView(view);
    CenterView(view, kLon, kLat);
    while (view.m_zoomLevel < level)
        Zoom_In_Step(view);
    return view;
}

class Aids : public ::testing::Test {
protected:
    void TearDown() override { model::ResetSharedState(); }

    // A row flying `course` at `knots` and `fpm`, seen once a second for `ticks` ticks.
    void Fly(int row, const std::string& name, double lat, double lon, int altitude, double course,
             double knots, int fpm, int ticks = 7) {
        model::g_trafficCount =
            std::max<std::int16_t>(model::g_trafficCount, static_cast<std::int16_t>(row));
        model::TrafficEntry& entry = model::g_traffic[static_cast<std::size_t>(row)];
        entry.name = name;
        entry.heading = course;
        for (int tick = 0; tick < ticks; ++tick) {
            const auto [pLat, pLon] = Along(lat, lon, course, knots * tick / 3600.0);
            entry.latitude = pLat;
            entry.longitude = pLon;
            entry.altitude = altitude + fpm * tick / 60;
            m_history.Add(name, {pLat, pLon, entry.altitude, static_cast<double>(tick)});
        }
    }

    TrafficHistory m_history;
};

TEST_F(Aids, SpeedsAndTrendFromSuccessivePositions) {
    Fly(1, "N120", kLat, kLon, 3000, 45, 120, 500);
    EXPECT_NEAR(*m_history.GroundSpeedKt("N120"), 120, 0.5);
    EXPECT_NEAR(*m_history.VerticalSpeedFpm("N120"), 500, 5);
    EXPECT_EQ(m_history.TrendOf("N120"), Trend::Climbing);
    Fly(2, "LEVEL", kLat, kLon, 3000, 90, 300, 0);
    EXPECT_EQ(m_history.TrendOf("LEVEL"), Trend::Level);
    Fly(3, "DOWN", kLat, kLon, 3000, 90, 300, -900);
    EXPECT_EQ(m_history.TrendOf("DOWN"), Trend::Descending);
    EXPECT_FALSE(m_history.GroundSpeedKt("NOBODY").has_value());
    // The track keeps the position now and the six before it.
    EXPECT_EQ(m_history.Track("N120").size(), TrafficHistory::kTrailDots + 1);
}

TEST_F(Aids, TheTableIsRecordedOncePerTickAndDepartedAircraftAreForgotten) {
    TrafficHistory history;
    model::g_traffic[1] = {"ONE", 1000, 90, kLon, kLat, "", ""};
    model::g_traffic[2] = {"TWO", 1000, 90, kLon + 0.1, kLat, "", ""};
    model::g_traffic[3] = {"NOPOS", 1000, 90, 0, 0, "", ""};
    model::g_trafficCount = 3;
    for (int tick = 0; tick < 9; ++tick)
        history.Record(model::g_traffic, model::g_trafficCount, tick);
    EXPECT_EQ(history.Track("ONE").size(), 7u);
    EXPECT_EQ(history.Track("ONE").front().t, 2);
    EXPECT_TRUE(history.Track("NOPOS").empty());
    model::g_trafficCount = 1;
    history.Record(model::g_traffic, model::g_trafficCount, 9);
    EXPECT_TRUE(history.Track("TWO").empty());
}

struct ConflictRow {
    const char* name;
    double apartNm;
    int secondAltitude;
    double knots;
    int altitude;
    std::size_t alerts;
};

class Conflicts : public Aids, public testing::WithParamInterface<ConflictRow> {};

TEST_P(Conflicts, AirbornePairsCloserThanBothThresholds) {
    const ConflictRow& row = GetParam();
    AidSettings aids;
    aids.conflicts = true;
    const auto [lat2, lon2] = Along(kLat, kLon, 90, row.apartNm);
    Fly(1, "DAL123", kLat, kLon, row.altitude, 0, row.knots, 0);
    Fly(2, "N456", lat2, lon2, row.secondAltitude, 0, row.knots, 0);
    const auto found = FindConflicts(model::g_traffic, model::g_trafficCount, m_history, aids, 430);
    ASSERT_EQ(found.size(), row.alerts);
    if (row.alerts == 1) {
        EXPECT_EQ(ConflictLine(found[0]).substr(0, 23), "CONFLICT DAL123 / N456 ");
        EXPECT_NEAR(found[0].lateralNm, row.apartNm, 0.05);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, Conflicts,
    testing::Values(ConflictRow{"Converging", 2.4, 4600, 250, 4000, 1},
                    ConflictRow{"OneAboveTheOther2000Apart", 0.2, 6000, 250, 4000, 0},
                    ConflictRow{"FarApart", 3.5, 4000, 250, 4000, 0},
                    ConflictRow{"OnTheGround", 0.05, 430, 10, 430, 0},
                    ConflictRow{"SlowButHighAboveTheField", 1.0, 1000, 10, 900, 1}),
    [](const auto& pair) { return std::string(pair.param.name); });

TEST_F(Aids, ConflictLineReadsAsTheLogShowsIt) {
    EXPECT_EQ(ConflictLine({1, 2, "DAL123", "N456", 2.44, 600}),
              "CONFLICT DAL123 / N456 2.4 nm 600 ft");
}

TEST_F(Aids, RingsLieAtTheirDistanceInPixels) {
    for (int level : {9, 11, 14}) {
        SCOPED_TRACE(level);
        const View view = ViewAt(level);
        const RingPlan plan = PlanRings(view, kLat);
        ASSERT_FALSE(plan.radiiPx.empty());
        EXPECT_LE(plan.radiiPx.size(), 10u);
        // The first ring through the points its distance north and east of the centre.
        const Pixel centre = Geo_To_Pixel(view, kLat, kLon);
        const auto north = Along(kLat, kLon, 0, plan.spacingNm);
        const auto east = Along(kLat, kLon, 90, plan.spacingNm);
        EXPECT_NEAR(plan.radiiPx[0].second,
                    centre.y - Geo_To_Pixel(view, north.first, north.second).y, 1);
        EXPECT_NEAR(plan.radiiPx[0].first, Geo_To_Pixel(view, east.first, east.second).x - centre.x,
                    1);
        if (level >= 14) {
            EXPECT_EQ(plan.spacingNm, 1);  // 5 nm would be off the scope
        }
    }
    EXPECT_EQ(PlanRings(ViewAt(9), kLat).spacingNm, 5);
}

TEST_F(Aids, TenBlocksAtTheApronDoNotOverlap) {
    // Ten aircraft on a few gates, 20 to 30 pixels apart, with blocks of a usual size.
    std::vector<Pixel> dots;
    std::vector<std::pair<int, int>> sizes;
    for (int i = 0; i < 10; ++i) {
        dots.push_back({400 + (i % 2) * 30, 200 + (i / 2) * 24});
        sizes.emplace_back(140, 13);
    }
    const auto places = PlaceBlocks(dots, sizes, 4);
    for (std::size_t a = 0; a < places.size(); ++a) {
        for (std::size_t b = a + 1; b < places.size(); ++b) {
            const bool apart = places[a].x + places[a].width <= places[b].x ||
                               places[b].x + places[b].width <= places[a].x ||
                               places[a].y + places[a].height <= places[b].y ||
                               places[b].y + places[b].height <= places[a].y;
            EXPECT_TRUE(apart) << a << " and " << b;
        }
    }
    // A block alone keeps the default place.
    EXPECT_FALSE(PlaceBlocks({{10, 10}}, {{50, 13}}, 4)[0].moved);
}

TEST_F(Aids, TrailsFadeAndTheFilterHidesConflictsTurnRed) {
    Fly(1, "DAL123", kLat, kLon, 4000, 90, 250, 0);
    const auto [lat2, lon2] = Along(kLat, kLon, 90, 1);
    Fly(2, "N456", lat2, lon2, 4500, 270, 250, 0);
    Fly(3, "HIGH", kLat + 0.05, kLon, 30000, 90, 450, 0);
    AidSettings aids;
    aids.trails = aids.conflicts = aids.filter = true;
    aids.filterHighFt = 20000;
    const View view = ViewAt(13);
    const auto conflicts = FindConflicts(model::g_traffic, 3, m_history, aids, 430);
    ASSERT_EQ(conflicts.size(), 1u);
    RecordingCanvas canvas(view.m_scopeWidthPx, view.m_scopeHeightPx);
    DrawTargetsWithAids(canvas, view, model::g_traffic, 3, aids, m_history, conflicts);
    int trailDots = 0;
    int red = 0;
    for (const DrawnItem& item : canvas.Items()) {
        if (item.kind == DrawnItem::Kind::Text) {
            EXPECT_EQ(item.text.find("HIGH"), std::string::npos);  // filtered out
        }
        if (item.kind == DrawnItem::Kind::Ellipse && item.pen.red > 0 && item.pen.red < 255)
            ++trailDots;  // red fading towards black
        if (item.kind == DrawnItem::Kind::Ellipse && item.pen.red == 255)
            ++red;
    }
    EXPECT_EQ(trailDots, 2 * static_cast<int>(TrafficHistory::kTrailDots));
    EXPECT_EQ(red, 2);

    // The filter off, the high aircraft is back.
    aids.filter = false;
    RecordingCanvas unfiltered(view.m_scopeWidthPx, view.m_scopeHeightPx);
    DrawTargetsWithAids(unfiltered, view, model::g_traffic, 3, aids, m_history, conflicts);
    EXPECT_TRUE(
        std::any_of(unfiltered.Items().begin(), unfiltered.Items().end(), [](const auto& item) {
            return item.kind == DrawnItem::Kind::Text && item.text.starts_with("HIGH");
        }));
}

}  // namespace
}  // namespace radar
