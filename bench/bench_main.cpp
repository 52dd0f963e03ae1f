// Runs every benchmark as interleaved repetitions and prints the figures the targets speak of,
// each measured side by side with its floor in the same run.

#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <QApplication>

#include <chrono>
#include <cstdio>
#include <vector>

#include "bench/bench_world.h"
#include "builder/database_builder.h"
#include "model/settings_record.h"
#include "model/shared_state.h"
#include "platform/ansi.h"

namespace bench {

namespace fs = std::filesystem;

fs::path SimFolder() {
    static const fs::path folder = [] {
        const char* given = std::getenv("TARVOLO_BENCH_SIM");
        return fs::absolute(given ? fs::path(given) : fs::path("bench-sim"));
    }();
    return folder;
}

fs::path ScratchFolder(const std::string& name) {
    const fs::path shm = "/dev/shm";
    const fs::path folder = (fs::is_directory(shm) ? shm : fs::temp_directory_path()) / name;
    fs::create_directories(folder);
    return folder;
}

BuildStages BuildWorldDatabase(const fs::path& folder) {
    const fs::path saved = fs::current_path();
    fs::current_path(folder);
    model::ResetSharedState();
    model::g_simPath = platform::Utf8ToAnsi(SimFolder().string());
    model::g_simKind = 1;
    model::g_buildPending = true;
    model::g_settings = {model::kSettingsVersion, 1, 1, model::g_simPath, 0, 0};
    using Clock = std::chrono::steady_clock;
    auto ms = [](Clock::duration duration) {
        return std::chrono::duration<double, std::milli>(duration).count();
    };
    BuildStages stages;
    const auto start = Clock::now();
    builder::DatabaseBuilder databaseBuilder;
    databaseBuilder.Discover();
    const auto discovered = Clock::now();
    while (databaseBuilder.Step() != builder::DatabaseBuilder::StepResult::AllDone) {
    }
    const auto stepped = Clock::now();
    databaseBuilder.Finish();
    stages = {ms(discovered - start), ms(stepped - discovered), ms(Clock::now() - stepped)};
    fs::current_path(saved);
    return stages;
}

extern double g_coordinationBytesPerControllerSecond;

std::map<std::string, double>& Medians() {
    static std::map<std::string, double> medians;
    return medians;
}

namespace {

class MedianReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
                std::string name = run.run_name.function_name;
                if (!run.run_name.args.empty()) {
                    name += "/" + run.run_name.args;
                }
                Medians()[name] = run.GetAdjustedRealTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

void Ratio(const char* what, const char* measured, const char* floor, double target) {
    const double a = Medians()[measured];
    const double b = Medians()[floor];
    if (a > 0 && b > 0) {
        std::printf("%-44s %8.2f ms / %8.2f ms = %.2f (target at most %.2f)\n", what, a, b, a / b,
                    target);
    }
}

void Figure(const char* what, const char* measured, double target) {
    const double a = Medians()[measured];
    if (a > 0) {
        std::printf("%-44s %8.3f ms (target under %.0f ms)\n", what, a, target);
    }
}

}  // namespace
}  // namespace bench

int main(int argc, char** argv) {
    // The scope's texts need the GUI side of Qt, with no screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);  // the replay rows open windows
    std::vector<char*> args(argv, argv + argc);
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    args.push_back(interleave);
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    if (!std::filesystem::is_directory(bench::SimFolder())) {
        std::fprintf(stderr, "no simulator folder at %s (set TARVOLO_BENCH_SIM)\n",
                     bench::SimFolder().c_str());
        return 1;
    }
    bench::MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("\nmedians of interleaved repetitions\n");
    bench::Ratio("database build / reading every file whole", "BuildDatabase", "ReadEveryFile",
                 1.5);
    bench::Figure("reading the 21,000-airport database", "ReadDatabase", 300);
    bench::Figure("one search over every airport name", "SearchAirport", 2);
    bench::Ratio("GET AIRPORT's airspace scan / reading its files", "ScanAirspaces",
                 "ReadAirspaceFiles", 1.5);
    bench::Figure("one repaint at level 9, 1920 x 1080, 40 aircraft", "Repaint/9", 10);
    bench::Figure("one repaint at level 16", "Repaint/16", 10);
    bench::Figure("one repaint with every aid on, level 9", "RepaintWithAids/9", 5);
    bench::Figure("one repaint with every aid on, level 16", "RepaintWithAids/16", 5);
    bench::Figure("predictive conflict search, 200 aircraft", "ConflictSearch/200", 2);
    bench::Figure("replay: seek from the end of an hour to its start", "ReplaySeekToStart", 200);
    bench::Ratio("replay: seek back one tick / play it through", "ReplaySeekBackOne",
                 "ReplayPlayThrough", 1.1);
    bench::Ratio("repaint / its primitives straight, level 9", "Repaint/9", "RepaintFloor/9", 1.5);
    bench::Ratio("repaint / its primitives straight, level 16", "Repaint/16", "RepaintFloor/16",
                 1.5);
    if (const double ms = bench::Medians()["CoordinationSecond"]; ms > 0) {
        // One second of ten controllers: a tenth of it is one controller's share.
        std::printf("%-44s %8.3f %% of a core (target under 1 %%)\n",
                    "coordination, 10 controllers, 100 aircraft", ms / 10 / 1000 * 100);
        std::printf("%-44s %8.0f B/s (target under 1000 B/s)\n", "coordination sent per controller",
                    bench::g_coordinationBytesPerControllerSecond);
    }
    std::printf("%-44s %8.1f MB (target under 300 MB)\n", "peak memory of the run",
                static_cast<double>(usage.ru_maxrss) / 1024.0);
    return 0;
}
