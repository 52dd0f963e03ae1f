#pragma once

// A world description in JSON, keys named after the fields of world.h:
// {"magvarBase": 18, "areas": [{"header": "[Area.001]", "title": "...", "local": "Scenery\\World",
//   "folder": "Scenery/World/scenery", "active": true, "layer": 1, "files": [{"name": "AP.BGL",
//   "airports": [{"name", "ident", "latitude", "longitude", "elevationMetres", "radios": [...],
//   "runways": [{..., "ils": [...]}], "taxiPoints", "taxiPaths", "parkings", "taxiwayNames"}],
//   "airspaces": [{"south", "west", "north", "east", "names", "frequencies", "vertices",
//   "lowerAltitude", "upperAltitude"}]}]}]}

#include <QByteArray>
#include <QString>
#include <optional>

#include "tools/scenery/world.h"

namespace tools {

std::optional<WorldSpec> WorldFromJson(const QByteArray& json, QString& error);

}  // namespace tools
