#pragma once

// Where the data blocks go when they move out of each other's way: inside the scope, off
// other blocks, dots and labels where possible, and where they were while that place is free,
// so that blocks do not jump from one repaint to the next. A block the user put somewhere
// stays there until its aircraft leaves.

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "radar/view.h"

namespace radar {

struct Box {
    int left = 0, top = 0, right = 0, bottom = 0;  // right and bottom outside

    // The area both boxes cover, in square pixels.
    long Overlap(const Box& other) const;
    // The area of this box outside `bounds`.
    long Outside(const Box& bounds) const;
    bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
};

inline constexpr int kBlockPlaces = 8;  // the default place, then seven round the dot

struct BlockRequest {
    std::string name;
    Pixel dot;
    int width = 0;
    int height = 0;
};

struct BlockPlace {
    int x = 0;  // top-left corner
    int y = 0;
    int width = 0;
    int height = 0;
    bool moved = false;  // not in the default place: a leader line joins it to its dot
    int place = 0;       // 0 to kBlockPlaces - 1
};

// The top-left corner of place `place` round a dot for a block of the given size.
Pixel PlaceCorner(Pixel dot, int width, int height, int dotRadius, int place);

// What the placement remembers between repaints.
class BlockMemory {
public:
    // The user put this aircraft's block at `place`.
    void Pin(const std::string& name, int place) { m_pinned[name] = place; }
    // Aircraft no longer in the session lose their places.
    void Retain(const std::vector<std::string>& names);
    // The block of the last placement under pixel (x, y), the one drawn on top, if any.
    const std::string* BlockAt(int x, int y) const;
    std::optional<Box> BoxOf(const std::string& name) const;

private:
    friend std::vector<BlockPlace> PlaceBlocks(const std::vector<BlockRequest>&, int, const Box&,
                                               const std::vector<Box>&, BlockMemory*);
    std::map<std::string, int> m_places;
    std::map<std::string, int> m_pinned;
    std::vector<std::pair<std::string, Box>> m_boxes;  // in the order drawn
};

// Each block in order takes its pinned place; else the place it had while that is free; else
// the first free place; where none is free, the one covering least of other blocks, labels and
// dots. Every block ends inside `bounds`.
std::vector<BlockPlace> PlaceBlocks(const std::vector<BlockRequest>& blocks, int dotRadius,
                                    const Box& bounds, const std::vector<Box>& labels,
                                    BlockMemory* memory);

}  // namespace radar
