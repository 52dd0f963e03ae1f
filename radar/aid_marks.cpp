#include "radar/aid_marks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "model/geodesy.h"
#include "model/shared_state.h"
#include "radar/aids.h"
#include "radar/scope.h"
#include "radar/scope_style.h"

namespace radar {
namespace {

constexpr double kRadians = 3.14159265358979323846 / 180;
constexpr platform::Rgb kRingGrey{80, 80, 80};
constexpr platform::Rgb kCentreline{0, 96, 0};  // the runways' green at half intensity
constexpr platform::Rgb kLineColour{0, 200, 255};
constexpr int kMaxRings = 40;
constexpr int kShortTickPx = 3;
constexpr int kLongTickPx = 6;

std::string Fixed(double value, int decimals) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// Pixels per nautical mile across and up the view at a latitude.
std::pair<double, double> PixelsPerNm(const View& view, double latitude) {
    const double spanLon = std::abs(view.m_viewRight - view.m_viewLeft);
    const double spanLat = std::abs(view.m_viewTop - view.m_viewBottom);
    if (spanLon <= 0 || spanLat <= 0)
        return {0, 0};
    return {view.m_scopeWidthPx / spanLon / 60 / std::max(std::cos(latitude * kRadians), 0.01),
            view.m_scopeHeightPx / spanLat / 60};
}

// The point `nm` miles from (lat, lon) along the unit direction (east, north).
std::pair<double, double> Step(double lat, double lon, double east, double north, double nm) {
    return {lat + north * nm / 60, lon + east * nm / 60 / std::max(std::cos(lat * kRadians), 0.01)};
}

std::string RingLabel(double nm) {
    char text[32];
    std::snprintf(text, sizeof text, "%g nm", nm);
    return text;
}

}  // namespace

RingPlan PlanRings(const View& view, double latitude, double longitude) {
    RingPlan plan;
    const auto [perNmX, perNmY] = PixelsPerNm(view, latitude);
    if (perNmX <= 0 || view.m_scopeWidthPx <= 0 || view.m_scopeHeightPx <= 0)
        return plan;
    // The smallest spacing of 0.1, 0.2, 0.5, 1, 2, 5, 10 … that keeps the rings apart.
    const double perNm = std::min(perNmX, perNmY);
    for (int power = -1; power <= 4; ++power) {
        const double decade = std::pow(10.0, power);
        const double steps[] = {decade, 2 * decade, 5 * decade};
        const double* fits = std::find_if(std::begin(steps), std::end(steps),
                                          [&](double nm) { return nm * perNm >= kRingGapPx; });
        plan.spacingNm = fits != std::end(steps) ? *fits : 5 * decade;
        if (fits != std::end(steps))
            break;
    }
    // The scope's corner farthest from the centre, each way.
    const Pixel centre = Geo_To_Pixel(view, latitude, longitude);
    const double farX = std::max(std::abs(centre.x), std::abs(view.m_scopeWidthPx - centre.x));
    const double farY = std::max(std::abs(centre.y), std::abs(view.m_scopeHeightPx - centre.y));
    for (int ring = 1; ring <= kMaxRings; ++ring) {
        const int rx = static_cast<int>(std::lround(ring * plan.spacingNm * perNmX));
        const int ry = static_cast<int>(std::lround(ring * plan.spacingNm * perNmY));
        if (rx <= 0 || ry <= 0)
            continue;
        if (std::pow(farX / rx, 2) + std::pow(farY / ry, 2) <= 1)
            break;  // round the whole scope: nothing of it shows
        plan.radiiPx.emplace_back(rx, ry);
    }
    return plan;
}

void PlaceRingLabels(const platform::Canvas& canvas, const View& view,
                     const model::AirportRecord& airport, RingPlan& plan,
                     const std::vector<Box>& obstacles) {
    const Box scope{0, 0, view.m_scopeWidthPx, view.m_scopeHeightPx};
    std::optional<long> best;
    int chosen = plan.labelRadial;
    for (int radial : {45, 135, 225, 315, 0, 90, 180, 270}) {
        plan.labelRadial = radial;
        long cost = 0;
        long shown = 0;
        for (const Box& label : RingLabelBoxes(canvas, view, airport, plan)) {
            if (label.Outside(scope) > 0)
                continue;
            ++shown;
            for (const Box& obstacle : obstacles)
                cost += label.Overlap(obstacle);
        }
        // Labels on the scope count most; then the fewest covered pixels.
        cost -= shown * 1000000L;
        if (!best || cost < *best) {
            best = cost;
            chosen = radial;
        }
    }
    plan.labelRadial = chosen;
}

std::vector<Box> RingLabelBoxes(const platform::Canvas& canvas, const View& view,
                                const model::AirportRecord& airport, const RingPlan& plan) {
    std::vector<Box> boxes;
    const Pixel centre = Geo_To_Pixel(view, airport.latitude, airport.longitude);
    const double s = std::sin(plan.labelRadial * kRadians);
    const double c = std::cos(plan.labelRadial * kRadians);
    for (std::size_t i = 0; i < plan.radiiPx.size(); ++i) {
        const auto [rx, ry] = plan.radiiPx[i];
        const int x = centre.x + static_cast<int>(std::lround(rx * s)) + 3;
        const int y = centre.y - static_cast<int>(std::lround(ry * c)) + 1;
        const std::string text = RingLabel(static_cast<double>(i + 1) * plan.spacingNm);
        boxes.push_back({x, y, x + canvas.TextWidth(text), y + canvas.TextHeight()});
    }
    return boxes;
}

void DrawRings(platform::Canvas& canvas, const View& view, const model::AirportRecord& airport,
               const RingPlan& plan) {
    const Pixel centre = Geo_To_Pixel(view, airport.latitude, airport.longitude);
    canvas.SetPen(kRingGrey, 1, platform::PenStyle::Solid);
    canvas.SetFill(kScopeBlack, false);
    for (const auto& [rx, ry] : plan.radiiPx)
        canvas.Ellipse(centre.x - rx, centre.y - ry, centre.x + rx, centre.y + ry);
    const std::vector<Box> labels = RingLabelBoxes(canvas, view, airport, plan);
    for (std::size_t i = 0; i < labels.size(); ++i)
        canvas.Text(labels[i].left, labels[i].top,
                    RingLabel(static_cast<double>(i + 1) * plan.spacingNm));
    SetScopeDefaults(canvas);
}

std::vector<Box> SceneLabelBoxes(const platform::Canvas& canvas, const View& view,
                                 const model::AirportRecord& airport) {
    std::vector<Box> boxes;
    auto add = [&](double lat, double lon, const std::string& text) {
        const Pixel at = Geo_To_Pixel(view, lat, lon);
        boxes.push_back({at.x, at.y, at.x + canvas.TextWidth(text), at.y + canvas.TextHeight()});
    };
    if (view.m_zoomLevel > kLastAirspaceLevel) {
        for (std::size_t i = 0; i < model::UsedCount(airport.runways, airport.runwayCount); ++i) {
            const model::RunwayRecord& runway = airport.runways[i];
            add(runway.end1Latitude, runway.end1Longitude, runway.designator);
            add(runway.end2Latitude, runway.end2Longitude, runway.oppositeDesignator);
        }
    }
    if (model::g_showAirportName)
        add(airport.latitude, airport.longitude, airport.name);
    return boxes;
}

void DrawCentrelines(platform::Canvas& canvas, const View& view,
                     const model::AirportRecord& airport) {
    canvas.SetPen(kCentreline, 1, platform::PenStyle::Solid);
    canvas.SetFill(kScopeBlack, false);
    for (std::size_t i = 0; i < model::UsedCount(airport.runways, airport.runwayCount); ++i) {
        const model::RunwayRecord& runway = airport.runways[i];
        const std::pair<double, double> ends[2][2] = {
            {{runway.end1Latitude, runway.end1Longitude},
             {runway.end2Latitude, runway.end2Longitude}},
            {{runway.end2Latitude, runway.end2Longitude},
             {runway.end1Latitude, runway.end1Longitude}}};
        for (const auto& [end, other] : ends) {
            // Outward from this end, away from the other.
            double east = (end.second - other.second) * std::cos(end.first * kRadians);
            double north = end.first - other.first;
            const double length = std::hypot(east, north);
            if (length <= 0)
                continue;
            east /= length;
            north /= length;
            const Pixel start = Geo_To_Pixel(view, end.first, end.second);
            const auto far = Step(end.first, end.second, east, north, kCentrelineNm);
            const Pixel stop = Geo_To_Pixel(view, far.first, far.second);
            canvas.MoveTo(start.x, start.y);
            canvas.LineTo(stop.x, stop.y);
            const double px = stop.x - start.x;
            const double py = stop.y - start.y;
            const double pixels = std::hypot(px, py);
            if (pixels < 1)
                continue;
            for (int nm = 1; nm <= kCentrelineNm; ++nm) {
                const auto at = Step(end.first, end.second, east, north, nm);
                const Pixel tick = Geo_To_Pixel(view, at.first, at.second);
                const double half = nm % 5 == 0 ? kLongTickPx : kShortTickPx;
                const int dx = static_cast<int>(std::lround(-py / pixels * half));
                const int dy = static_cast<int>(std::lround(px / pixels * half));
                canvas.MoveTo(tick.x - dx, tick.y - dy);
                canvas.LineTo(tick.x + dx, tick.y + dy);
            }
        }
    }
    SetScopeDefaults(canvas);
}

std::optional<TrackPoint> Locate(const LineEnd& end, const TargetPositions& targets) {
    if (end.callsign.empty())
        return TrackPoint{end.latitude, end.longitude, 0, 0};
    for (const auto& [name, at] : targets)
        if (name == end.callsign)
            return at;
    return std::nullopt;
}

std::optional<LineFigures> Figures(const RangeBearingLine& line, const TargetPositions& targets,
                                   const TrafficHistory& history, double now) {
    const auto a = Locate(line.from, targets);
    const auto b = Locate(line.to, targets);
    if (!a || !b)
        return std::nullopt;
    LineFigures figures;
    figures.distanceNm = DistanceNm(a->latitude, a->longitude, b->latitude, b->longitude);
    figures.bearingMagnetic =
        model::Bearing_Magnetic(a->latitude, a->longitude, b->latitude, b->longitude);
    if (line.from.callsign.empty() || line.to.callsign.empty())
        return figures;
    const auto ma = history.MotionOf(line.from.callsign, now);
    const auto mb = history.MotionOf(line.to.callsign, now);
    if (!ma || !mb)
        return figures;
    // Relative to the first: position in miles, velocity in miles a second.
    const double px = (b->longitude - a->longitude) * 60 * std::cos(a->latitude * kRadians);
    const double py = (b->latitude - a->latitude) * 60;
    const double vx = (mb->eastKt - ma->eastKt) / 3600;
    const double vy = (mb->northKt - ma->northKt) / 3600;
    const double speed2 = vx * vx + vy * vy;
    if (speed2 < 1e-12)
        return figures;
    const double t = -(px * vx + py * vy) / speed2;
    if (t <= 0)
        return figures;  // drawing apart
    figures.cpaNm = std::hypot(px + vx * t, py + vy * t);
    figures.cpaSeconds = t;
    return figures;
}

std::string FiguresText(const LineFigures& figures) {
    std::string text =
        Fixed(figures.distanceNm, 1) + " nm " + std::to_string(figures.bearingMagnetic) + " *";
    if (figures.cpaNm && figures.cpaSeconds) {
        const long seconds = std::lround(*figures.cpaSeconds);
        char clock[32];
        std::snprintf(clock, sizeof clock, "%ld:%02ld", seconds / 60, seconds % 60);
        text += "  CPA " + Fixed(*figures.cpaNm, 1) + " nm " + clock;
    }
    return text;
}

void DrawLabelledLine(platform::Canvas& canvas, const View& view, const TrackPoint& from,
                      const TrackPoint& to, platform::Rgb colour, const std::string& label) {
    const Pixel a = Geo_To_Pixel(view, from.latitude, from.longitude);
    const Pixel b = Geo_To_Pixel(view, to.latitude, to.longitude);
    canvas.SetPen(colour, 1, platform::PenStyle::Solid);
    canvas.MoveTo(a.x, a.y);
    canvas.LineTo(b.x, b.y);
    canvas.Text((a.x + b.x) / 2 + 3, (a.y + b.y) / 2, label);
}

void DrawRangeBearingLines(platform::Canvas& canvas, const View& view,
                           const std::vector<RangeBearingLine>& lines,
                           const TargetPositions& targets, const TrafficHistory& history,
                           double now) {
    for (const RangeBearingLine& line : lines) {
        const auto a = Locate(line.from, targets);
        const auto b = Locate(line.to, targets);
        const auto figures = Figures(line, targets, history, now);
        if (a && b && figures)
            DrawLabelledLine(canvas, view, *a, *b, kLineColour, FiguresText(*figures));
    }
    SetScopeDefaults(canvas);
}

std::optional<std::size_t> LineNear(const View& view, const std::vector<RangeBearingLine>& lines,
                                    const TargetPositions& targets, int x, int y, int tolerancePx) {
    for (std::size_t k = lines.size(); k-- > 0;) {
        const auto a = Locate(lines[k].from, targets);
        const auto b = Locate(lines[k].to, targets);
        if (!a || !b)
            continue;
        const Pixel pa = Geo_To_Pixel(view, a->latitude, a->longitude);
        const Pixel pb = Geo_To_Pixel(view, b->latitude, b->longitude);
        const double dx = pb.x - pa.x;
        const double dy = pb.y - pa.y;
        const double length2 = dx * dx + dy * dy;
        const double t =
            length2 > 0 ? std::clamp(((x - pa.x) * dx + (y - pa.y) * dy) / length2, 0.0, 1.0) : 0;
        if (std::hypot(pa.x + t * dx - x, pa.y + t * dy - y) <= tolerancePx)
            return k;
    }
    return std::nullopt;
}

}  // namespace radar
