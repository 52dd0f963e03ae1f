// The Airport Area's work on databases built from generated scenery.

#include "loader/airport_area.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <limits>

#include "builder/database_file.h"
#include "model/settings_record.h"
#include "model/shared_state.h"
#include "platform/ansi.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/simulator_setup.h"
#include "tools/scenery/presets.h"

namespace loader {
namespace {

namespace fs = std::filesystem;

void WriteFile(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
}

class AirportArea : public ::testing::Test {
protected:
    // Generates a world, builds its database here and opens it as the Airport Area does.
    void BuildAndOpen(const tools::WorldSpec& world) {
        ASSERT_TRUE(testing_support::SetUpSimulator(world, m_root / "sim"));
        ASSERT_TRUE(testing_support::BuildDatabase());
        testing_support::RestartAfterBuild();
        ASSERT_TRUE(ReadMagvars());
        ASSERT_FALSE(ReadAirports());
        ASSERT_FALSE(ReadAirspaceFileList());
    }

    static void SetNames(const std::vector<std::string>& names) {
        model::g_airports.assign(names.size() + 1, {});
        for (std::size_t i = 0; i < names.size(); ++i) {
            model::g_airports[i].name = names[i];
        }
        model::g_airportCount = static_cast<std::int32_t>(names.size());
    }

    testing_support::ScratchFolder m_scratch;
    const fs::path& m_root = m_scratch.Root();
};

// A settings file edited or damaged can announce any count; reading the database takes what
// the file really holds and says when that is less.
TEST_F(AirportArea, HugeOrNegativeCountsReadWhatTheFileHolds) {
    BuildAndOpen(*tools::PresetWorld("tiny", 1));
    const std::int32_t real = model::g_airportCount;
    for (const std::int32_t announced : {std::numeric_limits<std::int32_t>::max(), 100000, -5,
                                         std::numeric_limits<std::int32_t>::min()}) {
        SCOPED_TRACE(announced);
        model::g_airportCount = announced;
        const auto problem = ReadAirports();
        // Bounded by what the file could hold, and everything it holds is there.
        EXPECT_LE(model::g_airports.size(),
                  fs::file_size(m_root / "work" / "world_airports.dat") / 68 + 2);
        if (announced >= real) {
            EXPECT_GE(model::g_airports.size(), static_cast<std::size_t>(real) + 1);
            EXPECT_EQ(model::g_airports[0].name, "Alpha Field");
        }
        if (announced > real) {
            EXPECT_TRUE(problem.has_value());
        }
        model::g_airspaceFileCount = announced;
        (void)ReadAirspaceFileList();
        EXPECT_LE(model::g_airspaceFiles.size(),
                  fs::file_size(m_root / "work" / "world_airspaces.lst") / 2 + 2);
    }
}

TEST_F(AirportArea, SearchTrimsAndIgnoresCaseAndListsInDatabaseOrder) {
    SetNames({"Eldorado Intl", "ELDORADO MUNI", "Boeing Field", "Eldorado Intl"});
    EXPECT_EQ(SearchAirport("  ELDORADO "),
              (std::vector<std::string>{"Eldorado Intl   Index: 0", "ELDORADO MUNI   Index: 1",
                                        "Eldorado Intl   Index: 3"}));
    EXPECT_EQ(SearchAirport("field"), std::vector<std::string>{"Boeing Field   Index: 2"});
    EXPECT_TRUE(SearchAirport("zzz").empty());
    // Only blanks: every named airport, never the empty record that ends the database.
    EXPECT_EQ(SearchAirport("   ").size(), 4u);
}

TEST_F(AirportArea, TheIndexComesFromTheTextAfterIndex) {
    EXPECT_EQ(IndexOfLine("Eldorado Intl   Index: 1234"), 1234);
    EXPECT_EQ(IndexOfLine("Index:7"), 7);
    EXPECT_EQ(IndexOfLine("Odd Index: 9 Field   Index: 5"), 5);  // the suffix, not the name
    EXPECT_EQ(IndexOfLine("A   Index:  2.5 "), 2);               // halves to even
    EXPECT_EQ(IndexOfLine("No index here"), std::nullopt);
    EXPECT_EQ(IndexOfLine("A   Index: "), std::nullopt);
}

TEST_F(AirportArea, GetAirportLoadsTheSceneAndFreesTheDatabase) {
    BuildAndOpen(*tools::PresetWorld("tiny", 1));
    ASSERT_EQ(model::g_airportCount, 4);
    const std::vector<std::string> lines = SearchAirport("alpha");
    ASSERT_EQ(lines.size(), 1u);
    std::vector<std::string> statuses;
    std::vector<std::pair<int, int>> progress;
    ASSERT_TRUE(LoadAirport(*IndexOfLine(lines[0]),
                            {[&](const std::string& s) { statuses.push_back(s); },
                             [&](int done, int total) { progress.emplace_back(done, total); }}));
    EXPECT_EQ(model::g_airport.name, "Alpha Field");
    EXPECT_EQ(model::g_airport.runwayCount, 2);
    EXPECT_EQ(model::g_airports.size(), 1u);
    EXPECT_EQ(model::g_airspaceFiles.size(), 1u);
    EXPECT_EQ(statuses, (std::vector<std::string>{"Looking for Airspace...", "Done"}));
    EXPECT_EQ(progress, (std::vector<std::pair<int, int>>{{0, 1}, {1, 1}}));
    // The class D circle of its file, then the terminal circle (it has both frequencies).
    ASSERT_EQ(model::g_airspaceCount, 2);
    EXPECT_EQ(model::g_airspaces.size(), 3u);
    EXPECT_EQ(model::g_airspaces[0].name, "ALPHA CLASS D");
    EXPECT_EQ(model::g_airspaces[0].classLabel, "Airspace Class D");
    EXPECT_EQ(model::g_airspaces[1].classLabel, "TRACON (Departure/Approach)");
    EXPECT_EQ(model::g_airspaces[1].frequencyList, "119.2 Mhz  123.9 Mhz  ");
}

TEST_F(AirportArea, ASecondAirportReplacesTheFirstSceneCompletely) {
    BuildAndOpen(*tools::PresetWorld("tiny", 1));
    ASSERT_TRUE(LoadAirport(0));
    ASSERT_EQ(model::g_airspaceCount, 2);
    // Opening the window again reads the database afresh.
    ASSERT_FALSE(ReadAirports());
    ASSERT_FALSE(ReadAirspaceFileList());
    ASSERT_TRUE(LoadAirport(3));
    EXPECT_EQ(model::g_airport.name, "Charlie Park");
    EXPECT_EQ(model::g_airport.ilsCount, 0);
    EXPECT_EQ(model::g_airport.runwayCount, 1);
    EXPECT_EQ(model::g_airspaceCount, 0);  // far from Alpha's airspace, no TRACON frequencies
    EXPECT_EQ(model::g_airspaces.size(), 1u);
}

TEST_F(AirportArea, ListedFilesThatAreGoneOrShortArePassedOver) {
    BuildAndOpen(*tools::PresetWorld("tiny", 1));
    model::g_airspaceFiles.insert(model::g_airspaceFiles.begin(),
                                  {"/no/such/file.bgl", "tiny.bgl"});
    model::g_airspaceFileCount += 2;
    WriteFile(m_root / "work" / "tiny.bgl", std::vector<std::uint8_t>(100, 0x21));
    std::vector<std::pair<int, int>> progress;
    ASSERT_TRUE(
        LoadAirport(0, {{}, [&](int done, int total) { progress.emplace_back(done, total); }}));
    EXPECT_EQ(progress.back(), std::make_pair(3, 3));
    EXPECT_EQ(model::g_airspaceCount, 2);
}

TEST_F(AirportArea, AnIndexThatNamesNoAirportChangesNothing) {
    SetNames({"One"});
    model::g_airport.name = "Loaded before";
    EXPECT_FALSE(LoadAirport(5));
    EXPECT_FALSE(LoadAirport(-1));
    EXPECT_EQ(model::g_airport.name, "Loaded before");
    EXPECT_EQ(model::g_airports.size(), 2u);
}

// A short or missing file is reported, and what was read stays. An empty file with a count of
// 0 is what a scenery without airports builds: nothing is wrong with it.
TEST_F(AirportArea, ShortMissingAndEmptyDatabases) {
    std::vector<model::AirportRecord> airports(3);
    airports[0].name = "Kept";
    airports[1].name = "Lost";
    std::vector<std::uint8_t> bytes = builder::EncodeAirportDatabase(airports, 2);
    bytes.resize(bytes.size() - 80);  // into the second record
    WriteFile(m_root / "work" / "world_airports.dat", bytes);
    model::g_airportCount = 2;
    const auto problem = ReadAirports();
    ASSERT_TRUE(problem);
    EXPECT_NE(problem->find("world_airports.dat"), std::string::npos);
    EXPECT_NE(problem->find("Create New Database"), std::string::npos);
    ASSERT_EQ(model::g_airports.size(), 3u);
    EXPECT_EQ(model::g_airports[0].name, "Kept");
    EXPECT_EQ(SearchAirport("e").size(), 1u);

    model::g_airspaceFileCount = 3;
    const auto missing = ReadAirspaceFileList();
    ASSERT_TRUE(missing);
    EXPECT_NE(missing->find("world_airspaces.lst"), std::string::npos);
    // Nothing to read: empty records only, as many as a file could be cut short to hold.
    EXPECT_EQ(model::g_airspaceFiles.size(), 2u);

    WriteFile(m_root / "work" / "world_airports.dat", {});
    WriteFile(m_root / "work" / "world_airspaces.lst", {});
    model::g_airportCount = 0;
    model::g_airspaceFileCount = 0;
    EXPECT_EQ(ReadAirports(), std::nullopt);
    EXPECT_EQ(ReadAirspaceFileList(), std::nullopt);
    EXPECT_EQ(model::g_airports.size(), 1u);
    EXPECT_TRUE(SearchAirport("a").empty());
    model::g_airportCount = 3;
    EXPECT_NE(ReadAirports(), std::nullopt);
}

}  // namespace
}  // namespace loader
