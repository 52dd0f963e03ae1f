#include "model/shared_state.h"

#include <gtest/gtest.h>

namespace model {
namespace {

AirportRecord AirportWithOneOfEverything() {
    AirportRecord airport;
    airport.name = "First";
    airport.runways.resize(2);
    airport.runways[0].designator = "9L";
    airport.runwayCount = 1;
    airport.ilsList.resize(2);
    airport.ilsList[0].name = "IABC";
    airport.ilsCount = 1;
    airport.taxiPoints.resize(1);
    airport.taxiPoints[0].pointWord = 7;
    airport.taxiPointCount = 1;
    return airport;
}

TEST(SharedState, ResetReturnsEveryVariableToItsProgramStartValue) {
    g_settings.simPath = "/sim";
    g_simKind = 1;
    g_simPath = "/sim";
    g_buildPending = true;
    g_sceneryAreas.resize(3);
    g_sceneryAreaCount = 2;
    g_airports.resize(5);
    g_airportCount = 4;
    g_airspaceFiles = {"a.bgl", ""};
    g_airspaceFileCount = 1;
    g_magvarTable[65160] = -3;
    g_airport = AirportWithOneOfEverything();
    g_airspaces.resize(2);
    g_airspaceCount = 1;
    g_traffic[1].name = "Pilot";
    g_trafficCount = 1;
    g_localPlayerId = 42;
    g_sessionJoined = g_connected = true;
    g_showAirspaces = g_showAirportName = g_showILS = true;
    g_showTaxiways = g_showTaxiwayIds = g_showParkings = g_pointerDown = true;

    ResetSharedState();

    EXPECT_EQ(g_settings, SettingsRecord{});
    EXPECT_EQ(g_simKind, 0);
    EXPECT_TRUE(g_simPath.empty());
    EXPECT_FALSE(g_buildPending);
    EXPECT_TRUE(g_sceneryAreas.empty());
    EXPECT_EQ(g_sceneryAreaCount, 0);
    EXPECT_TRUE(g_airports.empty());
    EXPECT_EQ(g_airportCount, 0);
    EXPECT_TRUE(g_airspaceFiles.empty());
    EXPECT_EQ(g_airspaceFileCount, 0);
    EXPECT_EQ(g_magvarTable[65160], 0);
    EXPECT_EQ(g_airport, AirportRecord{});
    EXPECT_TRUE(g_airspaces.empty());
    EXPECT_EQ(g_airspaceCount, 0);
    EXPECT_EQ(g_traffic[1], TrafficEntry{});
    EXPECT_EQ(g_trafficCount, 0);
    EXPECT_EQ(g_localPlayerId, 0);
    EXPECT_FALSE(HasLocalPlayer());
    for (const std::int32_t id : {1, -1, 42}) {  // any ID a host hands out but 0
        g_localPlayerId = id;
        EXPECT_TRUE(HasLocalPlayer()) << id;
    }
    g_localPlayerId = 0;
    EXPECT_FALSE(g_sessionJoined || g_connected);
    EXPECT_FALSE(g_showAirspaces || g_showAirportName || g_showILS || g_showTaxiways ||
                 g_showTaxiwayIds || g_showParkings || g_pointerDown);
}

}  // namespace
}  // namespace model
