// The controller aids in the main window and the Options window: the aids-off picture, wheel
// zoom, panning by drag and keys, and the aids' own settings file.

#include <QGroupBox>
#include <QSettings>
#include <QStandardPaths>
#include <QtTest>

#include "app/aid_settings.h"
#include "app/form1.h"
#include "app/form10.h"
#include "model/shared_state.h"
#include "platform/ui/painter_canvas.h"
#include "radar/scope.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/window_cleanup.h"

namespace {

constexpr double kLat = 47.449;
constexpr double kLon = -122.309;

double CentreLon(const radar::View& view) {
    return (view.m_viewLeft + view.m_viewRight) / 2;
}

double CentreLat(const radar::View& view) {
    return (view.m_viewTop + view.m_viewBottom) / 2;
}

void Wheel(QWidget* widget, QPoint at, int eighths) {
    QWheelEvent event(at, widget->mapToGlobal(at), QPoint(), QPoint(0, eighths), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &event);
}

}  // namespace

class AidsWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void withTheAidsOffTheScopeIsThePartsPicture();
    void theWheelZoomsAboutThePointer();
    void theMiddleButtonAndTheKeysMoveTheView();
    void theAidsLiveInTheirOwnSettingsFile();
    void rangeAndBearingLinesAndDraggedBlocks();
};

void AidsWindowTest::init() {
    model::ResetSharedState();
    app::Aids() = radar::AidSettings{};
    app::Coordination() = {};
    model::g_connected = true;
    model::g_showAirspaces = model::g_showAirportName = model::g_showILS = true;
    model::g_showTaxiways = model::g_showTaxiwayIds = model::g_showParkings = true;
    model::g_airport.name = "Tarvolo International";
    model::g_airport.latitude = kLat;
    model::g_airport.longitude = kLon;
    model::g_airport.runways.resize(2);
    model::g_airport.runways[0] = {"16", "34", kLat + 0.02, kLon,  kLat - 0.02, kLon,
                                   430,  160,  340,         11900, 150};
    model::g_airport.runwayCount = 1;
    model::g_airspaces.resize(2);
    model::g_airspaces[0].classLabel = "Airspace Class B";
    model::g_airspaces[0].centerLatitude = kLat;
    model::g_airspaces[0].centerLongitude = kLon;
    model::g_airspaces[0].vertices = {{1, kLat, kLon, 0}, {2, 0, 0, 10}};
    model::g_airspaces[0].vertexCount = 2;
    model::g_airspaceCount = 1;
    for (int i = 1; i <= 6; ++i) {
        model::g_traffic[static_cast<std::size_t>(i)] = {
            "TVO" + std::to_string(i), 400 + 900 * i, 30.0 * i, kLon + 0.004 * i,
            kLat - 0.003 * i,          "Jet Plane",   "B737"};
    }
    model::g_trafficCount = 6;
}

void AidsWindowTest::cleanup() {
    testing_support::CloseEveryWindow();
    model::ResetSharedState();
}

app::Form1* Open() {
    return testing_support::OpenNew<app::Form1>();
}

void AidsWindowTest::withTheAidsOffTheScopeIsThePartsPicture() {
    app::Form1* form = Open();
    for (int level : {9, 13, 16}) {
        // Each click repaints; the window's first repaint waits for its timer.
        while (form->View().m_zoomLevel < level + 1)
            QTest::mouseClick(form->Command5, Qt::LeftButton);
        QTest::mouseClick(form->Command6, Qt::LeftButton);
        QImage parts(form->Picture1->Picture().size(), QImage::Format_RGB32);
        {
            platform::PainterCanvas canvas(parts);
            canvas.Clear();
            radar::Redraw_Scope(canvas, form->View(), form->Selection());
            radar::Draw_Targets(canvas, form->View());
        }
        QVERIFY2(form->Picture1->Picture() == parts, qPrintable(QString::number(level)));
        // The aids change the picture, and only while they are on.
        app::Aids().rings = app::Aids().declutter = true;
        QTest::mouseClick(form->Command6, Qt::LeftButton);
        QTest::mouseClick(form->Command5, Qt::LeftButton);
        QVERIFY(form->Picture1->Picture() != parts);
        app::Aids() = radar::AidSettings{};
        QTest::mouseClick(form->Command6, Qt::LeftButton);
        QTest::mouseClick(form->Command5, Qt::LeftButton);
        QVERIFY(form->Picture1->Picture() == parts);
    }
}

void AidsWindowTest::theWheelZoomsAboutThePointer() {
    app::Form1* form = Open();
    const QPoint at(120, 70);
    const radar::GeoPoint under = radar::Pixel_To_Geo(form->View(), at.x(), at.y());
    Wheel(form->Picture1, at, 60);  // half a notch: nothing yet
    QCOMPARE(form->View().m_zoomLevel, std::int16_t{9});
    Wheel(form->Picture1, at, 60);
    QCOMPARE(form->View().m_zoomLevel, std::int16_t{10});
    QCOMPARE(form->Label7->text(), QString("10x"));
    const radar::Pixel still = radar::Geo_To_Pixel(form->View(), under.latitude, under.longitude);
    QVERIFY(std::abs(still.x - at.x()) <= 1 && std::abs(still.y - at.y()) <= 1);
    Wheel(form->Picture1, at, 120 * 15);  // far beyond the closest level
    QCOMPARE(form->View().m_zoomLevel, std::int16_t{20});
    QCOMPARE(form->Label7->text(), QString("20x"));
    Wheel(form->Picture1, at, -120 * 25);
    QCOMPARE(form->View().m_zoomLevel, std::int16_t{1});
    // Switched off, the wheel leaves the view alone.
    app::Aids().wheelAndPan = false;
    Wheel(form->Picture1, at, 120);
    QCOMPARE(form->View().m_zoomLevel, std::int16_t{1});
}

void AidsWindowTest::theMiddleButtonAndTheKeysMoveTheView() {
    app::Form1* form = Open();
    const radar::View before = form->View();
    const double degreesPerPixel = (before.m_viewRight - before.m_viewLeft) / before.m_scopeWidthPx;
    QTest::mousePress(form->Picture1, Qt::MiddleButton, {}, QPoint(200, 100));
    QMouseEvent drag(QEvent::MouseMove, QPointF(250, 130),
                     form->Picture1->mapToGlobal(QPointF(250, 130)), Qt::NoButton, Qt::MiddleButton,
                     Qt::NoModifier);
    QApplication::sendEvent(form->Picture1, &drag);
    QTest::mouseRelease(form->Picture1, Qt::MiddleButton, {}, QPoint(250, 130));
    // The picture follows the pointer: the centre moves 50 pixels west and 30 north.
    QVERIFY(std::abs(CentreLon(form->View()) - (CentreLon(before) - 50 * degreesPerPixel)) < 1e-9);
    QVERIFY(CentreLat(form->View()) > CentreLat(before));
    QCOMPARE(form->View().m_zoomLevel, before.m_zoomLevel);

    const double lon = CentreLon(form->View());
    QTest::keyClick(form->Picture1, Qt::Key_Right);
    QVERIFY(std::abs(CentreLon(form->View()) -
                     (lon + (before.m_viewRight - before.m_viewLeft) / 10)) < 1e-9);
    QTest::keyClick(form->Picture1, Qt::Key_Plus);
    QCOMPARE(form->View().m_zoomLevel, std::int16_t{10});
    QTest::keyClick(form->Picture1, Qt::Key_Home);
    QVERIFY(std::abs(CentreLon(form->View()) - kLon) < 1e-9);
    QVERIFY(std::abs(CentreLat(form->View()) - kLat) < 1e-9);
    // The right button still centres, and the left still measures.
    QTest::mouseClick(form->Picture1, Qt::RightButton, {}, QPoint(20, 20));
    QVERIFY(std::abs(CentreLon(form->View()) - kLon) > 1e-4);
    QTest::mousePress(form->Picture1, Qt::LeftButton, {}, QPoint(100, 100));
    QVERIFY(model::g_pointerDown);
    const double measuring = CentreLon(form->View());
    QTest::keyClick(form->Picture1, Qt::Key_Left);  // no panning under a measurement
    QCOMPARE(CentreLon(form->View()), measuring);
    QTest::mouseRelease(form->Picture1, Qt::LeftButton, {}, QPoint(100, 100));
}

void AidsWindowTest::theAidsLiveInTheirOwnSettingsFile() {
    QTemporaryDir work;
    const testing_support::InFolder in(work.path().toStdString());
    auto* options = testing_support::OpenNew<app::Form10>();
    auto* frame = options->findChild<QGroupBox*>("Frame2");
    QVERIFY(frame);
    QCOMPARE(frame->title(), QString("Controller Aids"));
    QVERIFY(frame->geometry().top() > options->Check2->parentWidget()->geometry().bottom());
    QVERIFY(options->CheckWheel->isChecked() && !options->CheckRings->isChecked());
    QTest::mouseClick(options->CheckRings, Qt::LeftButton);
    options->FilterHigh->setValue(12000);
    QVERIFY(app::Aids().rings);
    QCOMPARE(app::Aids().filterHighFt, 12000);
    // The impossible is refused, with the reason beside it.
    options->FilterLow->setValue(20000);
    QCOMPARE(options->FilterLow->value(), 0);
    QCOMPARE(app::Aids().filterLowFt, 0);
    QVERIFY(options->LabelAidProblem->isVisible());
    QVERIFY(options->LabelAidProblem->text().contains("cannot be above the highest"));
    options->FilterLow->setValue(1000);
    QVERIFY(options->LabelAidProblem->text().isEmpty());
    QCOMPARE(app::Aids().filterLowFt, 1000);
    options->VectorMinutes->setCurrentIndex(2);
    QCOMPARE(app::Aids().vectorMinutes, 5);
    // Coordination: off by default; a position is one word, kept in upper case.
    QVERIFY(!options->CheckCoordinate->isChecked());
    QTest::mouseClick(options->CheckCoordinate, Qt::LeftButton);
    options->TextPosition->selectAll();
    QTest::keyClicks(options->TextPosition, QStringLiteral("tvo twr"));
    options->TextFrequency->selectAll();
    QTest::keyClicks(options->TextFrequency, QStringLiteral("118.7x0"));
    QCOMPARE(options->TextPosition->text(), QStringLiteral("TVOTWR"));
    QVERIFY(options->CheckCoordinate->isChecked());
    QVERIFY(app::Coordination().on);
    QCOMPARE(app::Coordination().position, QStringLiteral("TVOTWR"));
    QCOMPARE(app::Coordination().frequency, QStringLiteral("118.70"));
    QVERIFY(!app::Aids().owners && !app::Aids().controllerAirports);
    // Its two aids sit with it, in the Controllers group.
    for (QWidget* aid : {options->CheckOwners, options->CheckControllerAirports})
        QCOMPARE(aid->parentWidget(), options->CheckCoordinate->parentWidget());
    QTest::mouseClick(options->CheckOwners, Qt::LeftButton);
    QVERIFY(app::Aids().owners);

    const QString file =
        QSettings(QSettings::IniFormat, QSettings::UserScope, "Tarvolo", "tarvolo").fileName();
    QVERIFY2(
        file.startsWith(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)),
        qPrintable(file));
    QSettings stored(file, QSettings::IniFormat);
    QCOMPARE(stored.value("aids/rings").toBool(), true);
    QCOMPARE(stored.value("aids/filterHighFt").toInt(), 12000);
    QCOMPARE(stored.value("coordination/position").toString(), QStringLiteral("TVOTWR"));
    QCOMPARE(stored.value("aids/owners").toBool(), true);
    app::Aids() = radar::AidSettings{};
    app::ReloadAids();
    QVERIFY(app::Aids().rings);
    QCOMPARE(app::Aids().vectorMinutes, 5);
    // A file spoiled by hand is read within the ranges.
    stored.setValue("aids/conflictLateralNm", 0);
    stored.setValue("aids/filterLowFt", 30000);
    stored.setValue("aids/historyDots", 500);
    stored.sync();
    app::ReloadAids();
    QCOMPARE(app::Aids().conflictLateralNm, 3.0);
    QCOMPARE(app::Aids().filterLowFt, 12000);
    QCOMPARE(app::Aids().filterHighFt, 30000);
    QCOMPARE(app::Aids().historyDots, 20);
    QVERIFY(app::Coordination().on);
    app::Coordination() = {};
    QVERIFY(QDir(work.path()).entryList(QDir::Files).isEmpty());  // atc_settings.tcs untouched
    QFile::remove(file);
}

void AidsWindowTest::rangeAndBearingLinesAndDraggedBlocks() {
    app::Aids().rangeBearing = app::Aids().declutter = true;
    app::Form1* form = Open();
    QTest::keyClick(form->Picture1, Qt::Key_Plus);  // level 10: the targets a few pixels apart
    auto dot = [&](int row) {
        const auto& entry = model::g_traffic[static_cast<std::size_t>(row)];
        const radar::Pixel at = radar::Geo_To_Pixel(form->View(), entry.latitude, entry.longitude);
        return QPoint(at.x, at.y);
    };
    auto move = [&](QPoint to, Qt::KeyboardModifiers modifiers) {
        QMouseEvent event(QEvent::MouseMove, QPointF(to), form->Picture1->mapToGlobal(QPointF(to)),
                          Qt::NoButton, Qt::LeftButton, modifiers);
        QApplication::sendEvent(form->Picture1, &event);
    };
    // Shift and the left button from one target to another: a line between them, no measuring.
    QTest::mousePress(form->Picture1, Qt::LeftButton, Qt::ShiftModifier, dot(1));
    QVERIFY(!model::g_pointerDown);
    move(dot(4), Qt::ShiftModifier);
    QTest::mouseRelease(form->Picture1, Qt::LeftButton, Qt::ShiftModifier, dot(4));
    QCOMPARE(form->RangeBearingLines().size(), std::size_t{1});
    QCOMPARE(form->RangeBearingLines()[0].from.callsign, std::string("TVO1"));
    QCOMPARE(form->RangeBearingLines()[0].to.callsign, std::string("TVO4"));
    // From a target to a point; then Escape takes the newest away.
    const QPoint empty(30, 200);
    QTest::mousePress(form->Picture1, Qt::LeftButton, Qt::ShiftModifier, dot(6));
    move(empty, Qt::ShiftModifier);
    QTest::mouseRelease(form->Picture1, Qt::LeftButton, Qt::ShiftModifier, empty);
    QCOMPARE(form->RangeBearingLines().size(), std::size_t{2});
    QVERIFY(form->RangeBearingLines()[1].to.callsign.empty());
    QTest::keyClick(form->Picture1, Qt::Key_Escape);
    QCOMPARE(form->RangeBearingLines().size(), std::size_t{1});
    // A click on the line takes it away; a click beside it measures and leaves it.
    const QPoint middle = (dot(1) + dot(4)) / 2;
    QTest::mouseClick(form->Picture1, Qt::LeftButton, {}, middle + QPoint(0, 12));
    QCOMPARE(form->RangeBearingLines().size(), std::size_t{1});
    QTest::mouseClick(form->Picture1, Qt::LeftButton, {}, middle);
    QVERIFY(form->RangeBearingLines().empty());
    QVERIFY(!model::g_pointerDown);

    // A block dragged to the upper left of its target stays there.
    const auto placed = form->Blocks().BoxOf("TVO2");
    QVERIFY(placed.has_value());
    const QPoint block((placed->left + placed->right) / 2, (placed->top + placed->bottom) / 2);
    QTest::mousePress(form->Picture1, Qt::LeftButton, {}, block);
    QVERIFY(!model::g_pointerDown);
    QTest::mouseRelease(form->Picture1, Qt::LeftButton, {}, dot(2) - QPoint(60, 20));
    const auto box = form->Blocks().BoxOf("TVO2");
    QVERIFY(box.has_value());
    QVERIFY2(box->right <= dot(2).x() && box->bottom <= dot(2).y(),
             qPrintable(QString("%1 %2 %3 %4 dot %5 %6")
                            .arg(box->left)
                            .arg(box->top)
                            .arg(box->right)
                            .arg(box->bottom)
                            .arg(dot(2).x())
                            .arg(dot(2).y())));

    // The aid off, Shift and the left button measure as ever.
    app::Aids().rangeBearing = false;
    QTest::mousePress(form->Picture1, Qt::LeftButton, Qt::ShiftModifier, dot(5) + QPoint(0, 40));
    QVERIFY(model::g_pointerDown);
    QTest::mouseRelease(form->Picture1, Qt::LeftButton, Qt::ShiftModifier, dot(5) + QPoint(0, 40));
    QVERIFY(form->RangeBearingLines().empty());
}

QTEST_MAIN(AidsWindowTest)
#include "aids_window_test.moc"
