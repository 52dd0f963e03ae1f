#include "builder/scenery_cfg.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

namespace builder {
namespace {

namespace fs = std::filesystem;

TEST(SceneryCfg, AreasAreSectionsWhoseHeaderSaysAreaInAnyCase) {
    const auto areas = ParseSceneryCfg(
        "[General]\r\nTitle=FS2002 World\r\nLocal=NotAnArea\r\n\r\n"
        "[Area.012]\r\nTitle=Default Terrain\r\nTexture_ID=1\r\nLocal=Scenery\\World\r\n"
        "Layer=1\r\nActive=FALSE\r\nRequired=TRUE\r\nRemote=\r\n"
        "[Misc]\r\nLocal=ignored\r\n"
        "[AREA.002]\nTitle=Unix line ends\nLocal = Scenery\\Spaced\n");
    ASSERT_EQ(areas.size(), 2u);
    EXPECT_EQ(areas[0].Title, "Default Terrain");
    EXPECT_EQ(areas[0].Texture_ID, "1");
    EXPECT_EQ(areas[0].Active, "FALSE");
    EXPECT_EQ(areas[0].Layer, "1");
    EXPECT_EQ(areas[0].Required, "TRUE");
    EXPECT_EQ(areas[0].Remote, "");
    EXPECT_EQ(areas[0].Local, "Scenery\\World");  // [Misc] ended the block before its Local
    EXPECT_EQ(areas[1].Title, "Unix line ends");
    EXPECT_EQ(areas[1].Local, "");  // blanks around = hide the key
}

TEST(SceneryCfg, ARepeatedHeaderGivesBothSectionsTheFirstBlock) {
    const auto areas = ParseSceneryCfg(
        "[Area.001]\r\nTitle=First\r\nLocal=A\r\n[Area.001]\r\nTitle=Second\r\nLocal=B\r\n");
    ASSERT_EQ(areas.size(), 2u);
    EXPECT_EQ(areas[0].Title, "First");
    EXPECT_EQ(areas[1].Title, "First");
    EXPECT_EQ(areas[1].Local, "A");
}

TEST(SceneryCfg, NoHeaderNoArea) {
    EXPECT_TRUE(ParseSceneryCfg("Title=Lost\r\nLocal=Scenery\r\n").empty());
    EXPECT_TRUE(ParseSceneryCfg("").empty());
    // A header is a line starting with [ that has a ]; the rest of the line is dropped.
    const auto areas = ParseSceneryCfg(" [Area.001]\r\n[Area.002] comment\r\nLocal=X\r\n");
    ASSERT_EQ(areas.size(), 1u);
    EXPECT_EQ(areas[0].Local, "X");
}

TEST(SceneryCfg, ValuesAreTheRestOfTheLineUntrimmedAndTheFirstOccurrenceWins) {
    EXPECT_EQ(GetCfgValue("TITLE=Big City  \r\nTitle=Second", "title"), "Big City  ");
    EXPECT_EQ(GetCfgValue("Local=last line without break", "Local"), "last line without break");
    EXPECT_EQ(GetCfgValue("Title=x", "Local"), "");
    // A longer key ending in the wanted one matches as well.
    EXPECT_EQ(GetCfgValue("OldLocal=Old\r\nLocal=New", "Local"), "Old");
}

class ResolveFolders : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device random;
        m_root = fs::temp_directory_path() / ("tarvolo-cfg-" + std::to_string(random()));
        fs::create_directories(m_root / "FS2002" / "Scenery" / "World" / "scenery");
        fs::create_directories(m_root / "Addon" / "Scenery");
        m_sim = m_root.string() + "/FS2002";
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(m_root, ignored);
    }

    std::string Resolve(const std::string& local,
                        const std::vector<std::string>& drives = {}) const {
        std::vector<model::SceneryArea> areas(1);
        areas[0].Local = local;
        ResolveSceneryFolders(areas, m_sim, platform::FileSystem(m_sim), drives);
        return areas[0].Local;
    }

    fs::path m_root;
    std::string m_sim;
};

TEST_F(ResolveFolders, RelativeFoldersGoUnderTheSimulatorInLowerCase) {
    const std::string lowerSim = [this] {
        std::string s = m_sim;
        for (char& c : s) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        return s;
    }();
    EXPECT_EQ(Resolve("Scenery\\World"), lowerSim + "\\scenery\\world\\scenery");
    EXPECT_EQ(Resolve("  Scenery/World  "), lowerSim + "\\scenery\\world\\scenery");
    EXPECT_EQ(Resolve("scenery"), lowerSim + "\\scenery");
    EXPECT_EQ(Resolve("Scenery\\World\\Scenery"), lowerSim + "\\scenery\\world\\scenery");
}

TEST_F(ResolveFolders, AbsoluteFoldersStayWhereTheyAre) {
    std::string expected = m_root.string() + "/addon";
    for (char& c : expected) {
        c = c == '/' ? '\\' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    EXPECT_EQ(Resolve(m_root.string() + "/Addon"), expected + "\\scenery");
}

TEST_F(ResolveFolders, FoldersThatDoNotExistBecomeEmpty) {
    EXPECT_EQ(Resolve("Scenery\\Nowhere"), "");
    EXPECT_EQ(Resolve("D:/Addon/Scenery"), "");  // no Wine prefix around the simulator
    EXPECT_EQ(Resolve(""), "");
}

TEST_F(ResolveFolders, DriveLabelsAreReplacedByTheirLetters) {
    // A drive list entry "x: label": where the folder contains the label, the letter stands
    // in for it; here the letter then names nothing, so the area is dropped.
    std::string label = m_root.string();
    for (char& c : label) {
        c = c == '/' ? '\\' : c;
    }
    EXPECT_EQ(Resolve(m_root.string() + "/Addon", {"x: " + label}), "");
    EXPECT_NE(Resolve(m_root.string() + "/Addon", {"x: [elsewhere]"}), "");
}

TEST_F(ResolveFolders, DriveLettersGoThroughTheWinePrefixOfTheSimulator) {
    const fs::path prefix = m_root / "prefix";
    fs::create_directories(prefix / "drive_c" / "FS2002");
    fs::create_directories(prefix / "dosdevices");
    fs::create_directories(m_root / "D-Drive" / "Addon" / "Scenery");
    fs::create_directory_symlink(m_root / "D-Drive", prefix / "dosdevices" / "d:");
    std::vector<model::SceneryArea> areas(1);
    areas[0].Local = "D:/Addon/Scenery";
    const std::string sim = (prefix / "drive_c" / "FS2002").string();
    ResolveSceneryFolders(areas, sim, platform::FileSystem(sim));
    EXPECT_EQ(areas[0].Local, "d:\\addon\\scenery");
}

}  // namespace
}  // namespace builder
