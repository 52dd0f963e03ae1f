#include "builder/bgl_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "builder/encodings.h"

namespace builder {
namespace {

FileBuffer Buffer(std::vector<std::uint8_t> bytes) {
    return FileBuffer(std::move(bytes));
}

TEST(BglReader, IntegersAreLittleEndianAndSigned) {
    EXPECT_EQ(Buffer({0xFF, 0xFF}).ReadInt16(0), -1);
    EXPECT_EQ(Buffer({0x00, 0x80}).ReadInt16(0), -32768);
    EXPECT_EQ(Buffer({0xFF, 0x7F}).ReadInt16(0), 32767);
    EXPECT_EQ(Buffer({0xFF, 0xFF, 0xFF}).ReadInt24(0), -1);
    EXPECT_EQ(Buffer({0x00, 0x00, 0x80}).ReadInt24(0), -8388608);
    EXPECT_EQ(Buffer({0x01, 0x02, 0x03}).ReadInt24(0), 0x030201);
    EXPECT_EQ(Buffer({0x21, 0x43, 0x65, 0x87}).ReadInt32(0),
              static_cast<std::int32_t>(0x87654321u));
    EXPECT_LT(Buffer({0x21, 0x43, 0x65, 0x87}).ReadInt32(0), 0);
    EXPECT_EQ(Buffer({9, 0x21, 0x43, 0x65, 0x07}).ReadInt32(1), 0x07654321);
    EXPECT_EQ(Buffer({200}).ReadUInt8(0), 200);
}

TEST(BglReader, TheExtraZeroByteCanBeReadButNothingBeyond) {
    const FileBuffer buffer = Buffer({1, 2, 3});
    EXPECT_EQ(buffer.Size(), 4);
    EXPECT_EQ(buffer.ReadUInt8(3), 0);
    EXPECT_EQ(buffer.ReadInt32(0), 0x00030201);
    EXPECT_THROW(buffer.ReadUInt8(4), OutOfBuffer);
    EXPECT_THROW(buffer.ReadInt32(1), OutOfBuffer);
    EXPECT_THROW(buffer.ReadInt16(-1), OutOfBuffer);
    EXPECT_THROW(buffer.ReadText(0, 5), OutOfBuffer);
    EXPECT_THROW(buffer.ReadText(2, std::int64_t{1} << 40), OutOfBuffer);
    EXPECT_THROW(buffer.ReadInt32(std::int64_t{1} << 62), OutOfBuffer);
    EXPECT_THROW(FileBuffer().ReadUInt8(0), OutOfBuffer);
}

TEST(BglReader, TextSkipsZeroBytesAndGoesOn) {
    const FileBuffer buffer = Buffer({0x4B, 0x00, 0x4C, 0x41, 0x00});
    EXPECT_EQ(buffer.ReadText(0, 5), "KLA");
    EXPECT_EQ(buffer.ReadText(2, 2), "LA");
    EXPECT_EQ(buffer.ReadText(0, 0), "");
    EXPECT_EQ(buffer.ReadText(0, -8), "");
}

struct SingleRow {
    const char* name;
    std::uint32_t bits;
    float value;
};

class BitsToSingleRows : public ::testing::TestWithParam<SingleRow> {};

TEST_P(BitsToSingleRows, Decodes) {
    EXPECT_EQ(BitsToSingle(GetParam().bits), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Builder, BitsToSingleRows,
    ::testing::Values(SingleRow{"Zero", 0, 0.0f}, SingleRow{"One", 0x3F800000, 1.0f},
                      SingleRow{"MinusTen", 0xC1200000, -10.0f},
                      SingleRow{"InfinityReadsZero", 0x7F800000, 0.0f},
                      SingleRow{"NaNReadsZero", 0x7FC00000, 0.0f},
                      SingleRow{"MetresOffset", 0x44BB8000, 1500.0f},
                      SingleRow{"NegativeZeroIsNotSpecial", 0x80000000, -5.877471754e-39f},
                      SingleRow{"SmallFraction", 0x3DCCCCCD, 0.1f}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(BglReader, HexByteHasAtLeastTwoUpperCaseDigits) {
    EXPECT_EQ(HexByte(10), "0A");
    EXPECT_EQ(HexByte(255), "FF");
    EXPECT_EQ(HexByte(0), "00");
    EXPECT_EQ(HexByte(0x1234), "1234");
}

struct FrequencyRow {
    const char* name;
    std::int32_t bcd;
    const char* text;
};

class FrequencyRows : public ::testing::TestWithParam<FrequencyRow> {};

TEST_P(FrequencyRows, ShortestDecimalText) {
    EXPECT_EQ(FrequencyText(GetParam().bcd), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Builder, FrequencyRows,
                         ::testing::Values(FrequencyRow{"TwoDecimals", 0x01183500, "118.35"},
                                           FrequencyRow{"OneDecimal", 0x01219000, "121.9"},
                                           FrequencyRow{"Whole", 0x01220000, "122"},
                                           FrequencyRow{"FourDecimals", 0x01182725, "118.2725"},
                                           FrequencyRow{"LeadingZeroDecimal", 0x01180500, "118.05"},
                                           FrequencyRow{"Zero", 0, "0"},
                                           FrequencyRow{"HexLetterIsNoFrequency", 0x011A3500, ""},
                                           FrequencyRow{"HighNibbleNine",
                                                        static_cast<std::int32_t>(0x90000000u),
                                                        "9000"}),
                         [](const auto& row) { return std::string(row.param.name); });

struct ParkingRow {
    const char* name;
    std::int32_t word;
    const char* text;
};

class ParkingRows : public ::testing::TestWithParam<ParkingRow> {};

TEST_P(ParkingRows, NameFromTheLastFiveHexDigits) {
    EXPECT_EQ(ParkingName(GetParam().word), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Builder, ParkingRows,
                         ::testing::Values(ParkingRow{"GateA5", 0x0010028C, "GATE A 5"},
                                           ParkingRow{"Parking1", 1 * 128 + 1, "PARKING 1"},
                                           ParkingRow{"GateZ", 40 * 128 + 37, "GATE Z 40"},
                                           ParkingRow{"Dock", 2 * 128 + 11, "DOCK 2"},
                                           ParkingRow{"UpperBitsIgnored",
                                                      static_cast<std::int32_t>(0xFFF00000u |
                                                                                (3 * 128 + 4)),
                                                      "E PARKING 3"},
                                           ParkingRow{"CodeZeroHasNoName", 5 * 128, " 5"},
                                           ParkingRow{"CodeOutsideTheTable", 5 * 128 + 50, " 5"},
                                           ParkingRow{"RoundingUpGivesNegativeCode", 127, " 1"}),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace builder
