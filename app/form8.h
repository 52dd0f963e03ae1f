#pragma once

// The splash window: three seconds of a radar scope, then the start-up check routes the user
// to setup or to the Airport Area.

#include <QLabel>
#include <QTimer>
#include <QWidget>

namespace app {

class Form8 : public QWidget {
    Q_OBJECT
public:
    explicit Form8(QWidget* parent = nullptr);

    QLabel* Image1;
    QLabel* Label1;
    QTimer* Timer1;

    // The splash picture, drawn rather than shipped: a scope with rings, a sweep and blips.
    static QPixmap RadarScopePicture();

protected:
    // Closed before its time, the splash goes on with the start-up check at once: otherwise
    // the program would run on with no window.
    void closeEvent(QCloseEvent* event) override;

private:
    void Timer1_Timer();
    void StartupCheck();
};

}  // namespace app
