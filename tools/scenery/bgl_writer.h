#pragma once

// Writes scenery data files and magdec.bgl in the layout the builder and the airport loader
// read, so tests and the generator produce the bytes the program decodes.

#include <cstdint>
#include <vector>

#include "tools/scenery/world.h"

namespace tools {

std::vector<std::uint8_t> WriteBgl(const BglFileSpec& file);

// The whole grid, from the world's smooth variation field.
std::vector<std::uint8_t> WriteMagdec(const WorldSpec& world);

// Encodings, the inverses of the builder's.
std::int32_t EncodeLatitude(double degrees);
std::int32_t EncodeLongitude(double degrees);
std::int32_t EncodeAirportLongitude(double degrees);
std::int32_t EncodeHeading(double degrees);
std::int32_t EncodeFrequency(double mhz);  // packed decimal: 118.35 -> 0x01183500
std::int32_t ParkingWord(std::int32_t code, std::int32_t number);

}  // namespace tools
