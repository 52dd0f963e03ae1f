#pragma once

// The aircraft: a dot at each position, a 500 ft line along its true heading, and a data block
// with its name, magnetic heading and altitude.

#include <array>
#include <cstdint>
#include <string>

#include "model/records.h"
#include "model/shared_state.h"
#include "platform/canvas.h"
#include "radar/view.h"

namespace radar {

// "ABC1 Hdg: 270 Alt: 3500": numbers in plain decimal, a whole heading without a point.
std::string DataBlock(const model::TrafficEntry& row);

// One aircraft's dot and its 500 ft heading line in the given colour, the pen left in that
// colour; returns the dot's pixel.
Pixel DrawTargetMark(platform::Canvas& canvas, const View& view, const model::TrafficEntry& row,
                     platform::Rgb colour);

// The dot's radius in pixels.
inline int TargetRadius(const View& view) {
    return Percent_To_Pixels(view, 0.8);
}

// Rows 1..count of a traffic table; row 0 is never used. (Draw_Targets paints g_traffic.)
void DrawTargetRows(platform::Canvas& canvas, const View& view,
                    const std::array<model::TrafficEntry, model::kTrafficRows>& rows,
                    std::int16_t count);

}  // namespace radar
