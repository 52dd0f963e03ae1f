#pragma once

// Walks a scenery data file held in a FileBuffer: the header says where the airport and
// boundary sections start; the airport section is a run of group records listing airport
// entries; the boundary section holds airspace groups (and sometimes airport groups too).

#include <cstdint>
#include <vector>

#include "builder/bgl_reader.h"
#include "model/records.h"

namespace builder {

inline constexpr std::int32_t kBglMarker = static_cast<std::int32_t>(0x87654321u);
inline constexpr std::int64_t kMarkerOffset = 118;

// Where the walk puts what it finds. Airports are appended the way the database grows: the
// array always holds count + 1 elements, the last one empty.
struct SceneryFileContents {
    std::vector<model::AirportRecord>& airports;
    std::int32_t& airportCount;
    bool holdsAirspace = false;
};

// Reads the header of the file and walks its sections. A damaged file stops the walk where
// the damage is; what was found before stays.
void WalkBglHeader(const FileBuffer& buffer, SceneryFileContents& contents);

// The run of group records (id 0x30001) from `start`; returns the offset of the first record
// after the run.
std::int64_t WalkAirportSection(const FileBuffer& buffer, std::int64_t start, std::int32_t id,
                                std::int32_t size, SceneryFileContents& contents);

void WalkBoundarySection(const FileBuffer& buffer, std::int64_t start, std::int32_t id,
                         std::int32_t size, SceneryFileContents& contents);

}  // namespace builder
