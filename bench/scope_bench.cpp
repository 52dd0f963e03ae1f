// One full repaint of the scope (clear, layers, targets) of the world's largest airport with
// 40 aircraft on a 1920 x 1080 picture, at levels 9 and 16, against the same primitives
// drawn straight with QPainter.

#include <benchmark/benchmark.h>

#include <QImage>
#include <QPainter>
#include <array>
#include <cmath>

#include "bench/bench_world.h"
#include "loader/airport_area.h"
#include "model/shared_state.h"
#include "platform/recording_canvas.h"
#include "platform/ui/painter_canvas.h"
#include "radar/aids.h"
#include "radar/scope.h"

namespace bench {
namespace {

namespace fs = std::filesystem;

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

// The airport with the most to draw, loaded with its airspaces, and 40 aircraft around it;
// made once, and put back in the shared state before each benchmark, since the others
// interleaved with these reset it.
struct Scene {
    Scene() {
        const fs::path folder = ScratchFolder("tarvolo-bench-scope");
        BuildWorldDatabase(folder);
        const fs::path saved = fs::current_path();
        fs::current_path(folder);
        loader::ReadAirports();
        loader::ReadAirspaceFileList();
        fs::current_path(saved);
        std::size_t largest = 0;
        std::size_t most = 0;
        for (std::size_t i = 0; i + 1 < model::g_airports.size(); ++i) {
            const model::AirportRecord& a = model::g_airports[i];
            const std::size_t elements =
                a.taxiPaths.size() + a.parkings.size() + a.runways.size() + a.ilsList.size();
            if (elements > most) {
                most = elements;
                largest = i;
            }
        }
        loader::LoadAirport(static_cast<std::int64_t>(largest));
        model::g_trafficCount = 40;
        for (int i = 1; i <= 40; ++i) {
            model::TrafficEntry& row = model::g_traffic[static_cast<std::size_t>(i)];
            row.name = "TVO" + std::to_string(100 + i);
            row.altitude = 1000 * i;
            row.heading = (i * 37) % 360;
            row.latitude = model::g_airport.latitude + 0.3 * std::sin(i);
            row.longitude = model::g_airport.longitude + 0.3 * std::cos(i);
        }
        airport = model::g_airport;
        airspaces = model::g_airspaces;
        airspaceCount = model::g_airspaceCount;
        traffic = model::g_traffic;
    }

    void Restore() const {
        model::g_airport = airport;
        model::g_airspaces = airspaces;
        model::g_airspaceCount = airspaceCount;
        model::g_traffic = traffic;
        model::g_trafficCount = 40;
        model::g_showAirspaces = model::g_showAirportName = model::g_showILS = true;
        model::g_showTaxiways = model::g_showTaxiwayIds = model::g_showParkings = true;
    }

    model::AirportRecord airport;
    std::vector<model::AirspaceRecord> airspaces;
    std::int32_t airspaceCount = 0;
    std::array<model::TrafficEntry, model::kTrafficRows> traffic;
};

radar::View ViewAt(int level) {
    static const Scene scene;
    scene.Restore();
    radar::View view;
    view.m_scopeWidthPx = kWidth;
    view.m_scopeHeightPx = kHeight;
    radar::ResetView(view);
    radar::CenterView(view, model::g_airport.longitude, model::g_airport.latitude);
    while (view.m_zoomLevel < level) {
        radar::Zoom_In_Step(view);
    }
    return view;
}

void Repaint(benchmark::State& state) {
    const radar::View view = ViewAt(static_cast<int>(state.range(0)));
    QImage picture(kWidth, kHeight, QImage::Format_RGB32);
    std::size_t items = 0;
    {
        platform::RecordingCanvas counted(kWidth, kHeight);
        radar::Redraw_Scope(counted, view, {});
        radar::Draw_Targets(counted, view);
        items = counted.Items().size();
    }
    state.counters["primitives"] = static_cast<double>(items);
    for (auto _ : state) {
        platform::PainterCanvas canvas(picture);
        canvas.Clear();
        radar::Redraw_Scope(canvas, view, {});
        radar::Draw_Targets(canvas, view);
    }
}

// The same repaint with every controller aid on: rings, centrelines, history dots, vectors,
// two range and bearing lines, the predictive conflict alert, decluttered blocks with their
// speed line. Histories and conflicts are made per message-loop tick, not per repaint, so they
// are made once here: a minute of reports, one a second.
radar::TrafficHistory MinuteOfReports(int aircraft) {
    radar::TrafficHistory history;
    for (int t = 0; t <= 60; ++t) {
        for (int i = 1; i <= aircraft; ++i) {
            const model::TrafficEntry& row = model::g_traffic[static_cast<std::size_t>(
                (i - 1) % static_cast<int>(model::kTrafficRows - 1) + 1)];
            const double offset = 0.01 * (i / 40);
            history.Add(row.name + (i > 40 ? std::to_string(i) : std::string()),
                        {row.latitude - 0.0006 * (60 - t) + offset, row.longitude + offset,
                         row.altitude - 15 * (60 - t), static_cast<double>(t)});
        }
    }
    return history;
}

radar::AidSettings EveryAid() {
    radar::AidSettings aids;
    aids.rings = aids.trails = aids.conflicts = aids.centrelines = aids.vectors = true;
    aids.declutter = aids.speedLine = true;
    aids.conflictLateralNm = 15;  // some pairs in alert
    aids.conflictVerticalFt = 5000;
    return aids;
}

void RepaintWithAids(benchmark::State& state) {
    const radar::View view = ViewAt(static_cast<int>(state.range(0)));
    const radar::TrafficHistory history = MinuteOfReports(40);
    radar::BlockMemory blocks;
    radar::AidScene scene;
    scene.settings = EveryAid();
    scene.history = &history;
    scene.now = 60;
    scene.ground = {&model::g_airfields, &model::g_airport};
    scene.blocks = &blocks;
    scene.lines = {{{model::g_traffic[1].name, 0, 0}, {model::g_traffic[2].name, 0, 0}},
                   {{model::g_traffic[3].name, 0, 0},
                    {"", model::g_airport.latitude, model::g_airport.longitude}}};
    scene.conflicts = radar::FindConflicts(history, scene.settings, 60, scene.ground);
    state.counters["conflicts"] = static_cast<double>(scene.conflicts.size());
    QImage picture(kWidth, kHeight, QImage::Format_RGB32);
    for (auto _ : state) {
        platform::PainterCanvas canvas(picture);
        canvas.Clear();
        radar::DrawUnderlay(canvas, view, &scene);
        radar::Redraw_Scope(canvas, view, {});
        radar::DrawTrafficLayer(canvas, view, &scene);
    }
}

// The predictive conflict search of one message-loop tick over 200 aircraft.
void ConflictSearch(benchmark::State& state) {
    const radar::TrafficHistory history = MinuteOfReports(static_cast<int>(state.range(0)));
    const radar::AidSettings aids = EveryAid();
    std::size_t found = 0;
    for (auto _ : state) {
        const auto conflicts =
            radar::FindConflicts(history, aids, 60, {&model::g_airfields, &model::g_airport});
        found = conflicts.size();
        benchmark::DoNotOptimize(found);
    }
    state.counters["conflicts"] = static_cast<double>(found);
}

// The same primitives, recorded once, drawn with QPainter calls and nothing else.
void RepaintFloor(benchmark::State& state) {
    const radar::View view = ViewAt(static_cast<int>(state.range(0)));
    platform::RecordingCanvas recording(kWidth, kHeight);
    radar::Redraw_Scope(recording, view, {});
    radar::Draw_Targets(recording, view);
    QImage picture(kWidth, kHeight, QImage::Format_RGB32);
    for (auto _ : state) {
        picture.fill(Qt::black);
        QPainter painter(&picture);
        for (const platform::DrawnItem& item : recording.Items()) {
            const QColor pen(item.pen.red, item.pen.green, item.pen.blue);
            painter.setPen(
                QPen(pen, item.penWidth,
                     item.penStyle == platform::PenStyle::Solid ? Qt::SolidLine : Qt::DashLine));
            painter.setBrush(item.fillSolid
                                 ? QBrush(QColor(item.fill.red, item.fill.green, item.fill.blue))
                                 : QBrush(Qt::NoBrush));
            switch (item.kind) {
                case platform::DrawnItem::Kind::Line:
                    painter.drawLine(item.x1, item.y1, item.x2, item.y2);
                    break;
                case platform::DrawnItem::Kind::Ellipse:
                    painter.drawEllipse(
                        QRect(QPoint(item.x1, item.y1), QPoint(item.x2, item.y2)).normalized());
                    break;
                case platform::DrawnItem::Kind::Arc:
                    painter.drawArc(
                        QRect(QPoint(item.x1, item.y1), QPoint(item.x2, item.y2)).normalized(), 0,
                        90 * 16);
                    break;
                case platform::DrawnItem::Kind::Text:
                    painter.drawText(item.x1, item.y1 + 10, QString::fromStdString(item.text));
                    break;
                case platform::DrawnItem::Kind::Clear:
                    break;
            }
        }
    }
}

BENCHMARK(Repaint)
    ->Arg(9)
    ->Arg(16)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(0.3)
    ->Repetitions(5)
    ->ReportAggregatesOnly();
BENCHMARK(RepaintWithAids)
    ->Arg(9)
    ->Arg(16)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(0.3)
    ->Repetitions(5)
    ->ReportAggregatesOnly();
BENCHMARK(ConflictSearch)
    ->Arg(40)
    ->Arg(200)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(0.3)
    ->Repetitions(5)
    ->ReportAggregatesOnly();
BENCHMARK(RepaintFloor)
    ->Arg(9)
    ->Arg(16)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(0.3)
    ->Repetitions(5)
    ->ReportAggregatesOnly();

}  // namespace
}  // namespace bench
