#pragma once

// The simulator's multiplayer messages the session host writes beyond the program's own
// (link/link.h has the catalogue and the empty and player-ID messages): type, declared
// payload size, payload, little-endian. Positions carry latitude in whole metres along the
// meridian, longitude in 2^-32 turns, altitude in whole metres and the true heading in the
// attitude word (a quarter of the word, low 10 bits, in 1024ths of a turn).

#include <cstdint>
#include <string_view>
#include <vector>

namespace simhost {

using Bytes = std::vector<std::uint8_t>;

struct AircraftState {
    double latitude = 0;   // degrees north
    double longitude = 0;  // degrees east
    double altitudeFeet = 0;
    double trueHeading = 0;  // degrees
};

// Raw encodings of the position fields.
std::int32_t LatitudeWord(double latitude);
std::int32_t LongitudeWord(double longitude);
std::int32_t AltitudeWord(double feet);
std::int32_t AttitudeWord(double trueHeading);

// `stamp` fills the words the receiver reads and does not use: the sender's monotonic clock
// in microseconds (low and high word) and a sequence number, for latency measurements.
Bytes EncodePosition(const AircraftState& state, std::uint64_t stampMicros, std::int32_t sequence);
Bytes EncodePositionLong(const AircraftState& state, std::uint64_t stampMicros,
                         std::int32_t sequence);
Bytes EncodeAircraftInfo(std::int16_t category, std::string_view model);
Bytes EncodeChat(std::string_view text);  // text + terminating zero

// Reads type and declared size; false when the message is shorter than 8 bytes.
bool ReadHeader(const Bytes& message, std::int32_t& type, std::int32_t& size);
std::int32_t ReadInt32(const Bytes& message, std::size_t offset);  // 0 beyond the end

}  // namespace simhost
