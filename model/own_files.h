#pragma once

// The program's three own files, always in the current working directory.
namespace model {

inline constexpr const char* kSettingsFileName = "atc_settings.tcs";
inline constexpr const char* kAirportsFileName = "world_airports.dat";
inline constexpr const char* kAirspacesFileName = "world_airspaces.lst";

}  // namespace model
