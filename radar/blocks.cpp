#include "radar/blocks.h"

#include <algorithm>
#include <set>

namespace radar {
namespace {

// Costs of covering, per square pixel: beyond the scope (only a block larger than the scope
// reaches there), then other blocks, labels, dots.
constexpr long kOutsideCost = 64;
constexpr long kBlockCost = 16;
constexpr long kLabelCost = 4;
constexpr long kDotCost = 1;

}  // namespace

long Box::Overlap(const Box& other) const {
    const long w = std::min(right, other.right) - std::max(left, other.left);
    const long h = std::min(bottom, other.bottom) - std::max(top, other.top);
    return w > 0 && h > 0 ? w * h : 0;
}

long Box::Outside(const Box& bounds) const {
    const long area = static_cast<long>(right - left) * (bottom - top);
    return area - Overlap(bounds);
}

Pixel PlaceCorner(Pixel dot, int w, int h, int r, int place) {
    const int x = dot.x;
    const int y = dot.y;
    // The default place first, then round the dot: upper right, up, upper left, left, lower
    // left, down, right.
    switch (place) {
        case 1:
            return {x + r + 2, y - h - r};
        case 2:
            return {x - w / 2, y - h - r - 2};
        case 3:
            return {x - w - r - 2, y - h - r};
        case 4:
            return {x - w - r - 2, y - h / 2};
        case 5:
            return {x - w - r - 2, y + r};
        case 6:
            return {x - w / 2, y + r + 2};
        case 7:
            return {x + r + 2, y - h / 2};
        default:
            return {x, y};
    }
}

void BlockMemory::Retain(const std::vector<std::string>& names) {
    const std::set<std::string> kept(names.begin(), names.end());
    for (auto* map : {&m_places, &m_pinned})
        std::erase_if(*map, [&kept](const auto& entry) { return !kept.count(entry.first); });
    std::erase_if(m_boxes, [&kept](const auto& entry) { return !kept.count(entry.first); });
}

const std::string* BlockMemory::BlockAt(int x, int y) const {
    for (auto it = m_boxes.rbegin(); it != m_boxes.rend(); ++it)
        if (it->second.Contains(x, y))
            return &it->first;
    return nullptr;
}

std::optional<Box> BlockMemory::BoxOf(const std::string& name) const {
    for (const auto& [each, box] : m_boxes)
        if (each == name)
            return box;
    return std::nullopt;
}

std::vector<BlockPlace> PlaceBlocks(const std::vector<BlockRequest>& blocks, int r,
                                    const Box& bounds, const std::vector<Box>& labels,
                                    BlockMemory* memory) {
    std::vector<Box> taken;
    std::vector<Box> dots;
    for (const BlockRequest& block : blocks)
        dots.push_back(
            {block.dot.x - r, block.dot.y - r, block.dot.x + r + 1, block.dot.y + r + 1});
    if (memory)
        memory->m_boxes.clear();
    std::vector<BlockPlace> places;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        const BlockRequest& block = blocks[i];
        const int w = block.width;
        const int h = block.height;
        // Each place pushed inside the scope where it reaches beyond it.
        auto boxAt = [&](int place) {
            const Pixel corner = PlaceCorner(block.dot, w, h, r, place);
            const Box box{corner.x, corner.y, corner.x + w, corner.y + h};
            const int dx =
                std::max(bounds.left - box.left, 0) - std::max(box.right - bounds.right, 0);
            const int dy =
                std::max(bounds.top - box.top, 0) - std::max(box.bottom - bounds.bottom, 0);
            return Box{box.left + dx, box.top + dy, box.right + dx, box.bottom + dy};
        };
        auto cost = [&](int place) {
            const Box box = boxAt(place);
            long sum = kOutsideCost * box.Outside(bounds);
            for (const Box& other : taken)
                sum += kBlockCost * box.Overlap(other);
            for (const Box& label : labels)
                sum += kLabelCost * box.Overlap(label);
            for (std::size_t d = 0; d < dots.size(); ++d)
                sum += d == i ? 0 : kDotCost * box.Overlap(dots[d]);
            return sum;
        };
        int chosen = -1;
        if (memory) {
            if (auto pin = memory->m_pinned.find(block.name); pin != memory->m_pinned.end())
                chosen = pin->second;
            else if (auto was = memory->m_places.find(block.name);
                     was != memory->m_places.end() && cost(was->second) == 0)
                chosen = was->second;
        }
        if (chosen < 0) {
            long best = -1;
            for (int place = 0; place < kBlockPlaces; ++place) {
                const long c = cost(place);
                if (best < 0 || c < best) {
                    best = c;
                    chosen = place;
                }
                if (c == 0)
                    break;
            }
        }
        const Box box = boxAt(chosen);
        taken.push_back(box);
        const bool moved = chosen != 0 || box.left != block.dot.x || box.top != block.dot.y;
        places.push_back({box.left, box.top, w, h, moved, chosen});
        if (memory) {
            memory->m_places[block.name] = chosen;
            memory->m_boxes.emplace_back(block.name, box);
        }
    }
    return places;
}

}  // namespace radar
