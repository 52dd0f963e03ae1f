#pragma once

// The scope's view: the rectangle of longitude and latitude it shows, its size in pixels and
// its zoom level, and the plain linear projection of positions onto it. Longitude runs left
// to right and latitude bottom to top, each with its own scale; nothing wraps at the date
// line, and positions outside the view project outside the scope.

#include <cstdint>

namespace radar {

inline constexpr std::int16_t kWidestLevel = 1;
inline constexpr std::int16_t kClosestLevel = 20;
inline constexpr std::int16_t kStartLevel = 9;
// The scope's size in pixels as the main window lays it out before any resize.
inline constexpr int kDesignWidthPx = 573;
inline constexpr int kDesignHeightPx = 249;

struct View {
    double m_viewLeft = -179.9999;  // longitude of the left edge, degrees
    double m_viewTop = 89.9999;     // latitude of the top edge
    double m_viewRight = 179.9999;
    double m_viewBottom = -89.9999;
    std::int32_t m_scopeWidthPx = 0;
    std::int32_t m_scopeHeightPx = 0;
    std::int16_t m_zoomLevel = kWidestLevel;
};

struct Pixel {
    int x = 0;
    int y = 0;

    bool operator==(const Pixel&) const = default;
};

// A pointer position in the scope's user coordinates: x is longitude, y latitude.
struct GeoPoint {
    double longitude = 0;
    double latitude = 0;
};

// Whole pixels, halves to even; no clipping.
Pixel Geo_To_Pixel(const View& view, double lat, double lon);

// The longitude and latitude under a pixel position, unrounded, as pointer events report them.
GeoPoint Pixel_To_Geo(const View& view, double x, double y);

// A size given in percent of the scope width, in whole pixels.
int Percent_To_Pixels(const View& view, double percent);

// One level closer (the spans halve about the centre) or wider (they double); false at the
// ends, where the view stays as it is.
bool Zoom_In_Step(View& view);
bool Zoom_Out_Step(View& view);

// Moves the view so that (x = longitude, y = latitude) is in its middle, keeping the level.
void CenterView(View& view, double x, double y);

// The view moved by (dx, dy) pixels of the scope: the picture follows the pointer that drags
// it, so a positive dx shows what lay to the west.
void PanPixels(View& view, double dx, double dy);

// One level closer or wider, keeping the position under pixel (x, y) where it is; false at
// the ends, where the view stays as it is.
bool ZoomAbout(View& view, bool zoomIn, double x, double y);

// The whole world at level 1, as the main window starts.
void ResetView(View& view);

}  // namespace radar
