// The database build against the I/O floor: reading every file of the simulator folder whole,
// in the same run with a warm cache. Prints both times, their ratio and the peak memory.

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "builder/database_builder.h"
#include "model/settings_record.h"
#include "model/shared_state.h"

namespace fs = std::filesystem;

namespace {

fs::path SimFolder() {
    static const fs::path folder = [] {
        const char* given = std::getenv("TARVOLO_BENCH_SIM");
        return fs::absolute(given ? fs::path(given) : fs::path("bench-sim"));
    }();
    return folder;
}

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
    // The files are written to memory-backed storage where there is one: the rename over the
    // previous run's database would otherwise start its write-back to disk on every run.
    const fs::path shm = "/dev/shm";
    const fs::path work =
        (fs::is_directory(shm) ? shm : fs::temp_directory_path()) / "tarvolo-bench-work";
    fs::create_directories(work);
    const fs::path saved = fs::current_path();
    fs::current_path(work);
    double discoverMs = 0;
    double stepsMs = 0;
    double finishMs = 0;
    for (auto _ : state) {
        model::ResetSharedState();
        model::g_simPath = SimFolder().string();
        model::g_simKind = 1;
        model::g_buildPending = true;
        model::g_settings = {model::kSettingsVersion, 1, 1, model::g_simPath, 0, 0};
        using Clock = std::chrono::steady_clock;
        const auto start = Clock::now();
        builder::DatabaseBuilder databaseBuilder;
        databaseBuilder.Discover();
        const auto discovered = Clock::now();
        while (databaseBuilder.Step() != builder::DatabaseBuilder::StepResult::AllDone) {
        }
        const auto stepped = Clock::now();
        if (databaseBuilder.Finish()) {
            state.SkipWithError("the database could not be written");
        }
        const auto finished = Clock::now();
        auto ms = [](auto duration) {
            return std::chrono::duration<double, std::milli>(duration).count();
        };
        discoverMs += ms(discovered - start);
        stepsMs += ms(stepped - discovered);
        finishMs += ms(finished - stepped);
        state.counters["airports"] = model::g_airportCount;
    }
    // Where the time goes, per build: discovery, the file steps, writing the files.
    const auto runs = static_cast<double>(state.iterations());
    state.counters["discover_ms"] = discoverMs / runs;
    state.counters["steps_ms"] = stepsMs / runs;
    state.counters["finish_ms"] = finishMs / runs;
    fs::current_path(saved);
    fs::remove_all(work);
}

// Repetitions of the two, interleaved at random, so that a slow moment of the machine falls on
// both alike; the ratio is taken of the medians.
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

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
                m_times[run.run_name.function_name] = run.GetAdjustedRealTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    double Time(const std::string& name) const {
        const auto it = m_times.find(name);
        return it == m_times.end() ? 0 : it->second;
    }

private:
    std::map<std::string, double> m_times;
};

}  // namespace

int main(int argc, char** argv) {
    std::vector<char*> args(argv, argv + argc);
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    args.push_back(interleave);
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    if (!fs::is_directory(SimFolder())) {
        std::fprintf(stderr, "no simulator folder at %s (set TARVOLO_BENCH_SIM)\n",
                     SimFolder().c_str());
        return 1;
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double floor = reporter.Time("ReadEveryFile");
    const double build = reporter.Time("BuildDatabase");
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("\nmedians of 9 interleaved repetitions\n");
    std::printf("I/O floor (read every file whole): %.1f ms\n", floor);
    std::printf("database build:                    %.1f ms\n", build);
    if (floor > 0) {
        std::printf("build / floor ratio:               %.2f (target at most 1.50)\n",
                    build / floor);
    }
    std::printf("peak memory of the run:            %.1f MB (target under 300 MB)\n",
                static_cast<double>(usage.ru_maxrss) / 1024.0);
    return 0;
}
