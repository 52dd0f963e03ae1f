#include "platform/file_system.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <string>

namespace platform {
namespace {

namespace fs = std::filesystem;

class FileSystemTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device random;
        m_root = fs::temp_directory_path() / ("tarvolo-fs-" + std::to_string(random()));
        fs::create_directories(m_root);
        m_savedCwd = fs::current_path();
    }

    void TearDown() override {
        fs::current_path(m_savedCwd);
        std::error_code ignored;
        fs::remove_all(m_root, ignored);
    }

    fs::path Touch(const fs::path& relative, const std::string& content = "x") {
        const fs::path path = m_root / relative;
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }

    std::string Text(const fs::path& path) const { return path.string(); }

    fs::path m_root;
    fs::path m_savedCwd;
};

TEST_F(FileSystemTest, WindowsPathsFindMixedCaseFoldersWithEitherSeparator) {
    const fs::path file = Touch("FS2002/Scenery/World/SCENERY/Ap_Eur.BGL");
    const FileSystem files;
    const std::string root = Text(m_root);
    for (const std::string& asked :
         {root + "\\fs2002\\scenery\\world\\scenery\\ap_eur.bgl",
          root + "/FS2002/scenery/WORLD/Scenery/AP_EUR.bgl",
          root + "\\fs2002/./scenery\\world\\..\\World\\scenery\\ap_eur.bgl"}) {
        SCOPED_TRACE(asked);
        EXPECT_EQ(files.Resolve(asked), file);
        EXPECT_TRUE(files.FileExists(asked));
        EXPECT_FALSE(files.FolderExists(asked));
    }
    EXPECT_TRUE(files.FolderExists(root + "\\fs2002\\SCENERY\\world"));
    EXPECT_FALSE(files.FileExists(root + "\\fs2002\\scenery\\world\\scenery\\other.bgl"));
    EXPECT_FALSE(files.FolderExists(root + "\\fs2002\\scenery\\world\\scenery\\ap_eur.bgl"));
}

TEST_F(FileSystemTest, AnExactNameWinsAndOtherwiseTheFirstInNameOrder) {
    Touch("Scenery/exact.txt");
    Touch("scenery/lower.txt");
    Touch("SCENERY/upper.txt");
    const FileSystem files;
    EXPECT_TRUE(files.FileExists(Text(m_root) + "/Scenery/exact.txt"));
    EXPECT_TRUE(files.FileExists(Text(m_root) + "/scenery/lower.txt"));
    // "ScEnErY" exists in no case exactly: the first match in byte order is "SCENERY".
    EXPECT_EQ(files.Resolve(Text(m_root) + "/ScEnErY/upper.txt"), m_root / "SCENERY" / "upper.txt");
}

TEST_F(FileSystemTest, AccentedNamesMatchIgnoringCaseInTheWindowsCodePage) {
    const fs::path file = Touch(
        "FRAN\xC3\x87"
        "AIS/Fs2002.exe");
    const FileSystem files;
    EXPECT_EQ(files.Resolve(Text(m_root) + "\\fran\xE7"
                                           "ais\\fs2002.exe"),
              file);
}

TEST_F(FileSystemTest, RelativePathsAndOwnFilesLiveInTheWorkingDirectory) {
    const fs::path settings = Touch("work/atc_settings.tcs");
    Touch("work/Scenery/World/a.bgl");
    fs::current_path(m_root / "work");
    const FileSystem files;
    EXPECT_TRUE(files.FileExists(OwnFilePath("atc_settings.tcs")));
    EXPECT_EQ(files.Resolve(OwnFilePath("atc_settings.tcs")), settings);
    EXPECT_TRUE(files.FolderExists("scenery\\world"));
    EXPECT_EQ(OwnFilePath("x.dat"), FileSystem::CurrentDir() + "\\x.dat");
}

TEST_F(FileSystemTest, DriveLettersGoThroughTheWinePrefixOfTheAnchorFolder) {
    const fs::path prefix = m_root / "home" / ".wine";
    Touch("home/.wine/drive_c/Program Files/Microsoft Games/FS2002/FS2002.EXE");
    Touch("elsewhere/Addon/Scenery/Scenery/airport.bgl");
    fs::create_directories(prefix / "dosdevices");
    fs::create_directory_symlink("../drive_c", prefix / "dosdevices" / "c:");
    fs::create_directory_symlink(m_root / "elsewhere", prefix / "dosdevices" / "d:");

    const std::string simFolder = Text(prefix) + "/drive_c/program files/microsoft games/fs2002";
    const FileSystem files(simFolder);
    ASSERT_TRUE(files.WinePrefix());
    EXPECT_EQ(*files.WinePrefix(), prefix);
    EXPECT_TRUE(files.FileExists("C:\\Program Files\\Microsoft Games\\FS2002\\fs2002.exe"));
    EXPECT_TRUE(files.FileExists("c:/program files/microsoft games/fs2002/fs2002.exe"));
    EXPECT_TRUE(files.FolderExists("C:"));
    EXPECT_TRUE(files.FolderExists("C:\\"));
    EXPECT_TRUE(files.FolderExists("d:\\addon\\scenery"));
    EXPECT_TRUE(files.FileExists("D:Addon\\Scenery\\scenery\\AIRPORT.BGL"));
    EXPECT_FALSE(files.FolderExists("e:\\anything"));
    EXPECT_FALSE(files.Resolve("E:\\anything"));

    // Without a Wine prefix around the anchor, drive letters name nothing.
    EXPECT_FALSE(FileSystem(Text(m_root / "elsewhere")).Resolve("C:\\"));
    EXPECT_FALSE(FileSystem().FolderExists("C:\\"));
}

TEST_F(FileSystemTest, BglListingIgnoresCaseAndComesInCaseInsensitiveNameOrder) {
    for (const char* name : {"c.Bgl", "B.BGL", "a.bgl", "D.bgl", "notes.txt", "bgl", "x.bglx"}) {
        Touch(fs::path("Scenery") / name);
    }
    fs::create_directories(m_root / "Scenery" / "folder.bgl");
    const FileSystem files;
    EXPECT_EQ(files.ListFiles(Text(m_root) + "\\scenery", ".bgl"),
              (std::vector<std::string>{"a.bgl", "B.BGL", "c.Bgl", "D.bgl"}));
    EXPECT_TRUE(files.ListFiles(Text(m_root) + "\\missing", ".bgl").empty());
}

TEST_F(FileSystemTest, WholeFileReadsAndWrites) {
    const FileSystem files;
    const std::string path = Text(m_root) + "\\data.bin";
    const std::vector<std::uint8_t> bytes = {0, 1, 2, 0xFF, 0, 10, 13};
    ASSERT_TRUE(files.WriteAll(path, bytes));
    EXPECT_EQ(files.ReadAll(path), bytes);
    ASSERT_TRUE(files.WriteAll(path, std::vector<std::uint8_t>{9}));
    EXPECT_EQ(files.ReadAll(path), std::vector<std::uint8_t>{9});
    EXPECT_FALSE(files.ReadAll(Text(m_root) + "\\missing.bin"));
    EXPECT_FALSE(files.ReadAll(Text(m_root)));  // a folder is no file
    EXPECT_FALSE(files.WriteAll(Text(m_root) + "\\no\\such\\folder\\x.bin", bytes));
}

TEST_F(FileSystemTest, WritingInPlaceKeepsTheBytesBeyondAndCreatesAMissingFile) {
    const FileSystem files;
    const std::string path = Text(m_root) + "\\atc_settings.tcs";
    ASSERT_TRUE(files.WriteInPlace(path, std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6}));
    ASSERT_TRUE(files.WriteInPlace(path, std::vector<std::uint8_t>{9, 9}));
    EXPECT_EQ(files.ReadAll(path), (std::vector<std::uint8_t>{9, 9, 3, 4, 5, 6}));
}

TEST_F(FileSystemTest, RemovingIgnoresErrorsAndNeverTakesAFolder) {
    const fs::path file = Touch("gone.tcs");
    fs::create_directories(m_root / "keep.tcs");
    const FileSystem files;
    files.Remove(Text(m_root) + "\\GONE.TCS");
    files.Remove(Text(m_root) + "\\never-was.tcs");
    files.Remove(Text(m_root) + "\\keep.tcs");
    files.Remove("Q:\\no\\drive");
    EXPECT_FALSE(fs::exists(file));
    EXPECT_TRUE(fs::is_directory(m_root / "keep.tcs"));
}

}  // namespace
}  // namespace platform

namespace platform {
namespace {

TEST_F(FileSystemTest, ReplacingAFileNeverLeavesItHalfWritten) {
    const FileSystem files;
    const std::string path = Text(m_root) + "\\world_airports.dat";
    ASSERT_TRUE(files.ReplaceFile(path, std::vector<std::uint8_t>{1, 2, 3}));
    ASSERT_TRUE(files.ReplaceFile(path, std::vector<std::uint8_t>{4}));
    EXPECT_EQ(files.ReadAll(path), std::vector<std::uint8_t>{4});
    EXPECT_FALSE(fs::exists(m_root / "world_airports.dat.part"));

    // When the new bytes cannot be written, the old file stays whole.
    fs::create_directory(m_root / "world_airports.dat.part");
    EXPECT_FALSE(files.ReplaceFile(path, std::vector<std::uint8_t>{7, 7, 7}));
    EXPECT_EQ(files.ReadAll(path), std::vector<std::uint8_t>{4});
}

TEST_F(FileSystemTest, SeveralSpellingsOfAFolderAreEachTriedForTheWholePath) {
    const fs::path file = Touch("Scenery/World/scenery/a.bgl");
    Touch("SCENERY/magdec.bgl");
    const FileSystem files;
    EXPECT_EQ(files.Resolve(Text(m_root) + "\\scenery\\world\\scenery\\a.bgl"), file);
    EXPECT_EQ(files.Resolve(Text(m_root) + "\\scenery\\magdec.bgl"),
              m_root / "SCENERY" / "magdec.bgl");
}

}  // namespace
}  // namespace platform
