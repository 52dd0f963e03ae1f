#pragma once

// What is under the pointer on the scope: the coordinates read-out, the one-line description
// of the object nearest in the order airspace, aircraft, gate, runway end, ILS (the last hit
// wins), and the measuring line while the left button is held.

#include <string>
#include <string_view>

#include "platform/canvas.h"
#include "radar/aids.h"
#include "radar/airspace_painter.h"
#include "radar/view.h"

namespace radar {

struct CoordinateTexts {
    std::string longitude;        // the default text of the single-precision value
    std::string longitudeLetter;  // "E" or "W"
    std::string latitude;
    std::string latitudeLetter;  // "N" or "S"
};

// The text of a single-precision number: up to seven significant digits, with the given
// decimal separator (the user's locale's).
std::string SingleText(float value, std::string_view decimalSeparator);

// The read-out for a pointer at (x = longitude, y = latitude).
CoordinateTexts PointerCoordinates(float x, float y, std::string_view decimalSeparator = ".");

struct Inspection {
    std::string text;             // the tooltip; empty when nothing is under the pointer
    AirspaceSelection selection;  // set when an airspace was hit
};

// Tests the scene's objects against the pointer's pixel (g_airspaces, g_traffic, g_airport and
// the display flags); aircraft the altitude filter hides are passed over.
Inspection InspectPointer(const View& view, double x, double y, const AidSettings* aids = nullptr);

// "Dist: 7 nm  Course: 90 *" and where it goes: half-way along the course, in whole miles.
struct Measurement {
    std::string label;
    Pixel labelAt;
    Pixel from;
    Pixel to;
};
Measurement Measure(const View& view, double startLat, double startLon, double lat, double lon);

// The measuring picture: the dotted line and its label under the scope's layers and targets.
void DrawMeasurement(platform::Canvas& canvas, const View& view, const Measurement& measurement,
                     const AirspaceSelection& selection, const AidScene* aids = nullptr);

}  // namespace radar
