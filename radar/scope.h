#pragma once

// The scope's layers in their order: the airspaces at the wide levels or the airport diagram
// at the close ones, the airport's name at every level; the aircraft on top.

#include "platform/canvas.h"
#include "radar/airspace_painter.h"
#include "radar/view.h"

namespace radar {

// Levels up to this one show the airspaces; closer ones the airport diagram.
inline constexpr std::int16_t kLastAirspaceLevel = 12;

// Paints the loaded airport and its airspaces (g_airport, g_airspaces) as the display flags
// say.
void Redraw_Scope(platform::Canvas& canvas, const View& view, const AirspaceSelection& selection);

// Paints the traffic table (g_traffic).
void Draw_Targets(platform::Canvas& canvas, const View& view);

}  // namespace radar
