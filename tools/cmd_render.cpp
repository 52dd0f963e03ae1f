// render: the radar scope of one airport at a zoom level, with traffic, to a PNG; painted by
// the program's own painters as the main window would paint it.

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cstdio>
#include <optional>
#include <tuple>

#include "model/airfields.h"
#include "model/shared_state.h"
#include "platform/ansi.h"
#include "platform/ui/painter_canvas.h"
#include "radar/aids.h"
#include "radar/scope.h"
#include "radar/view.h"
#include "tools/commands.h"

namespace tools {
namespace {

// Rows of the traffic table from a JSON array, or from the "traffic" of an object. An aircraft
// may carry a "history" of earlier positions (oldest first, "t" in seconds) for the aids; its
// own position comes a second after the last of them unless it has a "t" of its own.
bool ReadTraffic(const QString& path, radar::TrafficHistory& history, double& now) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
        return false;
    }
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll());
    const QJsonArray rows =
        document.isArray() ? document.array() : document.object().value("traffic").toArray();
    model::g_trafficCount = 0;
    for (const QJsonValue& value : rows) {
        if (model::g_trafficCount >= static_cast<std::int16_t>(model::kTrafficRows - 1)) {
            break;  // at most 40 aircraft
        }
        const QJsonObject row = value.toObject();
        model::TrafficEntry& entry =
            model::g_traffic[static_cast<std::size_t>(++model::g_trafficCount)];
        entry.name = platform::Utf8ToAnsi(row.value("name").toString().toStdString());
        entry.altitude = row.value("altitude").toInt();
        entry.heading = row.value("heading").toDouble();
        entry.latitude = row.value("latitude").toDouble();
        entry.longitude = row.value("longitude").toDouble();
        double last = 0;
        for (const QJsonValue& earlier : row.value("history").toArray()) {
            const QJsonObject point = earlier.toObject();
            last = point.value("t").toDouble();
            history.Add(entry.name,
                        {point.value("latitude").toDouble(), point.value("longitude").toDouble(),
                         point.value("altitude").toInt(), last});
        }
        const double t = row.value("t").toDouble(last + 1);
        history.Add(entry.name, {entry.latitude, entry.longitude, entry.altitude, t});
        now = std::max(now, t);  // the picture is of the newest report
    }
    return true;
}

// "rings,trails,filter=LOW:HIGH,conflicts,declutter,speed,history=N:S,vector=MIN,
// rbl=CALLSIGN:CALLSIGN,centrelines"
struct RenderAids {
    radar::AidSettings settings;
    std::vector<radar::RangeBearingLine> lines;
};

std::optional<std::pair<int, int>> Pair(const QString& text) {
    const QStringList parts = text.split(':');
    bool firstOk = false;
    bool secondOk = false;
    const int first = parts.value(0).toInt(&firstOk);
    const int second = parts.value(1).toInt(&secondOk);
    if (parts.size() != 2 || !firstOk || !secondOk)
        return std::nullopt;
    return std::pair(first, second);
}

std::optional<RenderAids> ParseAids(const QString& list) {
    RenderAids render;
    radar::AidSettings& aids = render.settings;
    for (const QString& item : list.split(',', Qt::SkipEmptyParts)) {
        if (item == "rings") {
            aids.rings = true;
        } else if (item == "trails") {
            aids.trails = true;
        } else if (item == "conflicts") {
            aids.conflicts = true;
        } else if (item == "declutter") {
            aids.declutter = true;
        } else if (item == "speed") {
            aids.speedLine = true;
        } else if (item == "centrelines") {
            aids.centrelines = true;
        } else if (item.startsWith("filter=")) {
            const auto bounds = Pair(item.mid(7));
            if (!bounds)
                return std::nullopt;
            aids.filter = true;
            std::tie(aids.filterLowFt, aids.filterHighFt) = *bounds;
        } else if (item.startsWith("history=")) {
            const auto dots = Pair(item.mid(8));
            if (!dots || dots->first < 1 || dots->first > 20 || dots->second < 1 ||
                dots->second > 60)
                return std::nullopt;
            aids.trails = true;
            std::tie(aids.historyDots, aids.historySeconds) = *dots;
        } else if (item.startsWith("vector=")) {
            bool ok = false;
            aids.vectors = true;
            aids.vectorMinutes = item.mid(7).toInt(&ok);
            if (!ok ||
                (aids.vectorMinutes != 1 && aids.vectorMinutes != 2 && aids.vectorMinutes != 5))
                return std::nullopt;
        } else if (item.startsWith("rbl=")) {
            const QStringList ends = item.mid(4).split(':');
            if (ends.size() != 2 || ends[0].isEmpty() || ends[1].isEmpty())
                return std::nullopt;
            auto end = [](const QString& callsign) {
                return radar::LineEnd{platform::Utf8ToAnsi(callsign.toStdString()), 0, 0};
            };
            render.lines.push_back({end(ends[0]), end(ends[1])});
        } else {
            return std::nullopt;
        }
    }
    return render;
}

}  // namespace

int Render(const QStringList& args) {
    QString trafficFile;
    QString out;
    int zoom = radar::kStartLevel;
    int width = radar::kDesignWidthPx;
    int height = radar::kDesignHeightPx;
    std::optional<RenderAids> aids;
    bool usage = args.size() < 2;
    for (int i = 2; i + 1 < args.size() + 1 && !usage; i += 2) {
        const QString value = args.value(i + 1);
        if (args[i] == "--zoom") {
            zoom = value.toInt(&usage);
            usage = !usage || zoom < radar::kWidestLevel || zoom > radar::kClosestLevel;
        } else if (args[i] == "--traffic") {
            trafficFile = value;
        } else if (args[i] == "--out") {
            out = value;
        } else if (args[i] == "--size") {
            const QStringList parts = value.split('x');
            width = parts.value(0).toInt();
            height = parts.value(1).toInt();
            usage = parts.size() != 2 || width < 16 || height < 16 || width > 8000 || height > 8000;
        } else if (args[i] == "--aids") {
            aids = ParseAids(value);
            usage = !aids.has_value();
        } else if (args[i] == "--sim") {
            // handled below
        } else {
            usage = true;
        }
        if (value.isEmpty()) {
            usage = true;
        }
    }
    bool indexOk = false;
    const qlonglong index = args.value(1).toLongLong(&indexOk);
    if (usage || !indexOk || out.isEmpty()) {
        std::fputs(
            "usage: tarvolo-tool render DIR INDEX --zoom N [--traffic FILE.json] "
            "[--size WxH] [--sim SIMDIR] [--aids rings,trails,filter=LOW:HIGH,conflicts,"
            "declutter,speed,history=N:S,vector=MIN,rbl=CALLSIGN:CALLSIGN,centrelines] "
            "--out FILE.png\n",
            stderr);
        return 2;
    }
    const int sim = static_cast<int>(args.indexOf("--sim"));
    const QString outPath = QFileInfo(out).absoluteFilePath();
    const QString trafficPath =
        trafficFile.isEmpty() ? QString() : QFileInfo(trafficFile).absoluteFilePath();
    const int status = LoadScene(args[0], index, sim > 0 ? args.value(sim + 1) : QString());
    if (status != 0 && model::g_airport.name.empty()) {
        return status;
    }
    radar::TrafficHistory history;
    double now = 0;
    if (!trafficPath.isEmpty() && !ReadTraffic(trafficPath, history, now)) {
        return 1;
    }
    // As the main window's load: every display option on, the view centred on the airport.
    model::g_showAirspaces = model::g_showAirportName = model::g_showILS = true;
    model::g_showTaxiways = model::g_showTaxiwayIds = model::g_showParkings = true;
    radar::View view;
    view.m_scopeWidthPx = width;
    view.m_scopeHeightPx = height;
    radar::ResetView(view);
    radar::CenterView(view, model::g_airport.longitude, model::g_airport.latitude);
    while (view.m_zoomLevel < zoom) {
        radar::Zoom_In_Step(view);
    }
    QImage image(width, height, QImage::Format_RGB32);
    {
        platform::PainterCanvas canvas(image);
        canvas.Clear();
        if (!aids) {
            radar::Redraw_Scope(canvas, view, {});
            radar::Draw_Targets(canvas, view);
        } else {
            radar::AidScene scene;
            scene.settings = aids->settings;
            scene.history = &history;
            scene.now = now;
            scene.ground = {&model::g_airfields, &model::g_airport};
            scene.lines = aids->lines;
            if (aids->settings.conflicts)
                scene.conflicts = radar::FindConflicts(history, aids->settings, now, scene.ground);
            radar::DrawUnderlay(canvas, view, &scene);
            radar::Redraw_Scope(canvas, view, {});
            radar::DrawTrafficLayer(canvas, view, &scene);
        }
    }
    if (!image.save(outPath, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(outPath));
        return 1;
    }
    return status;
}

}  // namespace tools
