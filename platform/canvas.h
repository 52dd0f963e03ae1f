#pragma once

// What the scope's painters draw with: a pen (colour, width in pixels, solid, dashed or
// dotted), a fill (colour, solid or transparent), lines, ellipses and elliptical arcs by
// bounding box, and text in the pen colour with its top-left corner at a pixel. Coordinates
// are whole pixels of the scope, (0, 0) at its top-left corner; what falls outside is clipped.

#include <cstdint>
#include <string>

namespace platform {

struct Rgb {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;

    bool operator==(const Rgb&) const = default;
};

enum class PenStyle { Solid, Dashed, Dotted };

class Canvas {
public:
    virtual ~Canvas() = default;

    virtual int Width() const = 0;
    virtual int Height() const = 0;

    // Black all over.
    virtual void Clear() = 0;

    virtual void SetPen(Rgb colour, int width, PenStyle style) = 0;
    // Only the colour; width and style stay.
    virtual void SetPenColour(Rgb colour) = 0;
    virtual void SetFill(Rgb colour, bool solid) = 0;

    virtual void MoveTo(int x, int y) = 0;
    // A line from the current point, which then moves to (x, y).
    virtual void LineTo(int x, int y) = 0;
    virtual void Ellipse(int left, int top, int right, int bottom) = 0;
    // The arc of the ellipse in the box from the radial through (startX, startY) to the radial
    // through (endX, endY), counter-clockwise as displayed.
    virtual void Arc(int left, int top, int right, int bottom, int startX, int startY, int endX,
                     int endY) = 0;
    // Text in the program's code page, in the pen colour.
    virtual void Text(int x, int y, const std::string& ansi) = 0;
    // The box a text takes, in pixels; canvases without fonts estimate it.
    virtual int TextWidth(const std::string& ansi) const {
        return 6 * static_cast<int>(ansi.size());
    }
    virtual int TextHeight() const { return 13; }
};

}  // namespace platform
