#include "builder/encodings.h"

#include <array>

#include "builder/bgl_reader.h"
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
    // The digits in units of 1/10000 MHz: the last four are the decimals.
    std::string digits = HexByte(static_cast<std::uint32_t>(bcd));
    if (digits.size() > 1 && digits.front() == '0') {
        digits.erase(digits.begin());  // HexByte pads to two digits
    }
    if (digits.size() < 5) {
        digits.insert(digits.begin(), 5 - digits.size(), '0');
    }
    std::string text = digits.substr(0, digits.size() - 4);
    std::string decimals = digits.substr(digits.size() - 4);
    while (!decimals.empty() && decimals.back() == '0') {
        decimals.pop_back();
    }
    return decimals.empty() ? text : text + "." + decimals;
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
