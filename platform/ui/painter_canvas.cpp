#include "platform/ui/painter_canvas.h"

#include <QFont>
#include <QFontMetrics>
#include <cmath>

#include "platform/ansi.h"

namespace platform {
namespace {

QColor ToColour(Rgb colour) {
    return QColor(colour.red, colour.green, colour.blue);
}

// The box the corners bound, its width right - left: with the pen's pixel, a circle of
// radius r around (x, y) lights x - r to x + r, centred on its pixel.
QRect Box(int left, int top, int right, int bottom) {
    return QRect(left, top, right - left, bottom - top).normalized();
}

// Where the radial through a point meets the ellipse in the box, as the angle QPainter takes:
// degrees counter-clockwise from three o'clock on the unit circle the ellipse is stretched
// from. In a box that is not square this differs from the radial's own direction.
double ArcAngle(const QRect& box, QPointF through) {
    constexpr double kDegrees = 180.0 / 3.14159265358979323846;
    const QPointF centre = QRectF(box).center();
    const double halfWidth = std::max(box.width() / 2.0, 0.5);
    const double halfHeight = std::max(box.height() / 2.0, 0.5);
    return std::atan2((centre.y() - through.y()) / halfHeight,
                      (through.x() - centre.x()) / halfWidth) *
           kDegrees;
}

}  // namespace

PainterCanvas::PainterCanvas(QImage& image) : m_image(image), m_painter(&image) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(11);
    m_painter.setFont(font);
    ApplyPen();
    m_painter.setBrush(Qt::NoBrush);
}

void PainterCanvas::Clear() {
    m_image.fill(Qt::black);
}

void PainterCanvas::ApplyPen() {
    Qt::PenStyle style = Qt::SolidLine;
    if (m_penStyle == PenStyle::Dashed) {
        style = Qt::DashLine;
    } else if (m_penStyle == PenStyle::Dotted) {
        style = Qt::DotLine;
    }
    QPen pen(m_penColour, m_penWidth, style);
    pen.setCapStyle(Qt::RoundCap);
    m_painter.setPen(pen);
}

void PainterCanvas::SetPen(Rgb colour, int width, PenStyle style) {
    m_penColour = ToColour(colour);
    m_penWidth = std::max(width, 1);
    m_penStyle = style;
    ApplyPen();
}

void PainterCanvas::SetPenColour(Rgb colour) {
    m_penColour = ToColour(colour);
    ApplyPen();
}

void PainterCanvas::SetFill(Rgb colour, bool solid) {
    m_painter.setBrush(solid ? QBrush(ToColour(colour)) : QBrush(Qt::NoBrush));
}

void PainterCanvas::MoveTo(int x, int y) {
    m_current = QPoint(x, y);
}

void PainterCanvas::LineTo(int x, int y) {
    m_painter.drawLine(m_current, QPoint(x, y));
    m_current = QPoint(x, y);
}

void PainterCanvas::Ellipse(int left, int top, int right, int bottom) {
    m_painter.drawEllipse(Box(left, top, right, bottom));
}

void PainterCanvas::Arc(int left, int top, int right, int bottom, int startX, int startY, int endX,
                        int endY) {
    const QRect box = Box(left, top, right, bottom);
    const double start = ArcAngle(box, QPointF(startX, startY));
    double span = ArcAngle(box, QPointF(endX, endY)) - start;
    if (span <= 0) {
        span += 360;  // always counter-clockwise as displayed
    }
    m_painter.drawArc(box, static_cast<int>(std::lround(start * 16)),
                      static_cast<int>(std::lround(span * 16)));
}

void PainterCanvas::Text(int x, int y, const std::string& ansi) {
    const QFontMetrics metrics(m_painter.font());
    m_painter.drawText(x, y + metrics.ascent(), QString::fromStdString(AnsiToUtf8(ansi)));
}

int PainterCanvas::TextWidth(const std::string& ansi) const {
    return QFontMetrics(m_painter.font())
        .horizontalAdvance(QString::fromStdString(AnsiToUtf8(ansi)));
}

int PainterCanvas::TextHeight() const {
    return QFontMetrics(m_painter.font()).height();
}

}  // namespace platform
