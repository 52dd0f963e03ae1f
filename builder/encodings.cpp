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

std::string FrequencyDigits(std::int32_t bcd) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    // The eight hexadecimal digits in units of 1/10000 MHz: the last four are the decimals.
    char digits[8];
    auto bits = static_cast<std::uint32_t>(bcd);
    for (int i = 7; i >= 0; --i, bits >>= 4) {
        digits[i] = kDigits[bits & 0xF];
    }
    int first = 0;
    while (first < 3 && digits[first] == '0') {
        ++first;  // the whole part keeps at least one digit
    }
    int last = 8;
    while (last > 4 && digits[last - 1] == '0') {
        --last;
    }
    std::string text(digits + first, digits + 4);
    if (last > 4) {
        text += '.';
        text.append(digits + 4, digits + last);
    }
    return text;
}

std::string FrequencyText(std::int32_t bcd) {
    for (auto bits = static_cast<std::uint32_t>(bcd); bits != 0; bits >>= 4) {
        if ((bits & 0xF) > 9) {
            return {};
        }
    }
    return FrequencyDigits(bcd);
}

std::string ParkingName(std::int32_t word) {
    const auto v = static_cast<std::int32_t>(static_cast<std::uint32_t>(word) & 0xFFFFF);
    const int number = model::RoundToInt(v / 128.0);
    const int code = v - 128 * number;
    const char* name = code >= 1 && code <= 37 ? kParkingNames[static_cast<std::size_t>(code)] : "";
    return std::string(name) + " " + std::to_string(number);
}

}  // namespace builder
