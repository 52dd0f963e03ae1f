#include "app/form8.h"

#include <QCloseEvent>
#include <QConicalGradient>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>
#include <cmath>

#include "app/startup.h"
#include "model/shared_state.h"
#include "platform/ui/windows.h"

namespace app {
namespace {

constexpr int kPictureWidth = 360;
constexpr int kPictureHeight = 270;
constexpr int kCheckDelayMs = 3000;

}  // namespace

Form8::Form8(QWidget* parent) : QWidget(parent) {
    setWindowTitle(QStringLiteral("Tarvolo Version 1.1"));
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(RadarScopePicture());
    Image1->setFixedSize(kPictureWidth, kPictureHeight);

    // The label sits on the picture, over the lower part of the scope.
    Label1 = new QLabel(QStringLiteral("TARVOLO VERSION 1.1"), Image1);
    Label1->setObjectName(QStringLiteral("Label1"));
    QFont font(QStringLiteral("Comic Sans MS"), 16, QFont::Bold);
    font.setStyleHint(QFont::Cursive);
    Label1->setFont(font);
    Label1->setStyleSheet(QStringLiteral("color: #7CFC00; background: transparent;"));
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setGeometry(0, kPictureHeight - 44, kPictureWidth, 36);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Image1);
    setFixedSize(kPictureWidth, kPictureHeight);

    // The window's load: nothing is attached to a session yet.
    model::g_sessionJoined = false;
    model::g_connected = false;

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(kCheckDelayMs);
    connect(Timer1, &QTimer::timeout, this, &Form8::Timer1_Timer);
    Timer1->start();
}

void Form8::Timer1_Timer() {
    if (Timer1->interval() == kCheckDelayMs) {
        Timer1->stop();
        StartupCheck();
    }
}

void Form8::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    if (Timer1->isActive()) {
        Timer1->stop();
        StartupCheck();
    }
}

void Form8::StartupCheck() {
    const StartupRoute route = DecideStartupRoute();
    close();
    platform::ShowWindow(route == StartupRoute::Setup ? QStringLiteral("Form3")
                                                      : QStringLiteral("Form5"));
}

QPixmap Form8::RadarScopePicture() {
    QPixmap picture(kPictureWidth, kPictureHeight);
    picture.fill(Qt::black);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);

    const QPointF centre(kPictureWidth / 2.0, kPictureHeight / 2.0 - 14);
    const double radius = 110;
    const QColor scopeGreen(0, 200, 70);

    // The sweep: a fading wedge trailing the beam.
    QConicalGradient sweep(centre, 60);
    sweep.setColorAt(0.0, QColor(0, 255, 90, 150));
    sweep.setColorAt(0.12, QColor(0, 255, 90, 0));
    sweep.setColorAt(1.0, QColor(0, 255, 90, 0));
    painter.setPen(Qt::NoPen);
    painter.setBrush(sweep);
    painter.drawEllipse(centre, radius, radius);

    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(scopeGreen, 1));
    for (int ring = 1; ring <= 4; ++ring) {
        painter.drawEllipse(centre, radius * ring / 4, radius * ring / 4);
    }
    painter.drawLine(centre - QPointF(radius, 0), centre + QPointF(radius, 0));
    painter.drawLine(centre - QPointF(0, radius), centre + QPointF(0, radius));
    for (int degrees = 0; degrees < 360; degrees += 10) {
        const double angle = degrees * M_PI / 180;
        const QPointF direction(std::sin(angle), -std::cos(angle));
        const double tick = degrees % 30 == 0 ? 8 : 4;
        painter.drawLine(centre + direction * radius, centre + direction * (radius - tick));
    }

    // The beam itself, and a few targets with their leader lines.
    painter.setPen(QPen(QColor(120, 255, 150), 2));
    const double beam = 60 * M_PI / 180;
    painter.drawLine(centre, centre + QPointF(std::sin(beam), -std::cos(beam)) * radius);
    const QPointF blips[] = {{40, -30}, {-55, 20}, {18, 62}, {-25, -70}, {75, 35}};
    for (const QPointF& offset : blips) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(150, 255, 170));
        painter.drawEllipse(centre + offset, 3, 3);
        painter.setPen(QPen(scopeGreen, 1));
        painter.drawLine(centre + offset, centre + offset + QPointF(10, -10));
    }
    return picture;
}

}  // namespace app
