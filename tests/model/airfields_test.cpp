// The fields kept from the database: the nearest one's elevation, found in whole-degree cells.

#include "model/airfields.h"

#include <gtest/gtest.h>

#include <cmath>

namespace model {
namespace {

TEST(AirfieldIndex, TheNearestFieldWithinSixtyMilesGivesItsElevation) {
    const AirfieldIndex fields({{47.449, -122.309, 433},
                                {47.50, -122.22, 32},
                                {48.0, 179.95, 100},       // beside the date line
                                {60.0, 10.0, 500},         // far north, where degrees are narrow
                                {std::nan(""), 0, 999}});  // damaged: never found
    struct Row {
        const char* name;
        double lat, lon;
        std::optional<std::int32_t> elevation;
    };
    const Row rows[] = {{"OnTheField", 47.449, -122.309, 433},
                        {"NearerTheOther", 47.49, -122.23, 32},
                        {"AcrossTheCellEdge", 47.0001, -122.309, 433},
                        {"AcrossTheDateLine", 48.0, -179.95, 100},
                        {"FarNorthTwoDegreesEast", 60.0, 11.9, 500},
                        {"BeyondSixtyMiles", 49.5, -122.309, std::nullopt},
                        {"Nowhere", 0, 0, std::nullopt}};
    for (const Row& row : rows)
        EXPECT_EQ(fields.NearestElevation(row.lat, row.lon), row.elevation) << row.name;
    EXPECT_FALSE(AirfieldIndex().NearestElevation(47.449, -122.309).has_value());
}

}  // namespace
}  // namespace model
