#pragma once

// The start-up check: presence of the program's three own files decides whether the user
// goes through setup and a database build, or straight to the Airport Area.

#include <string_view>

namespace app {

enum class StartupRoute { Setup, AirportArea };

// Reads the settings file into g_settings and copies its kind, path and counts into
// g_simKind, g_simPath, g_airportCount and g_airspaceFileCount. A missing or short file reads
// as far as it goes.
void ReadSettings(std::string_view fileName);

// The decision itself, without the windows: when a file is missing, deletes whichever of the
// three are left and flags a build; otherwise clears the flag and reads the settings.
StartupRoute DecideStartupRoute();

}  // namespace app
