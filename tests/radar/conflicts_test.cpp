// The predictive conflict alert: who is airborne, the inhibition round the runways, pairs
// carried forward along their tracks, one alert-log entry per encounter.

#include "radar/conflicts.h"

#include <gtest/gtest.h>

#include "radar/aids.h"
#include "tests/radar/aid_support.h"

namespace radar {
namespace {

using namespace testing_aids;

struct PairRow {
    const char* name;
    Flight one;
    Flight two;
    bool alerts;
    double earliestSeconds = 0;  // the alert's time to the closest point is at least this
    double latestSeconds = 1e9;  // and at most this
};

// Two aircraft heard every second for 20 s; the second starts `nm` miles from the first on
// `bearing`.
Flight From(const Flight& first, double bearing, double nm, Flight second) {
    std::tie(second.lat, second.lon) = Along(first.lat, first.lon, bearing, nm);
    return second;
}

const Flight kEast{"AAA", kLat + 1, kLon, 5000, 90, 250, 0};

class ConflictPairs : public testing::TestWithParam<PairRow> {};

TEST_P(ConflictPairs, AlertWhenTheMinimaBreakWithinTheLookAhead) {
    const PairRow& row = GetParam();
    TrafficHistory history;
    row.one.Report(history, 0, 20);
    row.two.Report(history, 0, 20);
    AidSettings aids;  // 3 nm, 1000 ft, two minutes
    const auto found = FindConflicts(history, aids, 20, {});
    ASSERT_EQ(found.size(), row.alerts ? 1u : 0u);
    if (!row.alerts)
        return;
    EXPECT_EQ(found[0].nameA, "AAA");
    EXPECT_GE(found[0].secondsTo, row.earliestSeconds);
    EXPECT_LE(found[0].secondsTo, row.latestSeconds);
    EXPECT_LT(found[0].minimumNm, aids.conflictLateralNm);
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, ConflictPairs,
    testing::Values(
        // 500 kt closing from 12 nm: the alert stands more than a minute before they meet.
        PairRow{"HeadOnAt500Kt", kEast,
                From(kEast, 90, 12 + 250 * 20 / 1800.0, {"BBB", 0, 0, 5000, 270, 250, 0}), true, 60,
                90},
        PairRow{"HeadOnTooFarToMatter", kEast,
                From(kEast, 90, 30 + 250 * 20 / 1800.0, {"BBB", 0, 0, 5000, 270, 250, 0}), false},
        PairRow{"AlreadyInsideAndParting", kEast,
                From(kEast, 90, 2, {"BBB", 0, 0, 5400, 90, 300, 0}), true, 0, 0},
        PairRow{"PartingOutside", kEast,
                From(kEast, 90, 4 + 250 * 20 / 3600.0, {"BBB", 0, 0, 5000, 90, 400, 0}), false},
        PairRow{"TwoThousandFeetApartLevel", kEast,
                From(kEast, 90, 6, {"BBB", 0, 0, 7000, 270, 250, 0}), false},
        // Climbing into the other's level while they close.
        PairRow{"ClimbingIntoTheOther",
                {"AAA", kLat + 1, kLon, 4000, 90, 250, 1500},
                From(kEast, 90, 10, {"BBB", 0, 0, 6000, 270, 250, 0}),
                true,
                40,
                90}),
    [](const auto& row) { return std::string(row.param.name); });

model::AirportRecord Field(int elevation) {
    model::AirportRecord airport;
    airport.latitude = kLat;
    airport.longitude = kLon;
    airport.elevation = elevation;
    // 16L/34R and 16R/34L, 0.2 nm apart, 2 nm long.
    for (double east : {0.0, 0.2}) {
        model::RunwayRecord runway;
        std::tie(runway.end1Latitude, runway.end1Longitude) =
            Along(kLat + 1 / 60.0, kLon, 90, east);
        std::tie(runway.end2Latitude, runway.end2Longitude) =
            Along(kLat - 1 / 60.0, kLon, 90, east);
        airport.runways.push_back(runway);
    }
    airport.runways.emplace_back();
    airport.runwayCount = 2;
    return airport;
}

TEST(Conflicts, ParkedAtAHigherFieldIsNotAirborne) {
    // The loaded field lies at 430 ft; these two stand at another, 1200 ft high, 40 nm away.
    const model::AirportRecord loaded = Field(430);
    const auto [lat, lon] = Along(kLat, kLon, 0, 40);
    const model::AirfieldIndex fields({{kLat, kLon, 430, "KTVO"}, {lat, lon, 1200, "KHIG"}});
    TrafficHistory history;
    Flight{"PARKED1", lat, lon, 1205, 0, 0, 0}.Report(history, 0, 20);
    Flight{"PARKED2", lat + 0.001, lon, 1205, 0, 0, 0}.Report(history, 0, 20);
    AidSettings aids;
    EXPECT_TRUE(FindConflicts(history, aids, 20, {&fields, &loaded}).empty());
    // Measured against the loaded field alone, they would be 775 ft up and in conflict.
    EXPECT_EQ(FindConflicts(history, aids, 20, {nullptr, &loaded}).size(), 1u);
}

TEST(Conflicts, TheInhibitionVolumeKeepsParallelFinalsQuiet) {
    const model::AirportRecord airport = Field(430);
    // Parallel finals 2 nm north of the thresholds, 0.7 nm apart, 1100 ft above the field.
    const auto [lat, lon] = Along(kLat + 1 / 60.0, kLon, 0, 2);
    const Flight left{"LEFT", lat, lon, 1530, 180, 140, -700};
    const Flight right = From(left, 90, 0.7, {"RIGHT", 0, 0, 1630, 180, 140, -700});
    TrafficHistory history;
    left.Report(history, 0, 10);
    right.Report(history, 0, 10);
    AidSettings aids;
    EXPECT_TRUE(FindConflicts(history, aids, 10, {nullptr, &airport}).empty());
    // The same pair far from the runways alerts.
    EXPECT_EQ(FindConflicts(history, aids, 10, {nullptr, nullptr}).size(), 1u);
    TrackPoint high = left.At(0);
    high.altitude = 430 + kInhibitHeightFt;
    EXPECT_FALSE(InInhibitionVolume(high, airport));
}

TEST(Conflicts, TheAltitudeFilterDoesNotSilenceTheAlert) {
    TrafficHistory history;
    kEast.Report(history, 0, 10);
    From(kEast, 0, 1, {"BBB", 0, 0, 5400, 90, 250, 0}).Report(history, 0, 10);
    AidSettings aids;
    aids.filter = true;
    aids.filterLowFt = 5200;  // BBB alone is shown
    EXPECT_EQ(FindConflicts(history, aids, 10, {}).size(), 1u);
}

TEST(Conflicts, AircraftNotHeardLatelyAreLeftOut) {
    TrafficHistory history;
    kEast.Report(history, 0, 10);
    From(kEast, 0, 1, {"BBB", 0, 0, 5000, 90, 250, 0}).Report(history, 0, 3);
    EXPECT_TRUE(FindConflicts(history, AidSettings{}, 10, {}).empty());
}

TEST(AlertLog, OneEntryPerEncounterAndAgainAfterAMinuteClear) {
    AlertLog log;
    const Conflict pair{"AAA", "BBB", 2.5, 300, 0.4, 45, false};
    int begun = 0;
    for (double t = 0; t < 40; ++t)
        begun += log.Update({pair}, t);
    EXPECT_EQ(begun, 1);
    ASSERT_EQ(log.Entries().size(), 1u);
    EXPECT_TRUE(log.Entries().back().active);
    EXPECT_EQ(AlertText(log.Entries().back()), "AAA / BBB  0.4 nm in 45 s");
    // Clear for 30 s, then in conflict again: the same encounter.
    EXPECT_EQ(log.Update({}, 40), 0);
    EXPECT_FALSE(log.Entries().back().active);
    EXPECT_EQ(log.Update({pair}, 69), 0);
    // Clear for a minute: a new encounter.
    EXPECT_EQ(log.Update({pair}, 130), 1);
    EXPECT_EQ(log.Entries().size(), 2u);
    const Conflict now{"AAA", "CCC", 0.8, 0, 0.8, 0, true};
    log.Update({now}, 131);
    EXPECT_EQ(AlertText(log.Entries().back()), "AAA / CCC  0.8 nm now");
}

}  // namespace
}  // namespace radar
