#include "model/geodesy.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "model/rounding.h"
#include "model/shared_state.h"

namespace model {
namespace {

bool Near(double a, double b, double eps) {
    return std::abs(a - b) <= eps;
}

class Geodesy : public ::testing::Test {
protected:
    void SetUp() override { ResetSharedState(); }
    void TearDown() override { ResetSharedState(); }

    // Sets the grid point of whole-degree lat/lon (lon 0..359) to an entry value.
    static void SetMagvarEntry(int lat, int lon, std::int16_t entry) {
        g_magvarTable[static_cast<std::size_t>((lat + 90) + 181 * lon)] = entry;
    }
};

// The entry nearest to +10 degrees: 1821 * 360 / 65536 = 10.003.
constexpr std::int16_t kTenDegreesEast = 1821;

struct RoundingRow {
    const char* name;
    double value;
    int decimals;
    double expected;
};

class RoundingRows : public ::testing::TestWithParam<RoundingRow> {};

TEST_P(RoundingRows, HalvesGoToEven) {
    const RoundingRow& row = GetParam();
    const double rounded =
        row.decimals == 0 ? RoundHalfEven(row.value) : RoundHalfEven(row.value, row.decimals);
    EXPECT_DOUBLE_EQ(rounded, row.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Model, RoundingRows,
    ::testing::Values(RoundingRow{"HalfDown", 0.5, 0, 0}, RoundingRow{"OneAndHalfUp", 1.5, 0, 2},
                      RoundingRow{"TwoAndHalfDown", 2.5, 0, 2},
                      RoundingRow{"NegativeHalf", -1.5, 0, -2},
                      RoundingRow{"NegativeTwoAndHalf", -2.5, 0, -2},
                      RoundingRow{"NotAHalf", 2.500001, 0, 3},
                      RoundingRow{"FiveDecimalsHalfDown", 0.125, 2, 0.12},
                      RoundingRow{"FiveDecimalsHalfUp", 0.375, 2, 0.38},
                      RoundingRow{"SixDecimals", 12.3456785, 6, 12.345678},
                      RoundingRow{"FiveDecimalsPlain", 45.678901234, 5, 45.6789}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(Rounding, RoundToIntSaturatesInsteadOfOverflowing) {
    EXPECT_EQ(RoundToInt(1e300), std::numeric_limits<int>::max());
    EXPECT_EQ(RoundToInt(-1e300), std::numeric_limits<int>::min());
    EXPECT_EQ(RoundToInt(std::nan("")), 0);
    EXPECT_EQ(RoundToInt(-0.5), 0);
}

TEST_F(Geodesy, ArcFunctionsMatchTheLibraryInsideTheirDomainAndReadZeroOutside) {
    for (double x = -1.0; x <= 1.0; x += 0.125) {
        SCOPED_TRACE(x);
        EXPECT_TRUE(Near(ArcSin(x), std::asin(x), 1e-12));
        EXPECT_TRUE(Near(ArcCos(x), std::acos(x), 1e-12));
    }
    for (const double outside : {-1.0000001, 1.0000001, 2.0, -5.0, std::nan("")}) {
        SCOPED_TRACE(outside);
        EXPECT_EQ(ArcSin(outside), 0);
        EXPECT_EQ(ArcCos(outside), 0);
    }
    // The truncated pi shows at the ends of the domain.
    EXPECT_EQ(ArcCos(-1), kPi);
}

TEST_F(Geodesy, ModRealIsAlwaysBetweenZeroAndTheModulus) {
    EXPECT_DOUBLE_EQ(Mod_Real(5, 3), 2);
    EXPECT_DOUBLE_EQ(Mod_Real(-1, kTwoPi), kTwoPi - 1);
    EXPECT_DOUBLE_EQ(Mod_Real(kTwoPi, kTwoPi), 0);
    EXPECT_DOUBLE_EQ(Mod_Real(-7, 3), 2);
}

TEST_F(Geodesy, NormalizeHeadingAdjustsOnceEachWay) {
    EXPECT_EQ(Normalize_Heading(360), 360);
    EXPECT_EQ(Normalize_Heading(361), 1);
    EXPECT_EQ(Normalize_Heading(-1), 359);
    EXPECT_EQ(Normalize_Heading(0), 0);
    EXPECT_EQ(Normalize_Heading(720), 360);
    EXPECT_EQ(Normalize_Heading(-361), -1);
}

struct DistanceRow {
    const char* name;
    double lat1, lon1, lat2, lon2;
    int nm;
    int feet;
};

class DistanceRows : public Geodesy, public ::testing::WithParamInterface<DistanceRow> {};

TEST_P(DistanceRows, NauticalMilesAndFeet) {
    const DistanceRow& row = GetParam();
    EXPECT_EQ(Distance_NM(row.lat1, row.lon1, row.lat2, row.lon2), row.nm);
    EXPECT_EQ(Distance_Feet(row.lat1, row.lon1, row.lat2, row.lon2), row.feet);
    // Distance does not depend on the direction of travel.
    EXPECT_EQ(Distance_NM(row.lat2, row.lon2, row.lat1, row.lon1), row.nm);
}

INSTANTIATE_TEST_SUITE_P(
    Model, DistanceRows,
    ::testing::Values(DistanceRow{"OneDegreeOfLatitude", 10, 20, 11, 20, 60, 32767},
                      DistanceRow{"Coincident", 47.5, -122.3, 47.5, -122.3, 0, 0},
                      DistanceRow{"OneNauticalMile", 0, 0, 1.0 / 60, 0, 1, 6080},
                      DistanceRow{"HalfANauticalMile", 30, 5, 30 + 0.5 / 60, 5, 0, 3040},
                      DistanceRow{"SixNauticalMilesCapFeet", 0, 0, 0.1, 0, 6, 32767},
                      DistanceRow{"AcrossOneRadianOfLatitude", -40, 0, 40, 0, 4800, 32767},
                      DistanceRow{"Antipodes", 0, 0, 0, 180, 10800, 32767},
                      DistanceRow{"AcrossTheDateLine", 0, 179.5, 0, -179.5, 60, 32767},
                      DistanceRow{"OverThePole", 89, 0, 89, 180, 120, 32767},
                      DistanceRow{"TenMilesEastOffTheEquator", 45, 10, 45,
                                  10 + 10.0 / 60 / std::cos(45 * kDegToRad), 10, 32767}),
    [](const auto& row) { return std::string(row.param.name); });

struct BearingRow {
    const char* name;
    double lat1, lon1, lat2, lon2;
    int bearing;
};

class BearingRows : public Geodesy, public ::testing::WithParamInterface<BearingRow> {};

TEST_P(BearingRows, TrueAndMagneticWithAZeroGrid) {
    const BearingRow& row = GetParam();
    EXPECT_EQ(Bearing_True(row.lat1, row.lon1, row.lat2, row.lon2), row.bearing);
    EXPECT_EQ(Bearing_Magnetic(row.lat1, row.lon1, row.lat2, row.lon2), row.bearing);
}

INSTANTIATE_TEST_SUITE_P(
    Model, BearingRows,
    // A great circle leaves a parallel slightly poleward, and the course is rounded up: due
    // east reads 90 north of the equator, due west 270 south of it, one more the other way.
    ::testing::Values(BearingRow{"DueEastNorthOfTheEquator", 10, 20, 10, 20.1, 90},
                      BearingRow{"DueWestSouthOfTheEquator", -10, 20, -10, 19.9, 270},
                      BearingRow{"DueWestNorthOfTheEquatorRoundsUp", 10, 20, 10, 19.9, 271},
                      BearingRow{"DueEastSouthOfTheEquatorRoundsUp", -10, 20, -10, 20.1, 91},
                      BearingRow{"DueSouth", 10, 20, 9.9, 20, 180},
                      BearingRow{"CourseOf44Point2RoundsUp", 0.5, 0.5,
                                 0.5 + 0.01 * std::cos(44.2 * kDegToRad),
                                 0.5 + 0.01 * std::sin(44.2 * kDegToRad), 45},
                      BearingRow{"Coincident", 51.47, -0.46, 51.47, -0.46, 360},
                      BearingRow{"EastAcrossTheDateLine", 10, 179.9, 10, -179.9, 90},
                      BearingRow{"WestAcrossTheDateLine", -10, -179.9, -10, 179.9, 270},
                      BearingRow{"FarAwayNorthEast", 0, 0, 60, 60, 27},
                      BearingRow{"FromTheNorthPole", 90, 0, 80, 45, 180},
                      BearingRow{"FromTheSouthPole", -90, 0, -80, 45, 360}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(Geodesy, BearingTrueIsNeverOutsideZeroTo360) {
    for (int lat = -80; lat <= 80; lat += 20) {
        for (int lon = -180; lon <= 180; lon += 45) {
            const int bearing = Bearing_True(10, 10, lat, lon);
            EXPECT_GE(bearing, 0);
            EXPECT_LE(bearing, 360);
        }
    }
}

TEST_F(Geodesy, DestinationThenBearingAndDistanceComeBackToTheCourse) {
    // Catches any mix-up of the west-positive longitude inside the destination routine.
    for (int course = 3; course < 360; course += 11) {
        SCOPED_TRACE(course);
        const Position end = Destination_NM(45, 10, course, 10);
        EXPECT_EQ(Distance_NM(45, 10, end.latitude, end.longitude), 10);
        const int bearing = Bearing_True(45, 10, end.latitude, end.longitude);
        EXPECT_TRUE(bearing == course || bearing == course + 1) << bearing;
    }
}

struct DestinationRow {
    const char* name;
    char unit;  // 'N' nautical miles, 'F' feet, 'M' metres
    double lat, lon;
    int course;
    double distance;
    double expectedLat, expectedLon;
};

class DestinationRows : public Geodesy, public ::testing::WithParamInterface<DestinationRow> {};

TEST_P(DestinationRows, LandsOnTheRoundedPoint) {
    const DestinationRow& row = GetParam();
    Position end;
    switch (row.unit) {
        case 'N':
            end = Destination_NM(row.lat, row.lon, row.course, static_cast<int>(row.distance));
            break;
        case 'F':
            end = Destination_Feet(row.lat, row.lon, row.course, static_cast<int>(row.distance));
            break;
        default:
            end = Destination_Meters(row.lat, row.lon, row.course, row.distance);
            break;
    }
    EXPECT_DOUBLE_EQ(end.latitude, row.expectedLat);
    EXPECT_DOUBLE_EQ(end.longitude, row.expectedLon);
}

INSTANTIATE_TEST_SUITE_P(
    Model, DestinationRows,
    ::testing::Values(
        DestinationRow{"SixtyMilesEastAlongTheEquator", 'N', 0, 0, 90, 60, 0, 1},
        DestinationRow{"NegativeMilesStayAtTheStart", 'N', 12.3456789, 45.6789012, 77, -5, 12.34568,
                       45.6789},
        DestinationRow{"EastOverTheDateLine", 'N', 0, 179.5, 90, 60, 0, -179.5},
        DestinationRow{"WestOverTheDateLine", 'N', 0, -179.5, 270, 60, 0, 179.5},
        DestinationRow{"SixtyMilesSouth", 'N', 10, 20, 180, 60, 9, 20},
        DestinationRow{"OneMileOfFeetNorth", 'F', 0, 0, 0, 6080, 0.01667, 0},
        DestinationRow{"NegativeFeetStayAtTheStart", 'F', 1.234564, 2, 90, -100, 1.23456, 2},
        DestinationRow{"OneMileOfMetresNorth", 'M', 0, 0, 0, 1852, 0.016667, 0},
        DestinationRow{"NegativeMetresCountAsTheirSize", 'M', 0, 0, 0, -1852, 0.016667, 0},
        DestinationRow{"MetresKeepSixDecimals", 'M', 40.1234567, -3.7654321, 270, 0, 40.123457,
                       -3.765432}),
    [](const auto& row) { return std::string(row.param.name); });

struct MagvarRow {
    const char* name;
    int gridLat, gridLon;  // where the entry is put
    double lat, lon;       // where it is read
};

class MagvarRows : public Geodesy, public ::testing::WithParamInterface<MagvarRow> {};

TEST_P(MagvarRows, ReadsTheNearestGridPoint) {
    const MagvarRow& row = GetParam();
    SetMagvarEntry(row.gridLat, row.gridLon, kTenDegreesEast);
    EXPECT_EQ(Magvar_At(row.lat, row.lon), 10);
}

INSTANTIATE_TEST_SUITE_P(
    Model, MagvarRows,
    ::testing::Values(MagvarRow{"HalfLatitudeRoundsToEvenZero", 0, 10, 0.5, 10},
                      MagvarRow{"OneAndHalfLongitudeRoundsToTwo", 20, 2, 20, 1.5},
                      MagvarRow{"SmallWestLongitudeIsZeroNot360", 5, 0, 5, -0.4},
                      MagvarRow{"WestLongitudeWrapsEast", 5, 359, 5, -1},
                      MagvarRow{"DateLineFromTheWest", 5, 180, 5, -180},
                      MagvarRow{"LongitudeRoundingTo360WrapsToZero", 5, 0, 5, 359.6},
                      MagvarRow{"NorthPole", 90, 100, 90, 100},
                      MagvarRow{"BeyondTheNorthPoleClamps", 90, 100, 95, 100},
                      MagvarRow{"BeyondTheSouthPoleClamps", -90, 7, -120, 7}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(Geodesy, MagvarTruncatesTowardZeroAndNeverReadsOutsideTheGrid) {
    SetMagvarEntry(10, 20, -kTenDegreesEast);
    EXPECT_EQ(Magvar_At(10, 20), -10);
    SetMagvarEntry(10, 21, 1);  // 0.0055 degrees
    EXPECT_EQ(Magvar_At(10, 21), 0);
    for (const double lon : {-1000.0, 1000.0, 719.6, -540.0}) {
        for (const double lat : {-1000.0, 1000.0}) {
            EXPECT_EQ(Magvar_At(lat, lon), 0);
        }
    }
}

TEST_F(Geodesy, MagneticConversionsApplyTheVariationBothWays) {
    SetMagvarEntry(10, 20, kTenDegreesEast);
    EXPECT_EQ(True_To_Magnetic(5, 10, 20), 355);
    EXPECT_EQ(Magnetic_To_True(355, 10, 20), 5);
    EXPECT_EQ(True_To_Magnetic(90, 10, 20), 80);
    EXPECT_EQ(Magnetic_To_True(360, 10, 20), 10);
    // The variation is taken at point 1: (10, 20.6) reads the empty grid point (10, 21).
    EXPECT_EQ(Bearing_Magnetic(10, 20, 10, 20.6), 80);
    EXPECT_EQ(Bearing_Magnetic(10, 20.6, 10, 20), 271);
}

}  // namespace
}  // namespace model
