// The build as the builder window and the tool drive it, on generated simulator folders.

#include "builder/database_builder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "builder/bgl_walk.h"
#include "builder/database_file.h"
#include "model/settings_record.h"
#include "model/shared_state.h"
#include "platform/ansi.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/simulator_setup.h"
#include "tools/scenery/presets.h"

namespace builder {
namespace {

namespace fs = std::filesystem;
using Step = DatabaseBuilder::StepResult;

std::vector<std::uint8_t> ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

tools::BglFileSpec AirportFile(const std::string& name, const std::string& airportName,
                               bool withAirspace = false) {
    tools::BglFileSpec file;
    file.name = name;
    tools::AirportSpec airport;
    airport.name = airportName;
    airport.ident = "KXYZ";
    airport.latitude = 40;
    airport.longitude = -75;
    file.airports = {airport};
    if (withAirspace) {
        file.airspaces.push_back({});
        file.airspaces.push_back({});
    }
    return file;
}

class DatabaseBuilderTest : public ::testing::Test {
protected:
    void Setup(const tools::WorldSpec& world) {
        ASSERT_TRUE(testing_support::SetUpSimulator(world, m_scratch.Root() / "sim"));
    }

    std::vector<Step> RunAll(DatabaseBuilder& builder) {
        std::vector<Step> steps;
        for (Step step = builder.Step(); step != Step::AllDone; step = builder.Step()) {
            steps.push_back(step);
        }
        return steps;
    }

    std::vector<model::AirportRecord> WrittenAirports() const {
        return DecodeAirportDatabase(ReadFile(m_scratch.Work() / "world_airports.dat"),
                                     model::g_airportCount)
            .items;
    }

    testing_support::ScratchFolder m_scratch;
    const fs::path& m_root = m_scratch.Root();
};

TEST_F(DatabaseBuilderTest, AnAreaOfThreeFilesTakesFourTicks) {
    tools::WorldSpec world;
    tools::AreaSpec first{
        "[Area.001]", "First Area", "Scenery\\One", "Scenery/One/scenery", true, 1, {}};
    first.files = {AirportFile("a.bgl", "A"), AirportFile("b.bgl", "B"), AirportFile("c.bgl", "C")};
    tools::AreaSpec empty{"[Area.002]", "No Folder", "Scenery\\None", "", true, 2, {}};
    tools::AreaSpec second{
        "[Area.003]", "Second Area", "Scenery\\Two", "Scenery/Two/scenery", true, 3, {}};
    second.files = {AirportFile("d.bgl", "D")};
    world.areas = {first, empty, second};
    Setup(world);

    std::vector<std::string> statuses;
    DatabaseBuilder builder([&statuses](const std::string& text) { statuses.push_back(text); });
    builder.Discover();
    EXPECT_EQ(statuses, (std::vector<std::string>{"Magdec.bgl File", "Scenery.cfg File", "Done"}));
    EXPECT_EQ(builder.BglFileCount(), 4);
    EXPECT_EQ(model::g_sceneryAreaCount, 3);
    EXPECT_EQ(model::g_sceneryAreas.size(), 4u);

    statuses.clear();
    EXPECT_EQ(RunAll(builder),
              (std::vector<Step>{Step::FileVisited, Step::FileVisited, Step::FileVisited,
                                 Step::AreaFinished, Step::AreaSkipped, Step::FileVisited,
                                 Step::AreaFinished}));
    EXPECT_EQ(statuses.front(), "First Area");
    EXPECT_EQ(statuses.back(), "Second Area");
    EXPECT_EQ(model::g_airportCount, 4);
}

TEST_F(DatabaseBuilderTest, TheTinyWorldBuildsIntoThreeFilesWithTheFinalCounts) {
    Setup(*tools::PresetWorld("tiny", 1));
    DatabaseBuilder builder;
    builder.Discover();
    EXPECT_EQ(builder.BglFileCount(), 4);
    RunAll(builder);
    ASSERT_EQ(model::g_airportCount, 4);
    const std::vector<model::AirportRecord> found = model::g_airports;
    ASSERT_FALSE(builder.Finish());
    // Airports encoded one by one as the files were read make the same file as the whole.
    EXPECT_EQ(ReadFile(m_root / "work" / "world_airports.dat"), EncodeAirportDatabase(found, 4));

    const auto airports = WrittenAirports();
    ASSERT_EQ(airports.size(), 5u);
    EXPECT_EQ(airports[0].name, "Alpha Field");  // files in case-insensitive name order
    EXPECT_EQ(airports[1].name, "Bravo Strip");
    EXPECT_EQ(airports[2].name, "Boundary Field");
    EXPECT_EQ(airports[3].name, "Charlie Park");  // the inactive area is read all the same
    EXPECT_EQ(airports[4], model::AirportRecord{});
    EXPECT_EQ(airports[0].ident, "KALP");
    EXPECT_EQ(airports[0].ilsCount, 2);

    const auto list = DecodeAirspaceFileList(ReadFile(m_root / "work" / "world_airspaces.lst"), 1);
    ASSERT_TRUE(list.complete);
    const std::string expected =
        platform::LowerAnsi(model::g_simPath) + "\\scenery\\world\\scenery\\ap_alpha.bgl";
    EXPECT_EQ(list.items, (std::vector<std::string>{expected, ""}));

    // The settings file now holds the counts, in place and at the same length.
    const model::SettingsRecord settings =
        model::DecodeSettings(ReadFile(m_root / "work" / "atc_settings.tcs"));
    EXPECT_EQ(settings.airportCount, 4);
    EXPECT_EQ(settings.airspaceFileCount, 1);
    EXPECT_EQ(settings.simPath, model::g_simPath);
    EXPECT_EQ(fs::file_size(m_root / "work" / "atc_settings.tcs"),
              14 + 19 + model::g_simPath.size());

    // The database leaves memory; the counts stay.
    EXPECT_EQ(model::g_airports.size(), 1u);
    EXPECT_EQ(model::g_airspaceFiles.size(), 1u);
    EXPECT_EQ(model::g_airportCount, 4);
    EXPECT_FALSE(model::g_buildPending);
    EXPECT_FALSE(fs::exists(m_root / "work" / "world_airports.dat.part"));
}

TEST_F(DatabaseBuilderTest, AFolderNamedAgainLaterIsScannedAgainButNotRightAfterItself) {
    tools::WorldSpec world;
    tools::AreaSpec shared{
        "[Area.001]", "Shared", "Scenery\\Shared", "Scenery/Shared/scenery", true, 1, {}};
    shared.files = {AirportFile("ap.bgl", "Twice", true)};
    tools::AreaSpec again = shared;
    again.header = "[Area.002]";
    again.folder.clear();  // the same folder, written once
    tools::AreaSpec other{
        "[Area.003]", "Other", "Scenery\\Other", "Scenery/Other/scenery", true, 3, {}};
    other.files = {AirportFile("x.bgl", "Between", true)};
    tools::AreaSpec third = shared;
    third.header = "[Area.004]";
    third.folder.clear();
    world.areas = {shared, again, other, third};
    Setup(world);

    DatabaseBuilder builder;
    builder.Discover();
    RunAll(builder);
    ASSERT_FALSE(builder.Finish());
    const auto airports = WrittenAirports();
    ASSERT_EQ(model::g_airportCount, 3);
    EXPECT_EQ(airports[0].name, "Twice");
    EXPECT_EQ(airports[1].name, "Between");
    EXPECT_EQ(airports[2].name, "Twice");
    // Two airspace records in a file list it once per scan: twice in all, around the other.
    EXPECT_EQ(model::g_airspaceFileCount, 3);
}

TEST_F(DatabaseBuilderTest, AMissingSceneryCfgIsReportedAndGivesAnEmptyDatabase) {
    Setup(*tools::PresetWorld("tiny", 1));
    fs::remove(m_root / "sim" / "scenery.cfg");
    std::string lastStatus;
    DatabaseBuilder builder([&lastStatus](const std::string& text) { lastStatus = text; });
    builder.Discover();
    EXPECT_EQ(lastStatus.rfind("Scenery.cfg File could not be read", 0), 0u) << lastStatus;
    EXPECT_EQ(builder.BglFileCount(), 0);
    EXPECT_TRUE(RunAll(builder).empty());
    ASSERT_FALSE(builder.Finish());
    EXPECT_EQ(ReadFile(m_root / "work" / "world_airports.dat"), std::vector<std::uint8_t>(68, 0));
    EXPECT_EQ(ReadFile(m_root / "work" / "world_airspaces.lst"), std::vector<std::uint8_t>(2, 0));
}

TEST_F(DatabaseBuilderTest, TheVariationGridComesFromMagdec) {
    tools::WorldSpec world = *tools::PresetWorld("tiny", 1);
    world.magvarBase = -20;
    Setup(world);
    DatabaseBuilder builder;
    builder.Discover();
    // -20 degrees is entry -3641; the last entry stays unfilled.
    EXPECT_EQ(model::g_magvarTable[0], -3641);
    EXPECT_EQ(model::g_magvarTable[181 * 359 + 180], -3641);
    EXPECT_EQ(model::g_magvarTable[65160], 0);
}

TEST_F(DatabaseBuilderTest, AnUnwritableWorkingDirectoryIsReportedNotAnnounced) {
    Setup(*tools::PresetWorld("tiny", 1));
    DatabaseBuilder builder;
    builder.Discover();
    RunAll(builder);
    fs::create_directory(m_root / "work" / "world_airports.dat.part");  // blocks the write
    const auto problem = builder.Finish();
    ASSERT_TRUE(problem);
    EXPECT_NE(problem->find("could not be written"), std::string::npos);
    EXPECT_FALSE(fs::exists(m_root / "work" / "world_airports.dat"));
    EXPECT_TRUE(model::g_buildPending);
}

// Scenery folders hold what users put there. None of this may stop the build, take memory
// without bound or change what the good files give.
TEST_F(DatabaseBuilderTest, HostileSceneryIsPassedOverAndTheBuildCompletes) {
    Setup(*tools::PresetWorld("tiny", 1));
    const fs::path folder = m_root / "sim" / "Scenery" / "World" / "Scenery";
    ASSERT_TRUE(fs::is_directory(folder));
    // A 2 GB file with the scenery mark (sparse: it takes no room on disk).
    {
        std::ofstream huge(folder / "huge.bgl", std::ios::binary);
        std::vector<char> head(kMarkerOffset + 4, 0);
        const std::uint32_t marker = 0x87654321u;
        std::memcpy(head.data() + kMarkerOffset, &marker, 4);
        huge.write(head.data(), static_cast<std::streamsize>(head.size()));
    }
    fs::resize_file(folder / "huge.bgl", std::uintmax_t{2} << 30);
    fs::create_directory(folder / "folder.bgl");             // a folder by the name of a file
    fs::create_directory_symlink(".", folder / "loop.bgl");  // a link back to its own folder
    fs::create_symlink(folder / "nowhere", folder / "dangling.bgl");
    // Thousands of areas, most of them the same folder again.
    {
        std::ofstream cfg(m_root / "sim" / "scenery.cfg", std::ios::app);
        for (int i = 0; i < 3000; ++i)
            cfg << "\n[Area." << 1000 + i << "]\nTitle=Copy " << i
                << "\nLocal=Scenery\\World\nLayer=" << 1000 + i << "\nActive=TRUE\n";
    }
    std::vector<std::string> statuses;
    DatabaseBuilder builder([&statuses](const std::string& text) { statuses.push_back(text); });
    builder.Discover();
    RunAll(builder);
    ASSERT_FALSE(builder.Finish());
    EXPECT_NE(std::find_if(statuses.begin(), statuses.end(),
                           [](const std::string& s) {
                               return s.rfind("Skipped (larger than 256 MB): ", 0) == 0;
                           }),
              statuses.end());
    const auto airports = WrittenAirports();
    ASSERT_GE(airports.size(), 5u);
    EXPECT_EQ(airports[0].name, "Alpha Field");
}

}  // namespace
}  // namespace builder
