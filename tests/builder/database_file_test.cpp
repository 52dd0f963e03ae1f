#include "builder/database_file.h"

#include <gtest/gtest.h>

#include <cstring>

namespace builder {
namespace {

model::AirportRecord FullAirport() {
    model::AirportRecord a;
    a.name = "Z\xFCrich";
    a.ident = "LSZH";
    a.latitude = 47.464722;
    a.longitude = 8.549167;
    a.elevation = 1416;
    a.clearanceFreq = "121.8";
    a.groundFreq = "121.75";
    a.towerFreq = "118.1";
    a.departureFreq = "125.95";
    a.approachFreq = "119.7";
    a.centerFreq = "134.6";
    a.atisFreq = "128.525";
    a.runways.resize(2);
    a.runways[0] = {"16", "34", 47.48, 8.53, 47.45, 8.56, 1390, 154, -26, 12139, 197};
    a.runwayCount = 1;
    a.ilsList.resize(2);
    a.ilsList[0] = {"IZH", 47.48, 8.53, 154, "110.5"};
    a.ilsCount = 1;
    a.taxiPoints = {{1, 47.46, 8.55}, {0xFFFFFFFF, 47.47, 8.56}};
    a.taxiPointCount = 2;
    a.parkings = {{"GATE A 5", 47.461, 8.551, 98}};
    a.parkingCount = 1;
    a.taxiPaths = {{0, 1, 0, "A"}, {1, 0, 1, "Runway 16"}};
    a.taxiPathCount = 2;
    return a;
}

TEST(DatabaseFile, AnEmptyRecordIs68ZeroBytes) {
    const std::vector<std::uint8_t> nothing = EncodeAirportDatabase({}, 0);
    EXPECT_EQ(nothing, std::vector<std::uint8_t>(68, 0));
    EXPECT_EQ(EncodeAirspaceFileList({}, 0), std::vector<std::uint8_t>(2, 0));
}

// The bytes of a record, written field by field from the file's layout.
class Golden {
public:
    Golden& Text(const std::string& text) {
        Int(static_cast<std::uint64_t>(text.size()), 2);
        bytes.insert(bytes.end(), text.begin(), text.end());
        return *this;
    }
    Golden& I16(std::int16_t v) { return Int(static_cast<std::uint16_t>(v), 2); }
    Golden& I32(std::int32_t v) { return Int(static_cast<std::uint32_t>(v), 4); }
    Golden& U32(std::uint32_t v) { return Int(v, 4); }
    Golden& F64(double v) {
        std::uint64_t bits = 0;
        std::memcpy(&bits, &v, 8);
        return Int(bits, 8);
    }
    Golden& ArrayHead(std::int32_t elements) { return I16(1).I32(elements).I32(0); }

    std::vector<std::uint8_t> bytes;

private:
    Golden& Int(std::uint64_t v, int size) {
        for (int i = 0; i < size; ++i)
            bytes.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
        return *this;
    }
};

// Every field in its place: a swapped pair of fields of the same size fails here.
TEST(DatabaseFile, OneAirportIsItsRecordThenTheEmptyOne) {
    Golden g;
    g.Text("Z\xFCrich").Text("LSZH").F64(47.464722).F64(8.549167).I32(1416);
    for (const char* frequency :
         {"121.8", "121.75", "118.1", "125.95", "119.7", "134.6", "128.525"})
        g.Text(frequency);
    g.ArrayHead(2);
    g.Text("16").Text("34").F64(47.48).F64(8.53).F64(47.45).F64(8.56).I32(1390);
    g.I16(154).I16(-26).I32(12139).I32(197);
    g.Text("").Text("").F64(0).F64(0).F64(0).F64(0).I32(0).I16(0).I16(0).I32(0).I32(0);
    g.I32(1);
    g.ArrayHead(2).Text("IZH").F64(47.48).F64(8.53).I16(154).Text("110.5");
    g.Text("").F64(0).F64(0).I16(0).Text("").I32(1);
    g.ArrayHead(2).U32(1).F64(47.46).F64(8.55).U32(0xFFFFFFFF).F64(47.47).F64(8.56).I32(2);
    g.ArrayHead(1).Text("GATE A 5").F64(47.461).F64(8.551).I32(98).I32(1);
    g.ArrayHead(2).I32(0).I32(1).I32(0).Text("A").I32(1).I32(0).I32(1).Text("Runway 16").I32(2);
    g.bytes.resize(g.bytes.size() + 68);  // the empty record that ends the file

    EXPECT_EQ(EncodeAirportDatabase({FullAirport(), {}}, 1), g.bytes);
    const auto decoded = DecodeAirportDatabase(g.bytes, 1);
    ASSERT_TRUE(decoded.complete);
    EXPECT_EQ(decoded.items.front(), FullAirport());
}

TEST(DatabaseFile, ArraysCarryTheirHeadAndUnsizedOnesTwoZeroBytes) {
    model::AirportRecord a;
    a.taxiPoints = {{5, 1.0, 2.0}};
    a.taxiPointCount = 1;
    const std::vector<std::uint8_t> bytes = EncodeAirportDatabase({a}, 0);
    // 2 + 2 + 8 + 8 + 4 + 14 = 38: then runways (unsized), count, ILS (unsized), count.
    const std::size_t points = 38 + 2 + 4 + 2 + 4;
    EXPECT_EQ(bytes[points], 1);       // one dimension
    EXPECT_EQ(bytes[points + 2], 1);   // one element
    EXPECT_EQ(bytes[points + 6], 0);   // lower bound 0
    EXPECT_EQ(bytes[points + 10], 5);  // the point word
    EXPECT_EQ(bytes.size(), 68u + 20u + 8u);
}

TEST(DatabaseFile, RecordsSurviveTheRoundTrip) {
    const std::vector<model::AirportRecord> airports = {FullAirport(), model::AirportRecord{},
                                                        FullAirport(), model::AirportRecord{}};
    const auto decoded = DecodeAirportDatabase(EncodeAirportDatabase(airports, 3), 3);
    EXPECT_TRUE(decoded.complete);
    EXPECT_EQ(decoded.items, airports);
    // A database larger than the writer's pieces goes out in several; a sink that refuses one
    // ends the writing with a failure.
    std::vector<model::AirportRecord> many(601, FullAirport());
    many.back() = {};
    EXPECT_EQ(DecodeAirportDatabase(EncodeAirportDatabase(many, 600), 600).items, many);
    int pieces = 0;
    EXPECT_FALSE(EncodeAirportDatabase(
        many, 600, [&](std::span<const std::uint8_t>) { return ++pieces < 2; }));
    EXPECT_EQ(pieces, 2);

    const std::vector<std::string> files = {"c:\\fs2002\\scenery\\world\\scenery\\bnd.bgl", "", ""};
    const auto list = DecodeAirspaceFileList(EncodeAirspaceFileList(files, 2), 2);
    EXPECT_TRUE(list.complete);
    EXPECT_EQ(list.items, files);
}

TEST(DatabaseFile, AFileCutShortKeepsTheWholeRecordsBeforeTheCut) {
    const std::vector<model::AirportRecord> airports = {FullAirport(), FullAirport(), {}};
    const std::vector<std::uint8_t> bytes = EncodeAirportDatabase(airports, 2);
    const std::size_t oneRecord = (bytes.size() - 68) / 2;
    for (std::size_t length = 0; length < bytes.size(); length += 7) {
        const auto decoded =
            DecodeAirportDatabase(std::span<const std::uint8_t>(bytes.data(), length), 2);
        EXPECT_FALSE(decoded.complete);
        EXPECT_EQ(decoded.items.size(), length / oneRecord);
    }
    // Counts from a damaged settings file never make the reader go past the bytes.
    EXPECT_EQ(DecodeAirportDatabase(bytes, 2000000000).items.size(), 3u);
    EXPECT_TRUE(DecodeAirportDatabase(bytes, -5).items.empty());
}

TEST(DatabaseFile, AnArrayCountNoFileCouldHoldStopsTheReader) {
    std::vector<std::uint8_t> bytes(38, 0);
    for (const int b : {1, 0, 0xFF, 0xFF, 0xFF, 0x7F, 0, 0, 0, 0}) {
        bytes.push_back(static_cast<std::uint8_t>(b));  // runways: one dimension, 2^31 - 1 elements
    }
    const auto decoded = DecodeAirportDatabase(bytes, 0);
    EXPECT_FALSE(decoded.complete);
    EXPECT_TRUE(decoded.items.empty());
}

}  // namespace
}  // namespace builder
