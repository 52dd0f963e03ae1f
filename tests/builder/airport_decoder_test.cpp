// Airports written by the scenery writer and read back through the builder's walk.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "builder/bgl_walk.h"
#include "model/geodesy.h"
#include "model/shared_state.h"
#include "tests/support/word_bytes.h"
#include "tools/scenery/bgl_writer.h"

namespace builder {
namespace {

using tools::AirportSpec;
using tools::BglFileSpec;
using tools::RunwaySpec;

struct Decoded {
    std::vector<model::AirportRecord> airports;
    std::int32_t count = 0;
    bool holdsAirspace = false;
};

Decoded Decode(const std::vector<std::uint8_t>& bytes) {
    Decoded decoded;
    SceneryFileContents contents{decoded.airports, decoded.count};
    WalkBglHeader(FileBuffer(bytes), contents);
    decoded.holdsAirspace = contents.holdsAirspace;
    return decoded;
}

Decoded DecodeOne(const AirportSpec& airport) {
    BglFileSpec file;
    file.airports = {airport};
    return Decode(tools::WriteBgl(file));
}

AirportSpec Field() {
    AirportSpec airport;
    airport.name = "Test Field";
    airport.ident = "ktst";
    airport.latitude = 45.5;
    airport.longitude = -73.25;
    airport.elevationMetres = 61;  // whole metres in the file
    return airport;
}

RunwaySpec RunwayAt(double heading, int number, int mark) {
    RunwaySpec runway;
    runway.latitude = 45.5;
    runway.longitude = -73.25;
    runway.headingTrue = heading;
    runway.lengthFeet = 6000;
    runway.widthFeet = 150;
    runway.number = number;
    runway.mark = mark;
    return runway;
}

class AirportDecoder : public ::testing::Test {
protected:
    void SetUp() override { model::ResetSharedState(); }
    void TearDown() override { model::ResetSharedState(); }
};

TEST_F(AirportDecoder, HeaderIdentAndFrequencies) {
    AirportSpec airport = Field();
    airport.radios = {{119.9, 6}, {120.95, 6}, {122.95, 3}, {121.7, 5}, {118.0, 7},
                      {119.2, 9}, {123.9, 8},  {125.1, 10}, {118.45, 1}};
    const Decoded decoded = DecodeOne(airport);
    ASSERT_EQ(decoded.count, 1);
    ASSERT_EQ(decoded.airports.size(), 2u);  // one spare empty element
    EXPECT_EQ(decoded.airports[1], model::AirportRecord{});
    const model::AirportRecord& a = decoded.airports[0];
    EXPECT_EQ(a.name, "Test Field");
    EXPECT_EQ(a.ident, "KTST");
    EXPECT_NEAR(a.latitude, 45.5, 1e-5);
    EXPECT_NEAR(a.longitude, -73.25, 1e-6);
    EXPECT_EQ(a.elevation, 200);      // 200.13 feet
    EXPECT_EQ(a.towerFreq, "119.9");  // the first record of a kind wins
    EXPECT_EQ(a.groundFreq, "121.7");
    EXPECT_EQ(a.clearanceFreq, "118");
    EXPECT_EQ(a.departureFreq, "119.2");
    EXPECT_EQ(a.approachFreq, "123.9");
    EXPECT_EQ(a.centerFreq, "125.1");
    EXPECT_EQ(a.atisFreq, "118.45");
    EXPECT_EQ(a.runwayCount, 0);
    EXPECT_TRUE(a.runways.empty());
    EXPECT_TRUE(a.taxiPoints.empty());
}

struct DesignatorRow {
    const char* name;
    int number;
    int mark;
    const char* designator;
    const char* opposite;
};

class Designators : public AirportDecoder, public ::testing::WithParamInterface<DesignatorRow> {};

TEST_P(Designators, FromNumberAndMarking) {
    const DesignatorRow& row = GetParam();
    AirportSpec airport = Field();
    airport.runways = {RunwayAt(40, row.number, row.mark)};
    const Decoded decoded = DecodeOne(airport);
    ASSERT_EQ(decoded.airports[0].runwayCount, 1);
    EXPECT_EQ(decoded.airports[0].runways[0].designator, row.designator);
    EXPECT_EQ(decoded.airports[0].runways[0].oppositeDesignator, row.opposite);
    EXPECT_EQ(decoded.airports[0].runways.size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Builder, Designators,
                         ::testing::Values(DesignatorRow{"LeftAndRight", 4, 1, "4L", "22R"},
                                           DesignatorRow{"RightAndLeft", 4, 2, "4R", "22L"},
                                           DesignatorRow{"Centre", 9, 3, "9C", "27C"},
                                           DesignatorRow{"Helipad", 1, 4, "1H", "19H"},
                                           DesignatorRow{"EighteenAndThirtySix", 18, 0, "18", "36"},
                                           DesignatorRow{"ThirtySixAndEighteen", 36, 0, "36", "18"},
                                           DesignatorRow{"NumberTooLarge", 37, 0, "", ""},
                                           DesignatorRow{"UnknownMarking", 9, 5, "", ""}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(AirportDecoder, RunwayEndsLieHalfTheLengthEitherSideAlongTheHeading) {
    AirportSpec airport = Field();
    airport.runways = {RunwayAt(90, 9, 0)};
    const model::RunwayRecord runway = DecodeOne(airport).airports[0].runways[0];
    const double lengthNm = 6000 * 0.3048 / 1852;
    EXPECT_NEAR(runway.end1Latitude, runway.end2Latitude, 1e-9);
    EXPECT_LT(runway.end1Longitude, runway.end2Longitude);  // end 1 is where 9 starts, west
    const int feet = model::Distance_Feet(runway.end1Latitude, runway.end1Longitude,
                                          runway.end2Latitude, runway.end2Longitude);
    EXPECT_NEAR(feet, lengthNm * 6080, 25);
    EXPECT_EQ(runway.magHeading, 90);
    EXPECT_EQ(runway.oppositeMagHeading, 270);
    EXPECT_EQ(runway.lengthFeet, 6000);
    EXPECT_EQ(runway.widthFeet, 150);
}

TEST_F(AirportDecoder, HeadingsTurnMagneticWithTheVariationAtEachEnd) {
    // Ten degrees east everywhere near the field.
    for (int lat = 44; lat <= 47; ++lat) {
        for (int lon = 285; lon <= 288; ++lon) {
            model::g_magvarTable[static_cast<std::size_t>((lat + 90) + 181 * lon)] = 1821;
        }
    }
    AirportSpec airport = Field();
    airport.runways = {RunwayAt(100, 9, 0)};
    airport.runways[0].elevationMetres = 61;
    airport.runways[0].ils = {{"ITST", 45.51, -73.24, 280, 110.3, 4}};
    const model::AirportRecord a = DecodeOne(airport).airports[0];
    const model::RunwayRecord& runway = a.runways[0];
    EXPECT_EQ(runway.magHeading, 90);
    EXPECT_EQ(runway.oppositeMagHeading, 270);
    EXPECT_EQ(runway.elevation, 200);  // 200.13 feet
    ASSERT_EQ(a.ilsCount, 1);
    EXPECT_EQ(a.ilsList[0].magCourse, 270);  // true 280
}

TEST_F(AirportDecoder, IlsIsPlacedOnTheThresholdItServesAtEitherEnd) {
    for (const double heading : {40.0, 220.0}) {
        SCOPED_TRACE(heading);
        AirportSpec airport = Field();
        RunwaySpec runway = RunwayAt(heading, 4, 0);
        runway.ils = {{"IEND", 45.51, -73.24, heading, 110.3, 4},
                      {"IOPP", 45.49, -73.26, std::fmod(heading + 180, 360), 111.1, 4},
                      {"IOFF", 45.6, -73.1, heading + 30, 109.1, 4},
                      {"LOC", 45.6, -73.1, heading, 108.1, 2}};
        airport.runways = {runway};
        const model::AirportRecord a = DecodeOne(airport).airports[0];
        ASSERT_EQ(a.ilsCount, 3);  // the type-2 record is passed over
        ASSERT_EQ(a.ilsList.size(), 4u);
        const model::RunwayRecord& r = a.runways[0];
        EXPECT_EQ(a.ilsList[0].name, "IEND");
        EXPECT_EQ(a.ilsList[0].latitude, r.end1Latitude);
        EXPECT_EQ(a.ilsList[0].longitude, r.end1Longitude);
        EXPECT_EQ(a.ilsList[0].frequency, "110.3");
        EXPECT_EQ(a.ilsList[1].latitude, r.end2Latitude);
        EXPECT_EQ(a.ilsList[1].longitude, r.end2Longitude);
        EXPECT_NEAR(a.ilsList[2].latitude, 45.6, 1e-5);  // matches no end: stays at its antenna
        EXPECT_NEAR(a.ilsList[2].longitude, -73.1, 1e-6);
    }
}

TEST_F(AirportDecoder, GroundNetworkPointsParkingsAndNamedPaths) {
    AirportSpec airport = Field();
    airport.runways = {RunwayAt(40, 4, 1), RunwayAt(130, 13, 0)};
    airport.taxiPoints = {{7, 0, 0}, {8, 1852, 0}, {9, 0, -1852}};
    airport.taxiPaths = {{0, 0, 1, 1}, {0, 1, 2, 0}, {1, 0, 2, 1}, {1, 1, 2, 5}, {0, 2, 0, 9}};
    airport.parkings = {{0, 0, 30.48f, 12, 5}, {-100, 50, 10, 50, 3}};
    airport.taxiwayNames = {"ALPHA", "B7"};
    const model::AirportRecord a = DecodeOne(airport).airports[0];

    ASSERT_EQ(a.taxiPointCount, 3);
    ASSERT_EQ(a.taxiPoints.size(), 3u);
    EXPECT_EQ(a.taxiPoints[0].pointWord, 7u);
    EXPECT_EQ(a.taxiPoints[0].latitude, a.latitude);  // no offset: the reference point itself
    EXPECT_EQ(a.taxiPoints[0].longitude, a.longitude);
    const model::Position east = model::Destination_Meters(a.latitude, a.longitude, 90, 1852);
    EXPECT_EQ(a.taxiPoints[1].longitude, east.longitude);
    EXPECT_EQ(a.taxiPoints[1].latitude, a.latitude);
    const model::Position south = model::Destination_Meters(a.latitude, a.longitude, 180, 1852);
    EXPECT_EQ(a.taxiPoints[2].latitude, south.latitude);

    ASSERT_EQ(a.parkingCount, 2);
    EXPECT_EQ(a.parkings[0].name, "GATE A 5");
    EXPECT_EQ(a.parkings[0].latitude, a.latitude);
    EXPECT_EQ(a.parkings[0].longitude, a.longitude);
    EXPECT_EQ(a.parkings[0].radiusFeet, 100);
    EXPECT_EQ(a.parkings[1].name, " 3");

    ASSERT_EQ(a.taxiPathCount, 5);
    EXPECT_EQ(a.taxiPaths[0].name, "B7");
    EXPECT_EQ(a.taxiPaths[1].name, "ALPHA");
    EXPECT_EQ(a.taxiPaths[2].name, "Runway 13");
    EXPECT_EQ(a.taxiPaths[3].name, "5");  // names no runway: keeps its index
    EXPECT_EQ(a.taxiPaths[4].name, "9");  // no such taxiway name
    EXPECT_EQ(a.taxiPaths[2].startPoint, 0u);
    EXPECT_EQ(a.taxiPaths[2].endPoint, 2u);
    EXPECT_EQ(a.taxiPaths[2].pathType, 1u);
    EXPECT_EQ(a.taxiPaths[3].startPoint, 1u);
    EXPECT_EQ(a.taxiPaths[4].endPoint, 0u);
}

// Hand-made blocks for what the writer never produces: one group with one airport entry
// whose block starts at 300, with its records appended after.
class RawAirport {
public:
    RawAirport() : m_bytes(testing_support::WordBytes::SceneryHeader(256, 0)) {
        m_bytes.Append({0x30001, 44, 0, 0, 0, 1});
        m_bytes.Append({0x30002, 12, 0x50001, 300, 0x41424344});
        m_bytes.Append({0, 0});
        m_bytes.PadTo(300);
        m_bytes.Append({1, 0, 1, 0});
    }

    void Append(std::initializer_list<std::int32_t> words) { m_bytes.Append(words); }
    std::vector<std::uint8_t> Bytes() const { return m_bytes.Bytes(); }

private:
    testing_support::WordBytes m_bytes;
};

struct EntryFilterRow {
    const char* name;
    std::size_t offset;  // of the word changed in RawAirport's bytes
    std::int32_t value;
    std::int32_t airports;
};

class EntryFilters : public testing::TestWithParam<EntryFilterRow> {};

// Only an airport entry of the airport kind whose block starts with the two words 1 ... 1 is
// an airport.
TEST_P(EntryFilters, OnlyAnAirportEntryOfTheAirportKindWithItsBlockCounts) {
    RawAirport raw;
    raw.Append({0, 0});
    std::vector<std::uint8_t> bytes = raw.Bytes();
    const auto value = static_cast<std::uint32_t>(GetParam().value);
    for (std::size_t i = 0; i < 4; ++i)
        bytes[GetParam().offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
    model::ResetSharedState();
    EXPECT_EQ(Decode(bytes).count, GetParam().airports);
}

INSTANTIATE_TEST_SUITE_P(Walk, EntryFilters,
                         testing::Values(EntryFilterRow{"AsWritten", 280, 0x30002, 1},
                                         EntryFilterRow{"AnotherEntry", 280, 0x30003, 0},
                                         EntryFilterRow{"AnotherKind", 288, 0x50002, 0},
                                         EntryFilterRow{"NoBlock", 292, 0, 0},
                                         EntryFilterRow{"BlockBeforeTheFile", 292, -4, 0},
                                         EntryFilterRow{"BlockWithoutItsFirstOne", 300, 2, 0},
                                         EntryFilterRow{"BlockWithoutItsSecondOne", 308, 0, 0}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(AirportDecoder, AnUnknownRecordEndsTheAirport) {
    RawAirport raw;
    raw.Append({0x20001, 8, 0x01183500, 6});  // tower 118.35
    raw.Append({0x10007, 0});
    raw.Append({0x20001, 8, 0x01219000, 5});  // never read
    raw.Append({0, 0});
    const Decoded decoded = Decode(raw.Bytes());
    ASSERT_EQ(decoded.count, 1);
    EXPECT_EQ(decoded.airports[0].name, "DCBA");
    EXPECT_EQ(decoded.airports[0].towerFreq, "118.35");
    EXPECT_EQ(decoded.airports[0].groundFreq, "");
}

TEST_F(AirportDecoder, GroundNetworkBeforeTheHeaderIsPlacedFromLatitudeZeroLongitudeZero) {
    RawAirport raw;
    // One taxi point 1852 m north, then the list end (element size 0).
    raw.Append({0x11001, 28, 1, 12, 5, 0, 0x44E98000 /* 1868 */, 0, 0});
    raw.Append({0x10001, 24, 0, 1000000, 0, 1000000, 0, 0});
    raw.Append({0, 0});
    const model::AirportRecord a = Decode(raw.Bytes()).airports[0];
    ASSERT_EQ(a.taxiPointCount, 1);
    EXPECT_EQ(a.taxiPoints[0].longitude, 0);
    EXPECT_NEAR(a.taxiPoints[0].latitude, 1868.0 / 1852 / 60, 1e-6);
    EXPECT_GT(a.latitude, 8);  // the header came after
}

TEST_F(AirportDecoder, SizesThatDoNotAdvanceStopTheWalkInsteadOfLooping) {
    RawAirport raw;
    raw.Append({0x20001, -8, 0x01183500, 6});  // a record that points at itself
    const Decoded selfReferencing = Decode(raw.Bytes());
    ASSERT_EQ(selfReferencing.count, 1);  // the airport is there, with what came before
    EXPECT_EQ(selfReferencing.airports[0].towerFreq, "118.35");

    RawAirport hugeList;
    hugeList.Append({0x11001, 16, 0x7FFFFFFF, 12, 0, 0});  // a count no file could hold
    const Decoded huge = Decode(hugeList.Bytes());
    ASSERT_EQ(huge.count, 1);
    EXPECT_TRUE(huge.airports[0].taxiPoints.empty());
}

TEST_F(AirportDecoder, EveryCutOfAFileDecodesWithoutFailingAndKeepsWhatCameBefore) {
    BglFileSpec file;
    AirportSpec airport = Field();
    airport.radios = {{118.3, 6}};
    airport.runways = {RunwayAt(40, 4, 1)};
    airport.runways[0].ils = {{"IEND", 45.51, -73.24, 40, 110.3, 4}};
    airport.taxiPoints = {{1, 10, 10}};
    airport.taxiPaths = {{0, 0, 0, 0}};
    airport.taxiwayNames = {"A"};
    file.airports = {airport, airport};
    file.airspaces.push_back({});
    const std::vector<std::uint8_t> whole = tools::WriteBgl(file);
    const Decoded full = Decode(whole);
    ASSERT_EQ(full.count, 2);
    EXPECT_TRUE(full.holdsAirspace);
    for (std::size_t length = 0; length < whole.size(); length += 3) {
        const Decoded cut = Decode(
            std::vector<std::uint8_t>(whole.begin(), whole.begin() + static_cast<long>(length)));
        EXPECT_LE(cut.count, 2);
        EXPECT_EQ(cut.airports.size(),
                  static_cast<std::size_t>(cut.count) + (cut.count > 0 ? 1 : 0));
    }
}

TEST_F(AirportDecoder, AirportsInTheBoundarySectionAreFoundAndTheWalkGoesOn) {
    BglFileSpec file;
    file.airports = {Field()};
    AirportSpec other = Field();
    other.name = "Among the boundaries";
    file.boundaryAirports = {other};
    file.airspaces.push_back({});
    const Decoded decoded = Decode(tools::WriteBgl(file));
    ASSERT_EQ(decoded.count, 2);
    EXPECT_EQ(decoded.airports[1].name, "Among the boundaries");
    EXPECT_TRUE(decoded.holdsAirspace);  // the airspace group after the airport run was seen
}

TEST_F(AirportDecoder, FilesWithoutAirportsOrWithAnotherHeaderValueAddNothing) {
    BglFileSpec empty;
    empty.airspaces.push_back({});
    const Decoded airspaceOnly = Decode(tools::WriteBgl(empty));
    EXPECT_EQ(airspaceOnly.count, 0);
    EXPECT_TRUE(airspaceOnly.holdsAirspace);

    BglFileSpec withAirport;
    withAirport.airports = {Field()};
    std::vector<std::uint8_t> bytes = tools::WriteBgl(withAirport);
    bytes[144] = 2;
    EXPECT_EQ(Decode(bytes).count, 0);

    RawAirport raw;  // a group whose entry count is zero
    std::vector<std::uint8_t> zeroEntries = raw.Bytes();
    zeroEntries[256 + 20] = 0;
    EXPECT_EQ(Decode(zeroEntries).count, 0);
}

}  // namespace
}  // namespace builder
