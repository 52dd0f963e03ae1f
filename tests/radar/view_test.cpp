#include "radar/view.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tests/radar/aid_support.h"

namespace radar {
namespace {

using testing_aids::ViewOver;

double Span(const View& view) {
    return view.m_viewRight - view.m_viewLeft;
}
double Height(const View& view) {
    return view.m_viewTop - view.m_viewBottom;
}

TEST(View, TheStartLevelShowsOneAndAHalfDegreesCentredOnTheAirport) {
    const View view = ViewOver(47.449, -122.309, 9, 573, 249);
    EXPECT_EQ(view.m_zoomLevel, 9);
    EXPECT_NEAR(Span(view), 359.9998 / 256, 1e-12);
    EXPECT_NEAR(Height(view), 179.9998 / 256, 1e-12);
    EXPECT_NEAR((view.m_viewLeft + view.m_viewRight) / 2, -122.309, 1e-12);
    EXPECT_NEAR((view.m_viewTop + view.m_viewBottom) / 2, 47.449, 1e-12);
    EXPECT_EQ(Geo_To_Pixel(view, 47.449, -122.309), (Pixel{286, 124}));  // 286.5 rounds to even
}

TEST(View, SpansHalvePerLevelAndTheEndsChangeNothing) {
    View view = ViewOver(10, 20, 9, 573, 249);
    for (int level = 9; level < 20; ++level) {
        const double before = Span(view);
        ASSERT_TRUE(Zoom_In_Step(view));
        EXPECT_EQ(view.m_zoomLevel, level + 1);
        EXPECT_NEAR(Span(view), before / 2, 1e-12);
        EXPECT_NEAR(Span(view), 359.9998 / std::pow(2.0, level), 1e-12);
    }
    const View atTwenty = view;
    EXPECT_FALSE(Zoom_In_Step(view));  // the twelfth press from the start
    EXPECT_EQ(view.m_zoomLevel, 20);
    EXPECT_EQ(view.m_viewLeft, atTwenty.m_viewLeft);
    EXPECT_NEAR(Span(view), 0.000686645, 1e-9);

    while (Zoom_Out_Step(view)) {
    }
    EXPECT_EQ(view.m_zoomLevel, 1);
    EXPECT_NEAR(Span(view), 359.9998, 1e-8);
    EXPECT_NEAR(Height(view), 179.9998, 1e-8);
}

TEST(View, EdgesProjectToTheScopeEdgesWithoutClipping) {
    const View view = ViewOver(10, 20, 9, 573, 249);
    EXPECT_EQ(Geo_To_Pixel(view, view.m_viewTop, view.m_viewLeft), (Pixel{0, 0}));
    EXPECT_EQ(Geo_To_Pixel(view, view.m_viewBottom, view.m_viewRight), (Pixel{573, 249}));
    EXPECT_LT(Geo_To_Pixel(view, 10, 10).x, 0);
    EXPECT_GT(Geo_To_Pixel(view, 0, 20).y, 249);
}

TEST(View, AViewOverTheDateLineDoesNotWrap) {
    const View view = ViewOver(0, 179.9, 9, 573, 249);
    EXPECT_GT(view.m_viewRight, 180);
    EXPECT_GT(Geo_To_Pixel(view, 0, 180.2).x, 286);      // past 180, still on the scope
    EXPECT_LT(Geo_To_Pixel(view, 0, -179.8).x, -40000);  // the other side lies far away
}

TEST(View, CentringKeepsTheLevelAndThePointerReadsGeographicCoordinates) {
    View view = ViewOver(47.449, -122.309, 9, 573, 249);
    const GeoPoint clicked = Pixel_To_Geo(view, 500, 20);
    CenterView(view, clicked.longitude, clicked.latitude);
    EXPECT_EQ(view.m_zoomLevel, 9);
    EXPECT_EQ(Geo_To_Pixel(view, clicked.latitude, clicked.longitude), (Pixel{286, 124}));
    CenterView(view, -122.309, 47.449);  // CENTER: back on the airport
    EXPECT_NEAR((view.m_viewLeft + view.m_viewRight) / 2, -122.309, 1e-12);
    EXPECT_NEAR(Span(view), 359.9998 / 256, 1e-12);
    const GeoPoint corner = Pixel_To_Geo(view, 0, 0);
    EXPECT_DOUBLE_EQ(corner.longitude, view.m_viewLeft);
    EXPECT_DOUBLE_EQ(corner.latitude, view.m_viewTop);
}

TEST(View, SymbolSizesArePercentOfTheWidth) {
    View view;
    view.m_scopeWidthPx = 573;
    EXPECT_EQ(Percent_To_Pixels(view, 0.8), 5);  // 4.584
    EXPECT_EQ(Percent_To_Pixels(view, 1.5), 9);  // 8.595
    view.m_scopeWidthPx = 1900;
    EXPECT_EQ(Percent_To_Pixels(view, 1.5), 28);  // 28.5 rounds to even
}

}  // namespace
}  // namespace radar
