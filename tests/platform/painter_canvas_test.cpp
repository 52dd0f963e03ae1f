// The scope's drawing on a real QPainter, measured by its pixels.

#include <QGuiApplication>
#include <QImage>
#include <QTest>
#include <cmath>

#include "platform/ui/painter_canvas.h"

namespace {

constexpr double kDegrees = 180.0 / 3.14159265358979323846;
constexpr platform::Rgb kWhite{255, 255, 255};

bool Lit(const QImage& image, int x, int y) {
    return image.pixel(x, y) != qRgb(0, 0, 0);
}

// The direction of a pixel from the centre, degrees counter-clockwise from three o'clock,
// in [0, 360).
double DirectionOf(QPointF centre, int x, int y) {
    const double angle = std::atan2(centre.y() - y, x - centre.x()) * kDegrees;
    return angle < 0 ? angle + 360 : angle;
}

// How far counter-clockwise `angle` lies past `from`, in [0, 360).
double Past(double from, double angle) {
    return std::fmod(angle - from + 720, 360);
}

}  // namespace

class PainterCanvasTest : public QObject {
    Q_OBJECT

private slots:
    void ArcRunsFromRadialToRadial_data() {
        QTest::addColumn<QRect>("box");
        QTest::addColumn<double>("start");
        QTest::addColumn<double>("end");
        // Boxes as the scope's projection makes them at mid latitudes: wider than high.
        QTest::newRow("wide box, short way over the top")
            << QRect(40, 60, 240, 140) << 45.0 << 135.0;
        QTest::newRow("wide box, long way round below") << QRect(40, 60, 240, 140) << 135.0 << 45.0;
        QTest::newRow("wide box, across three o'clock") << QRect(40, 60, 240, 140) << 300.0 << 60.0;
        QTest::newRow("tall box") << QRect(100, 20, 120, 260) << 20.0 << 160.0;
        QTest::newRow("square box") << QRect(60, 50, 200, 200) << 200.0 << 340.0;
    }

    void ArcRunsFromRadialToRadial() {
        QFETCH(QRect, box);
        QFETCH(double, start);
        QFETCH(double, end);
        QImage image(320, 300, QImage::Format_RGB32);
        const QPointF centre(box.x() + box.width() / 2.0, box.y() + box.height() / 2.0);
        auto through = [&](double degrees) {
            return QPoint(
                static_cast<int>(std::lround(centre.x() + 50 * std::cos(degrees / kDegrees))),
                static_cast<int>(std::lround(centre.y() - 50 * std::sin(degrees / kDegrees))));
        };
        {
            platform::PainterCanvas canvas(image);
            canvas.Clear();
            canvas.SetPen(kWhite, 1, platform::PenStyle::Solid);
            const QPoint a = through(start);
            const QPoint b = through(end);
            canvas.Arc(box.left(), box.top(), box.x() + box.width(), box.y() + box.height(), a.x(),
                       a.y(), b.x(), b.y());
        }
        const double sweep = Past(start, end);
        double first = 360;
        double last = 0;
        int lit = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (!Lit(image, x, y))
                    continue;
                ++lit;
                double past = Past(start, DirectionOf(centre, x, y));
                if (past > 355)
                    past -= 360;  // a pixel on the start radial, a hair clockwise of it
                first = std::min(first, past);
                last = std::max(last, past);
            }
        }
        QVERIFY(lit > 0);
        // Nothing beyond the swept angle, and the ends reach both radials.
        QVERIFY2(first > -2.5 && first < 2.5, qPrintable(QString::number(first)));
        QVERIFY2(last > sweep - 2.5 && last < sweep + 2.5,
                 qPrintable(QString("%1 of %2").arg(last).arg(sweep)));
    }

    void DotLightsItsBoxCentredOnItsPixel_data() {
        QTest::addColumn<int>("radius");
        QTest::addColumn<bool>("filled");
        QTest::newRow("radius 2, filled") << 2 << true;
        QTest::newRow("radius 3, filled") << 3 << true;
        QTest::newRow("radius 6, outline") << 6 << false;
    }

    void DotLightsItsBoxCentredOnItsPixel() {
        QFETCH(int, radius);
        QFETCH(bool, filled);
        QImage image(40, 40, QImage::Format_RGB32);
        constexpr int x = 20;
        constexpr int y = 17;
        {
            platform::PainterCanvas canvas(image);
            canvas.Clear();
            canvas.SetPen(kWhite, 1, platform::PenStyle::Solid);
            canvas.SetFill(kWhite, filled);
            canvas.Ellipse(x - radius, y - radius, x + radius, y + radius);
        }
        int left = 40, right = -1, top = 40, bottom = -1;
        for (int py = 0; py < 40; ++py) {
            for (int px = 0; px < 40; ++px) {
                if (!Lit(image, px, py))
                    continue;
                left = std::min(left, px), right = std::max(right, px);
                top = std::min(top, py), bottom = std::max(bottom, py);
                // Symmetric about the dot's own pixel.
                QVERIFY(Lit(image, 2 * x - px, py));
                QVERIFY(Lit(image, px, 2 * y - py));
            }
        }
        QCOMPARE(left, x - radius);
        QCOMPARE(right, x + radius);
        QCOMPARE(top, y - radius);
        QCOMPARE(bottom, y + radius);
    }
};

QTEST_MAIN(PainterCanvasTest)
#include "painter_canvas_test.moc"
