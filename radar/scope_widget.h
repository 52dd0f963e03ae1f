#pragma once

// Picture1: shows the scope's picture, kept in an image between repaints, and reports the
// pointer in the scope's user coordinates (x longitude, y latitude).

#include <QImage>
#include <QWidget>
#include <optional>

#include "radar/view.h"

namespace radar {

class ScopeWidget : public QWidget {
    Q_OBJECT
public:
    explicit ScopeWidget(QWidget* parent = nullptr);

    // The picture the painters draw into; sized to the widget when the view is measured.
    QImage& Picture() { return m_picture; }
    void ResizePicture(int width, int height);

    // The view that maps pointer pixels to longitude and latitude.
    void SetView(const View* view) { m_view = view; }
    // The keyboard modifiers of the last pointer event (Shift draws range and bearing lines).
    Qt::KeyboardModifiers LastModifiers() const { return m_modifiers; }
    // Where the last pointer event happened, longitude (x) and latitude (y).
    GeoPoint LastPointer() const { return m_lastPointer; }

signals:
    void PointerPressed(Qt::MouseButton button, double x, double y);
    void PointerMoved(double x, double y);
    void PointerReleased(Qt::MouseButton button);
    // The wheel turned by whole notches (positive away from the user) over pixel (x, y).
    void WheelTurned(int notches, double x, double y);
    // The middle button dragged the picture by (dx, dy) pixels.
    void Dragged(double dx, double dy);
    void KeyPressed(int key);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    GeoPoint ToGeo(const QPointF& position) const;

    QImage m_picture;
    const View* m_view = nullptr;
    std::optional<QPointF> m_dragFrom;  // the middle button is down here
    int m_wheelEighths = 0;             // a notch is 120 eighths of a degree
    Qt::KeyboardModifiers m_modifiers;
    GeoPoint m_lastPointer;
};

}  // namespace radar
