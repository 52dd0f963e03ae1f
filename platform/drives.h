#pragma once

// The places the setup window's drive list offers on Linux: the file-system root, the home
// folder, and the C: drive of every Wine prefix found where Wine and the usual game launchers
// keep them; and which of them holds the simulator.

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace platform {

struct Drive {
    std::string path;   // the folder, without a trailing separator ("/" for the root)
    std::string label;  // "/", "~", "C: (Wine: ~/.wine)"
};

// `home` and `winePrefix` ($WINEPREFIX, may be empty) as the environment gives them.
std::vector<Drive> FindDrives(const std::string& home, const std::string& winePrefix);

// The first drive with a folder holding fs2002.exe (any case) at its root or under
// "Program Files*/Microsoft Games", a few levels deep; the search gives up at the deadline.
std::optional<std::size_t> DriveWithSimulator(const std::vector<Drive>& drives,
                                              std::chrono::milliseconds budget);

}  // namespace platform
