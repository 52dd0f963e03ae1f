#include "radar/aids.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <set>

#include "radar/scope.h"
#include "radar/scope_style.h"
#include "radar/target_painter.h"

namespace radar {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRadians = kPi / 180;
constexpr platform::Rgb kAlertRed{255, 40, 40};

int LastRow(std::int16_t count) {
    return std::clamp<int>(count, 0, static_cast<int>(model::kTrafficRows) - 1);
}

std::string Fixed(double value, int decimals) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

platform::Rgb Faded(platform::Rgb colour, int age, int steps) {
    auto part = [&](std::uint8_t c) {
        return static_cast<std::uint8_t>(c * (steps - age) / steps);
    };
    return {part(colour.red), part(colour.green), part(colour.blue)};
}

void Clamp(std::vector<std::string>& fixes, int& value, int low, int high, const char* what) {
    if (value >= low && value <= high)
        return;
    const int taken = std::clamp(value, low, high);
    fixes.push_back(std::string(what) + " " + std::to_string(value) + " is out of range (" +
                    std::to_string(low) + " to " + std::to_string(high) +
                    "): " + std::to_string(taken) + " taken.");
    value = taken;
}

}  // namespace

std::vector<std::string> CheckAidSettings(AidSettings& aids) {
    std::vector<std::string> fixes;
    Clamp(fixes, aids.historyDots, 1, 20, "History dots");
    Clamp(fixes, aids.historySeconds, 1, 60, "The history interval (s)");
    Clamp(fixes, aids.filterLowFt, -2000, 99900, "The lowest altitude (ft)");
    Clamp(fixes, aids.filterHighFt, -2000, 99900, "The highest altitude (ft)");
    if (aids.filterLowFt > aids.filterHighFt) {
        fixes.push_back("The lowest altitude was above the highest: the two exchanged.");
        std::swap(aids.filterLowFt, aids.filterHighFt);
    }
    if (!std::isfinite(aids.conflictLateralNm) || aids.conflictLateralNm < 0.5 ||
        aids.conflictLateralNm > 20) {
        const double taken = std::isfinite(aids.conflictLateralNm) && aids.conflictLateralNm > 0
                                 ? std::clamp(aids.conflictLateralNm, 0.5, 20.0)
                                 : AidSettings{}.conflictLateralNm;
        fixes.push_back("The lateral minimum must be from 0.5 to 20 nm: " + Fixed(taken, 1) +
                        " nm taken.");
        aids.conflictLateralNm = taken;
    }
    if (aids.conflictVerticalFt <= 0) {
        fixes.push_back("The vertical minimum must be above 0 ft: 1000 ft taken.");
        aids.conflictVerticalFt = AidSettings{}.conflictVerticalFt;
    }
    Clamp(fixes, aids.conflictVerticalFt, 100, 10000, "The vertical minimum (ft)");
    Clamp(fixes, aids.lookAheadSeconds, 0, 600, "The look-ahead (s)");
    Clamp(fixes, aids.airborneSpeedKt, 0, 500, "The airborne speed (kt)");
    Clamp(fixes, aids.airborneHeightFt, 0, 5000, "The airborne height (ft)");
    if (aids.vectorMinutes != 1 && aids.vectorMinutes != 2 && aids.vectorMinutes != 5) {
        const int taken = aids.vectorMinutes < 2 ? 1 : aids.vectorMinutes < 4 ? 2 : 5;
        fixes.push_back("Vectors are 1, 2 or 5 minutes long: " + std::to_string(taken) + " taken.");
        aids.vectorMinutes = taken;
    }
    return fixes;
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

TargetPositions PositionsOf(const TrafficRows& rows, std::int16_t count,
                            const TrafficHistory& history) {
    TargetPositions positions;
    std::set<std::string> placed;
    for (int i = 1; i <= LastRow(count); ++i) {
        const model::TrafficEntry& row = rows[static_cast<std::size_t>(i)];
        if (row.name.empty() || (row.latitude == 0 && row.longitude == 0))
            continue;  // no position yet
        if (placed.insert(row.name).second)
            positions.emplace_back(row.name,
                                   TrackPoint{row.latitude, row.longitude, row.altitude, 0});
    }
    for (const std::string& name : history.Names())
        if (!placed.count(name))
            if (const auto latest = history.Latest(name))
                positions.emplace_back(name, *latest);
    return positions;
}

void DrawTargetsWithAids(platform::Canvas& canvas, const View& view, const TrafficRows& rows,
                         std::int16_t count, const AidScene& scene) {
    static const TrafficHistory kNoHistory;
    const TrafficHistory& history = scene.history ? *scene.history : kNoHistory;
    const AidSettings& aids = scene.settings;
    const TargetPositions targets = PositionsOf(rows, count, history);
    SetScopeDefaults(canvas);

    std::set<std::string> alerted;
    for (const Conflict& conflict : scene.conflicts) {
        alerted.insert(conflict.nameA);
        alerted.insert(conflict.nameB);
        // The line joining the pair, under the targets, labelled with the least distance.
        const auto one = Locate({conflict.nameA}, targets);
        const auto two = Locate({conflict.nameB}, targets);
        if (one && two)
            DrawLabelledLine(canvas, view, *one, *two, kAlertRed,
                             Fixed(conflict.minimumNm, 1) + " nm");
    }

    const int r = TargetRadius(view);
    std::vector<int> shown;
    for (int i = 1; i <= LastRow(count); ++i)
        if (PassesFilter(rows[static_cast<std::size_t>(i)], aids))
            shown.push_back(i);
    // Each shown aircraft's motion, fitted once for this picture.
    std::map<std::string, std::optional<Motion>> motions;
    auto motionOf = [&](const std::string& name) -> const std::optional<Motion>& {
        auto it = motions.find(name);
        if (it == motions.end())
            it = motions.emplace(name, history.MotionOf(name, scene.now)).first;
        return it->second;
    };
    auto colourOf = [&](const model::TrafficEntry& row) {
        return alerted.count(row.name) ? kAlertRed : kScopeGreen;
    };

    if (aids.trails) {
        // Where each aircraft was, every so many seconds, fading with age.
        const int dotRadius = std::max(1, r / 2);
        for (int i : shown) {
            const model::TrafficEntry& row = rows[static_cast<std::size_t>(i)];
            const auto dots = history.Dots(row.name, aids.historyDots, aids.historySeconds);
            for (std::size_t k = 0; k < dots.size(); ++k) {
                const platform::Rgb dim =
                    Faded(colourOf(row), static_cast<int>(k) + 1, aids.historyDots + 1);
                const Pixel at = Geo_To_Pixel(view, dots[k].latitude, dots[k].longitude);
                canvas.SetPen(dim, 1, platform::PenStyle::Solid);
                canvas.SetFill(dim, true);
                canvas.Ellipse(at.x - dotRadius, at.y - dotRadius, at.x + dotRadius,
                               at.y + dotRadius);
            }
        }
        SetScopeDefaults(canvas);
    }

    if (aids.vectors) {
        // Where each airborne aircraft will be in so many minutes along its track.
        for (int i : shown) {
            const model::TrafficEntry& row = rows[static_cast<std::size_t>(i)];
            const auto& motion = motionOf(row.name);
            const auto latest = history.Latest(row.name);
            if (!motion || !latest || (row.latitude == 0 && row.longitude == 0))
                continue;
            if (!IsAirborne(*latest, motion, aids, scene.ground))
                continue;
            const double hours = aids.vectorMinutes / 60.0;
            const double lat = row.latitude + motion->northKt * hours / 60;
            const double lon =
                row.longitude +
                motion->eastKt * hours / 60 / std::max(std::cos(row.latitude * kRadians), 0.01);
            const Pixel from = Geo_To_Pixel(view, row.latitude, row.longitude);
            const Pixel to = Geo_To_Pixel(view, lat, lon);
            canvas.SetPen(colourOf(row), 1, platform::PenStyle::Solid);
            canvas.MoveTo(from.x, from.y);
            canvas.LineTo(to.x, to.y);
        }
        SetScopeDefaults(canvas);
    }

    std::vector<BlockRequest> requests;
    std::vector<std::vector<std::string>> texts;
    for (int i : shown) {
        const model::TrafficEntry& row = rows[static_cast<std::size_t>(i)];
        std::vector<std::string> lines{DataBlock(row)};
        if (aids.owners) {
            if (auto owner = scene.owners.find(row.name); owner != scene.owners.end())
                lines.push_back(owner->second);
        }
        if (aids.speedLine) {
            const auto& motion = motionOf(row.name);
            const Trend trend = TrendOf(motion);
            const char* arrow = trend == Trend::Climbing     ? " ^"
                                : trend == Trend::Descending ? " v"
                                : trend == Trend::Level      ? " ="
                                                             : "";
            lines.push_back(
                (motion ? std::to_string(std::lround(motion->groundSpeedKt)) : std::string("--")) +
                " kt" + arrow);
        }
        int width = 0;
        for (const std::string& line : lines)
            width = std::max(width, canvas.TextWidth(line));
        requests.push_back({row.name, Geo_To_Pixel(view, row.latitude, row.longitude), width,
                            canvas.TextHeight() * static_cast<int>(lines.size())});
        texts.push_back(std::move(lines));
    }
    std::vector<BlockPlace> places;
    if (aids.declutter) {
        std::vector<Box> labels = SceneLabelBoxes(canvas, view, model::g_airport);
        if (aids.rings) {
            RingPlan plan = PlanRings(view, model::g_airport.latitude, model::g_airport.longitude);
            PlaceRingLabels(canvas, view, model::g_airport, plan, labels);
            for (const Box& box : RingLabelBoxes(canvas, view, model::g_airport, plan))
                labels.push_back(box);
        }
        places = PlaceBlocks(requests, r, {0, 0, view.m_scopeWidthPx, view.m_scopeHeightPx}, labels,
                             scene.blocks);
    } else {
        for (const BlockRequest& block : requests)
            places.push_back({block.dot.x, block.dot.y, block.width, block.height, false, 0});
    }

    for (std::size_t k = 0; k < shown.size(); ++k) {
        const model::TrafficEntry& row = rows[static_cast<std::size_t>(shown[k])];
        const Pixel at = DrawTargetMark(canvas, view, row, colourOf(row));
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
    if (!scene.lines.empty())
        DrawRangeBearingLines(canvas, view, scene.lines, targets, history, scene.now);
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

void DrawCoordination(platform::Canvas& canvas, const View& view, const TrafficRows& rows,
                      std::int16_t count, const AidScene& scene) {
    constexpr platform::Rgb kPointOut{255, 0, 255};
    constexpr platform::Rgb kSite{0, 192, 255};
    if (scene.settings.controllerAirports) {
        canvas.SetPen(kSite, 1, platform::PenStyle::Solid);
        canvas.SetFill(kScopeBlack, false);
        for (const AidScene::Site& site : scene.sites) {
            const Pixel at = Geo_To_Pixel(view, site.latitude, site.longitude);
            canvas.MoveTo(at.x - 4, at.y - 4);  // a cross
            canvas.LineTo(at.x + 4, at.y + 4);
            canvas.MoveTo(at.x - 4, at.y + 4);
            canvas.LineTo(at.x + 4, at.y - 4);
            canvas.Text(at.x + 7, at.y - canvas.TextHeight() / 2, site.position);
        }
    }
    if (!scene.pointOuts.empty()) {
        const int r = 2 * TargetRadius(view) + 6;
        canvas.SetPen(kPointOut, 2, platform::PenStyle::Solid);
        canvas.SetFill(kScopeBlack, false);
        for (const AidScene::PointOut& pointOut : scene.pointOuts) {
            for (int i = 1; i <= LastRow(count); ++i) {
                const model::TrafficEntry& row = rows[static_cast<std::size_t>(i)];
                if (row.name != pointOut.callsign)
                    continue;
                const Pixel at = Geo_To_Pixel(view, row.latitude, row.longitude);
                canvas.Ellipse(at.x - r, at.y - r, at.x + r, at.y + r);
                canvas.Text(at.x - r, at.y + r + 2, pointOut.text);
            }
        }
    }
    SetScopeDefaults(canvas);
}

void DrawUnderlay(platform::Canvas& canvas, const View& view, const AidScene* scene) {
    if (!scene)
        return;
    if (scene->settings.rings) {
        // The labels stand where they cover fewest targets and names.
        std::vector<Box> obstacles = SceneLabelBoxes(canvas, view, model::g_airport);
        const int r = TargetRadius(view) + 2;
        for (int i = 1; i <= LastRow(model::g_trafficCount); ++i) {
            const auto& row = model::g_traffic[static_cast<std::size_t>(i)];
            const Pixel at = Geo_To_Pixel(view, row.latitude, row.longitude);
            obstacles.push_back({at.x - r, at.y - r, at.x + 120, at.y + 2 * r + 13});
        }
        RingPlan plan = PlanRings(view, model::g_airport.latitude, model::g_airport.longitude);
        PlaceRingLabels(canvas, view, model::g_airport, plan, obstacles);
        DrawRings(canvas, view, model::g_airport, plan);
    }
    if (scene->settings.centrelines)
        DrawCentrelines(canvas, view, model::g_airport);
}

void DrawTrafficLayer(platform::Canvas& canvas, const View& view, const AidScene* scene) {
    if (!scene || (!scene->settings.DrawsOnScope() && scene->lines.empty()))
        Draw_Targets(canvas, view);
    else
        DrawTargetsWithAids(canvas, view, model::g_traffic, model::g_trafficCount, *scene);
    if (scene && (!scene->pointOuts.empty() || scene->settings.controllerAirports))
        DrawCoordination(canvas, view, model::g_traffic, model::g_trafficCount, *scene);
}

}  // namespace radar
