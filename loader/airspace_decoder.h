#pragma once

// Airspaces around the loaded airport, from the boundary section of a scenery file: every
// airspace record is walked, and those whose bounding box holds the airport are kept with
// their boundary, altitudes, names and frequencies.

#include <cstdint>
#include <vector>

#include "builder/bgl_reader.h"
#include "model/records.h"

namespace loader {

// Where the scan puts what it keeps: records 0..count - 1 used, one spare element after them.
struct AirspaceList {
    std::vector<model::AirspaceRecord>& airspaces;
    std::int32_t& count;
};

// The position the bounding boxes are tested against.
struct AirportPosition {
    double latitude = 0;
    double longitude = 0;
};

// Walks the file's airspace section. A damaged file ends its walk where the damage is and
// keeps what was found before.
void ScanAirspaceFile(const builder::FileBuffer& buffer, AirportPosition airport, AirspaceList out);

// The three levels of the walk, from a section, a group list or one airspace record.
void WalkAirspaceSection(const builder::FileBuffer& buffer, std::int64_t offset,
                         AirportPosition airport, AirspaceList out);
void WalkAirspaceGroup(const builder::FileBuffer& buffer, std::int64_t offset,
                       AirportPosition airport, AirspaceList out);
void ReadAirspaceRecord(const builder::FileBuffer& buffer, std::int64_t offset,
                        AirportPosition airport, AirspaceList out);

// Labels records 0..count - 1: "ARTCC/FIR" with both a frequency and a COM name, otherwise
// by the two altitudes: Class D up to 2500, Class C up to 4000, Class B above.
void ClassifyAirspaces(AirspaceList list);

// The terminal circle of 20 nm around the airport, when it has a departure or an approach
// frequency.
void AddTerminalAirspace(const model::AirportRecord& airport, AirspaceList list);

}  // namespace loader
