// The diagram layers on the recording canvas.

#include "radar/diagram_painter.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "model/geodesy.h"
#include "model/rounding.h"
#include "model/shared_state.h"
#include "platform/recording_canvas.h"
#include "tests/radar/aid_support.h"

namespace radar {
namespace {

using platform::DrawnItem;
using platform::RecordingCanvas;
using platform::Rgb;
using testing_aids::OfKind;
using testing_aids::ViewOver;

model::AirportRecord Airport() {
    model::AirportRecord a;
    a.name = "Test Field";
    a.latitude = 45;
    a.longitude = 7;
    a.taxiPoints = {{0, 45, 7}, {1, 45.002, 7}, {2, 45.002, 7.003}};
    a.taxiPointCount = 3;
    a.parkings = {{"GATE A 1", 45.001, 7.001, 50}};
    a.parkingCount = 1;
    a.taxiPaths = {{0, 0, 1, "A"}, {0, 1, 2, " "},   {1, 0, 2, "Runway 9"}, {2, 2, 0, ""},
                   {0, 0, 2, ""},  {0, 0, 9, "BAD"}, {3, 0, 1, "X"}};
    a.taxiPathCount = 7;
    a.runways.resize(2);
    a.runways[0].designator = "9";
    a.runways[0].oppositeDesignator = "27";
    a.runways[0].end1Latitude = 45;
    a.runways[0].end1Longitude = 6.99;
    a.runways[0].end2Latitude = 45;
    a.runways[0].end2Longitude = 7.01;
    a.runwayCount = 1;
    a.ilsList.resize(2);
    a.ilsList[0] = {"IXX", 45, 6.99, 90, "110.3"};
    a.ilsCount = 1;
    return a;
}

bool EndsWithDefaults(const RecordingCanvas& canvas) {
    const DrawnItem& state = canvas.State();
    return state.pen == kScopeGreen && state.penWidth == 1 &&
           state.penStyle == platform::PenStyle::Solid && state.fill == kScopeBlack &&
           !state.fillSolid;
}

class DiagramPainter : public ::testing::Test {
protected:
    void SetUp() override { model::ResetSharedState(); }
    void TearDown() override { model::ResetSharedState(); }

    RecordingCanvas m_canvas{1000, 500};
    View m_view = ViewOver(45, 7, 16);
    model::AirportRecord m_airport = Airport();
};

TEST_F(DiagramPainter, ParkingsAreFilledCirclesOfOneAndAHalfPercent) {
    Draw_Parkings(m_canvas, m_view, m_airport);
    const auto circles = OfKind(m_canvas, DrawnItem::Kind::Ellipse);
    ASSERT_EQ(circles.size(), 1u);
    const Pixel at = Geo_To_Pixel(m_view, 45.001, 7.001);
    EXPECT_EQ(circles[0].x1, at.x - 15);
    EXPECT_EQ(circles[0].y2, at.y + 15);
    EXPECT_EQ(circles[0].pen, (Rgb{128, 64, 64}));
    EXPECT_TRUE(circles[0].fillSolid);
    EXPECT_EQ(circles[0].fill, (Rgb{128, 64, 64}));
    EXPECT_TRUE(EndsWithDefaults(m_canvas));
}

TEST_F(DiagramPainter, TaxiwaysJoinTheirEndsAndOnlyNamedTaxiwaysCarryLabels) {
    Draw_Taxiways(m_canvas, m_view, m_airport, true);
    const auto lines = OfKind(m_canvas, DrawnItem::Kind::Line);
    // Types 0, 1 and 2 draw; an index naming no point and an unknown type draw nothing.
    ASSERT_EQ(lines.size(), 5u);
    for (const DrawnItem& line : lines) {
        EXPECT_EQ(line.pen, (Rgb{192, 192, 192}));
        EXPECT_EQ(line.penWidth, 2);
    }
    // Type 2 joins a taxi point (2) to a parking (0).
    EXPECT_EQ((Pixel{lines[3].x1, lines[3].y1}), Geo_To_Pixel(m_view, 45.002, 7.003));
    EXPECT_EQ((Pixel{lines[3].x2, lines[3].y2}), Geo_To_Pixel(m_view, 45.001, 7.001));
    const auto labels = OfKind(m_canvas, DrawnItem::Kind::Text);
    ASSERT_EQ(labels.size(), 1u);  // " ", "", runway and parking paths have none
    EXPECT_EQ(labels[0].text, "A");
    EXPECT_EQ(labels[0].pen, kWhite);
    const int half = model::RoundToInt(model::Distance_Feet(45, 7, 45.002, 7) / 2.0);
    const model::Position middle =
        model::Destination_Feet(45, 7, model::Bearing_True(45, 7, 45.002, 7), half);
    const Pixel anchor = Geo_To_Pixel(m_view, middle.latitude, middle.longitude);
    EXPECT_EQ(labels[0].x1, anchor.x);
    EXPECT_EQ(labels[0].y1, anchor.y);
    EXPECT_TRUE(EndsWithDefaults(m_canvas));

    m_canvas.Forget();
    Draw_Taxiways(m_canvas, m_view, m_airport, false);
    EXPECT_TRUE(OfKind(m_canvas, DrawnItem::Kind::Text).empty());
}

TEST_F(DiagramPainter, RunwaysAreLinesWithTheirDesignatorsAtTheirEnds) {
    Draw_Runways(m_canvas, m_view, m_airport);
    const auto lines = OfKind(m_canvas, DrawnItem::Kind::Line);
    ASSERT_EQ(lines.size(), 1u);  // the spare element after the last runway draws nothing
    EXPECT_EQ(lines[0].pen, kScopeGreen);
    EXPECT_EQ(lines[0].penWidth, 2);
    const auto texts = OfKind(m_canvas, DrawnItem::Kind::Text);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0].text, "9");
    EXPECT_EQ(texts[0].x1, Geo_To_Pixel(m_view, 45, 6.99).x);
    EXPECT_EQ(texts[1].text, "27");
    EXPECT_EQ(texts[1].pen, kWhite);
    EXPECT_TRUE(EndsWithDefaults(m_canvas));
}

TEST_F(DiagramPainter, AnIlsFeatherPointsBackAlongTheApproach) {
    Draw_ILS(m_canvas, m_view, m_airport);
    const auto lines = OfKind(m_canvas, DrawnItem::Kind::Line);
    ASSERT_EQ(lines.size(), 3u);
    // Course 90 magnetic, no variation: the far corners lie 1800 ft away on 265 and 275.
    const model::Position p1 = model::Destination_Feet(45, 6.99, 265, 1800);
    const model::Position p2 = model::Destination_Feet(45, 6.99, 275, 1800);
    const Pixel antenna = Geo_To_Pixel(m_view, 45, 6.99);
    EXPECT_EQ((Pixel{lines[0].x1, lines[0].y1}), antenna);
    EXPECT_EQ((Pixel{lines[0].x2, lines[0].y2}), Geo_To_Pixel(m_view, p1.latitude, p1.longitude));
    EXPECT_EQ((Pixel{lines[1].x2, lines[1].y2}), Geo_To_Pixel(m_view, p2.latitude, p2.longitude));
    EXPECT_EQ((Pixel{lines[2].x2, lines[2].y2}), antenna);
    EXPECT_LT(lines[0].x2, antenna.x);  // west of the threshold
    EXPECT_EQ(lines[0].pen, (Rgb{255, 255, 0}));
    EXPECT_TRUE(lines[0].fillSolid);
    EXPECT_TRUE(EndsWithDefaults(m_canvas));
}

TEST_F(DiagramPainter, TheFeatherTurnsWithTheVariation) {
    // Ten degrees east: course 90 magnetic is 100 true, the corners on 275 and 285.
    model::g_magvarTable[static_cast<std::size_t>((45 + 90) + 181 * 7)] = 1821;
    Draw_ILS(m_canvas, m_view, m_airport);
    const model::Position p1 = model::Destination_Feet(45, 6.99, 275, 1800);
    const auto lines = OfKind(m_canvas, DrawnItem::Kind::Line);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ((Pixel{lines[0].x2, lines[0].y2}), Geo_To_Pixel(m_view, p1.latitude, p1.longitude));
}

TEST_F(DiagramPainter, TheNameIsWrittenWhiteAtTheReferencePoint) {
    Draw_Airport_Name(m_canvas, m_view, m_airport);
    const auto texts = OfKind(m_canvas, DrawnItem::Kind::Text);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].text, "Test Field");
    EXPECT_EQ((Pixel{texts[0].x1, texts[0].y1}), Geo_To_Pixel(m_view, 45, 7));
    EXPECT_EQ(texts[0].pen, kWhite);
    EXPECT_TRUE(EndsWithDefaults(m_canvas));
}

TEST_F(DiagramPainter, CountsBeyondTheArraysOfADamagedDatabaseDrawOnlyWhatIsThere) {
    m_airport.parkingCount = 50;
    m_airport.taxiPathCount = 100;
    m_airport.runwayCount = 9;
    m_airport.ilsCount = 9;
    Draw_Parkings(m_canvas, m_view, m_airport);
    Draw_Taxiways(m_canvas, m_view, m_airport, true);
    Draw_Runways(m_canvas, m_view, m_airport);
    Draw_ILS(m_canvas, m_view, m_airport);
    EXPECT_EQ(OfKind(m_canvas, DrawnItem::Kind::Ellipse).size(), 1u);
    EXPECT_EQ(OfKind(m_canvas, DrawnItem::Kind::Line).size(), 5u + 2u + 3u + 3u);
}

}  // namespace
}  // namespace radar
