#include "loader/airspace_decoder.h"

#include <gtest/gtest.h>

#include <string>

#include "model/geodesy.h"
#include "tests/support/word_bytes.h"
#include "tools/scenery/bgl_writer.h"

namespace loader {
namespace {

using tools::AirspaceSpec;

struct Scene {
    std::vector<model::AirspaceRecord> airspaces{1};
    std::int32_t count = 0;
    AirspaceList List() { return {airspaces, count}; }
};

constexpr AirportPosition kAirport{47.5, -122.25};

Scene Scan(const std::vector<std::uint8_t>& bytes, AirportPosition airport = kAirport) {
    Scene scene;
    ScanAirspaceFile(builder::FileBuffer(bytes), airport, scene.List());
    return scene;
}

Scene ScanSpecs(const std::vector<AirspaceSpec>& airspaces, AirportPosition airport = kAirport) {
    tools::BglFileSpec file;
    file.airspaces = airspaces;
    return Scan(tools::WriteBgl(file), airport);
}

AirspaceSpec Box(double south, double west, double north, double east) {
    AirspaceSpec box;
    box.south = south;
    box.west = west;
    box.north = north;
    box.east = east;
    return box;
}

TEST(AirspaceDecoder, OnlyBoxesStrictlyAroundTheAirportAreKept) {
    struct Row {
        const char* name;
        AirspaceSpec box;
        bool kept;
    };
    const Row rows[] = {
        {"around", Box(47, -123, 48, -122), true},
        {"airport on the south edge", Box(47.5, -123, 48, -122), false},
        {"airport on the north edge", Box(47, -123, 47.5, -122), false},
        {"airport on the west edge", Box(47, -122.25, 48, -122), false},
        {"airport on the east edge", Box(47, -123, 48, -122.25), false},
        {"elsewhere", Box(10, 10, 11, 11), false},
        {"over the date line (west above east)", Box(47, 170, 48, -122), false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const Scene scene = ScanSpecs({row.box});
        EXPECT_EQ(scene.count, row.kept ? 1 : 0);
        EXPECT_EQ(scene.airspaces.size(), static_cast<std::size_t>(scene.count) + 1);
    }
}

TEST(AirspaceDecoder, TheCentreLiesHalfWayAlongTheDiagonalFromTheNorthWestCorner) {
    const Scene scene = ScanSpecs({Box(47, -123, 48, -122)});
    ASSERT_EQ(scene.count, 1);
    const int d = model::Distance_NM(48, -123, 47, -122);
    const model::Position centre =
        model::Destination_NM(48, -123, model::Bearing_True(48, -123, 47, -122), (d + 1) / 2);
    EXPECT_NEAR(scene.airspaces[0].centerLatitude, centre.latitude, 0.01);
    EXPECT_NEAR(scene.airspaces[0].centerLongitude, centre.longitude, 0.01);
    EXPECT_NEAR(scene.airspaces[0].centerLatitude, 47.5, 0.02);
    EXPECT_NEAR(scene.airspaces[0].centerLongitude, -122.5, 0.02);
}

TEST(AirspaceDecoder, NamesFrequenciesAndTheLastComName) {
    AirspaceSpec centre = Box(47, -123, 48, -122);
    centre.names = {"SEATTLE CENTER", "SECTOR 5"};
    centre.frequencies = {{125.1, "SEATTLE CTR"}, {132.35, "SEATTLE CTR WEST"}};
    const Scene scene = ScanSpecs({centre});
    ASSERT_EQ(scene.count, 1);
    const model::AirspaceRecord& a = scene.airspaces[0];
    EXPECT_EQ(a.name, "SEATTLE CENTER  SECTOR 5");
    EXPECT_EQ(a.frequencyList, "125.1 Mhz  132.35 Mhz  ");
    EXPECT_EQ(a.comName, "SEATTLE CTR WEST");
}

TEST(AirspaceDecoder, CircleAndPolygonVerticesWithTheirAltitudes) {
    AirspaceSpec circle = Box(47, -123, 48, -122);
    circle.vertices = {{1, 47.51234, -122.25678, 0}, {2, 0, 0, 12}};
    circle.lowerAltitude = 1500;
    circle.upperAltitude = 8000;
    AirspaceSpec polygon = Box(47, -123, 48, -122);
    polygon.vertices = {
        {0, 47.1, -122.9, 0}, {3, 47.9, -122.9, 0}, {5, 47.9, -122.1, 0}, {4, 47.2, -122.1, 0}};
    polygon.lowerAltitude = 0;
    polygon.upperAltitude = 2500;
    const Scene scene = ScanSpecs({circle, polygon});
    ASSERT_EQ(scene.count, 2);

    const model::AirspaceRecord& c = scene.airspaces[0];
    ASSERT_EQ(c.vertexCount, 2);
    EXPECT_EQ(c.vertices.size(), 3u);
    EXPECT_EQ(c.vertices[0].kind, 1);
    EXPECT_DOUBLE_EQ(c.vertices[0].latitude, 47.5123);  // four decimals
    EXPECT_DOUBLE_EQ(c.vertices[0].longitude, -122.2568);
    EXPECT_EQ(c.vertices[1].kind, 2);
    EXPECT_EQ(c.vertices[1].radius, 12);
    EXPECT_EQ(c.vertices[1].latitude, 0);
    EXPECT_EQ(c.lowerAltitude, 1500);
    EXPECT_EQ(c.upperAltitude, 8000);

    const model::AirspaceRecord& p = scene.airspaces[1];
    ASSERT_EQ(p.vertexCount, 4);
    EXPECT_EQ(p.vertices[0].kind, 0);  // the first point, with the altitudes
    EXPECT_EQ(p.vertices[1].kind, 3);  // then points and arcs by their tags
    EXPECT_EQ(p.vertices[2].kind, 5);
    EXPECT_EQ(p.vertices[3].kind, 4);
    EXPECT_EQ(p.upperAltitude, 2500);
}

// Hand-made airspace records for what the writer never produces: one group holding one
// airspace record whose sub-records are appended after.
class RawAirspace {
public:
    RawAirspace() : m_bytes(testing_support::WordBytes::SceneryHeader(0, 256)) {
        m_bytes.Append({1, 0, 4, 0});  // the group
        m_bytes.Append({1, 0, 5, 0});  // the airspace record
    }

    void Append(std::initializer_list<std::int32_t> words) { m_bytes.Append(words); }
    void BoundingBox(double south, double west, double north, double east) {
        Append({0x1000B, 16, tools::EncodeLatitude(south), tools::EncodeLongitude(west),
                tools::EncodeLatitude(north), tools::EncodeLongitude(east)});
    }
    void Name(const std::string& name) {
        Append({0x10006, static_cast<std::int32_t>(name.size())});
        m_bytes.AppendText(name);
    }
    std::vector<std::uint8_t> Finish() {
        Append({0, 0, 0, 0, 0, 0});
        return m_bytes.Bytes();
    }

private:
    testing_support::WordBytes m_bytes;
};

TEST(AirspaceDecoder, SubRecordsBeforeTheBoxAreIgnoredAndAnUnknownTagEndsTheRecord) {
    RawAirspace raw;
    raw.Name("BEFORE");
    raw.Append({0x12003, 0});  // skipped
    raw.BoundingBox(47, -123, 48, -122);
    raw.Name("AFTER");
    raw.Append({0x12004, 0});  // unknown: the record ends here
    raw.Name("NEVER");
    const Scene scene = Scan(raw.Finish());
    ASSERT_EQ(scene.count, 1);
    EXPECT_EQ(scene.airspaces[0].name, "AFTER");
}

TEST(AirspaceDecoder, AFrequencyWithHexLettersKeepsItsDigits) {
    RawAirspace raw;
    raw.BoundingBox(47, -123, 48, -122);
    raw.Append({0x20001, 8, 0x011A3500, 0});
    EXPECT_EQ(Scan(raw.Finish()).airspaces[0].frequencyList, "11A.35 Mhz  ");
}

TEST(AirspaceDecoder, ASizeThatDoesNotMoveTheWalkEndsItWithWhatWasFound) {
    RawAirspace raw;
    raw.BoundingBox(47, -123, 48, -122);
    raw.Name("KEPT");
    raw.Append({0x12003, -8});  // points back at itself
    const Scene scene = Scan(raw.Finish());
    ASSERT_EQ(scene.count, 1);
    EXPECT_EQ(scene.airspaces[0].name, "KEPT");

    tools::BglFileSpec file;
    file.airspaces = {Box(47, -123, 48, -122), Box(47, -123, 48, -122)};
    const std::vector<std::uint8_t> whole = tools::WriteBgl(file);
    for (std::size_t length = 0; length < whole.size(); length += 5) {
        const Scene cut = Scan(
            std::vector<std::uint8_t>(whole.begin(), whole.begin() + static_cast<long>(length)));
        EXPECT_LE(cut.count, 2);
    }
}

TEST(AirspaceDecoder, FilesWithoutTheSectionContributeNothing) {
    tools::BglFileSpec airportsOnly;
    airportsOnly.airports.push_back({});
    EXPECT_EQ(Scan(tools::WriteBgl(airportsOnly)).count, 0);
    tools::BglFileSpec file;
    file.airspaces = {Box(47, -123, 48, -122)};
    std::vector<std::uint8_t> bytes = tools::WriteBgl(file);
    bytes[144] = 2;
    EXPECT_EQ(Scan(bytes).count, 0);
}

TEST(AirspaceClasses, ByFrequencyAndComNameThenByAltitude) {
    struct Row {
        const char* name;
        std::int32_t lower, upper;
        const char* frequencies;
        const char* comName;
        const char* label;
    };
    const Row rows[] = {
        {"up to 2500", 0, 2500, "", "", "Airspace Class D"},
        {"2501", 0, 2501, "", "", "Airspace Class C"},
        {"up to 4000", 0, 4000, "", "", "Airspace Class C"},
        {"4001", 0, 4001, "", "", "Airspace Class B"},
        {"lower above 4000", 4500, 3000, "", "", "Airspace Class B"},
        {"from 2500 to 2500", 2500, 2500, "", "", "Airspace Class D"},
        {"from 4000 to 4000", 4000, 4000, "", "", "Airspace Class C"},
        {"frequency and name", 0, 2000, "125.1 Mhz  ", "CENTER", "ARTCC/FIR"},
        {"frequency without name", 0, 2000, "125.1 Mhz  ", "", "Airspace Class D"},
    };
    std::vector<model::AirspaceRecord> airspaces(std::size(rows) + 1);
    std::int32_t count = static_cast<std::int32_t>(std::size(rows));
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        airspaces[i].lowerAltitude = rows[i].lower;
        airspaces[i].upperAltitude = rows[i].upper;
        airspaces[i].frequencyList = rows[i].frequencies;
        airspaces[i].comName = rows[i].comName;
    }
    ClassifyAirspaces({airspaces, count});
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        EXPECT_EQ(airspaces[i].classLabel, rows[i].label) << rows[i].name;
    }
}

TEST(TerminalAirspace, ACircleOfTwentyMilesWithTheDepartureAndApproachFrequencies) {
    struct Row {
        const char* name;
        const char* departure;
        const char* approach;
        const char* list;
    };
    const Row rows[] = {{"both", "118.3", "119.1", "118.3 Mhz  119.1 Mhz  "},
                        {"departure only", "118.3", "", "118.3 Mhz  "},
                        {"approach only", "", "119.1", "119.1 Mhz  "},
                        {"neither", "", "", nullptr}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        model::AirportRecord airport;
        airport.latitude = 47.5;
        airport.longitude = -122.25;
        airport.elevation = 500;
        airport.departureFreq = row.departure;
        airport.approachFreq = row.approach;
        Scene scene;
        AddTerminalAirspace(airport, scene.List());
        if (row.list == nullptr) {
            EXPECT_EQ(scene.count, 0);
            continue;
        }
        ASSERT_EQ(scene.count, 1);
        const model::AirspaceRecord& t = scene.airspaces[0];
        EXPECT_EQ(t.classLabel, "TRACON (Departure/Approach)");
        EXPECT_EQ(t.frequencyList, row.list);
        EXPECT_EQ(t.lowerAltitude, 500);
        EXPECT_EQ(t.upperAltitude, 10500);
        ASSERT_EQ(t.vertexCount, 2);
        EXPECT_EQ(t.vertices[0].kind, 1);
        EXPECT_EQ(t.vertices[0].latitude, 47.5);
        EXPECT_EQ(t.vertices[1].kind, 2);
        EXPECT_EQ(t.vertices[1].radius, 20);
        EXPECT_EQ(t.centerLongitude, -122.25);
        EXPECT_TRUE(t.name.empty() && t.comName.empty());
    }
}

}  // namespace
}  // namespace loader
