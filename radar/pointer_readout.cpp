#include "radar/pointer_readout.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "model/geodesy.h"
#include "model/rounding.h"
#include "model/shared_state.h"
#include "platform/ansi.h"
#include "radar/aids.h"
#include "radar/scope.h"
#include "radar/scope_style.h"

namespace radar {
namespace {

template <typename T>
std::string Number(T value) {
    char text[32];
    const auto written = std::to_chars(text, text + sizeof text, value);
    return std::string(text, written.ptr);
}

// Within reach: the rounded pixel distance at most the radius.
bool Hit(const View& view, Pixel pointer, double lat, double lon, double percent) {
    const Pixel at = Geo_To_Pixel(view, lat, lon);
    const double dx = at.x - pointer.x;
    const double dy = at.y - pointer.y;
    return model::RoundToInt(std::sqrt(dx * dx + dy * dy)) <= Percent_To_Pixels(view, percent);
}

std::string AirspaceText(const model::AirspaceRecord& airspace) {
    std::string text;
    if (!airspace.comName.empty()) {
        text = "AIRSPACE FULLNAME: " + airspace.comName;
    }
    if (!airspace.classLabel.empty()) {
        text += "  AIRSPACE TYPE: " + airspace.classLabel;
    }
    if (!airspace.frequencyList.empty()) {
        text += "  AIRSPACE FREQUENCY: " + airspace.frequencyList;
    }
    text += "  ";
    const std::int32_t low = std::min(airspace.lowerAltitude, airspace.upperAltitude);
    const std::int32_t high = std::max(airspace.lowerAltitude, airspace.upperAltitude);
    if (low > 0 || high > 0) {
        text += "FROM: " + Number(low) + " ft" + "  TO: " + Number(high) + " ft";
    }
    return text;
}

std::string RunwayEndText(const std::string& designator, std::int16_t heading,
                          const model::RunwayRecord& runway) {
    return "Runway: " + designator + "  Heading: " + Number(heading) +
           "  Altitude: " + Number(runway.elevation) + " ft" +
           "  Lenght: " + Number(runway.lengthFeet) + " ft" +
           "  Width: " + Number(runway.widthFeet) + " ft";
}

}  // namespace

std::string SingleText(float value, std::string_view decimalSeparator) {
    if (value == 0)
        value = 0;  // no "-0"
    // Up to seven significant digits, trailing zeros dropped, an exponent only for the very
    // small or very large: the form a single-precision number takes as text.
    char text[32];
    std::snprintf(text, sizeof text, "%.7G", static_cast<double>(value));
    std::string result(text);
    if (const auto point = result.find('.'); point != std::string::npos)
        result.replace(point, 1, decimalSeparator);
    return result;
}

CoordinateTexts PointerCoordinates(float x, float y, std::string_view decimalSeparator) {
    std::string longitude = SingleText(x, decimalSeparator);
    std::string latitude = SingleText(y, decimalSeparator);
    const char east = longitude.starts_with('-') ? 'W' : 'E';
    const char north = latitude.starts_with('-') ? 'S' : 'N';
    return {std::move(longitude), std::string(1, east), std::move(latitude), std::string(1, north)};
}

Inspection InspectPointer(const View& view, double x, double y, const AidSettings* aids) {
    using namespace model;
    Inspection found;
    const Pixel pointer = Geo_To_Pixel(view, y, x);
    if (view.m_zoomLevel <= kLastAirspaceLevel && g_showAirspaces) {
        for (std::size_t i = 0; i < model::UsedCount(g_airspaces, g_airspaceCount); ++i) {
            const AirspaceRecord& airspace = g_airspaces[i];
            if (airspace.classLabel != "Airspace Class D" &&
                Hit(view, pointer, airspace.centerLatitude, airspace.centerLongitude, 1.5)) {
                found.selection = {"Current Selected Airspace", airspace.classLabel,
                                   airspace.centerLatitude, airspace.centerLongitude};
                found.text = AirspaceText(airspace);
            }
        }
    }
    for (int i = 1; i <= std::min<int>(g_trafficCount, static_cast<int>(kTrafficRows) - 1); ++i) {
        const TrafficEntry& row = g_traffic[static_cast<std::size_t>(i)];
        if (aids && !PassesFilter(row, *aids))
            continue;  // filtered out: neither drawn nor inspected
        if (Hit(view, pointer, row.latitude, row.longitude, 0.8)) {
            found.text = "Player: " + row.name + "  Heading: " + Number(row.heading) +
                         "  Altitude: " + Number(row.altitude) + " ft" + "  Distance: " +
                         Number(Distance_NM(row.latitude, row.longitude, g_airport.latitude,
                                            g_airport.longitude)) +
                         " nm" + "  Type Plane: " + row.category;
        }
    }
    if (view.m_zoomLevel > kLastAirspaceLevel) {
        if (g_showParkings) {
            for (std::size_t i = 0;
                 i < model::UsedCount(g_airport.parkings, g_airport.parkingCount); ++i) {
                const ParkingRecord& parking = g_airport.parkings[i];
                if (Hit(view, pointer, parking.latitude, parking.longitude, 1.5)) {
                    found.text = platform::UpperAnsi(parking.name) +
                                 "  Radius: " + Number(parking.radiusFeet) + " ft";
                }
            }
        }
        for (std::size_t i = 0; i < model::UsedCount(g_airport.runways, g_airport.runwayCount);
             ++i) {
            const RunwayRecord& runway = g_airport.runways[i];
            if (Hit(view, pointer, runway.end1Latitude, runway.end1Longitude, 1.5)) {
                found.text = RunwayEndText(runway.designator, runway.magHeading, runway);
            }
            if (Hit(view, pointer, runway.end2Latitude, runway.end2Longitude, 1.5)) {
                found.text =
                    RunwayEndText(runway.oppositeDesignator, runway.oppositeMagHeading, runway);
            }
        }
        if (g_showILS) {
            for (std::size_t i = 0; i < model::UsedCount(g_airport.ilsList, g_airport.ilsCount);
                 ++i) {
                const IlsRecord& ils = g_airport.ilsList[i];
                if (Hit(view, pointer, ils.latitude, ils.longitude, 1.5)) {
                    found.text = "ILS: " + ils.name + "  Heading: " + Number(ils.magCourse) +
                                 "  Frequency: " + ils.frequency + " Mhz";
                }
            }
        }
    }
    return found;
}

Measurement Measure(const View& view, double startLat, double startLon, double lat, double lon) {
    const int distance = model::Distance_NM(startLat, startLon, lat, lon);
    const int course = model::Bearing_Magnetic(startLat, startLon, lat, lon);
    const int courseTrue = model::Magnetic_To_True(course, startLat, startLon);
    const model::Position middle =
        model::Destination_NM(startLat, startLon, courseTrue, model::RoundToInt(distance / 2.0));
    return {"Dist: " + Number(distance) + " nm" + "  Course: " + Number(course) + " *",
            Geo_To_Pixel(view, middle.latitude, middle.longitude),
            Geo_To_Pixel(view, startLat, startLon), Geo_To_Pixel(view, lat, lon)};
}

void DrawMeasurement(platform::Canvas& canvas, const View& view, const Measurement& measurement,
                     const AirspaceSelection& selection, const AidScene* aids) {
    canvas.Clear();
    canvas.SetPen(kScopeGreen, 1, platform::PenStyle::Dotted);
    canvas.MoveTo(measurement.from.x, measurement.from.y);
    canvas.LineTo(measurement.to.x, measurement.to.y);
    canvas.SetPenColour(kWhite);
    canvas.Text(measurement.labelAt.x, measurement.labelAt.y, measurement.label);
    canvas.SetPen(kWhite, 1, platform::PenStyle::Solid);
    DrawUnderlay(canvas, view, aids);
    Redraw_Scope(canvas, view, selection);
    DrawTrafficLayer(canvas, view, aids);
    SetScopeDefaults(canvas);
}

}  // namespace radar
