// The airspace and target layers, and the order and gating of the scope's layers, on the
// recording canvas.

#include <gtest/gtest.h>

#include <algorithm>

#include "model/geodesy.h"
#include "model/shared_state.h"
#include "platform/recording_canvas.h"
#include "radar/diagram_painter.h"
#include "radar/scope.h"
#include "radar/target_painter.h"
#include "tests/radar/aid_support.h"

namespace radar {
namespace {

using platform::DrawnItem;
using platform::PenStyle;
using platform::RecordingCanvas;
using platform::Rgb;
using testing_aids::OfKind;
using testing_aids::ViewOver;

constexpr Rgb kCyan{0, 255, 255};
constexpr Rgb kYellow{255, 255, 0};

model::AirspaceRecord Airspace(const std::string& label, double lat, double lon,
                               std::vector<model::AirspaceVertex> vertices) {
    model::AirspaceRecord a;
    a.classLabel = label;
    a.centerLatitude = lat;
    a.centerLongitude = lon;
    a.vertexCount = static_cast<std::int32_t>(vertices.size());
    a.vertices = std::move(vertices);
    a.vertices.emplace_back();
    return a;
}

class Scope : public ::testing::Test {
protected:
    void SetUp() override {
        model::ResetSharedState();
        model::g_showAirspaces = model::g_showAirportName = model::g_showILS = true;
        model::g_showTaxiways = model::g_showTaxiwayIds = model::g_showParkings = true;
        model::g_airport.name = "Home";
        model::g_airport.latitude = 47.5;
        model::g_airport.longitude = -122.3;
    }
    void TearDown() override { model::ResetSharedState(); }

    void SetAirspaces(std::vector<model::AirspaceRecord> airspaces) {
        model::g_airspaceCount = static_cast<std::int32_t>(airspaces.size());
        model::g_airspaces = std::move(airspaces);
        model::g_airspaces.emplace_back();
    }

    RecordingCanvas m_canvas{1000, 500};
};

TEST_F(Scope, TheTerminalCircleHasCornersTwentyEightMilesOut) {
    SetAirspaces({Airspace("TRACON (Departure/Approach)", 47.5, -122.3,
                           {{1, 47.5, -122.3, 0}, {2, 0, 0, 20}})});
    const View view = ViewOver(47.5, -122.3, 6);
    Draw_Airspaces(m_canvas, view, model::g_airspaces, model::g_airspaceCount, {});
    const auto ellipses = OfKind(m_canvas, DrawnItem::Kind::Ellipse);
    ASSERT_EQ(ellipses.size(), 2u);  // the reference dot, then the circle
    EXPECT_TRUE(ellipses[0].fillSolid);
    EXPECT_EQ(ellipses[0].pen, kCyan);
    const model::Position a = model::Destination_NM(47.5, -122.3, 315, 28);
    const model::Position b = model::Destination_NM(47.5, -122.3, 135, 28);
    EXPECT_EQ((Pixel{ellipses[1].x1, ellipses[1].y1}), Geo_To_Pixel(view, a.latitude, a.longitude));
    EXPECT_EQ((Pixel{ellipses[1].x2, ellipses[1].y2}), Geo_To_Pixel(view, b.latitude, b.longitude));
    EXPECT_FALSE(ellipses[1].fillSolid);
    EXPECT_EQ(ellipses[1].penWidth, 1);
    EXPECT_EQ(ellipses[1].penStyle, PenStyle::Solid);
}

TEST_F(Scope, LineStylesByClassAndClassDOnlyWhenSelected) {
    const std::vector<model::AirspaceVertex> square = {
        {0, 47.0, -123.0, 0}, {5, 48.0, -123.0, 0}, {5, 48.0, -122.0, 0}};
    SetAirspaces({Airspace("ARTCC/FIR", 47.1, -122.9, square),
                  Airspace("Airspace Class B", 47.2, -122.8, square),
                  Airspace("Airspace Class C", 47.3, -122.7, square),
                  Airspace("Airspace Class D", 47.4, -122.6, square)});
    const View view = ViewOver(47.5, -122.3, 7);
    Draw_Airspaces(m_canvas, view, model::g_airspaces, model::g_airspaceCount, {});
    const auto lines = OfKind(m_canvas, DrawnItem::Kind::Line);
    ASSERT_EQ(lines.size(), 6u);  // class D is not drawn
    EXPECT_EQ(lines[0].penWidth, 4);
    EXPECT_EQ(lines[0].penStyle, PenStyle::Solid);
    EXPECT_EQ(lines[2].penStyle, PenStyle::Dashed);
    EXPECT_EQ(lines[4].penStyle, PenStyle::Dashed);

    // Selected, class D comes last, in yellow with a solid 1-pixel pen.
    m_canvas.Forget();
    AirspaceSelection selection{"x", "Airspace Class D", 47.4, -122.6};
    Draw_Airspaces(m_canvas, view, model::g_airspaces, model::g_airspaceCount, selection);
    const auto withD = OfKind(m_canvas, DrawnItem::Kind::Line);
    ASSERT_EQ(withD.size(), 8u);
    EXPECT_EQ(withD.back().pen, kYellow);
    EXPECT_EQ(withD.back().penWidth, 1);
    EXPECT_EQ(withD.back().penStyle, PenStyle::Solid);
    EXPECT_EQ(m_canvas.State().pen, kScopeGreen);  // defaults at the end

    // A selection with an empty text selects nothing.
    m_canvas.Forget();
    Draw_Airspaces(m_canvas, view, model::g_airspaces, model::g_airspaceCount,
                   {"", "Airspace Class B", 47.2, -122.8});
    EXPECT_EQ(OfKind(m_canvas, DrawnItem::Kind::Line).size(), 6u);
}

TEST_F(Scope, ArcsRunBetweenTheirRadialsAndALineAfterACircleStartsAtThePen) {
    SetAirspaces({Airspace("Airspace Class B", 47.5, -122.3,
                           {{0, 47.6, -122.3, 0},
                            {1, 47.5, -122.3, 0},
                            {4, 47.5, -122.15, 0},
                            {3, 47.4, -122.3, 0},
                            {2, 0, 0, 0},
                            {5, 47.45, -122.5, 0}})});
    const View view = ViewOver(47.5, -122.3, 8);
    Draw_Airspaces(m_canvas, view, model::g_airspaces, model::g_airspaceCount, {});
    const auto arcs = OfKind(m_canvas, DrawnItem::Kind::Arc);
    ASSERT_EQ(arcs.size(), 2u);
    const Pixel north = Geo_To_Pixel(view, 47.6, -122.3);
    const Pixel east = Geo_To_Pixel(view, 47.5, -122.15);
    const Pixel south = Geo_To_Pixel(view, 47.4, -122.3);
    // Kind 4 from the previous point to the element; kind 3 from the element back.
    EXPECT_EQ((Pixel{arcs[0].startX, arcs[0].startY}), north);
    EXPECT_EQ((Pixel{arcs[0].endX, arcs[0].endY}), east);
    EXPECT_EQ((Pixel{arcs[1].startX, arcs[1].startY}), south);
    EXPECT_EQ((Pixel{arcs[1].endX, arcs[1].endY}), east);
    // The radius below 1 became 1 in the scene.
    EXPECT_EQ(model::g_airspaces[0].vertices[4].radius, 1);
    // The line after the circle starts where the last arc left the pen.
    const auto lines = OfKind(m_canvas, DrawnItem::Kind::Line);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ((Pixel{lines[0].x1, lines[0].y1}), south);
}

TEST_F(Scope, TargetsDrawADotAHeadingLineAndTheirDataBlock) {
    model::g_magvarTable[static_cast<std::size_t>((48 + 90) + 181 * 238)] = 1821;  // 10° east
    model::g_traffic[1] = {"ABC1", 3500, 0, -122.3, 47.5, "", ""};
    model::g_traffic[2] = {"", 120, 270.5, -122.31, 47.49, "", ""};
    model::g_trafficCount = 2;
    const View view = ViewOver(47.5, -122.3, 14);
    Draw_Targets(m_canvas, view);
    const auto texts = OfKind(m_canvas, DrawnItem::Kind::Text);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0].text, "ABC1 Hdg: 0 Alt: 3500");
    EXPECT_EQ(texts[1].text, " Hdg: 270.5 Alt: 120");
    const Pixel at = Geo_To_Pixel(view, 47.5, -122.3);
    EXPECT_EQ((Pixel{texts[0].x1, texts[0].y1}), at);  // the block starts at the dot's centre
    const auto lines = OfKind(m_canvas, DrawnItem::Kind::Line);
    const model::Position tip = model::Destination_Feet(47.5, -122.3, 10, 500);
    EXPECT_EQ((Pixel{lines[0].x2, lines[0].y2}), Geo_To_Pixel(view, tip.latitude, tip.longitude));
    const auto dots = OfKind(m_canvas, DrawnItem::Kind::Ellipse);
    ASSERT_EQ(dots.size(), 2u);
    EXPECT_EQ(dots[0].x2 - dots[0].x1, 2 * Percent_To_Pixels(view, 0.8));
    EXPECT_TRUE(dots[0].fillSolid);

    m_canvas.Forget();
    model::g_trafficCount = 0;
    Draw_Targets(m_canvas, view);
    EXPECT_TRUE(m_canvas.Items().empty());
}

TEST_F(Scope, LevelTwelveShowsAirspacesAndThirteenTheDiagramTheNameAlways) {
    SetAirspaces({Airspace("TRACON (Departure/Approach)", 47.5, -122.3,
                           {{1, 47.5, -122.3, 0}, {2, 0, 0, 20}})});
    model::g_airport.parkings = {{"P 1", 47.5, -122.3, 30}};
    model::g_airport.parkingCount = 1;
    model::g_airport.runways.resize(2);
    model::g_airport.runways[0] = {"16", "34", 47.51, -122.3, 47.49, -122.3,
                                   0,    160,  340,   8000,   150};
    model::g_airport.runwayCount = 1;

    Redraw_Scope(m_canvas, ViewOver(47.5, -122.3, 12), {});
    auto ellipses = OfKind(m_canvas, DrawnItem::Kind::Ellipse);
    ASSERT_EQ(ellipses.size(), 2u);
    EXPECT_EQ(ellipses[0].pen, kCyan);  // airspace dot, no parking
    EXPECT_TRUE(OfKind(m_canvas, DrawnItem::Kind::Line).empty());
    EXPECT_EQ(OfKind(m_canvas, DrawnItem::Kind::Text).back().text, "Home");

    m_canvas.Forget();
    Redraw_Scope(m_canvas, ViewOver(47.5, -122.3, 13), {});
    ellipses = OfKind(m_canvas, DrawnItem::Kind::Ellipse);
    ASSERT_EQ(ellipses.size(), 1u);
    EXPECT_EQ(ellipses[0].pen, (Rgb{128, 64, 64}));  // the parking
    const auto texts = OfKind(m_canvas, DrawnItem::Kind::Text);
    ASSERT_EQ(texts.size(), 3u);  // designators, then the name last
    EXPECT_EQ(texts[2].text, "Home");

    m_canvas.Forget();
    model::g_showAirportName = model::g_showParkings = model::g_showAirspaces = false;
    Redraw_Scope(m_canvas, ViewOver(47.5, -122.3, 13), {});
    EXPECT_TRUE(OfKind(m_canvas, DrawnItem::Kind::Ellipse).empty());
    EXPECT_EQ(OfKind(m_canvas, DrawnItem::Kind::Text).size(), 2u);  // runways need no flag
    m_canvas.Forget();
    Redraw_Scope(m_canvas, ViewOver(47.5, -122.3, 5), {});
    EXPECT_TRUE(m_canvas.Items().empty());
}

}  // namespace
}  // namespace radar
