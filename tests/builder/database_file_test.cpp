#include "builder/database_file.h"

#include <gtest/gtest.h>

namespace builder {
namespace {

model::AirportRecord FullAirport() {
    model::AirportRecord a;
    a.name = "Z\xFCrich";
    a.ident = "LSZH";
    a.latitude = 47.464722;
    a.longitude = 8.549167;
    a.elevation = 1416;
    a.towerFreq = "118.1";
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
    a.taxiPaths = {{0, 0, 1, "A"}, {1, 1, 0, "Runway 16"}};
    a.taxiPathCount = 2;
    return a;
}

TEST(DatabaseFile, AnEmptyRecordIs68ZeroBytes) {
    const std::vector<std::uint8_t> nothing = EncodeAirportDatabase({}, 0);
    EXPECT_EQ(nothing, std::vector<std::uint8_t>(68, 0));
    EXPECT_EQ(EncodeAirspaceFileList({}, 0), std::vector<std::uint8_t>(2, 0));
}

TEST(DatabaseFile, OneAirportIsItsRecordThenTheEmptyOne) {
    const model::AirportRecord a = FullAirport();
    const std::vector<std::uint8_t> bytes = EncodeAirportDatabase({a, {}}, 1);
    // name, ident, position, elevation, the seven frequencies.
    std::size_t expected = (2 + 6) + (2 + 4) + 8 + 8 + 4 + (2 + 0) * 5 + (2 + 5) + (2 + 7);
    // runways: head, one runway and the empty one, count.
    expected +=
        10 + (2 + 2 + 2 + 2 + 4 * 8 + 4 + 2 + 2 + 4 + 4) + (4 + 4 * 8 + 4 + 2 + 2 + 4 + 4) + 4;
    expected += 10 + (2 + 3 + 8 + 8 + 2 + 2 + 5) + (2 + 8 + 8 + 2 + 2) + 4;  // ILS
    expected += 10 + 2 * 20 + 4;                                             // taxi points
    expected += 10 + (2 + 8 + 8 + 8 + 4) + 4;                                // parkings
    expected += 10 + (12 + 2 + 1) + (12 + 2 + 9) + 4;                        // taxi paths
    ASSERT_EQ(bytes.size(), expected + 68);
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.end() - 68, bytes.end()),
              std::vector<std::uint8_t>(68, 0));
    // The first bytes: the name's length and the name in the code page.
    EXPECT_EQ(bytes[0], 6);
    EXPECT_EQ(bytes[1], 0);
    EXPECT_EQ(bytes[3], 0xFC);
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
