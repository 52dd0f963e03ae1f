#include "radar/scope_widget.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

namespace radar {

ScopeWidget::ScopeWidget(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    // The keys that move the view, once the scope is clicked; the tab order stays the window's.
    setFocusPolicy(Qt::ClickFocus);
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
    m_modifiers = event->modifiers();
    m_lastPointer = ToGeo(event->position());
    if (event->button() == Qt::MiddleButton)
        m_dragFrom = event->position();
    const GeoPoint at = ToGeo(event->position());
    emit PointerPressed(event->button(), at.longitude, at.latitude);
}

void ScopeWidget::mouseMoveEvent(QMouseEvent* event) {
    m_modifiers = event->modifiers();
    m_lastPointer = ToGeo(event->position());
    if (m_dragFrom && (event->buttons() & Qt::MiddleButton)) {
        const QPointF delta = event->position() - *m_dragFrom;
        m_dragFrom = event->position();
        emit Dragged(delta.x(), delta.y());
    }
    const GeoPoint at = ToGeo(event->position());
    emit PointerMoved(at.longitude, at.latitude);
}

void ScopeWidget::mouseReleaseEvent(QMouseEvent* event) {
    m_modifiers = event->modifiers();
    m_lastPointer = ToGeo(event->position());
    if (event->button() == Qt::MiddleButton)
        m_dragFrom.reset();
    emit PointerReleased(event->button());
}

void ScopeWidget::wheelEvent(QWheelEvent* event) {
    m_wheelEighths += event->angleDelta().y();
    const int notches = m_wheelEighths / 120;
    m_wheelEighths %= 120;
    if (notches != 0)
        emit WheelTurned(notches, event->position().x(), event->position().y());
    event->accept();
}

void ScopeWidget::keyPressEvent(QKeyEvent* event) {
    emit KeyPressed(event->key());
}

}  // namespace radar
