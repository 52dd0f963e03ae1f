#include "builder/encodings.h"

#include <array>

#include "model/rounding.h"

namespace builder {
namespace {

constexpr std::array<const char*, 38> kParkingNames = {
    "",           "PARKING",   "N PARKING",  "NE PARKING", "E PARKING", "SE PARKING", "S PARKING",
    "SW PARKING", "W PARKING", "NW PARKING", "GATE",       "DOCK",      "GATE A",     "GATE B",
    "GATE C",     "GATE D",    "GATE E",     "GATE F",     "GATE G",    "GATE H",     "GATE I",
    "GATE J",     "GATE K",    "GATE L",     "GATE M",     "GATE N",    "GATE O",     "GATE P",
    "GATE Q",     "GATE R",    "GATE S",     "GATE T",     "GATE U",    "GATE V",     "GATE W",
    "GATE X",     "GATE Y",    "GATE Z"};

}  // namespace

int MetresToFeet(double metres) {
    return model::RoundToInt(metres / 0.3048);
}

std::string FrequencyText(std::int32_t bcd) {
    auto bits = static_cast<std::uint32_t>(bcd);
    std::int64_t value = 0;
    std::int64_t scale = 1;
    while (bits != 0) {
        const std::uint32_t digit = bits & 0xF;
        if (digit > 9) {
            return {};
        }
        value += digit * scale;
        scale *= 10;
        bits >>= 4;
    }
    std::string text = std::to_string(value / 10000);
    std::int64_t fraction = value % 10000;
    if (fraction != 0) {
        int digits = 4;
        while (fraction % 10 == 0) {
            fraction /= 10;
            --digits;
        }
        std::string decimals = std::to_string(fraction);
        decimals.insert(decimals.begin(), static_cast<std::size_t>(digits) - decimals.size(), '0');
        text += "." + decimals;
    }
    return text;
}

std::string ParkingName(std::int32_t word) {
    const auto v = static_cast<std::int32_t>(static_cast<std::uint32_t>(word) & 0xFFFFF);
    const int number = model::RoundToInt(v / 128.0);
    const int code = v - 128 * number;
    const char* name = code >= 1 && code <= 37 ? kParkingNames[static_cast<std::size_t>(code)] : "";
    return std::string(name) + " " + std::to_string(number);
}

}  // namespace builder
