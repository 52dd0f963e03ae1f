// The database and the airspace list as the Airport Area reads them, with the counts a
// settings file (also from the input) announces: huge, negative or right.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "builder/database_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 8)
        return 0;
    std::int32_t airports = 0;
    std::int32_t files = 0;
    std::memcpy(&airports, data, 4);
    std::memcpy(&files, data + 4, 4);
    const std::span<const std::uint8_t> rest(data + 8, size - 8);
    (void)builder::DecodeAirportDatabase(rest, airports);
    (void)builder::DecodeAirspaceFileList(rest, files);
    return 0;
}
