#include "radar/aids.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "radar/scope.h"
#include "radar/scope_style.h"
#include "radar/target_painter.h"

namespace radar {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRadians = kPi / 180;
constexpr platform::Rgb kRingGrey{80, 80, 80};
constexpr platform::Rgb kAlertRed{255, 40, 40};
constexpr int kAirborneHeightFt = 300;
constexpr int kLevelFpm = 200;  // within it either way an aircraft flies level
constexpr int kMaxRings = 10;

std::string Fixed(double value, int decimals) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

int LastRow(std::int16_t count) {
    return std::clamp<int>(count, 0, static_cast<int>(model::kTrafficRows) - 1);
}

struct Box {
    int left, top, right, bottom;  // right and bottom outside

    // The area both boxes cover, in square pixels.
    long Overlap(const Box& other) const {
        const long w = std::min(right, other.right) - std::max(left, other.left);
        const long h = std::min(bottom, other.bottom) - std::max(top, other.top);
        return w > 0 && h > 0 ? w * h : 0;
    }
};

platform::Rgb Faded(platform::Rgb colour, int age, int steps) {
    auto part = [&](std::uint8_t c) {
        return static_cast<std::uint8_t>(c * (steps - age) / steps);
    };
    return {part(colour.red), part(colour.green), part(colour.blue)};
}

}  // namespace

void TrafficHistory::Record(const TrafficRows& rows, std::int16_t count, double t) {
    std::map<std::string, std::deque<TrackPoint>> seen;
    std::map<std::string, Heard> heard;
    for (int i = 1; i <= LastRow(count); ++i) {
        const model::TrafficEntry& row = rows[static_cast<std::size_t>(i)];
        if (row.name.empty() || (row.latitude == 0 && row.longitude == 0))
            continue;  // no position yet
        const Heard now{t, row.latitude, row.longitude, row.heading, row.altitude};
        auto before = m_heard.find(row.name);
        const bool same = before != m_heard.end() && before->second.latitude == now.latitude &&
                          before->second.longitude == now.longitude &&
                          before->second.heading == now.heading &&
                          before->second.altitude == now.altitude;
        heard[row.name] = same ? before->second : now;
        auto track = m_tracks.extract(row.name);
        std::deque<TrackPoint>& points = seen[row.name];
        if (!track.empty())
            points = std::move(track.mapped());
        points.push_back({row.latitude, row.longitude, row.altitude, t});
        while (points.size() > kTrailDots + 1)
            points.pop_front();
    }
    m_tracks = std::move(seen);
    m_heard = std::move(heard);
}

void TrafficHistory::MarkHeard(const std::string& name, double t) {
    if (auto it = m_heard.find(name); it != m_heard.end())
        it->second.t = std::max(it->second.t, t);
}

std::optional<double> TrafficHistory::SecondsSinceHeard(const std::string& name, double now) const {
    auto it = m_heard.find(name);
    if (it == m_heard.end())
        return std::nullopt;
    return now - it->second.t;
}

void TrafficHistory::Add(const std::string& name, const TrackPoint& point) {
    std::deque<TrackPoint>& points = m_tracks[name];
    points.push_back(point);
    while (points.size() > kTrailDots + 1)
        points.pop_front();
}

const std::deque<TrackPoint>& TrafficHistory::Track(const std::string& name) const {
    static const std::deque<TrackPoint> kNone;
    auto it = m_tracks.find(name);
    return it == m_tracks.end() ? kNone : it->second;
}

std::optional<double> TrafficHistory::GroundSpeedKt(const std::string& name) const {
    const auto& track = Track(name);
    if (track.size() < 2 || track.back().t <= track.front().t)
        return std::nullopt;
    const double nm = DistanceNm(track.front().latitude, track.front().longitude,
                                 track.back().latitude, track.back().longitude);
    return nm / ((track.back().t - track.front().t) / 3600);
}

std::optional<double> TrafficHistory::VerticalSpeedFpm(const std::string& name) const {
    const auto& track = Track(name);
    if (track.size() < 2 || track.back().t <= track.front().t)
        return std::nullopt;
    return (track.back().altitude - track.front().altitude) /
           ((track.back().t - track.front().t) / 60);
}

Trend TrafficHistory::TrendOf(const std::string& name) const {
    const auto fpm = VerticalSpeedFpm(name);
    if (!fpm)
        return Trend::Unknown;
    return *fpm > kLevelFpm    ? Trend::Climbing
           : *fpm < -kLevelFpm ? Trend::Descending
                               : Trend::Level;
}

double DistanceNm(double lat1, double lon1, double lat2, double lon2) {
    const double p1 = lat1 * kRadians;
    const double p2 = lat2 * kRadians;
    const double a =
        std::pow(std::sin((p2 - p1) / 2), 2) +
        std::cos(p1) * std::cos(p2) * std::pow(std::sin((lon2 - lon1) * kRadians / 2), 2);
    return 2 * std::asin(std::min(1.0, std::sqrt(a))) / kRadians * 60;
}

bool PassesFilter(const model::TrafficEntry& row, const AidSettings& aids) {
    return !aids.filter || (row.altitude >= aids.filterLowFt && row.altitude <= aids.filterHighFt);
}

std::vector<Conflict> FindConflicts(const TrafficRows& rows, std::int16_t count,
                                    const TrafficHistory& history, const AidSettings& aids,
                                    std::int32_t fieldElevationFt) {
    auto airborne = [&](const model::TrafficEntry& row) {
        const auto speed = history.GroundSpeedKt(row.name);
        return (speed && *speed > aids.airborneSpeedKt) ||
               row.altitude > fieldElevationFt + kAirborneHeightFt;
    };
    std::vector<int> candidates;
    for (int i = 1; i <= LastRow(count); ++i) {
        const model::TrafficEntry& row = rows[static_cast<std::size_t>(i)];
        if (!row.name.empty() && PassesFilter(row, aids) && airborne(row))
            candidates.push_back(i);
    }
    std::vector<Conflict> found;
    for (std::size_t a = 0; a < candidates.size(); ++a) {
        for (std::size_t b = a + 1; b < candidates.size(); ++b) {
            const model::TrafficEntry& one = rows[static_cast<std::size_t>(candidates[a])];
            const model::TrafficEntry& two = rows[static_cast<std::size_t>(candidates[b])];
            const double lateral =
                DistanceNm(one.latitude, one.longitude, two.latitude, two.longitude);
            const std::int32_t vertical = std::abs(one.altitude - two.altitude);
            if (lateral < aids.conflictLateralNm && vertical < aids.conflictVerticalFt)
                found.push_back(
                    {candidates[a], candidates[b], one.name, two.name, lateral, vertical});
        }
    }
    return found;
}

std::string ConflictLine(const Conflict& conflict) {
    return "CONFLICT " + conflict.nameA + " / " + conflict.nameB + " " +
           Fixed(conflict.lateralNm, 1) + " nm " + std::to_string(conflict.verticalFt) + " ft";
}

RingPlan PlanRings(const View& view, double latitude) {
    RingPlan plan;
    const double spanLon = std::abs(view.m_viewRight - view.m_viewLeft);
    const double spanLat = std::abs(view.m_viewTop - view.m_viewBottom);
    if (spanLon <= 0 || spanLat <= 0 || view.m_scopeWidthPx <= 0 || view.m_scopeHeightPx <= 0)
        return plan;
    const double perNmX =
        view.m_scopeWidthPx / spanLon / 60 / std::max(std::cos(latitude * kRadians), 0.01);
    const double perNmY = view.m_scopeHeightPx / spanLat / 60;
    // Where a 5 nm ring would reach beyond the scope, rings come every mile.
    if (5 * perNmX > view.m_scopeWidthPx / 2.0 || 5 * perNmY > view.m_scopeHeightPx / 2.0)
        plan.spacingNm = 1;
    for (int ring = 1; ring <= kMaxRings; ++ring) {
        const int rx = static_cast<int>(std::lround(ring * plan.spacingNm * perNmX));
        const int ry = static_cast<int>(std::lround(ring * plan.spacingNm * perNmY));
        if (rx < 4 && ry < 4)
            continue;  // too small to tell from the airport's own marks
        if (rx > view.m_scopeWidthPx && ry > view.m_scopeHeightPx)
            break;
        plan.radiiPx.emplace_back(rx, ry);
    }
    return plan;
}

void DrawRings(platform::Canvas& canvas, const View& view, const model::AirportRecord& airport) {
    const RingPlan plan = PlanRings(view, airport.latitude);
    const Pixel centre = Geo_To_Pixel(view, airport.latitude, airport.longitude);
    canvas.SetPen(kRingGrey, 1, platform::PenStyle::Solid);
    canvas.SetFill(kScopeBlack, false);
    for (std::size_t i = 0; i < plan.radiiPx.size(); ++i) {
        const auto [rx, ry] = plan.radiiPx[i];
        canvas.Ellipse(centre.x - rx, centre.y - ry, centre.x + rx, centre.y + ry);
        const int nm = static_cast<int>(i + 1) * plan.spacingNm;
        canvas.Text(centre.x + 3, centre.y - ry + 1, std::to_string(nm) + " nm");
    }
    SetScopeDefaults(canvas);
}

std::vector<BlockPlace> PlaceBlocks(const std::vector<Pixel>& dots,
                                    const std::vector<std::pair<int, int>>& sizes, int dotRadius) {
    const int r = dotRadius;
    std::vector<Box> taken;
    std::vector<Box> dotBoxes;
    for (const Pixel& dot : dots)
        dotBoxes.push_back({dot.x - r, dot.y - r, dot.x + r + 1, dot.y + r + 1});
    std::vector<BlockPlace> places;
    for (std::size_t i = 0; i < dots.size(); ++i) {
        const auto [w, h] = sizes[i];
        const int x = dots[i].x;
        const int y = dots[i].y;
        // The default place first, then round the dot: upper right, up, upper left, left,
        // lower left, down, right.
        const std::pair<int, int> corners[] = {{x, y},
                                               {x + r + 2, y - h - r},
                                               {x - w / 2, y - h - r - 2},
                                               {x - w - r - 2, y - h - r},
                                               {x - w - r - 2, y - h / 2},
                                               {x - w - r - 2, y + r},
                                               {x - w / 2, y + r + 2},
                                               {x + r + 2, y - h / 2}};
        // The first place that overlaps nothing; where every place overlaps something, the
        // one that covers the least of other blocks, then of other dots.
        std::size_t chosen = 0;
        long best = -1;
        for (std::size_t c = 0; c < std::size(corners); ++c) {
            const Box box{corners[c].first, corners[c].second, corners[c].first + w,
                          corners[c].second + h};
            long cost = 0;
            for (const Box& other : taken)
                cost += 16 * box.Overlap(other);
            for (std::size_t d = 0; d < dotBoxes.size(); ++d)
                cost += d == i ? 0 : box.Overlap(dotBoxes[d]);
            if (best < 0 || cost < best) {
                best = cost;
                chosen = c;
            }
            if (cost == 0)
                break;
        }
        const auto [left, top] = corners[chosen];
        taken.push_back({left, top, left + w, top + h});
        places.push_back({left, top, w, h, chosen != 0});
    }
    return places;
}

void DrawTargetsWithAids(platform::Canvas& canvas, const View& view, const TrafficRows& rows,
                         std::int16_t count, const AidSettings& aids, const TrafficHistory& history,
                         const std::vector<Conflict>& conflicts) {
    if (count < 1)
        return;
    SetScopeDefaults(canvas);
    std::vector<bool> alerted(model::kTrafficRows, false);
    for (const Conflict& conflict : conflicts) {
        alerted[static_cast<std::size_t>(conflict.rowA)] = true;
        alerted[static_cast<std::size_t>(conflict.rowB)] = true;
        // The line joining the pair, under the targets, labelled with its distance.
        const auto& one = rows[static_cast<std::size_t>(conflict.rowA)];
        const auto& two = rows[static_cast<std::size_t>(conflict.rowB)];
        const Pixel a = Geo_To_Pixel(view, one.latitude, one.longitude);
        const Pixel b = Geo_To_Pixel(view, two.latitude, two.longitude);
        canvas.SetPen(kAlertRed, 1, platform::PenStyle::Solid);
        canvas.MoveTo(a.x, a.y);
        canvas.LineTo(b.x, b.y);
        canvas.Text((a.x + b.x) / 2 + 3, (a.y + b.y) / 2, Fixed(conflict.lateralNm, 1) + " nm");
    }

    const int r = TargetRadius(view);
    std::vector<int> shown;
    for (int i = 1; i <= LastRow(count); ++i)
        if (PassesFilter(rows[static_cast<std::size_t>(i)], aids))
            shown.push_back(i);

    if (aids.trails) {
        const int trailRadius = std::max(1, r / 2);
        for (int i : shown) {
            const model::TrafficEntry& row = rows[static_cast<std::size_t>(i)];
            const auto& track = history.Track(row.name);
            const platform::Rgb colour =
                alerted[static_cast<std::size_t>(i)] ? kAlertRed : kScopeGreen;
            // The newest point is where the aircraft is; the ones before it fade with age.
            const int steps = static_cast<int>(TrafficHistory::kTrailDots) + 1;
            for (std::size_t k = 0; k + 1 < track.size(); ++k) {
                const int age = static_cast<int>(track.size() - 1 - k);
                const platform::Rgb dim = Faded(colour, age, steps);
                const Pixel at = Geo_To_Pixel(view, track[k].latitude, track[k].longitude);
                canvas.SetPen(dim, 1, platform::PenStyle::Solid);
                canvas.SetFill(dim, true);
                canvas.Ellipse(at.x - trailRadius, at.y - trailRadius, at.x + trailRadius,
                               at.y + trailRadius);
            }
        }
    }

    std::vector<Pixel> dots;
    std::vector<std::vector<std::string>> texts;
    std::vector<std::pair<int, int>> sizes;
    for (int i : shown) {
        const model::TrafficEntry& row = rows[static_cast<std::size_t>(i)];
        dots.push_back(Geo_To_Pixel(view, row.latitude, row.longitude));
        std::vector<std::string> lines{DataBlock(row)};
        if (aids.speedLine) {
            const auto speed = history.GroundSpeedKt(row.name);
            const Trend trend = history.TrendOf(row.name);
            const char* arrow = trend == Trend::Climbing     ? " ^"
                                : trend == Trend::Descending ? " v"
                                : trend == Trend::Level      ? " ="
                                                             : "";
            lines.push_back((speed ? std::to_string(std::lround(*speed)) : std::string("--")) +
                            " kt" + arrow);
        }
        int width = 0;
        for (const std::string& line : lines)
            width = std::max(width, canvas.TextWidth(line));
        sizes.emplace_back(width, canvas.TextHeight() * static_cast<int>(lines.size()));
        texts.push_back(std::move(lines));
    }
    std::vector<BlockPlace> places;
    if (aids.declutter) {
        places = PlaceBlocks(dots, sizes, r);
    } else {
        for (std::size_t k = 0; k < dots.size(); ++k)
            places.push_back({dots[k].x, dots[k].y, sizes[k].first, sizes[k].second, false});
    }

    for (std::size_t k = 0; k < shown.size(); ++k) {
        const std::size_t row = static_cast<std::size_t>(shown[k]);
        const platform::Rgb colour = alerted[row] ? kAlertRed : kScopeGreen;
        const Pixel at = DrawTargetMark(canvas, view, rows[row], colour);
        const BlockPlace& place = places[k];
        if (place.moved) {
            // A leader from the dot to the nearest point of its block.
            const int x = std::clamp(at.x, place.x, place.x + place.width);
            const int y = std::clamp(at.y, place.y, place.y + place.height);
            canvas.MoveTo(at.x, at.y);
            canvas.LineTo(x, y);
        }
        for (std::size_t line = 0; line < texts[k].size(); ++line)
            canvas.Text(place.x, place.y + static_cast<int>(line) * canvas.TextHeight(),
                        texts[k][line]);
    }
    SetScopeDefaults(canvas);
}

void DrawHighlight(platform::Canvas& canvas, const View& view, const TrafficRows& rows,
                   std::int16_t count, const std::string& callsign) {
    constexpr platform::Rgb kHighlight{255, 255, 0};
    const int r = 2 * TargetRadius(view) + 3;
    canvas.SetPen(kHighlight, 2, platform::PenStyle::Solid);
    canvas.SetFill(kScopeBlack, false);
    for (int i = 1; i <= LastRow(count); ++i) {
        const model::TrafficEntry& row = rows[static_cast<std::size_t>(i)];
        if (row.name != callsign)
            continue;
        const Pixel at = Geo_To_Pixel(view, row.latitude, row.longitude);
        canvas.Ellipse(at.x - r, at.y - r, at.x + r, at.y + r);
    }
    SetScopeDefaults(canvas);
}

void DrawUnderlay(platform::Canvas& canvas, const View& view, const AidScene* scene) {
    if (scene && scene->settings.rings)
        DrawRings(canvas, view, model::g_airport);
}

void DrawTrafficLayer(platform::Canvas& canvas, const View& view, const AidScene* scene) {
    if (!scene || !scene->settings.DrawsOnScope() || !scene->history) {
        Draw_Targets(canvas, view);
        return;
    }
    DrawTargetsWithAids(canvas, view, model::g_traffic, model::g_trafficCount, scene->settings,
                        *scene->history, scene->conflicts);
}

}  // namespace radar
