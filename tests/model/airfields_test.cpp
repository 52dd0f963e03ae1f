// The fields kept from the database: the nearest one's elevation, found in whole-degree cells.

#include "model/airfields.h"

#include <gtest/gtest.h>

#include <cmath>

namespace model {
namespace {

TEST(AirfieldIndex, TheNearestFieldWithinSixtyMilesGivesItsElevation) {
    const AirfieldIndex fields({{47.449, -122.309, 433, "KSEA"},
                                {47.50, -122.22, 32, "KRNT"},
                                {48.0, 179.95, 100, "DATE"},  // beside the date line
                                {60.0, 10.0, 500, "NORT"},    // far north, where degrees are narrow
                                {std::nan(""), 0, 999, "BAD"}});  // damaged: never found
    // Found by ident too (the other controllers' airports).
    ASSERT_NE(fields.Find("KRNT"), nullptr);
    EXPECT_EQ(fields.Find("KRNT")->elevation, 32);
    EXPECT_EQ(fields.Find("KXXX"), nullptr);
    EXPECT_EQ(fields.Find(""), nullptr);
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
                        {"FiftyNineAndAHalfMilesSouth", 47.449 - 59.5 / 60, -122.309, 433},
                        {"SixtyAndAHalfMilesSouth", 47.449 - 60.5 / 60, -122.309, std::nullopt},
                        {"Nowhere", 0, 0, std::nullopt}};
    for (const Row& row : rows)
        EXPECT_EQ(fields.NearestElevation(row.lat, row.lon), row.elevation) << row.name;
    EXPECT_FALSE(AirfieldIndex().NearestElevation(47.449, -122.309).has_value());
}

}  // namespace
}  // namespace model
