// The magnetic variation grid of magdec.bgl.

#include "builder/magvar_file.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace builder {
namespace {

constexpr std::int64_t kGridOffset = 128;

// A variation that differs with latitude and with longitude, so a swapped index or a wrong
// stride reads the wrong value.
std::int16_t VariationAt(int latitude, int longitude) {
    return static_cast<std::int16_t>(latitude * 7 - longitude);
}

// A file with the grid's offset at byte 110 and the first `entries` values of the grid.
std::vector<std::uint8_t> MagdecFile(std::size_t entries) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(kGridOffset) + 8 + 2 * entries);
    bytes[110] = static_cast<std::uint8_t>(kGridOffset);
    for (std::size_t index = 0; index < entries; ++index) {
        const int latitude = static_cast<int>(index % 181) - 90;
        const int longitude = static_cast<int>(index / 181);
        const auto value = static_cast<std::uint16_t>(VariationAt(latitude, longitude));
        bytes[static_cast<std::size_t>(kGridOffset) + 8 + 2 * index] =
            static_cast<std::uint8_t>(value & 0xFF);
        bytes[static_cast<std::size_t>(kGridOffset) + 9 + 2 * index] =
            static_cast<std::uint8_t>(value >> 8);
    }
    return bytes;
}

TEST(MagvarFile, EveryEntryComesFromItsLatitudeAndLongitude) {
    MagvarTable table{};
    FillMagvarTable(FileBuffer(MagdecFile(model::kMagvarEntries)), kGridOffset, table);
    for (int longitude : {0, 1, 122, 359}) {
        for (int latitude : {-90, -1, 0, 47, 90}) {
            EXPECT_EQ(table[static_cast<std::size_t>(latitude + 90 + 181 * longitude)],
                      VariationAt(latitude, longitude))
                << latitude << " " << longitude;
        }
    }
}

TEST(MagvarFile, AGridCutShortFillsEveryEntryItHolds) {
    constexpr std::size_t kHeld = 181 * 3 + 40;  // three longitudes and part of a fourth
    MagvarTable table;
    table.fill(999);
    FillMagvarTable(FileBuffer(MagdecFile(kHeld)), kGridOffset, table);
    EXPECT_EQ(table[kHeld - 1], VariationAt(-90 + 39, 3));
    EXPECT_EQ(table[181 * 2 + 180], VariationAt(90, 2));
    EXPECT_EQ(table[kHeld], 999);
    EXPECT_EQ(std::count(table.begin(), table.end(), 999),
              static_cast<std::ptrdiff_t>(model::kMagvarEntries - kHeld));
}

}  // namespace
}  // namespace builder
