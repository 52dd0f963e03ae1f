#pragma once

// What the radar tests share: positions along a course, a view of a given level, the items of
// one kind a canvas recorded, and an aircraft reporting once a second into a history.

#include <algorithm>
#include <cmath>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "platform/recording_canvas.h"
#include "radar/track_history.h"
#include "radar/view.h"

namespace radar::testing_aids {

inline constexpr double kLat = 47.5;
inline constexpr double kLon = -122.3;
inline constexpr double kRad = 3.14159265358979323846 / 180;

// A position `nm` miles from (lat, lon) on a true course, as a minute of arc is a mile.
inline std::pair<double, double> Along(double lat, double lon, double course, double nm) {
    return {lat + nm * std::cos(course * kRad) / 60,
            lon + nm * std::sin(course * kRad) / 60 / std::cos(lat * kRad)};
}

inline View ViewOver(double lat, double lon, int level, int width = 1000, int height = 500) {
    View view;
    view.m_scopeWidthPx = width;
    view.m_scopeHeightPx = height;
    ResetView(view);
    CenterView(view, lon, lat);
    while (view.m_zoomLevel < level)
        Zoom_In_Step(view);
    return view;
}

inline View ViewAt(int level, int width = 1000, int height = 500) {
    return ViewOver(kLat, kLon, level, width, height);
}

inline std::vector<platform::DrawnItem> OfKind(const platform::RecordingCanvas& canvas,
                                               platform::DrawnItem::Kind kind) {
    std::vector<platform::DrawnItem> items;
    std::copy_if(canvas.Items().begin(), canvas.Items().end(), std::back_inserter(items),
                 [kind](const platform::DrawnItem& item) { return item.kind == kind; });
    return items;
}

// An aircraft flying `course` at `knots` and `fpm` from (lat, lon) at time 0, reporting every
// `every` seconds from `from` to `to` seconds, each report stamped as `stamp` says.
struct Flight {
    std::string name;
    double lat = kLat;
    double lon = kLon;
    int altitude = 3000;
    double course = 0;
    double knots = 0;
    int fpm = 0;

    TrackPoint At(double t) const {
        const auto [pLat, pLon] = Along(lat, lon, course, knots * t / 3600);
        return {pLat, pLon, static_cast<std::int32_t>(std::lround(altitude + fpm * t / 60)), t};
    }
    template <typename Stamp>
    void Report(TrafficHistory& history, double from, double to, double every, Stamp stamp,
                std::int32_t player = 0) const {
        for (double t = from; t <= to + 1e-9; t += every) {
            TrackPoint point = At(t);
            point.t = stamp(t);
            history.Add(name, point, player);
        }
    }
    void Report(TrafficHistory& history, double from, double to, std::int32_t player = 0) const {
        Report(
            history, from, to, 1.0, [](double t) { return t; }, player);
    }
};

}  // namespace radar::testing_aids
