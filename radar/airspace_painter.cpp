#include "radar/airspace_painter.h"

#include <algorithm>
#include <cmath>

#include "model/geodesy.h"
#include "model/rounding.h"
#include "radar/scope_style.h"

namespace radar {
namespace {

using platform::Canvas;
using platform::PenStyle;
using platform::Rgb;

constexpr Rgb kAirspace{0, 255, 255};
constexpr Rgb kSelected{255, 255, 0};

struct LineStyle {
    int width = 1;
    PenStyle style = PenStyle::Solid;
};

LineStyle StyleOf(const std::string& classLabel) {
    if (classLabel == "ARTCC/FIR") {
        return {4, PenStyle::Solid};
    }
    if (classLabel == "Airspace Class B" || classLabel == "Airspace Class C") {
        return {1, PenStyle::Dashed};
    }
    return {1, PenStyle::Solid};
}

// The corner of the box about `centre` at `distanceNm` times the square root of two.
Pixel Corner(const View& view, const model::Position& centre, int course, int distanceNm) {
    const int diagonal = model::RoundToInt(distanceNm * std::sqrt(2.0));
    const model::Position corner =
        model::Destination_NM(centre.latitude, centre.longitude, course, diagonal);
    return Geo_To_Pixel(view, corner.latitude, corner.longitude);
}

// The current centre lasts from one airspace to the next within a repaint.
void DrawOne(Canvas& canvas, const View& view, model::AirspaceRecord& airspace, Rgb colour,
             model::Position& centre) {
    canvas.SetPen(colour, 1, PenStyle::Solid);
    canvas.SetFill(colour, true);
    const Pixel dot = Geo_To_Pixel(view, airspace.centerLatitude, airspace.centerLongitude);
    const int r = Percent_To_Pixels(view, 1.5);
    canvas.Ellipse(dot.x - r, dot.y - r, dot.x + r, dot.y + r);

    canvas.SetFill(colour, false);
    const LineStyle style = StyleOf(airspace.classLabel);
    canvas.SetPen(colour, style.width, style.style);
    model::Position previous{0, 0};
    const std::size_t used = model::UsedCount(airspace.vertices, airspace.vertexCount);
    for (std::size_t j = 0; j < used; ++j) {
        model::AirspaceVertex& vertex = airspace.vertices[j];
        const model::Position here{vertex.latitude, vertex.longitude};
        const Pixel at = Geo_To_Pixel(view, here.latitude, here.longitude);
        switch (vertex.kind) {
            case 0:
                canvas.MoveTo(at.x, at.y);
                previous = here;
                break;
            case 1:
                centre = here;
                break;
            case 2: {
                vertex.radius = std::max(vertex.radius, 1);
                const Pixel a = Corner(view, centre, 315, vertex.radius);
                const Pixel b = Corner(view, centre, 135, vertex.radius);
                canvas.Ellipse(a.x, a.y, b.x, b.y);
                break;
            }
            case 3:
            case 4: {
                const int fromCentre = model::Distance_NM(centre.latitude, centre.longitude,
                                                          previous.latitude, previous.longitude);
                const int toCentre = model::Distance_NM(centre.latitude, centre.longitude,
                                                        here.latitude, here.longitude);
                const Pixel a = Corner(view, centre, 315, fromCentre);
                const Pixel b = Corner(view, centre, 135, toCentre);
                const Pixel before = Geo_To_Pixel(view, previous.latitude, previous.longitude);
                // Counter-clockwise on the scope from start to end: kind 3 runs the other way.
                const Pixel start = vertex.kind == 3 ? at : before;
                const Pixel end = vertex.kind == 3 ? before : at;
                canvas.Arc(a.x, a.y, b.x, b.y, start.x, start.y, end.x, end.y);
                canvas.MoveTo(at.x, at.y);
                previous = here;
                break;
            }
            case 5:
                canvas.LineTo(at.x, at.y);
                previous = here;
                break;
            default:
                break;
        }
    }
}

}  // namespace

bool AirspaceSelection::Selects(const model::AirspaceRecord& airspace) const {
    return !m_selAirspaceMark.empty() && !m_selAirspaceClass.empty() &&
           airspace.centerLatitude == m_selAirspaceLat &&
           airspace.centerLongitude == m_selAirspaceLon;
}

void Draw_Airspaces(Canvas& canvas, const View& view, std::vector<model::AirspaceRecord>& airspaces,
                    std::int32_t count, const AirspaceSelection& selection) {
    const std::size_t used = model::UsedCount(airspaces, count);
    model::Position centre{0, 0};
    for (std::size_t i = 0; i < used; ++i) {
        if (airspaces[i].classLabel != "Airspace Class D" && !selection.Selects(airspaces[i])) {
            DrawOne(canvas, view, airspaces[i], kAirspace, centre);
        }
    }
    for (std::size_t i = 0; i < used; ++i) {
        if (selection.Selects(airspaces[i])) {
            DrawOne(canvas, view, airspaces[i], kSelected, centre);
        }
    }
    SetScopeDefaults(canvas);
}

}  // namespace radar
