// An airspace file as GET AIRPORT scans it, then the classification of what it kept.
#include <cstddef>
#include <cstdint>

#include "builder/bgl_reader.h"
#include "builder/bgl_walk.h"
#include "loader/airspace_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const builder::FileBuffer buffer({data, size});
    if (buffer.Size() < builder::kMarkerOffset + 4 ||
        buffer.ReadInt32(builder::kMarkerOffset) != builder::kBglMarker)
        return 0;
    std::vector<model::AirspaceRecord> airspaces(1);
    std::int32_t count = 0;
    loader::AirspaceList list{airspaces, count};
    loader::ScanAirspaceFile(buffer, {10.0, 20.0}, list);
    loader::ClassifyAirspaces(list);
    return 0;
}
