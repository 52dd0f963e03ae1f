// A scenery data file as the builder's step reads it: the marker check, then the header walk
// with its airport and boundary sections.
#include <cstddef>
#include <cstdint>

#include "builder/bgl_reader.h"
#include "builder/bgl_walk.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const builder::FileBuffer buffer({data, size});
    if (buffer.Size() < builder::kMarkerOffset + 4 ||
        buffer.ReadInt32(builder::kMarkerOffset) != builder::kBglMarker)
        return 0;
    std::vector<model::AirportRecord> airports(1);
    std::int32_t count = 0;
    builder::SceneryFileContents contents{airports, count};
    builder::WalkBglHeader(buffer, contents);
    return 0;
}
