#include "radar/diagram_painter.h"

#include <algorithm>
#include <cstddef>

#include "model/geodesy.h"
#include "model/rounding.h"

namespace radar {
namespace {

using platform::Canvas;
using platform::PenStyle;
using platform::Rgb;

constexpr Rgb kParking{128, 64, 64};
constexpr Rgb kTaxiway{192, 192, 192};
constexpr Rgb kIls{255, 255, 0};
constexpr int kIlsLengthFeet = 1800;

void Line(Canvas& canvas, Pixel from, Pixel to) {
    canvas.MoveTo(from.x, from.y);
    canvas.LineTo(to.x, to.y);
}

// A taxi path's two ends, or false when its type draws nothing or an index names no point.
bool PathEnds(const model::AirportRecord& airport, const model::TaxiPathRecord& path,
              model::Position& start, model::Position& end) {
    const std::size_t points = model::UsedCount(airport.taxiPoints, airport.taxiPointCount);
    const std::size_t parkings = model::UsedCount(airport.parkings, airport.parkingCount);
    if (path.pathType > 2 || path.startPoint >= points) {
        return false;
    }
    const model::TaxiPointRecord& from = airport.taxiPoints[path.startPoint];
    start = {from.latitude, from.longitude};
    if (path.pathType == 2) {
        if (path.endPoint >= parkings) {
            return false;
        }
        end = {airport.parkings[path.endPoint].latitude, airport.parkings[path.endPoint].longitude};
    } else {
        if (path.endPoint >= points) {
            return false;
        }
        end = {airport.taxiPoints[path.endPoint].latitude,
               airport.taxiPoints[path.endPoint].longitude};
    }
    return true;
}

}  // namespace

void Draw_Parkings(Canvas& canvas, const View& view, const model::AirportRecord& airport) {
    SetScopeDefaults(canvas);
    const int r = Percent_To_Pixels(view, 1.5);
    for (std::size_t i = 0; i < model::UsedCount(airport.parkings, airport.parkingCount); ++i) {
        canvas.SetPen(kParking, 1, PenStyle::Solid);
        canvas.SetFill(kParking, true);
        const Pixel at =
            Geo_To_Pixel(view, airport.parkings[i].latitude, airport.parkings[i].longitude);
        canvas.Ellipse(at.x - r, at.y - r, at.x + r, at.y + r);
    }
    SetScopeDefaults(canvas);
}

void Draw_Taxiways(Canvas& canvas, const View& view, const model::AirportRecord& airport,
                   bool showTaxiwayIds) {
    SetScopeDefaults(canvas);
    for (std::size_t i = 0; i < model::UsedCount(airport.taxiPaths, airport.taxiPathCount); ++i) {
        const model::TaxiPathRecord& path = airport.taxiPaths[i];
        canvas.SetPen(kTaxiway, 2, PenStyle::Solid);
        canvas.SetFill(kScopeBlack, false);
        model::Position start;
        model::Position end;
        if (!PathEnds(airport, path, start, end)) {
            continue;
        }
        Line(canvas, Geo_To_Pixel(view, start.latitude, start.longitude),
             Geo_To_Pixel(view, end.latitude, end.longitude));
        if (showTaxiwayIds && path.pathType == 0 && !path.name.empty() && path.name != " ") {
            // The name at the path's middle; paths longer than the feet cap put it 16384 ft on.
            const int length =
                model::Distance_Feet(start.latitude, start.longitude, end.latitude, end.longitude);
            const model::Position anchor = model::Destination_Feet(
                start.latitude, start.longitude,
                model::Bearing_True(start.latitude, start.longitude, end.latitude, end.longitude),
                model::RoundToInt(length / 2.0));
            const Pixel at = Geo_To_Pixel(view, anchor.latitude, anchor.longitude);
            Draw_Text(canvas, at.y, at.x, path.name, kWhite);
        }
    }
    SetScopeDefaults(canvas);
}

void Draw_Runways(Canvas& canvas, const View& view, const model::AirportRecord& airport) {
    SetScopeDefaults(canvas);
    for (std::size_t i = 0; i < model::UsedCount(airport.runways, airport.runwayCount); ++i) {
        const model::RunwayRecord& runway = airport.runways[i];
        canvas.SetPen(kScopeGreen, 2, PenStyle::Solid);
        canvas.SetFill(kScopeBlack, false);
        const Pixel end1 = Geo_To_Pixel(view, runway.end1Latitude, runway.end1Longitude);
        const Pixel end2 = Geo_To_Pixel(view, runway.end2Latitude, runway.end2Longitude);
        Line(canvas, end1, end2);
        Draw_Text(canvas, end1.y, end1.x, runway.designator, kWhite);
        Draw_Text(canvas, end2.y, end2.x, runway.oppositeDesignator, kWhite);
    }
    SetScopeDefaults(canvas);
}

void Draw_ILS(Canvas& canvas, const View& view, const model::AirportRecord& airport) {
    SetScopeDefaults(canvas);
    for (std::size_t i = 0; i < model::UsedCount(airport.ilsList, airport.ilsCount); ++i) {
        const model::IlsRecord& ils = airport.ilsList[i];
        // The feather points away from the runway, along the approach: 1800 ft long, 10° wide.
        const int courseTrue = model::Magnetic_To_True(ils.magCourse, ils.latitude, ils.longitude);
        const int reciprocal = model::Normalize_Heading(courseTrue - 180);
        const model::Position p1 = model::Destination_Feet(
            ils.latitude, ils.longitude, model::Normalize_Heading(reciprocal - 5), kIlsLengthFeet);
        const model::Position p2 = model::Destination_Feet(
            ils.latitude, ils.longitude, model::Normalize_Heading(reciprocal + 5), kIlsLengthFeet);
        canvas.SetPen(kIls, 1, PenStyle::Solid);
        canvas.SetFill(kIls, true);
        const Pixel antenna = Geo_To_Pixel(view, ils.latitude, ils.longitude);
        const Pixel corner1 = Geo_To_Pixel(view, p1.latitude, p1.longitude);
        const Pixel corner2 = Geo_To_Pixel(view, p2.latitude, p2.longitude);
        Line(canvas, antenna, corner1);
        Line(canvas, corner1, corner2);
        Line(canvas, corner2, antenna);
    }
    SetScopeDefaults(canvas);
}

void Draw_Airport_Name(Canvas& canvas, const View& view, const model::AirportRecord& airport) {
    SetScopeDefaults(canvas);
    const Pixel at = Geo_To_Pixel(view, airport.latitude, airport.longitude);
    Draw_Text(canvas, at.y, at.x, airport.name, kWhite);
    SetScopeDefaults(canvas);
}

}  // namespace radar
