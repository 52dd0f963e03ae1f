#include "app/replay_start.h"

#include "app/form1.h"
#include "app/startup.h"
#include "link/recording.h"
#include "loader/airport_area.h"
#include "model/own_files.h"
#include "model/shared_state.h"
#include "platform/file_system.h"
#include "platform/ui/widget_text.h"
#include "platform/ui/windows.h"

namespace app {

std::optional<QString> OpenReplay(const QString& path) {
    auto recording = mplink::ReadRecording(path.toStdString());
    if (!recording)
        return QStringLiteral("The file %1 is not a Tarvolo session recording.").arg(path);
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
    // The recorded index when it still names the recorded airport, otherwise the name.
    std::optional<std::int64_t> index;
    const auto& airports = model::g_airports;
    const std::int64_t recorded = recording->airportIndex;
    if (recorded >= 0 && static_cast<std::size_t>(recorded) + 1 < airports.size() &&
        airports[static_cast<std::size_t>(recorded)].name == recording->airportName)
        index = recorded;
    for (std::size_t i = 0; !index && !recording->airportName.empty() && i + 1 < airports.size();
         ++i)
        if (airports[i].name == recording->airportName)
            index = static_cast<std::int64_t>(i);
    if (!index || !loader::LoadAirport(*index))
        return QStringLiteral("The recorded airport \"%1\" is not in the database of this folder.")
            .arg(platform::ToQt(recording->airportName));
    // The loop runs as in a joined session, with a player of its own that sends nothing.
    model::g_connected = model::g_sessionJoined = true;
    model::g_localPlayerId = 1;
    auto* form = qobject_cast<Form1*>(platform::ShowWindow(QStringLiteral("Form1")));
    if (!form)
        return QStringLiteral("The main window cannot be opened.");
    form->StartReplay(std::move(*recording));
    return std::nullopt;
}

}  // namespace app
