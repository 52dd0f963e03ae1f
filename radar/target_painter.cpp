#include "radar/target_painter.h"

#include <algorithm>
#include <charconv>

#include "model/geodesy.h"
#include "model/rounding.h"
#include "radar/scope_style.h"

namespace radar {

std::string DataBlock(const model::TrafficEntry& row) {
    char heading[32];
    const auto written = std::to_chars(heading, heading + sizeof heading, row.heading);
    return row.name + " Hdg: " + std::string(heading, written.ptr) +
           " Alt: " + std::to_string(row.altitude);
}

Pixel DrawTargetMark(platform::Canvas& canvas, const View& view, const model::TrafficEntry& row,
                     platform::Rgb colour) {
    const Pixel at = Geo_To_Pixel(view, row.latitude, row.longitude);
    const int headingTrue =
        model::Magnetic_To_True(model::RoundToInt(row.heading), row.latitude, row.longitude);
    const model::Position ahead =
        model::Destination_Feet(row.latitude, row.longitude, headingTrue, 500);
    const Pixel tip = Geo_To_Pixel(view, ahead.latitude, ahead.longitude);
    const int r = Percent_To_Pixels(view, 0.8);
    canvas.SetPen(colour, 1, platform::PenStyle::Solid);
    canvas.SetFill(colour, true);
    canvas.Ellipse(at.x - r, at.y - r, at.x + r, at.y + r);
    canvas.MoveTo(at.x, at.y);
    canvas.LineTo(tip.x, tip.y);
    return at;
}

void DrawTargetRows(platform::Canvas& canvas, const View& view,
                    const std::array<model::TrafficEntry, model::kTrafficRows>& rows,
                    std::int16_t count) {
    if (count < 1) {
        return;
    }
    SetScopeDefaults(canvas);
    const int last = std::min<int>(count, static_cast<int>(rows.size()) - 1);
    for (int i = 1; i <= last; ++i) {
        const model::TrafficEntry& row = rows[static_cast<std::size_t>(i)];
        const Pixel at = DrawTargetMark(canvas, view, row, kScopeGreen);
        canvas.Text(at.x, at.y, DataBlock(row));
    }
    SetScopeDefaults(canvas);
}

}  // namespace radar
