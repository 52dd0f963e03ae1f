// The whole way into a session with the program's own windows: the Airport Area loads an
// airport, the Connection window locates and joins a simhost flying around it, and the radar
// draws its aircraft moving.

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include "app/app_windows.h"
#include "app/form1.h"
#include "link/form2.h"
#include "loader/form5.h"
#include "model/shared_state.h"
#include "platform/ansi.h"
#include "platform/directplay/directplay.h"
#include "platform/ui/painter_canvas.h"
#include "platform/ui/windows.h"
#include "radar/diagram_painter.h"
#include "radar/scope.h"
#include "radar/view.h"
#include "tests/support/scripted_dialogs.h"
#include "tests/support/simhost_process.h"
#include "tests/support/simulator_setup.h"
#include "tests/support/window_cleanup.h"
#include "tools/scenery/presets.h"

class SessionFlowTest : public QObject {
    Q_OBJECT
private slots:
    void fromTheAirportAreaToTrafficOnTheRadar();
};

namespace {

bool IsTargetDrawn(app::Form1& form, const model::TrafficEntry& row) {
    const radar::Pixel at = radar::Geo_To_Pixel(form.View(), row.latitude, row.longitude);
    const QImage& picture = form.Picture1->Picture();
    if (!picture.rect().contains(at.x, at.y))
        return false;
    const QColor c = picture.pixelColor(at.x, at.y);
    return c.red() == radar::kScopeGreen.red && c.green() == radar::kScopeGreen.green &&
           c.blue() == radar::kScopeGreen.blue;
}

}  // namespace

void SessionFlowTest::fromTheAirportAreaToTrafficOnTheRadar() {
    QTemporaryDir root;
    const QString saved = QDir::currentPath();
    QVERIFY(QDir(root.path()).mkpath("work"));
    QVERIFY(QDir::setCurrent(root.filePath("work")));
    model::ResetSharedState();
    QVERIFY(testing_support::SetUpSimulator(*tools::PresetWorld("tiny", 1),
                                            root.filePath("sim").toStdString()));
    QVERIFY(testing_support::BuildDatabase());
    model::g_simPath = platform::Utf8ToAnsi(root.filePath("sim").toStdString());
    testing_support::ScriptedDialogs dialogs;
    app::RegisterAppWindows();
    testing_support::UseLoopbackDirectPlay();

    // The Airport Area: find Alpha Field and GET AIRPORT.
    auto* area = qobject_cast<loader::Form5*>(platform::ShowWindow("Form5"));
    QVERIFY(area);
    QTRY_COMPARE_WITH_TIMEOUT(area->Text2->text(), QString("Done"), 5000);
    area->Text1->setText("alpha");
    QTest::mouseClick(area->Command1, Qt::LeftButton);
    area->List1->setCurrentRow(0);
    QTest::mouseClick(area->Command3, Qt::LeftButton);
    QCOMPARE(model::g_airport.name, std::string("Alpha Field"));

    // A session host with traffic around that airport.
    testing_support::SimHostProcess host({"--aircraft", "3", "--rate", "4", "--lat",
                                          QString::number(model::g_airport.latitude, 'f', 6),
                                          "--lon",
                                          QString::number(model::g_airport.longitude, 'f', 6)});
    QVERIFY(host.Port() != 0);

    auto* connection = qobject_cast<mplink::Form2*>(platform::ExistingWindow("Form2"));
    QVERIFY(connection && connection->isVisible());
    platform::directplay::SetAddressPrompt(
        [&]() -> std::optional<std::string> { return host.Address().toStdString(); });
    connection->List1->setCurrentRow(0);
    QTest::mouseClick(connection->Command1, Qt::LeftButton);
    QCOMPARE(connection->Label5->text(), QString("Done"));
    connection->List2->setCurrentRow(0);
    QTest::mouseClick(connection->Command2, Qt::LeftButton);

    QVERIFY(QTest::qWaitFor([] { return platform::ExistingWindow("Form1") != nullptr; }, 8000));
    auto* radarWindow = qobject_cast<app::Form1*>(platform::ExistingWindow("Form1"));
    QVERIFY(radarWindow);
    QCOMPARE(radarWindow->windowTitle(), QString("Tarvolo v1.1 - Alpha Field"));
    QVERIFY(platform::ExistingWindow("Form2") == nullptr);

    // Every aircraft gets a row; a moving one is drawn where the table says it is, and moves.
    QVERIFY(QTest::qWaitFor(
        [] { return model::g_trafficCount == 4 && model::g_traffic[2].latitude != 0; }, 10000));
    std::size_t mover = 0;
    for (std::size_t i = 1; i <= 4; ++i)
        if (model::g_traffic[i].name != "FS Host")
            mover = i;
    const model::TrafficEntry first = model::g_traffic[mover];
    QVERIFY(QTest::qWaitFor([&] { return IsTargetDrawn(*radarWindow, model::g_traffic[mover]); },
                            5000));
    QVERIFY(QTest::qWaitFor(
        [&] {
            return model::g_traffic[mover].latitude != first.latitude ||
                   model::g_traffic[mover].longitude != first.longitude;
        },
        5000));
    QVERIFY(QTest::qWaitFor([&] { return IsTargetDrawn(*radarWindow, model::g_traffic[mover]); },
                            5000));
    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(dialogs.messages[0].text, QString("Connected To FS Session!"));

    platform::directplay::SetAddressPrompt(nullptr);
    testing_support::CloseEveryWindow();
    platform::ClearWindowRegistry();
    model::ResetSharedState();
    QDir::setCurrent(saved);
}

QTEST_MAIN(SessionFlowTest)
#include "session_flow_test.moc"
