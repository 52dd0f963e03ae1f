#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "tools/scenery/world.h"

namespace tools {

// "tiny": a few airports for tests; "demo": a rich sample region around one major airport;
// "world": about 21,000 airports in about 120 areas and a few thousand files.
std::optional<WorldSpec> PresetWorld(const std::string& name, std::uint32_t seed);

// The demo region's major airport, where the session host flies its traffic.
inline constexpr double kDemoAirportLatitude = 47.4490;
inline constexpr double kDemoAirportLongitude = -122.3090;

}  // namespace tools
