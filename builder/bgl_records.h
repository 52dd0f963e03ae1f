#pragma once

// The record tags of a scenery data file and the step from one record to the next, as the
// builder's walk and the loader's airspace decoder both read them. Every record starts with
// its tag and the size of what follows the first eight bytes.

#include <cstdint>

#include "builder/bgl_reader.h"

namespace builder::bgl {

// Section and group levels.
inline constexpr std::int32_t kBoundaryRecord = 1;
inline constexpr std::int32_t kAirspaceGroup = 4;
inline constexpr std::int32_t kAirspace = 5;
inline constexpr std::int32_t kGroupRecord = 0x30001;
inline constexpr std::int32_t kAirportEntry = 0x30002;
inline constexpr std::int32_t kAirportKind = 0x50001;

// Inside an airport.
inline constexpr std::int32_t kAirportHeader = 0x10001;
inline constexpr std::int32_t kRunway = 0x10002;
inline constexpr std::int32_t kIls = 0x10004;
inline constexpr std::int32_t kGroundNetwork = 0x11001;
// The same tags name an airport's ident and an airspace's name, an airport's radio and an
// airspace's frequency.
inline constexpr std::int32_t kText = 0x10006;
inline constexpr std::int32_t kRadio = 0x20001;

// Inside an airspace.
inline constexpr std::int32_t kBoundingBox = 0x1000B;
inline constexpr std::int32_t kPoint = 0x12001;
inline constexpr std::int32_t kPolygonPoint = 0x12002;
inline constexpr std::int32_t kSkipped = 0x12003;
inline constexpr std::int32_t kArcKind5 = 0x12005;
inline constexpr std::int32_t kArcKind3 = 0x12006;
inline constexpr std::int32_t kArcKind4 = 0x12007;
inline constexpr std::int32_t kCircle = 0x12008;

// The offset of the record after the one at `position` whose size field says `size`; a size
// that would not move the walk forward means a damaged file.
inline std::int64_t Next(std::int64_t position, std::int32_t size) {
    const std::int64_t step = static_cast<std::int64_t>(size) + 8;
    if (step <= 0) {
        throw OutOfBuffer();
    }
    return position + step;
}

}  // namespace builder::bgl
