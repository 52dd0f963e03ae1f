#pragma once

// The number encodings of the scenery files.

#include <cstdint>
#include <string>

namespace builder {

// Upper 32 bits of a 64-bit fixed-point latitude: degrees north.
inline double LatitudeOf(std::int32_t n) {
    return static_cast<double>(n) * 90.0 / 10001750.0;
}

// Upper 32 bits of a fixed-point longitude (runways, ILS, airspaces): degrees east.
inline double LongitudeOf(std::int32_t n) {
    return static_cast<double>(n) * 360.0 / 4294967296.0;
}

// The airport reference point divides by 2^32 + 1, as it always has.
inline double AirportLongitudeOf(std::int32_t n) {
    return static_cast<double>(n) * 360.0 / 4294967297.0;
}

// Metres to whole feet, halves to even.
int MetresToFeet(double metres);

// A 32-bit heading word: degrees true, real.
inline double HeadingOf(std::int32_t h) {
    return (h / 65536.0) * 360.0 / 65536.0;
}

// A packed-decimal frequency: its hexadecimal digits read as a decimal number of 1/10000 MHz,
// in the shortest decimal text (0x01183500 -> "118.35", 0x01220000 -> "122"). A value with a
// digit A to F is no frequency and gives an empty text.
std::string FrequencyText(std::int32_t bcd);

// The same text made from the value's hexadecimal digits as they stand, so a digit A to F
// stays in it ("11A.35") instead of making the value no frequency: airspace lists keep it.
std::string FrequencyDigits(std::int32_t bcd);

// The parking name of a parking's name word: the code's name in upper case, a space and the
// number ("GATE A 5"); a code with no name gives a space and the number.
std::string ParkingName(std::int32_t word);

}  // namespace builder
