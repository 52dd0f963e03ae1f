#pragma once

// Writes a simulator folder from a world description: fs2002.exe (a placeholder),
// scenery.cfg, the data files of every area and scenery/magdec.bgl.

#include <filesystem>
#include <optional>
#include <string>

#include "tools/scenery/world.h"

namespace tools {

// The scenery.cfg text, with CR LF line ends; {SIM} in a Local is replaced by simFolder.
std::string SceneryCfgText(const WorldSpec& world, const std::string& simFolder);

// Returns what went wrong, or nothing.
std::optional<std::string> WriteSimulatorFolder(const WorldSpec& world,
                                                const std::filesystem::path& folder);

}  // namespace tools
