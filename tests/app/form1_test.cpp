// The main window's scope: the load sequence, zoom and centring, the pointer read-out and
// tooltips, and the measuring gesture, through the real Picture1.

#include <QtTest>

#include "app/form1.h"
#include "model/shared_state.h"
#include "tests/support/window_cleanup.h"

namespace {

constexpr double kLat = 32.9;
constexpr double kLon = -97.04;

QPoint PixelOf(const app::Form1& form, double lat, double lon) {
    const radar::Pixel at = radar::Geo_To_Pixel(form.View(), lat, lon);
    return {at.x, at.y};
}

}  // namespace

class Form1Test : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void loadsCentredOnTheAirportAtLevelNine();
    void zoomStopsAtTwentyAndCenterComesBack();
    void thePointerReadsCoordinatesAndObjects();
    void measuringStopsTheRepaintUntilRelease();
};

void Form1Test::init() {
    model::ResetSharedState();
    model::g_connected = true;
    model::g_showAirspaces = model::g_showAirportName = model::g_showILS = true;
    model::g_showTaxiways = model::g_showTaxiwayIds = model::g_showParkings = true;
    model::g_airport.name = "Dallas Fort Worth";
    model::g_airport.latitude = kLat;
    model::g_airport.longitude = kLon;
    model::g_airport.runways.resize(2);
    model::g_airport.runways[0] = {"17C", "35C", kLat, kLon,  kLat - 0.02, kLon,
                                   603,   174,   354,  13401, 150};
    model::g_airport.runwayCount = 1;
}

void Form1Test::cleanup() {
    testing_support::CloseEveryWindow();
    model::ResetSharedState();
}

app::Form1* Open() {
    return testing_support::OpenNew<app::Form1>();
}

void Form1Test::loadsCentredOnTheAirportAtLevelNine() {
    app::Form1* form = Open();
    QCOMPARE(form->windowTitle(), QString("Tarvolo v1.1 - Dallas Fort Worth"));
    QCOMPARE(form->Label7->text(), QString("9x"));
    const radar::View& view = form->View();
    // The picture fills the scope as the window lays it out, airport in the middle.
    QCOMPARE(QSize(view.m_scopeWidthPx, view.m_scopeHeightPx), form->Picture1->size());
    QCOMPARE(form->Picture1->size(), QSize(573, 249));  // the scope's design size
    QVERIFY(!form->ListAlerts->isVisible());            // no aid, no alert list
    QCOMPARE(form->Picture1->Picture().size(), form->Picture1->size());
    QCOMPARE(view.m_zoomLevel, std::int16_t{9});
    QVERIFY(std::abs((view.m_viewRight - view.m_viewLeft) - 359.9998 / 256) < 1e-9);  // 1.40625
    QVERIFY(std::abs((view.m_viewLeft + view.m_viewRight) / 2 - kLon) < 1e-9);
    QVERIFY(form->Timer2->isActive());
    QCOMPARE(form->Timer2->interval(), 1000);
    QCOMPARE(form->Command5->text(), QString("> ZOOM IN <"));
    QCOMPARE(form->Command6->text(), QString("< ZOOM OUT >"));
    QCOMPARE(form->Text1->text(), QString("0.00000"));
}

void Form1Test::zoomStopsAtTwentyAndCenterComesBack() {
    app::Form1* form = Open();
    for (int press = 0; press < 11; ++press) {
        QTest::mouseClick(form->Command5, Qt::LeftButton);
    }
    QCOMPARE(form->Label7->text(), QString("20x"));
    const double left = form->View().m_viewLeft;
    QTest::mouseClick(form->Command5, Qt::LeftButton);
    QCOMPARE(form->Label7->text(), QString("20x"));
    QCOMPARE(form->View().m_viewLeft, left);
    for (int press = 0; press < 7; ++press) {
        QTest::mouseClick(form->Command6, Qt::LeftButton);
    }
    QCOMPARE(form->Label7->text(), QString("13x"));

    // A right click centres on the clicked point, CENTER brings the airport back.
    QTest::mouseClick(form->Picture1, Qt::RightButton, {}, QPoint(20, 20));
    const double centre = (form->View().m_viewLeft + form->View().m_viewRight) / 2;
    QVERIFY(std::abs(centre - kLon) > 1e-4);
    // On the pointer's single-precision position, as the read-out shows it.
    QVERIFY(std::abs(centre - static_cast<float>(centre)) < 1e-9);
    QCOMPARE(form->View().m_zoomLevel, std::int16_t{13});
    QTest::mouseClick(form->Command2, Qt::LeftButton);
    QVERIFY(std::abs((form->View().m_viewLeft + form->View().m_viewRight) / 2 - kLon) < 1e-9);

    // The Airport Area centres the window through its public operation.
    QVERIFY(QMetaObject::invokeMethod(form, "Center_Airport", Q_ARG(double, 10.0),
                                      Q_ARG(double, 20.0)));
    QVERIFY(std::abs((form->View().m_viewTop + form->View().m_viewBottom) / 2 - 20.0) < 1e-9);
}

void Form1Test::thePointerReadsCoordinatesAndObjects() {
    app::Form1* form = Open();
    for (int press = 0; press < 4; ++press) {
        QTest::mouseClick(form->Command5, Qt::LeftButton);  // level 13: the diagram
    }
    QTest::mouseMove(form->Picture1, PixelOf(*form, kLat, kLon));
    QVERIFY(form->Text1->text().startsWith("-97.0"));
    QCOMPARE(form->Label2->text(), QString("W"));
    QCOMPARE(form->Label3->text(), QString("N"));
    QCOMPARE(
        form->Picture1->toolTip(),
        QString("Runway: 17C  Heading: 174  Altitude: 603 ft  Lenght: 13401 ft  Width: 150 ft"));
    QTest::mouseMove(form->Picture1, QPoint(5, 5));
    QVERIFY(form->Picture1->toolTip().isEmpty());
}

void Form1Test::measuringStopsTheRepaintUntilRelease() {
    app::Form1* form = Open();
    const QPoint start = PixelOf(*form, kLat, kLon);
    QTest::mousePress(form->Picture1, Qt::LeftButton, {}, start);
    QVERIFY(model::g_pointerDown);
    QVERIFY(!form->Timer2->isActive());
    QMouseEvent move(QEvent::MouseMove, QPointF(start + QPoint(200, 0)),
                     form->Picture1->mapToGlobal(QPointF(start + QPoint(200, 0))), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form->Picture1, &move);
    // The dotted line in scope green runs along the row of the press.
    const QImage& picture = form->Picture1->Picture();
    int green = 0;
    for (int x = start.x() + 5; x < start.x() + 195; ++x) {
        green += picture.pixelColor(x, start.y()) == QColor(0, 192, 0) ? 1 : 0;
    }
    QVERIFY2(green > 20, qPrintable(QString::number(green)));
    QVERIFY(!form->Timer2->isActive());
    QTest::mouseRelease(form->Picture1, Qt::LeftButton, {}, start + QPoint(200, 0));
    QVERIFY(!model::g_pointerDown);
    QVERIFY(form->Timer2->isActive());
}

QTEST_MAIN(Form1Test)
#include "form1_test.moc"
