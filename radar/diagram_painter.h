#pragma once

// The airport diagram layers of the scope: parkings, taxiways with their names, runways with
// their designators, ILS feathers, and the airport's name. Each layer starts and ends with the
// scope defaults, and draws every element of the airport again on each call.

#include <string>

#include "model/records.h"
#include "platform/canvas.h"
#include "radar/view.h"

namespace radar {

inline constexpr platform::Rgb kScopeGreen{0, 192, 0};
inline constexpr platform::Rgb kScopeBlack{0, 0, 0};
inline constexpr platform::Rgb kWhite{255, 255, 255};

// Pen (0, 192, 0), 1 pixel, solid; fill black, transparent.
void SetScopeDefaults(platform::Canvas& canvas);

// Text with its top-left corner at pixel (x, y), in the given colour.
void Draw_Text(platform::Canvas& canvas, int y, int x, const std::string& text,
               platform::Rgb colour);

void Draw_Parkings(platform::Canvas& canvas, const View& view, const model::AirportRecord& airport);
void Draw_Taxiways(platform::Canvas& canvas, const View& view, const model::AirportRecord& airport,
                   bool showTaxiwayIds);
void Draw_Runways(platform::Canvas& canvas, const View& view, const model::AirportRecord& airport);
void Draw_ILS(platform::Canvas& canvas, const View& view, const model::AirportRecord& airport);
void Draw_Airport_Name(platform::Canvas& canvas, const View& view,
                       const model::AirportRecord& airport);

}  // namespace radar
