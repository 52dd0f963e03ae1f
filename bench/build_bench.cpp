// The database build against the I/O floor: reading every file of the simulator folder whole.

#include <benchmark/benchmark.h>

#include <fstream>
#include <vector>

#include "bench/bench_world.h"
#include "model/shared_state.h"

namespace bench {
namespace {

namespace fs = std::filesystem;

void ReadEveryFile(benchmark::State& state) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(SimFolder())) {
        if (entry.is_regular_file()) {
            files.push_back(entry.path());
        }
    }
    for (auto _ : state) {
        std::size_t bytes = 0;
        for (const fs::path& path : files) {
            std::ifstream in(path, std::ios::binary | std::ios::ate);
            std::vector<char> content(static_cast<std::size_t>(in.tellg()));
            in.seekg(0);
            in.read(content.data(), static_cast<std::streamsize>(content.size()));
            bytes += content.size();
        }
        benchmark::DoNotOptimize(bytes);
    }
}

void BuildDatabase(benchmark::State& state) {
    const fs::path work = ScratchFolder("tarvolo-bench-build");
    BuildStages total;
    for (auto _ : state) {
        const BuildStages stages = BuildWorldDatabase(work);
        total.discover += stages.discover;
        total.steps += stages.steps;
        total.finish += stages.finish;
    }
    // Where the time goes: discovery (grid, scenery.cfg, folders, counting), one step per
    // file, and writing the three files.
    const auto runs = static_cast<double>(state.iterations());
    state.counters["discover_ms"] = total.discover / runs;
    state.counters["steps_ms"] = total.steps / runs;
    state.counters["finish_ms"] = total.finish / runs;
    state.counters["airports"] = model::g_airportCount;
    fs::remove_all(work);
}

// Repetitions interleaved at random, so that a slow moment of the machine falls on both.
BENCHMARK(ReadEveryFile)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(0.5)
    ->Repetitions(9)
    ->ReportAggregatesOnly();
BENCHMARK(BuildDatabase)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(0.5)
    ->Repetitions(9)
    ->ReportAggregatesOnly();

}  // namespace
}  // namespace bench
