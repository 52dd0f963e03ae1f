#pragma once

// The process-wide variables every window shares, one instance each. A window hands over to
// the next by setting these, then closing itself and showing the next window. Only the
// user-interface thread touches them, so there is no locking.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "model/records.h"

namespace directplay {
class DirectX7;
class DirectPlay4;
class ConnectionList;
class SessionList;
}  // namespace directplay

namespace model {

inline constexpr std::size_t kMagvarEntries = 65161;  // 181 latitudes x 360 longitudes
inline constexpr std::size_t kTrafficRows = 41;       // row 0 never used: at most 40 aircraft

// Settings and paths
extern SettingsRecord g_settings;
extern std::uint8_t g_simKind;  // 1 = Flight Simulator 2002
extern std::string g_simPath;   // simulator folder
extern bool g_buildPending;     // a database build is due

// Database in memory
extern std::vector<SceneryArea> g_sceneryAreas;  // indices 0..g_sceneryAreaCount
extern std::int16_t g_sceneryAreaCount;
extern std::vector<AirportRecord> g_airports;  // indices 0..g_airportCount
extern std::int32_t g_airportCount;
extern std::vector<std::string> g_airspaceFiles;  // indices 0..g_airspaceFileCount
extern std::int32_t g_airspaceFileCount;

// Magnetic variation, index (latitude + 90) + 181 * longitude for whole degrees, latitude
// -90..90 and longitude 0..359 east; an entry is in units of 360/65536 degree, positive when
// magnetic north lies east of true north. All zero until filled.
extern std::array<std::int16_t, kMagvarEntries> g_magvarTable;

// Loaded airport and airspaces
extern AirportRecord g_airport;
extern std::vector<AirspaceRecord> g_airspaces;  // 0..g_airspaceCount - 1 used, one spare
extern std::int32_t g_airspaceCount;

// Traffic
extern std::array<TrafficEntry, kTrafficRows> g_traffic;  // rows 1..g_trafficCount
extern std::int16_t g_trafficCount;

// Multiplayer link
extern std::shared_ptr<directplay::DirectX7> g_directX;
extern std::shared_ptr<directplay::DirectPlay4> g_directPlay;
extern std::shared_ptr<directplay::ConnectionList> g_connectionList;
extern std::shared_ptr<directplay::SessionList> g_sessionList;
// 0 until a player is created. DirectPlay never hands out 0 (it addresses every player), and
// any other value is a player: a Windows host XORs its IDs with a secret mask, so half of
// them are negative as signed numbers.
extern std::int32_t g_localPlayerId;
inline bool HasLocalPlayer() {
    return g_localPlayerId != 0;
}
extern bool g_sessionJoined;  // the host has accepted the local player
extern bool g_connected;      // attached, the radar window is the working window

// Display options
extern bool g_showAirspaces;
extern bool g_showAirportName;
extern bool g_showILS;
extern bool g_showTaxiways;
extern bool g_showTaxiwayIds;
extern bool g_showParkings;
extern bool g_pointerDown;  // the left button is held on the scope

// Puts every shared variable back to its program-start value: empty, zero or false, the
// variation grid all zero. For tests, which run many program starts in one process.
void ResetSharedState();

}  // namespace model
