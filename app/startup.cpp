#include "app/startup.h"

#include <array>
#include <string>

#include "model/own_files.h"
#include "model/settings_record.h"
#include "model/shared_state.h"
#include "platform/file_system.h"

namespace app {

void ReadSettings(std::string_view fileName) {
    const platform::FileSystem files;
    const auto bytes = files.ReadAll(platform::OwnFilePath(fileName));
    model::g_settings = bytes ? model::DecodeSettings(*bytes) : model::SettingsRecord{};
    model::g_simKind = model::g_settings.simKind;
    model::g_simPath = model::g_settings.simPath;
    model::g_airportCount = model::g_settings.airportCount;
    model::g_airspaceFileCount = model::g_settings.airspaceFileCount;
}

StartupRoute DecideStartupRoute() {
    const platform::FileSystem files;
    const std::array<std::string, 3> paths = {platform::OwnFilePath(model::kSettingsFileName),
                                              platform::OwnFilePath(model::kAirportsFileName),
                                              platform::OwnFilePath(model::kAirspacesFileName)};
    std::array<bool, 3> present{};
    for (std::size_t i = 0; i < paths.size(); ++i) {
        present[i] = files.FileExists(paths[i]);
    }
    if (present[0] && present[1] && present[2]) {
        model::g_buildPending = false;
        ReadSettings(model::kSettingsFileName);
        return StartupRoute::AirportArea;
    }
    // Setup and the build always start from nothing.
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (present[i]) {
            files.Remove(paths[i]);
        }
    }
    model::g_buildPending = true;
    return StartupRoute::Setup;
}

}  // namespace app
