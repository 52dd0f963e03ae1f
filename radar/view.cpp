#include "radar/view.h"

#include <cmath>

#include "model/rounding.h"

namespace radar {

Pixel Geo_To_Pixel(const View& view, double lat, double lon) {
    const double x =
        ((lon - view.m_viewLeft) / (view.m_viewRight - view.m_viewLeft)) * view.m_scopeWidthPx;
    const double y =
        ((view.m_viewTop - lat) / (view.m_viewTop - view.m_viewBottom)) * view.m_scopeHeightPx;
    return {model::RoundToInt(x), model::RoundToInt(y)};
}

GeoPoint Pixel_To_Geo(const View& view, double x, double y) {
    const double width = view.m_scopeWidthPx > 0 ? view.m_scopeWidthPx : 1;
    const double height = view.m_scopeHeightPx > 0 ? view.m_scopeHeightPx : 1;
    return {view.m_viewLeft + x / width * (view.m_viewRight - view.m_viewLeft),
            view.m_viewTop - y / height * (view.m_viewTop - view.m_viewBottom)};
}

int Percent_To_Pixels(const View& view, double percent) {
    return model::RoundToInt(percent * view.m_scopeWidthPx / 100);
}

bool Zoom_In_Step(View& view) {
    if (view.m_zoomLevel < kWidestLevel || view.m_zoomLevel >= kClosestLevel) {
        return false;
    }
    const double dx = std::abs(view.m_viewRight - view.m_viewLeft) / 4;
    const double dy = std::abs(view.m_viewBottom - view.m_viewTop) / 4;
    view.m_viewLeft += dx;
    view.m_viewRight -= dx;
    view.m_viewTop -= dy;
    view.m_viewBottom += dy;
    ++view.m_zoomLevel;
    return true;
}

bool Zoom_Out_Step(View& view) {
    if (view.m_zoomLevel < kWidestLevel + 1 || view.m_zoomLevel > kClosestLevel) {
        return false;
    }
    const double dx = std::abs(view.m_viewRight - view.m_viewLeft) / 2;
    const double dy = std::abs(view.m_viewBottom - view.m_viewTop) / 2;
    view.m_viewLeft -= dx;
    view.m_viewRight += dx;
    view.m_viewTop += dy;
    view.m_viewBottom -= dy;
    --view.m_zoomLevel;
    return true;
}

void CenterView(View& view, double x, double y) {
    const double halfWidth = std::abs(view.m_viewRight - view.m_viewLeft) / 2;
    const double halfHeight = std::abs(view.m_viewTop - view.m_viewBottom) / 2;
    view.m_viewLeft = x - halfWidth;
    view.m_viewRight = x + halfWidth;
    view.m_viewTop = y + halfHeight;
    view.m_viewBottom = y - halfHeight;
}

void PanPixels(View& view, double dx, double dy) {
    const double width = view.m_scopeWidthPx > 0 ? view.m_scopeWidthPx : 1;
    const double height = view.m_scopeHeightPx > 0 ? view.m_scopeHeightPx : 1;
    const double dLon = dx / width * (view.m_viewRight - view.m_viewLeft);
    const double dLat = dy / height * (view.m_viewTop - view.m_viewBottom);
    view.m_viewLeft -= dLon;
    view.m_viewRight -= dLon;
    view.m_viewTop += dLat;
    view.m_viewBottom += dLat;
}

bool ZoomAbout(View& view, bool zoomIn, double x, double y) {
    const GeoPoint before = Pixel_To_Geo(view, x, y);
    if (!(zoomIn ? Zoom_In_Step(view) : Zoom_Out_Step(view))) {
        return false;
    }
    const GeoPoint after = Pixel_To_Geo(view, x, y);
    const double dLon = before.longitude - after.longitude;
    const double dLat = before.latitude - after.latitude;
    view.m_viewLeft += dLon;
    view.m_viewRight += dLon;
    view.m_viewTop += dLat;
    view.m_viewBottom += dLat;
    return true;
}

void ResetView(View& view) {
    view.m_viewLeft = -179.9999;
    view.m_viewTop = 89.9999;
    view.m_viewRight = 179.9999;
    view.m_viewBottom = -89.9999;
    view.m_zoomLevel = kWidestLevel;
}

}  // namespace radar
