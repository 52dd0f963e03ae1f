// The setup window's drives on Linux: Wine prefixes found, and the one holding the simulator.

#include "platform/drives.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include <random>

namespace platform {
namespace {

namespace fs = std::filesystem;

// A fake home of its own, removed afterwards.
struct FakeHome {
    FakeHome()
        : root(fs::temp_directory_path() /
               ("tarvolo-drives-" + std::to_string(std::random_device{}()))) {}
    ~FakeHome() {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
    fs::path root;
};

TEST(Drives, WinePrefixesInOrderAndTheSimulatorsDriveFirstFound) {
    FakeHome scratch;
    const fs::path home = scratch.root / "home";
    // ~/.wine without the simulator, with a dangling link among its devices.
    fs::create_directories(home / ".wine/drive_c/windows");
    fs::create_directories(home / ".wine/dosdevices");
    fs::create_symlink("../nowhere", home / ".wine/dosdevices/d:");
    // A prefix of its own holding the simulator, names in mixed case.
    const fs::path game = home /
                          ".local/share/wineprefixes/fs2002/drive_c/Program Files (x86)/"
                          "Microsoft Games/FS2002";
    fs::create_directories(game);
    std::ofstream(game / "FS2002.EXE") << "MZ";
    // A folder that is no prefix, one that cannot be read, and $WINEPREFIX naming ~/.wine again.
    fs::create_directories(home / "Games/notes");
    fs::create_directories(home / "Games/locked/drive_c");
    fs::permissions(home / "Games/locked", fs::perms::none);

    const auto drives = FindDrives(home.string(), (home / ".wine").string());
    fs::permissions(home / "Games/locked", fs::perms::owner_all);
    ASSERT_GE(drives.size(), 4u);
    EXPECT_EQ(drives[0].path, "/");
    EXPECT_EQ(drives[1].path, home.string());
    EXPECT_EQ(drives[2].label, "C: (Wine: ~/.wine)");
    EXPECT_EQ(drives[2].path, (home / ".wine/drive_c").string());
    EXPECT_EQ(drives[3].label, "C: (Wine: ~/.local/share/wineprefixes/fs2002)");
    // ~/.wine once only; the unreadable one is there only when it can be read (as root).
    EXPECT_EQ(std::count_if(drives.begin(), drives.end(),
                            [](const Drive& d) { return d.label == "C: (Wine: ~/.wine)"; }),
              1);

    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(DriveWithSimulator(drives, std::chrono::milliseconds(2000)), 3u);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(2500));
    // Without it, no drive; a spent budget gives up.
    fs::remove(game / "FS2002.EXE");
    EXPECT_EQ(DriveWithSimulator(drives, std::chrono::milliseconds(2000)), std::nullopt);
    std::ofstream(game / "fs2002.exe") << "MZ";
    EXPECT_EQ(DriveWithSimulator(drives, std::chrono::milliseconds(0)), std::nullopt);
}

}  // namespace
}  // namespace platform
