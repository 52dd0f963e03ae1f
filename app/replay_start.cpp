#include "app/replay_start.h"

#include <cmath>
#include <limits>

#include "app/form1.h"
#include "app/startup.h"
#include "link/recording.h"
#include "loader/airport_area.h"
#include "model/own_files.h"
#include "model/shared_state.h"
#include "platform/file_system.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/widget_text.h"
#include "platform/ui/windows.h"
#include "radar/aids.h"

namespace app {
namespace {

// Where the recorded traffic first was: the first position in the recording.
std::optional<std::pair<double, double>> FirstPosition(mplink::RecordingReader& reader) {
    const mplink::RecordingReader::Place start = reader.Tell();
    std::optional<std::pair<double, double>> found;
    for (int ticks = 0; !found && ticks < 600; ++ticks) {
        const auto tick = reader.Next();
        if (!tick)
            break;
        for (const auto& message : tick->messages)
            if (!found)
                found = mplink::PositionOfMessage(message.data);
    }
    reader.Seek(start);
    return found;
}

// A recording watched without an airport: the user picks one, the nearest to the recorded
// traffic offered first.
std::optional<std::int64_t> ChooseAirport(mplink::RecordingReader& reader) {
    const auto& airports = model::g_airports;
    const std::size_t count =
        std::min(static_cast<std::size_t>(std::max(model::g_airportCount, 0)) + 1, airports.size());
    QStringList names;
    int nearest = 0;
    double best = std::numeric_limits<double>::max();
    const auto first = FirstPosition(reader);
    for (std::size_t i = 0; i < count; ++i) {
        if (airports[i].name.empty())
            continue;
        if (first) {
            const double nm = radar::DistanceNm(first->first, first->second, airports[i].latitude,
                                                airports[i].longitude);
            if (nm < best) {
                best = nm;
                nearest = static_cast<int>(names.size());
            }
        }
        names.append(platform::ToQt(airports[i].name) + QStringLiteral("   Index: ") +
                     QString::number(i));
    }
    if (names.isEmpty())
        return std::nullopt;
    const auto chosen = platform::ChooseItem(
        nullptr, QStringLiteral("Tarvolo Replay"),
        QStringLiteral("The recording names no airport. Show it at:"), names, nearest);
    if (!chosen)
        return std::nullopt;
    return loader::IndexOfLine(platform::FromQt(names[*chosen]));
}

}  // namespace

std::optional<QString> OpenReplay(const QString& path) {
    auto reader = std::make_unique<mplink::RecordingReader>(path.toStdString());
    if (!reader->Usable())
        return platform::ToQt(reader->Problem(path.toStdString()));
    const platform::FileSystem files;
    for (const char* name : {model::kSettingsFileName, model::kAirportsFileName})
        if (!files.FileExists(platform::OwnFilePath(name)))
            return QStringLiteral(
                "Replaying a session needs the airport database in this folder: start Tarvolo "
                "here once to build it.");
    ReadSettings(model::kSettingsFileName);
    if (const auto problem = loader::ReadAirports())
        return platform::ToQt(*problem);
    (void)loader::ReadAirspaceFileList();
    (void)loader::ReadMagvars();
    // The recorded index when it still names the recorded airport, otherwise the name; for a
    // recording without one, the user's choice.
    const mplink::RecordingHeader& header = reader->Header();
    std::optional<std::int64_t> index;
    const auto& airports = model::g_airports;
    const std::int64_t recorded = header.airportIndex;
    if (recorded < 0 && header.airportName.empty()) {
        index = ChooseAirport(*reader);
        if (!index)
            return QStringLiteral("No airport was chosen to show the recording at.");
    }
    if (!index && recorded >= 0 && static_cast<std::size_t>(recorded) + 1 < airports.size() &&
        airports[static_cast<std::size_t>(recorded)].name == header.airportName)
        index = recorded;
    for (std::size_t i = 0; !index && !header.airportName.empty() && i + 1 < airports.size(); ++i)
        if (airports[i].name == header.airportName)
            index = static_cast<std::int64_t>(i);
    if (!index || !loader::LoadAirport(*index))
        return QStringLiteral("The recorded airport \"%1\" is not in the database of this folder.")
            .arg(platform::ToQt(header.airportName));
    // The loop runs as in a joined session, with the recorder's player, which sends nothing.
    model::g_connected = model::g_sessionJoined = true;
    model::g_localPlayerId = header.localPlayer.value_or(1);
    auto* form = qobject_cast<Form1*>(platform::ShowWindow(QStringLiteral("Form1")));
    if (!form)
        return QStringLiteral("The main window cannot be opened.");
    form->StartReplay(std::move(reader));
    return std::nullopt;
}

}  // namespace app
