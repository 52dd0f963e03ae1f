#include "radar/pointer_readout.h"

#include <gtest/gtest.h>

#include "model/geodesy.h"
#include "model/shared_state.h"
#include "platform/recording_canvas.h"
#include "tests/radar/aid_support.h"

namespace radar {
namespace {

using testing_aids::ViewOver;

class Inspect : public ::testing::Test {
protected:
    void SetUp() override {
        model::ResetSharedState();
        model::g_showAirspaces = model::g_showParkings = model::g_showILS = true;
        model::g_airport.latitude = 32.9;
        model::g_airport.longitude = -97.04;
        model::g_airport.runways.resize(2);
        model::g_airport.runways[0] = {"17C", "35C", 32.9, -97.04, 32.88, -97.04,
                                       603,   174,   354,  13401,  150};
        model::g_airport.runwayCount = 1;
        model::g_airport.ilsList.resize(2);
        model::g_airport.ilsList[0] = {"IFLQ", 32.9, -97.04, 174, "111.5"};
        model::g_airport.ilsCount = 1;
        model::g_airport.parkings = {{"gate a 5", 32.895, -97.035, 98}};
        model::g_airport.parkingCount = 1;
        model::g_traffic[1] = {"AAL1", 2500, 174, -97.04, 32.9, "Jet Plane", "B737"};
        model::g_trafficCount = 1;
    }
    void TearDown() override { model::ResetSharedState(); }
};

TEST_F(Inspect, CoordinatesShowTheirHemisphereLetters) {
    const CoordinateTexts west = PointerCoordinates(-97.04f, 32.9f);
    EXPECT_EQ(west.longitude, "-97.04");
    EXPECT_EQ(west.longitudeLetter, "W");
    EXPECT_EQ(west.latitude, "32.9");
    EXPECT_EQ(west.latitudeLetter, "N");
    const CoordinateTexts south = PointerCoordinates(151.2f, -33.95f, ",");
    EXPECT_EQ(south.longitude, "151,2");
    EXPECT_EQ(south.latitude, "-33,95");
    EXPECT_EQ(south.longitudeLetter, "E");
    EXPECT_EQ(south.latitudeLetter, "S");
}

struct SingleRow {
    const char* name;
    float value;
    const char* separator;
    const char* text;
};

class SingleTextTest : public testing::TestWithParam<SingleRow> {};

TEST_P(SingleTextTest, SevenSignificantDigitsInTheLocalesForm) {
    EXPECT_EQ(SingleText(GetParam().value, GetParam().separator), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Values, SingleTextTest,
                         testing::Values(
                             // Their shortest round-trip forms take eight or nine digits.
                             SingleRow{"EightDigitsRoundedToSeven", 19.995264f, ".", "19.99526"},
                             SingleRow{"NineDigitsRoundedToSeven", -122.309166f, ".", "-122.3092"},
                             SingleRow{"DecimalComma", 47.449886f, ",", "47,44989"},
                             SingleRow{"TrailingZerosDropped", 8.5f, ".", "8.5"},
                             SingleRow{"Whole", 7.0f, ".", "7"},
                             SingleRow{"NegativeZeroIsZero", -0.0f, ".", "0"},
                             SingleRow{"SmallBelowOneTenThousandth", 0.0000125f, ",", "1,25E-05"}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(Inspect, TheLastHitWinsRunwayOverAircraftAndIlsOverBoth) {
    const View view = ViewOver(32.9, -97.04, 14);
    EXPECT_EQ(InspectPointer(view, -97.04, 32.9).text,
              "ILS: IFLQ  Heading: 174  Frequency: 111.5 Mhz");
    model::g_showILS = false;
    EXPECT_EQ(InspectPointer(view, -97.04, 32.9).text,
              "Runway: 17C  Heading: 174  Altitude: 603 ft  Lenght: 13401 ft  Width: 150 ft");
    EXPECT_EQ(InspectPointer(view, -97.04, 32.88).text.substr(0, 13), "Runway: 35C  ");
    EXPECT_EQ(InspectPointer(view, -97.035, 32.895).text, "GATE A 5  Radius: 98 ft");
}

TEST_F(Inspect, AtLevelTwelveOnlyAircraftOfTheDiagramObjects) {
    const View view = ViewOver(32.9, -97.04, 12);
    EXPECT_EQ(
        InspectPointer(view, -97.04, 32.9).text,
        "Player: AAL1  Heading: 174  Altitude: 2500 ft  Distance: 0 nm  Type Plane: Jet Plane");
    EXPECT_TRUE(InspectPointer(view, -97.2, 33.2).text.empty());
}

TEST_F(Inspect, AirspacesSelectTheLastHitAndShowTheirAltitudesInOrder) {
    model::AirspaceRecord first;
    first.classLabel = "Airspace Class B";
    first.centerLatitude = 33.0;
    first.centerLongitude = -97.0;
    model::AirspaceRecord second = first;
    second.centerLongitude = -97.001;
    second.comName = "REGIONAL APPROACH";
    second.frequencyList = "125.8 Mhz  ";
    second.lowerAltitude = 5000;
    second.upperAltitude = 1500;
    model::AirspaceRecord classD = first;
    classD.classLabel = "Airspace Class D";
    model::g_airspaces = {first, second, classD, {}};
    model::g_airspaceCount = 3;
    const View view = ViewOver(32.9, -97.04, 10);
    const Inspection found = InspectPointer(view, -97.0, 33.0);
    EXPECT_EQ(found.text,
              "AIRSPACE FULLNAME: REGIONAL APPROACH  AIRSPACE TYPE: Airspace Class B  AIRSPACE "
              "FREQUENCY: 125.8 Mhz    FROM: 1500 ft  TO: 5000 ft");
    EXPECT_EQ(found.selection.m_selAirspaceMark, "Current Selected Airspace");
    EXPECT_EQ(found.selection.m_selAirspaceLon, -97.001);

    model::g_airspaces[1].lowerAltitude = model::g_airspaces[1].upperAltitude = 0;
    EXPECT_EQ(InspectPointer(view, -97.0, 33.0).text.find("FROM"), std::string::npos);
    EXPECT_TRUE(InspectPointer(ViewOver(32.9, -97.04, 13), -97.0, 33.0).text.empty());
}

TEST_F(Inspect, TheMeasuringLabelSitsHalfWayInWholeMiles) {
    // North of the equator due east reads 90 (the course is rounded up).
    const View view = ViewOver(10, 20, 9);
    for (const auto& [miles, labelMiles] : {std::pair{7, 4}, std::pair{5, 2}}) {
        const model::Position end = model::Destination_NM(10, 20, 90, miles);
        const Measurement m = Measure(view, 10, 20, end.latitude, end.longitude);
        EXPECT_EQ(m.label, "Dist: " + std::to_string(miles) + " nm  Course: 90 *");
        const model::Position label = model::Destination_NM(10, 20, 90, labelMiles);
        EXPECT_EQ(m.labelAt, Geo_To_Pixel(view, label.latitude, label.longitude));
    }
    platform::RecordingCanvas canvas(1000, 500);
    DrawMeasurement(canvas, view, Measure(view, 0, 0, 0, 0.1), {});
    ASSERT_GE(canvas.Items().size(), 3u);
    EXPECT_EQ(canvas.Items()[0].kind, platform::DrawnItem::Kind::Clear);
    EXPECT_EQ(canvas.Items()[1].penStyle, platform::PenStyle::Dotted);
    EXPECT_EQ(canvas.Items()[2].pen, (platform::Rgb{255, 255, 255}));
    EXPECT_EQ(canvas.State().penStyle, platform::PenStyle::Solid);
}

}  // namespace
}  // namespace radar
