#include "platform/drives.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>

namespace platform {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool IsFolder(const fs::path& path) {
    std::error_code error;
    return fs::is_directory(path, error);
}

// The subfolders of a folder; none when it cannot be read.
std::vector<fs::path> Subfolders(const fs::path& folder) {
    std::vector<fs::path> found;
    std::error_code error;
    fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, error);
    for (; !error && it != fs::directory_iterator(); it.increment(error))
        if (IsFolder(it->path()))
            found.push_back(it->path());
    std::sort(found.begin(), found.end());
    return found;
}

bool HoldsSimulator(const fs::path& folder) {
    std::error_code error;
    fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, error);
    for (; !error && it != fs::directory_iterator(); it.increment(error))
        if (Lower(it->path().filename().string()) == "fs2002.exe")
            return true;
    return false;
}

}  // namespace

std::vector<Drive> FindDrives(const std::string& home, const std::string& winePrefix) {
    std::vector<Drive> drives = {{"/", "/"}};
    const fs::path homePath(home);
    if (!home.empty() && IsFolder(homePath))
        drives.push_back({fs::path(home).lexically_normal().string(), "~"});
    auto shown = [&](const fs::path& prefix) {
        const std::string text = prefix.lexically_normal().string();
        const std::string base = homePath.lexically_normal().string();
        if (!home.empty() && text.rfind(base, 0) == 0 && text.size() > base.size() &&
            text[base.size()] == '/')
            return "~" + text.substr(base.size());
        return text;
    };
    // Where Wine, PlayOnLinux, Lutris, Steam's Proton and Bottles keep their prefixes.
    std::vector<fs::path> prefixes;
    if (!home.empty())
        prefixes.push_back(homePath / ".wine");
    if (!winePrefix.empty())
        prefixes.push_back(winePrefix);
    if (!home.empty()) {
        for (const char* parent : {".local/share/wineprefixes", ".PlayOnLinux/wineprefix", "Games",
                                   ".local/share/bottles/bottles",
                                   ".var/app/com.usebottles.bottles/data/bottles/bottles"})
            for (const fs::path& prefix : Subfolders(homePath / parent))
                prefixes.push_back(prefix);
        for (const char* steam :
             {".steam/steam/steamapps/compatdata", ".local/share/Steam/steamapps/compatdata"})
            for (const fs::path& game : Subfolders(homePath / steam))
                prefixes.push_back(game / "pfx");
    }
    std::set<fs::path> seen;
    for (const fs::path& prefix : prefixes) {
        const fs::path drive = prefix / "drive_c";
        if (!IsFolder(drive))
            continue;
        std::error_code error;
        const fs::path canonical = fs::weakly_canonical(drive, error);
        if (!seen.insert(error ? drive : canonical).second)
            continue;
        drives.push_back({drive.lexically_normal().string(), "C: (Wine: " + shown(prefix) + ")"});
    }
    return drives;
}

std::optional<std::size_t> DriveWithSimulator(const std::vector<Drive>& drives,
                                              std::chrono::milliseconds budget) {
    const auto deadline = Clock::now() + budget;
    for (std::size_t i = 0; i < drives.size(); ++i) {
        const fs::path root(drives[i].path);
        // The drive's own folders, and the games under "Program Files*/Microsoft Games".
        std::vector<fs::path> places = Subfolders(root);
        for (const fs::path& top : std::vector<fs::path>(places)) {
            if (Clock::now() > deadline)
                return std::nullopt;
            if (Lower(top.filename().string()).rfind("program files", 0) != 0)
                continue;
            for (const fs::path& maker : Subfolders(top)) {
                if (Lower(maker.filename().string()) != "microsoft games")
                    continue;
                for (const fs::path& game : Subfolders(maker)) {
                    places.push_back(game);
                    for (const fs::path& deeper : Subfolders(game))
                        places.push_back(deeper);
                }
            }
        }
        for (const fs::path& place : places) {
            if (Clock::now() > deadline)
                return std::nullopt;
            if (HoldsSimulator(place))
                return i;
        }
    }
    return std::nullopt;
}

}  // namespace platform
