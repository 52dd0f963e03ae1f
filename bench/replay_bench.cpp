// Seeking in the replay window: an hour of a session of 40 aircraft, one report a second each
// and a roll call every 30 s, with the Traffic List open, beside playing the recording to its
// end without drawing.

#include <benchmark/benchmark.h>

#include <QAction>
#include <QDir>
#include <filesystem>
#include <memory>

#include "app/app_windows.h"
#include "app/form1.h"
#include "link/recording.h"
#include "model/shared_state.h"
#include "platform/ui/windows.h"
#include "tools/simhost/mp_messages.h"

namespace bench {
namespace {

constexpr int kAircraft = 40;
constexpr int kSeconds = 3600;

// Written once per run, in the temporary folder.
const std::string& HourOfSession() {
    static const std::string path = [] {
        const std::string file =
            (std::filesystem::temp_directory_path() / "tarvolo-bench-hour.tvr").string();
        std::filesystem::remove(file);
        mplink::RecordingWriter writer;
        writer.Open(file, 0, "Bench Field");
        auto name = [](int i) { return "BN" + std::to_string(100 + i); };
        for (int t = 0; t < kSeconds; ++t) {
            const std::int64_t ms = 1000LL * t;
            if (t % 30 == 0 && t > 0)
                writer.RollCall(ms - 500);
            for (int i = 1; i <= kAircraft; ++i) {
                if (t % 30 == 0)
                    writer.Message(
                        {ms + 1, i, 0, name(i), mplink::PlayerHereMessage(i), {{i, name(i)}}});
                const simhost::AircraftState state{47 + 0.002 * i + 0.0005 * (t % 600),
                                                   -122 + 0.003 * i, 3000.0 + 10 * i, 90};
                writer.Message(
                    {ms + 2, i, 0, name(i), simhost::EncodePosition(state, 0, t), {{i, name(i)}}});
            }
            writer.Tick(ms + 999);
        }
        writer.Close();
        return file;
    }();
    return path;
}

// A replay window on the hour, the Traffic List open or not.
std::unique_ptr<app::Form1> OpenReplay(bool withList) {
    app::RegisterAppWindows();  // the Traffic List opens through the window registry
    model::ResetSharedState();
    model::g_connected = model::g_sessionJoined = true;
    model::g_localPlayerId = 1;
    auto form = std::make_unique<app::Form1>();
    form->StartReplay(std::make_unique<mplink::RecordingReader>(HourOfSession()));
    form->Timer1->stop();
    form->Timer2->stop();
    if (withList)
        form->ToolbarButton(6)->trigger();
    return form;
}

void CloseLists() {
    if (QWidget* list = platform::ExistingWindow(QStringLiteral("Form11")))
        delete list;
}

// From the end back to the start.
void ReplaySeekToStart(benchmark::State& state) {
    auto form = OpenReplay(true);
    const int end = static_cast<int>(form->ReplayTicks());
    for (auto _ : state) {
        state.PauseTiming();
        form->ReplaySeek(end);
        state.ResumeTiming();
        form->ReplaySeek(0);
    }
    CloseLists();
}

// From the end one tick back: the whole hour played again, without drawing.
void ReplaySeekBackOne(benchmark::State& state) {
    auto form = OpenReplay(true);
    const int end = static_cast<int>(form->ReplayTicks());
    for (auto _ : state) {
        state.PauseTiming();
        form->ReplaySeek(end);
        state.ResumeTiming();
        form->ReplaySeek(end - 1);
    }
    CloseLists();
}

// The floor: the hour played from its start to its end without drawing, the list closed.
void ReplayPlayThrough(benchmark::State& state) {
    auto form = OpenReplay(false);
    const int end = static_cast<int>(form->ReplayTicks());
    for (auto _ : state) {
        state.PauseTiming();
        form->ReplaySeek(0);
        state.ResumeTiming();
        form->ReplaySeek(end);
    }
}

BENCHMARK(ReplaySeekToStart)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->Repetitions(3)
    ->ReportAggregatesOnly();
BENCHMARK(ReplaySeekBackOne)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly();
BENCHMARK(ReplayPlayThrough)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly();

}  // namespace
}  // namespace bench
