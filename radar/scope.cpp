#include "radar/scope.h"

#include "model/shared_state.h"
#include "radar/diagram_painter.h"
#include "radar/target_painter.h"

namespace radar {

void Redraw_Scope(platform::Canvas& canvas, const View& view, const AirspaceSelection& selection) {
    using namespace model;
    SetScopeDefaults(canvas);
    if (view.m_zoomLevel <= kLastAirspaceLevel) {
        if (g_showAirspaces && g_airspaceCount > 0) {
            Draw_Airspaces(canvas, view, g_airspaces, g_airspaceCount, selection);
        }
    } else {
        if (g_showParkings && g_airport.parkingCount > 0) {
            Draw_Parkings(canvas, view, g_airport);
        }
        if (g_showTaxiways && g_airport.taxiPathCount > 0) {
            Draw_Taxiways(canvas, view, g_airport, g_showTaxiwayIds);
        }
        Draw_Runways(canvas, view, g_airport);
        if (g_showILS && g_airport.ilsCount > 0) {
            Draw_ILS(canvas, view, g_airport);
        }
    }
    if (g_showAirportName) {
        Draw_Airport_Name(canvas, view, g_airport);
    }
    SetScopeDefaults(canvas);
}

void Draw_Targets(platform::Canvas& canvas, const View& view) {
    DrawTargetRows(canvas, view, model::g_traffic, model::g_trafficCount);
}

}  // namespace radar
