#pragma once

// The canvas on a picture: the scope paints into an image kept between repaints (so a covered
// and uncovered window shows its picture at once), which the widget then shows.

#include <QImage>
#include <QPainter>
#include <QPoint>

#include "platform/canvas.h"

namespace platform {

// Paints into `image` while it lives; one object per repaint.
class PainterCanvas : public Canvas {
public:
    explicit PainterCanvas(QImage& image);

    int Width() const override { return m_image.width(); }
    int Height() const override { return m_image.height(); }
    void Clear() override;
    void SetPen(Rgb colour, int width, PenStyle style) override;
    void SetPenColour(Rgb colour) override;
    void SetFill(Rgb colour, bool solid) override;
    void MoveTo(int x, int y) override;
    void LineTo(int x, int y) override;
    void Ellipse(int left, int top, int right, int bottom) override;
    void Arc(int left, int top, int right, int bottom, int startX, int startY, int endX,
             int endY) override;
    void Text(int x, int y, const std::string& ansi) override;
    int TextWidth(const std::string& ansi) const override;
    int TextHeight() const override;

private:
    void ApplyPen();

    QImage& m_image;
    QPainter m_painter;
    QPoint m_current;
    QColor m_penColour{0, 192, 0};
    int m_penWidth = 1;
    PenStyle m_penStyle = PenStyle::Solid;
};

}  // namespace platform
