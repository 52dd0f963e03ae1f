#pragma once

// Decodes one airport's data block into an AirportRecord: reference point and elevation,
// ident, frequencies, runways with their ILS, and the ground network. Positions become
// latitude and longitude here, and headings magnetic, so the database holds geometry ready
// to draw.

#include <cstdint>

#include "builder/bgl_reader.h"
#include "model/records.h"

namespace builder {

// Fills `airport` from the data block at `blockOffset` (its records start 16 bytes in).
// Stops quietly at the first record it does not know; throws OutOfBuffer where the file is
// damaged, leaving what was decoded before in `airport`.
void ReadAirportData(const FileBuffer& buffer, std::int64_t blockOffset,
                     model::AirportRecord& airport);

}  // namespace builder
