// tarvolo's command line: the data folder, --help and --version without a window.

#include "app/command_line.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <filesystem>
#include <fstream>
#include <map>

#include "tests/support/child_process.h"

namespace app {
namespace {

namespace fs = std::filesystem;

std::map<std::string, std::string> environment;

std::optional<std::string> FakeEnvironment(const char* name) {
    auto it = environment.find(name);
    return it == environment.end() ? std::nullopt : std::optional<std::string>(it->second);
}

TEST(CommandLine, TheUserDataFolderFollowsXdgOrHome) {
    environment = {{"HOME", "/home/ann"}};
    EXPECT_EQ(ParseCommandLine({"tarvolo", "--user-data"}, FakeEnvironment).dataDir,
              "/home/ann/.local/share/tarvolo");
    environment["XDG_DATA_HOME"] = "/data/ann";
    EXPECT_EQ(ParseCommandLine({"tarvolo", "--user-data"}, FakeEnvironment).dataDir,
              "/data/ann/tarvolo");
    environment["XDG_DATA_HOME"] = "relative/data";  // not absolute: ignored
    EXPECT_EQ(ParseCommandLine({"tarvolo", "--user-data"}, FakeEnvironment).dataDir,
              "/home/ann/.local/share/tarvolo");
    // A recording named relative to where the program starts, whatever folder it enters.
    const CommandLine both =
        ParseCommandLine({"tarvolo", "--data-dir", "/x", "--replay", "s.tvr"}, FakeEnvironment);
    EXPECT_EQ(both.dataDir, "/x");
    EXPECT_EQ(both.replay, (fs::current_path() / "s.tvr").string());
    // The equals form, and Qt's own options passed on to it, with their values or without.
    const CommandLine equals =
        ParseCommandLine({"tarvolo", "--data-dir=/y", "-platform", "offscreen", "-nograb",
                          "--replay=/r/a.tvr", "-reverse"},
                         FakeEnvironment);
    EXPECT_TRUE(equals.error.empty()) << equals.error;
    EXPECT_EQ(equals.dataDir, "/y");
    EXPECT_EQ(equals.replay, "/r/a.tvr");
    EXPECT_FALSE(ParseCommandLine({"tarvolo", "--replay"}, FakeEnvironment).error.empty());
    EXPECT_FALSE(ParseCommandLine({"tarvolo", "--frobnicate"}, FakeEnvironment).error.empty());
}

TEST(CommandLine, TheDataFolderIsCreatedAndEnteredOrRefusedClearly) {
    const fs::path saved = fs::current_path();
    const fs::path root = fs::temp_directory_path() / "tarvolo-data-dir-test";
    fs::remove_all(root);
    EXPECT_EQ(EnterDataDir((root / "share/tarvolo").string()), std::nullopt);
    EXPECT_EQ(fs::current_path(), root / "share/tarvolo");
    fs::current_path(saved);
    std::ofstream(root / "file") << "x";
    const auto problem = EnterDataDir((root / "file/tarvolo").string());
    ASSERT_TRUE(problem);
    EXPECT_NE(problem->find("cannot use"), std::string::npos);
    EXPECT_EQ(fs::current_path(), saved);
    fs::remove_all(root);
}

// Help, version and refusals are in the three programs' shared test; here, a folder that
// cannot be used, before any window.
TEST(CommandLine, AnUnusableDataFolderIsRefusedWithoutAWindow) {
    auto run = [](const QStringList& args) {
        testing_support::ChildProcess process;
        process.Allow({0, 1, 2});  // each status is checked below
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("QT_QPA_PLATFORM");
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        process.SetEnvironment(env);
        process.Start(TARVOLO_PATH, args);
        EXPECT_TRUE(process.WaitForFinished(20000));
        return std::make_pair(process.ExitCode(), process.Out() + process.Err());
    };
    const auto blocked = run({"--data-dir", "/proc/tarvolo/cannot"});
    EXPECT_EQ(blocked.first, 1);
    EXPECT_TRUE(blocked.second.contains("cannot use /proc/tarvolo/cannot"));
}

}  // namespace
}  // namespace app
