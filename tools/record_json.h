#pragma once

// The records as JSON, keys named after their fields.

#include "model/records.h"
#include "tools/json_writer.h"

namespace tools {

void WriteSettings(JsonWriter& out, const model::SettingsRecord& settings);
void WriteAirport(JsonWriter& out, const model::AirportRecord& airport);

}  // namespace tools
