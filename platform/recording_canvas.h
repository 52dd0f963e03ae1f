#pragma once

// A canvas that keeps a list of what was drawn, each with the pen and fill in force, so tests
// can read back what a painter did.

#include <string>
#include <vector>

#include "platform/canvas.h"

namespace platform {

struct DrawnItem {
    enum class Kind { Clear, Line, Ellipse, Arc, Text };

    Kind kind = Kind::Line;
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0;              // line ends, or the box
    int startX = 0, startY = 0, endX = 0, endY = 0;  // arc radials
    std::string text;
    Rgb pen;
    int penWidth = 1;
    PenStyle penStyle = PenStyle::Solid;
    Rgb fill;
    bool fillSolid = false;
};

class RecordingCanvas : public Canvas {
public:
    RecordingCanvas(int width, int height) : m_width(width), m_height(height) {}

    int Width() const override { return m_width; }
    int Height() const override { return m_height; }
    void Clear() override { Record(DrawnItem::Kind::Clear); }
    void SetPen(Rgb colour, int width, PenStyle style) override {
        m_state.pen = colour;
        m_state.penWidth = width;
        m_state.penStyle = style;
    }
    void SetPenColour(Rgb colour) override { m_state.pen = colour; }
    void SetFill(Rgb colour, bool solid) override {
        m_state.fill = colour;
        m_state.fillSolid = solid;
    }
    void MoveTo(int x, int y) override {
        m_x = x;
        m_y = y;
    }
    void LineTo(int x, int y) override {
        DrawnItem& item = Record(DrawnItem::Kind::Line);
        item.x1 = m_x;
        item.y1 = m_y;
        item.x2 = x;
        item.y2 = y;
        MoveTo(x, y);
    }
    void Ellipse(int left, int top, int right, int bottom) override {
        DrawnItem& item = Record(DrawnItem::Kind::Ellipse);
        item.x1 = left;
        item.y1 = top;
        item.x2 = right;
        item.y2 = bottom;
    }
    void Arc(int left, int top, int right, int bottom, int startX, int startY, int endX,
             int endY) override {
        DrawnItem& item = Record(DrawnItem::Kind::Arc);
        item.x1 = left;
        item.y1 = top;
        item.x2 = right;
        item.y2 = bottom;
        item.startX = startX;
        item.startY = startY;
        item.endX = endX;
        item.endY = endY;
    }
    void Text(int x, int y, const std::string& ansi) override {
        DrawnItem& item = Record(DrawnItem::Kind::Text);
        item.x1 = x;
        item.y1 = y;
        item.text = ansi;
    }

    const std::vector<DrawnItem>& Items() const { return m_items; }
    // The pen and fill now in force, as the next item would record them.
    const DrawnItem& State() const { return m_state; }
    void Forget() { m_items.clear(); }

private:
    DrawnItem& Record(DrawnItem::Kind kind) {
        m_items.push_back(m_state);
        m_items.back().kind = kind;
        return m_items.back();
    }

    int m_width;
    int m_height;
    int m_x = 0;
    int m_y = 0;
    DrawnItem m_state;
    std::vector<DrawnItem> m_items;
};

}  // namespace platform
