// Tracks: one point per report, speeds by least squares, what ends a track.

#include "radar/track_history.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "tests/radar/aid_support.h"

namespace radar {
namespace {

using namespace testing_aids;

// The first tick at or after t, for ticks every `period` seconds from `phase`.
double TakenAt(double t, double period, double phase) {
    return phase + std::ceil((t - phase) / period - 1e-9) * period;
}

struct TimingRow {
    const char* name;
    double tickSeconds;  // the message loop's period
    double phase;        // its first tick
};

class ReportTiming : public testing::TestWithParam<TimingRow> {};

// Reports every 1.00 s taken by ticks that do not keep their pace: the speed holds within 2 %
// at every tick of the second minute.
TEST_P(ReportTiming, GroundSpeedHoldsWithinTwoPercent) {
    const TimingRow& row = GetParam();
    const Flight flight{"N250", kLat, kLon, 5000, 60, 250, 0};
    TrafficHistory history;
    double worst = 0;
    for (double t = 0; t <= 120; t += 1) {
        TrackPoint point = flight.At(t);
        point.t = TakenAt(t, row.tickSeconds, row.phase);
        history.Add(flight.name, point);
        if (t >= 60) {
            const auto speed = history.GroundSpeedKt(flight.name, point.t);
            ASSERT_TRUE(speed.has_value()) << t;
            worst = std::max(worst, std::abs(*speed - 250) / 250);
        }
    }
    EXPECT_LT(worst, 0.02);
    const auto motion = history.MotionOf(flight.name, TakenAt(120, row.tickSeconds, row.phase));
    ASSERT_TRUE(motion.has_value());
    EXPECT_NEAR(motion->trackTrue, 60, 1);
}

INSTANTIATE_TEST_SUITE_P(Ticks, ReportTiming,
                         testing::Values(TimingRow{"TicksEvery1_05s", 1.05, 0.3},
                                         TimingRow{"TicksEvery0_95s", 0.95, 0.1},
                                         TimingRow{"TicksEvery2s", 2.0, 0.5},
                                         TimingRow{"InStep", 1.0, 0.0}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(TrafficHistory, SpeedsTrendAndTrackFromTheReports) {
    TrafficHistory history;
    Flight{"UP", kLat, kLon, 3000, 45, 120, 500}.Report(history, 0, 20);
    Flight{"LEVEL", kLat, kLon, 3000, 90, 300, 0}.Report(history, 0, 20);
    Flight{"DOWN", kLat, kLon, 3000, 270, 300, -900}.Report(history, 0, 20);
    EXPECT_NEAR(*history.GroundSpeedKt("UP", 20), 120, 0.5);
    EXPECT_NEAR(*history.VerticalSpeedFpm("UP", 20), 500, 5);
    EXPECT_NEAR(history.MotionOf("DOWN", 20)->trackTrue, 270, 0.5);
    EXPECT_EQ(history.TrendOf("UP", 20), Trend::Climbing);
    EXPECT_EQ(history.TrendOf("LEVEL", 20), Trend::Level);
    EXPECT_EQ(history.TrendOf("DOWN", 20), Trend::Descending);
    EXPECT_EQ(history.TrendOf("NOBODY", 20), Trend::Unknown);
    // One point per report, whatever asks how fast it is and how often.
    EXPECT_EQ(history.Track("UP").size(), 21u);
}

TEST(TrafficHistory, DoubledAndLateReportsDoNotBendTheSpeed) {
    TrafficHistory history;
    const Flight flight{"N1", kLat, kLon, 4000, 180, 200, 0};
    for (int t = 0; t <= 60; ++t) {
        TrackPoint point = flight.At(t);
        if (t % 7 == 3)
            point.t = t + 1;  // taken a tick late, with the next one
        history.Add(flight.name, point);
        if (t % 5 == 0)
            history.Add(flight.name, point);  // the same message twice
    }
    EXPECT_EQ(history.Track("N1").size(), 61u);
    EXPECT_NEAR(*history.GroundSpeedKt("N1", 60), 200, 4);
}

TEST(TrafficHistory, SpeedsAreUnknownWhenNotHeardOrTooShort) {
    TrafficHistory history;
    const Flight flight{"QUIET", kLat, kLon, 4000, 0, 150, 0};
    flight.Report(history, 0, 1);
    EXPECT_FALSE(history.GroundSpeedKt("QUIET", 1).has_value());  // two reports a second apart
    const Flight pair{"PAIR", kLat, kLon, 4000, 0, 150, 0};
    pair.Report(history, 0, 4, 4.0, [](double t) { return t; });
    EXPECT_FALSE(history.GroundSpeedKt("PAIR", 4).has_value());  // two reports, 4 s apart
    flight.Report(history, 2, 10);
    EXPECT_TRUE(history.GroundSpeedKt("QUIET", 15).has_value());
    EXPECT_FALSE(history.GroundSpeedKt("QUIET", 15.5).has_value());  // silent over 5 s
    EXPECT_EQ(history.TrendOf("QUIET", 16), Trend::Unknown);
    EXPECT_DOUBLE_EQ(*history.SecondsSinceHeard("QUIET", 16), 6);
}

TEST(TrafficHistory, ATrackEndsAfterAMinuteOfSilenceOrWhenItsPlayerLeaves) {
    TrafficHistory history;
    Flight{"STAYS", kLat, kLon}.Report(history, 0, 100, 7);
    Flight{"SILENT", kLat, kLon}.Report(history, 0, 30, 7);
    Flight{"LEAVES", kLat, kLon}.Report(history, 0, 100, 9);
    history.Expire(90.5);
    EXPECT_TRUE(history.Track("SILENT").empty());
    EXPECT_FALSE(history.Track("STAYS").empty());
    history.Depart(9);
    EXPECT_TRUE(history.Track("LEAVES").empty());
    EXPECT_FALSE(history.Track("STAYS").empty());
    history.Depart(0);  // an unknown player takes nothing with it
    EXPECT_FALSE(history.Track("STAYS").empty());
}

TEST(TrafficHistory, DotsStandAtTheirIntervalBackFromTheNewest) {
    TrafficHistory history;
    const Flight flight{"DOTS", kLat, kLon, 3000, 90, 250, 0};
    flight.Report(history, 0, 40);
    const auto dots = history.Dots("DOTS", 5, 5);
    ASSERT_EQ(dots.size(), 5u);
    for (std::size_t k = 0; k < dots.size(); ++k)
        EXPECT_DOUBLE_EQ(dots[k].t, 40 - 5.0 * static_cast<double>(k + 1));
    // A short track gives the dots it has.
    TrafficHistory young;
    flight.Report(young, 0, 12);
    EXPECT_EQ(young.Dots("DOTS", 5, 5).size(), 2u);
}

TEST(TrafficHistory, WhatAPeerSendsStaysBounded) {
    TrafficHistory history;
    for (int i = 0; i < 5000; ++i)
        history.Add("FLOOD", {kLat, kLon + i * 1e-6, 3000, i * 0.001});
    EXPECT_LE(history.Track("FLOOD").size(), TrafficHistory::kMaxPoints);
    for (int i = 0; i < 1000; ++i)
        history.Add("N" + std::to_string(i), {kLat, kLon, 3000, 10.0 + i});
    EXPECT_LE(history.Names().size(), TrafficHistory::kMaxTracks);
    EXPECT_FALSE(history.Track("N999").empty());  // the newest stay
    history.Add("NAN", {std::nan(""), kLon, 0, 1});
    EXPECT_TRUE(history.Track("NAN").empty());
    // Altitudes from one end of the word to the other: a climb, not an overflow.
    for (int t = 0; t < 4; ++t)
        history.Add("WILD", {kLat, kLon, t % 2 ? INT32_MAX : INT32_MIN, 1000.0 + t});
    ASSERT_TRUE(history.MotionOf("WILD", 1003).has_value());
    EXPECT_TRUE(std::isfinite(history.MotionOf("WILD", 1003)->verticalSpeedFpm));
}

}  // namespace
}  // namespace radar
