#include "radar/scope_widget.h"

#include <QMouseEvent>
#include <QPainter>

namespace radar {

ScopeWidget::ScopeWidget(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(200, 100);
    ResizePicture(kDesignWidthPx, kDesignHeightPx);
}

void ScopeWidget::ResizePicture(int width, int height) {
    m_picture = QImage(std::max(width, 1), std::max(height, 1), QImage::Format_RGB32);
    m_picture.fill(Qt::black);
}

void ScopeWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    painter.drawImage(0, 0, m_picture);
}

GeoPoint ScopeWidget::ToGeo(const QPointF& position) const {
    return m_view ? Pixel_To_Geo(*m_view, position.x(), position.y()) : GeoPoint{};
}

void ScopeWidget::mousePressEvent(QMouseEvent* event) {
    const GeoPoint at = ToGeo(event->position());
    emit PointerPressed(event->button(), at.longitude, at.latitude);
}

void ScopeWidget::mouseMoveEvent(QMouseEvent* event) {
    const GeoPoint at = ToGeo(event->position());
    emit PointerMoved(at.longitude, at.latitude);
}

void ScopeWidget::mouseReleaseEvent(QMouseEvent* event) {
    emit PointerReleased(event->button());
}

}  // namespace radar
