#pragma once

// The airspace layer of the wide views: every airspace's boundary with a dot at its centre, in
// a line style by class; class D hidden until selected; the selected airspace drawn last in
// yellow, on top of the others.

#include <string>
#include <vector>

#include "model/records.h"
#include "platform/canvas.h"
#include "radar/view.h"

namespace radar {

// The airspace the pointer read-out picked: it is the one whose centre is exactly here, while
// both texts are set.
struct AirspaceSelection {
    std::string m_selAirspaceMark;
    std::string m_selAirspaceClass;
    double m_selAirspaceLat = 0;
    double m_selAirspaceLon = 0;

    bool Selects(const model::AirspaceRecord& airspace) const;
};

// Circle radii below 1 nm become 1 in the records themselves, as drawn.
void Draw_Airspaces(platform::Canvas& canvas, const View& view,
                    std::vector<model::AirspaceRecord>& airspaces, std::int32_t count,
                    const AirspaceSelection& selection);

}  // namespace radar
