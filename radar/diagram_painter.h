#pragma once

// The airport diagram layers of the scope: parkings, taxiways with their names, runways with
// their designators, ILS feathers, and the airport's name. Each layer starts and ends with the
// scope defaults, and draws every element of the airport again on each call.

#include <string>

#include "model/records.h"
#include "platform/canvas.h"
#include "radar/scope_style.h"
#include "radar/view.h"

namespace radar {

void Draw_Parkings(platform::Canvas& canvas, const View& view, const model::AirportRecord& airport);
void Draw_Taxiways(platform::Canvas& canvas, const View& view, const model::AirportRecord& airport,
                   bool showTaxiwayIds);
void Draw_Runways(platform::Canvas& canvas, const View& view, const model::AirportRecord& airport);
void Draw_ILS(platform::Canvas& canvas, const View& view, const model::AirportRecord& airport);
void Draw_Airport_Name(platform::Canvas& canvas, const View& view,
                       const model::AirportRecord& airport);

}  // namespace radar
