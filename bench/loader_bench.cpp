// The Airport Area on the world database: reading it, searching it, and GET AIRPORT's
// airspace scan against reading the listed files whole.

#include <benchmark/benchmark.h>

#include "bench/bench_world.h"
#include "loader/airport_area.h"
#include "model/shared_state.h"
#include "platform/file_system.h"
#include "platform/raw_file.h"

namespace bench {
namespace {

namespace fs = std::filesystem;

// The world database, built once, read into memory as the Airport Area reads it.
struct OpenedDatabase {
    OpenedDatabase() {
        folder = ScratchFolder("tarvolo-bench-db");
        BuildWorldDatabase(folder);
        airportCount = model::g_airportCount;
        fileCount = model::g_airspaceFileCount;
        simPath = model::g_simPath;
        const fs::path saved = fs::current_path();
        fs::current_path(folder);
        loader::ReadAirports();
        loader::ReadAirspaceFileList();
        fs::current_path(saved);
        airports = model::g_airports;
        files = model::g_airspaceFiles;
    }

    fs::path folder;
    std::int32_t airportCount = 0;
    std::int32_t fileCount = 0;
    std::string simPath;
    std::vector<model::AirportRecord> airports;
    std::vector<std::string> files;
};

OpenedDatabase& Database() {
    static OpenedDatabase database;
    return database;
}

void ReadDatabase(benchmark::State& state) {
    OpenedDatabase& database = Database();
    const fs::path saved = fs::current_path();
    fs::current_path(database.folder);
    for (auto _ : state) {
        model::g_airportCount = database.airportCount;
        benchmark::DoNotOptimize(loader::ReadAirports());
    }
    fs::current_path(saved);
}

void SearchAirport(benchmark::State& state) {
    model::g_airports = Database().airports;
    model::g_airportCount = Database().airportCount;
    for (auto _ : state) {
        benchmark::DoNotOptimize(loader::SearchAirport("field 12"));
    }
}

void ReadAirspaceFiles(benchmark::State& state) {
    OpenedDatabase& database = Database();
    const platform::FileSystem files(database.simPath);
    for (auto _ : state) {
        std::size_t bytes = 0;
        for (std::int32_t i = 0; i < database.fileCount; ++i) {
            const auto path = files.Resolve(database.files[static_cast<std::size_t>(i)]);
            if (const auto content = platform::RawFile(*path).ReadAll()) {
                bytes += content->size();
            }
        }
        benchmark::DoNotOptimize(bytes);
    }
}

void ScanAirspaces(benchmark::State& state) {
    OpenedDatabase& database = Database();
    model::g_simPath = database.simPath;
    for (auto _ : state) {
        // One airport in memory, as GET AIRPORT leaves the database just before its scan.
        model::g_airports = {database.airports[0], {}};
        model::g_airportCount = 1;
        model::g_airspaceFiles = database.files;
        model::g_airspaceFileCount = database.fileCount;
        loader::LoadAirport(0);
    }
    state.counters["airspaces"] = model::g_airspaceCount;
}

BENCHMARK(ReadDatabase)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(0.5)
    ->Repetitions(9)
    ->ReportAggregatesOnly();
BENCHMARK(SearchAirport)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(0.2)
    ->Repetitions(9)
    ->ReportAggregatesOnly();
BENCHMARK(ReadAirspaceFiles)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(0.5)
    ->Repetitions(9)
    ->ReportAggregatesOnly();
BENCHMARK(ScanAirspaces)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(0.5)
    ->Repetitions(9)
    ->ReportAggregatesOnly();

}  // namespace
}  // namespace bench
