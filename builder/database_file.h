#pragma once

// world_airports.dat and world_airspaces.lst. Each file is one array written whole, with no
// header or count (the counts live in the settings file): fields back to back, integers
// little-endian, reals as IEEE doubles, a text as a 16-bit length and its bytes, an array
// field as a 16-bit dimension count (1), a 32-bit element count and a 32-bit lower bound (0)
// before its elements, or a lone 16-bit 0 when it was never sized.

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "model/records.h"

namespace builder {

// Airports 0..airportCount: airportCount + 1 records, the last one empty. Elements the vector
// does not hold are written empty, so a database that found nothing is one empty record of
// 68 zero bytes.
std::vector<std::uint8_t> EncodeAirportDatabase(const std::vector<model::AirportRecord>& airports,
                                                std::int32_t airportCount);

// The same bytes, handed to `sink` a few hundred kilobytes at a time, so a world-sized
// database is never held whole in memory. Stops and returns false when the sink does.
bool EncodeAirportDatabase(const std::vector<model::AirportRecord>& airports,
                           std::int32_t airportCount,
                           const std::function<bool(std::span<const std::uint8_t>)>& sink);

// Paths 0..fileCount, the last one empty; an empty list is one empty text (2 zero bytes).
std::vector<std::uint8_t> EncodeAirspaceFileList(const std::vector<std::string>& files,
                                                 std::int32_t fileCount);

// What a reader got out of a file: the records read whole, in order, and whether the file
// held all that was asked for.
template <typename T>
struct DecodedArray {
    std::vector<T> items;
    bool complete = false;
};

// Reads up to airportCount + 1 records; a file cut short or damaged stops at the last whole
// record.
DecodedArray<model::AirportRecord> DecodeAirportDatabase(std::span<const std::uint8_t> bytes,
                                                         std::int32_t airportCount);

DecodedArray<std::string> DecodeAirspaceFileList(std::span<const std::uint8_t> bytes,
                                                 std::int32_t fileCount);

}  // namespace builder
