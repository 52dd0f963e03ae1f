// The traffic list's rows from the table and its history.

#include "radar/traffic_list.h"

#include <gtest/gtest.h>

#include <cmath>

#include "model/shared_state.h"

namespace radar {
namespace {

constexpr double kLat = 47.5;
constexpr double kLon = -122.3;
constexpr double kRad = 3.14159265358979323846 / 180;

TEST(TrafficList, SpeedsDistanceBearingAndSilence) {
    model::AirportRecord airport;
    airport.latitude = kLat;
    airport.longitude = kLon;
    TrafficRows rows{};
    TrafficHistory history;
    // A climbing aircraft 10 nm north-east of the field at 120 kt and 500 ft a minute, one
    // position a second; a parked one due west that stops being heard.
    for (int tick = 0; tick <= 40; ++tick) {
        const double nm = 10 + 120.0 * tick / 3600;
        rows[1] = {"N120",
                   3000 + 500 * tick / 60,
                   45,
                   kLon + nm * std::sin(45 * kRad) / 60 / std::cos(kLat * kRad),
                   kLat + nm * std::cos(45 * kRad) / 60,
                   "Jet Plane",
                   "B737"};
        rows[2] = {"PARKED", 430, 270, kLon - 2.0 / 60 / std::cos(kLat * kRad), kLat, "", ""};
        history.Add("N120", {rows[1].latitude, rows[1].longitude, rows[1].altitude, 1.0 * tick});
        // Heard every second until 25 s, though it never moves; then silent.
        if (tick <= 25)
            history.Add("PARKED", {rows[2].latitude, rows[2].longitude, 430, 1.0 * tick});
    }
    const auto list = BuildTrafficList(rows, 2, history, airport, 40);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].callsign, "N120");
    EXPECT_EQ(list[0].category, "Jet Plane");
    EXPECT_EQ(list[0].groundSpeedKt, 120);
    EXPECT_NEAR(*list[0].verticalSpeedFpm, 500, 5);  // altitudes whole feet
    EXPECT_NEAR(*list[0].distanceNm, 10 + 120.0 * 40 / 3600, 0.05);
    EXPECT_NEAR(*list[0].bearing, 45, 1);  // no variation in an empty grid
    EXPECT_FALSE(list[0].silent);
    EXPECT_NEAR(*list[1].bearing, 270, 1);
    EXPECT_NEAR(*list[1].distanceNm, 2, 0.01);
    EXPECT_FALSE(list[1].groundSpeedKt.has_value());  // not heard for 15 s: unknown
    EXPECT_EQ(BuildTrafficList(rows, 2, history, airport, 26)[1].groundSpeedKt, 0);
    EXPECT_EQ(list[1].silentSeconds, 15);
    EXPECT_FALSE(list[1].silent);
    EXPECT_TRUE(BuildTrafficList(rows, 2, history, airport, 55)[1].silent);
    model::ResetSharedState();
}

struct BearingRow {
    const char* name;
    double course;  // true, from the airport
    double nm;
    std::optional<int> bearing;
};

class TrafficListBearings : public testing::TestWithParam<BearingRow> {};

// To the nearest degree, north as 360, nothing where there is no direction.
TEST_P(TrafficListBearings, RoundedToTheNearestDegree) {
    const BearingRow& row = GetParam();
    model::AirportRecord airport;
    airport.latitude = kLat;
    airport.longitude = kLon;
    TrafficRows rows{};
    rows[1] = {"N1",
               3000,
               0,
               kLon + row.nm * std::sin(row.course * kRad) / 60 / std::cos(kLat * kRad),
               kLat + row.nm * std::cos(row.course * kRad) / 60,
               "",
               ""};
    const auto list = BuildTrafficList(rows, 1, TrafficHistory{}, airport, 0);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].bearing, row.bearing);
}

INSTANTIATE_TEST_SUITE_P(Courses, TrafficListBearings,
                         testing::Values(BearingRow{"DueNorth", 0, 5, 360},
                                         BearingRow{"JustEastOfNorth", 0.4, 5, 360},
                                         BearingRow{"JustWestOfNorth", 359.6, 5, 360},
                                         BearingRow{"EastRoundsDown", 90.4, 5, 90},
                                         BearingRow{"SouthRoundsUp", 179.6, 5, 180},
                                         BearingRow{"OnTheReferencePoint", 0, 0, std::nullopt}),
                         [](const auto& row) { return std::string(row.param.name); });

// A row at 0/0 has not been placed yet; one on the equator or the prime meridian has.
TEST(TrafficList, ARowWithoutAPositionHasNoDistanceOrBearing) {
    TrafficRows rows{};
    rows[1] = {"NEW", 0, 0, 0, 0, "", ""};
    rows[2] = {"EQUATOR", 0, 0, 10, 0, "", ""};
    rows[3] = {"MERIDIAN", 0, 0, 0, 10, "", ""};
    model::AirportRecord airport;
    airport.latitude = kLat;
    const auto list = BuildTrafficList(rows, 3, TrafficHistory{}, airport, 0);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_FALSE(list[0].distanceNm.has_value());
    EXPECT_FALSE(list[0].bearing.has_value());
    EXPECT_TRUE(list[1].distanceNm.has_value() && list[1].bearing.has_value());
    EXPECT_TRUE(list[2].distanceNm.has_value() && list[2].bearing.has_value());
}

}  // namespace
}  // namespace radar
