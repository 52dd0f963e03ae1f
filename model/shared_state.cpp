#include "model/shared_state.h"

#include "model/airfields.h"

namespace model {

SettingsRecord g_settings;
std::uint8_t g_simKind = 0;
std::string g_simPath;
bool g_buildPending = false;

std::vector<SceneryArea> g_sceneryAreas;
std::int16_t g_sceneryAreaCount = 0;
std::vector<AirportRecord> g_airports;
std::int32_t g_airportCount = 0;
std::vector<std::string> g_airspaceFiles;
std::int32_t g_airspaceFileCount = 0;

std::array<std::int16_t, kMagvarEntries> g_magvarTable{};

AirportRecord g_airport;
std::vector<AirspaceRecord> g_airspaces;
std::int32_t g_airspaceCount = 0;

std::array<TrafficEntry, kTrafficRows> g_traffic;
std::int16_t g_trafficCount = 0;

std::shared_ptr<directplay::DirectX7> g_directX;
std::shared_ptr<directplay::DirectPlay4> g_directPlay;
std::shared_ptr<directplay::ConnectionList> g_connectionList;
std::shared_ptr<directplay::SessionList> g_sessionList;
std::int32_t g_localPlayerId = 0;
bool g_sessionJoined = false;
bool g_connected = false;

bool g_showAirspaces = false;
bool g_showAirportName = false;
bool g_showILS = false;
bool g_showTaxiways = false;
bool g_showTaxiwayIds = false;
bool g_showParkings = false;
bool g_pointerDown = false;

void ResetSharedState() {
    g_settings = {};
    g_simKind = 0;
    g_simPath.clear();
    g_buildPending = false;

    g_sceneryAreas.clear();
    g_sceneryAreaCount = 0;
    g_airports.clear();
    g_airportCount = 0;
    g_airspaceFiles.clear();
    g_airspaceFileCount = 0;

    g_magvarTable.fill(0);

    g_airport = {};
    g_airfields = {};
    g_airspaces.clear();
    g_airspaceCount = 0;

    g_traffic.fill({});
    g_trafficCount = 0;

    g_directX.reset();
    g_directPlay.reset();
    g_connectionList.reset();
    g_sessionList.reset();
    g_localPlayerId = 0;
    g_sessionJoined = false;
    g_connected = false;

    g_showAirspaces = false;
    g_showAirportName = false;
    g_showILS = false;
    g_showTaxiways = false;
    g_showTaxiwayIds = false;
    g_showParkings = false;
    g_pointerDown = false;
}

}  // namespace model
