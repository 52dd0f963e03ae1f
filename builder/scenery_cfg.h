#pragma once

// scenery.cfg: the simulator's scenery library, [Area.NNN] sections of key=value lines. Each
// area names a folder (Local=) whose scenery subfolder holds data files.

#include <string>
#include <string_view>
#include <vector>

#include "model/records.h"
#include "platform/file_system.h"

namespace builder {

// The areas of the file, in file order. A section whose lower-cased header contains
// "[area." is an area; its block runs to the next header of any kind.
std::vector<model::SceneryArea> ParseSceneryCfg(std::string_view fileText);

// The value of key= inside a block, compared ignoring case, no blanks allowed around "=";
// the rest of that line, untrimmed. Empty when the key is absent.
std::string GetCfgValue(std::string_view block, std::string_view key);

// Rewrites each area's Local into a full lower-case folder path that exists, or empty:
// trimmed, slashes turned to backslashes, "\scenery" appended unless already there, drive
// labels replaced by their letters, and a relative folder (or one not found as written)
// taken under the simulator folder. driveList holds entries as a drive list shows them
// ("d: [label]"); systems without drive letters have none.
void ResolveSceneryFolders(std::vector<model::SceneryArea>& areas, const std::string& simPath,
                           const platform::FileSystem& files,
                           const std::vector<std::string>& driveList = {});

}  // namespace builder
