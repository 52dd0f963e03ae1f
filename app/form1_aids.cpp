// The main window's aids that the pointer works: range and bearing lines drawn with Shift and
// the left button from a target to another target or to a point, and data blocks dragged to
// another place round their target.

#include <cmath>
#include <limits>

#include "app/aid_settings.h"
#include "app/form1.h"
#include "model/shared_state.h"
#include "radar/target_painter.h"

namespace app {

std::optional<std::string> Form1::TargetAt(radar::Pixel at) const {
    const int reach = radar::TargetRadius(m_view) + 4;
    std::optional<std::string> found;
    double best = std::numeric_limits<double>::max();
    for (const auto& [name, where] :
         radar::PositionsOf(model::g_traffic, model::g_trafficCount, m_history)) {
        const radar::Pixel dot = radar::Geo_To_Pixel(m_view, where.latitude, where.longitude);
        const double distance = std::hypot(dot.x - at.x, dot.y - at.y);
        if (distance <= reach && distance < best) {
            best = distance;
            found = name;
        }
    }
    return found;
}

bool Form1::AidPressed(double x, double y) {
    const radar::AidSettings& aids = Aids();
    const radar::Pixel at = radar::Geo_To_Pixel(m_view, y, x);
    if (aids.rangeBearing && (Picture1->LastModifiers() & Qt::ShiftModifier)) {
        if (const auto target = TargetAt(at)) {
            m_lineStart = radar::LineEnd{*target, 0, 0};
            m_lineEnd.reset();
            return true;
        }
    }
    if (aids.declutter) {
        if (const std::string* block = m_blocks.BlockAt(at.x, at.y)) {
            m_blockDragged = *block;
            return true;
        }
    }
    return false;
}

bool Form1::AidMoved(double x, double y) {
    if (!m_lineStart)
        return m_blockDragged.has_value();
    // The line follows the pointer, or snaps to the target under it.
    const auto target = TargetAt(radar::Geo_To_Pixel(m_view, y, x));
    if (target && *target != m_lineStart->callsign)
        m_lineEnd = radar::LineEnd{*target, 0, 0};
    else
        m_lineEnd = radar::LineEnd{std::string(), y, x};
    Repaint();
    return true;
}

bool Form1::AidReleased(double x, double y) {
    const radar::Pixel at = radar::Geo_To_Pixel(m_view, y, x);
    if (m_lineStart) {
        const auto target = TargetAt(at);
        if (target != m_lineStart->callsign)  // a Shift click on a target alone draws nothing
            m_lines.push_back({*m_lineStart, target ? radar::LineEnd{*target, 0, 0}
                                                    : radar::LineEnd{std::string(), y, x}});
        m_lineStart.reset();
        m_lineEnd.reset();
        Repaint();
        return true;
    }
    if (m_blockDragged) {
        // The place round the target nearest to where the block was let go.
        const auto targets = radar::PositionsOf(model::g_traffic, model::g_trafficCount, m_history);
        for (const auto& [name, where] : targets) {
            if (name != *m_blockDragged)
                continue;
            const radar::Pixel dot = radar::Geo_To_Pixel(m_view, where.latitude, where.longitude);
            const int r = radar::TargetRadius(m_view);
            const radar::Box box = m_blocks.BoxOf(name).value_or(radar::Box{0, 0, 100, 13});
            const int w = box.right - box.left;
            const int h = box.bottom - box.top;
            int best = 0;
            double nearest = std::numeric_limits<double>::max();
            for (int place = 0; place < radar::kBlockPlaces; ++place) {
                const radar::Pixel corner = radar::PlaceCorner(dot, w, h, r, place);
                const double distance =
                    std::hypot(corner.x + w / 2.0 - at.x, corner.y + h / 2.0 - at.y);
                if (distance < nearest) {
                    nearest = distance;
                    best = place;
                }
            }
            m_blocks.Pin(name, best);
        }
        m_blockDragged.reset();
        Repaint();
        return true;
    }
    return false;
}

}  // namespace app
