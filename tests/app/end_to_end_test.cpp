// The whole program as a user meets it, on the real windows, one window handing over to the
// next: the splash, setup with a wrong folder and then the right one, the database build, the
// Airport Area, the Connection window joining a simhost flying around the airport, the radar
// with its traffic and read-out, Options and About, leaving, joining again, and Exit. What each
// window does on its own is tested with that window.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "app/app_windows.h"
#include "app/form1.h"
#include "app/form10.h"
#include "app/form3.h"
#include "app/form7.h"
#include "builder/form4.h"
#include "link/form2.h"
#include "loader/form5.h"
#include "model/shared_state.h"
#include "platform/ui/painter_canvas.h"
#include "platform/ui/windows.h"
#include "radar/diagram_painter.h"
#include "radar/scope.h"
#include "radar/view.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/scripted_dialogs.h"
#include "tests/support/simhost_process.h"
#include "tests/support/window_cleanup.h"
#include "tools/scenery/presets.h"
#include "tools/scenery/sim_folder.h"

class EndToEndTest : public QObject {
    Q_OBJECT
private slots:
    void fromTheSplashToExit();
};

namespace {

template <typename T>
T* Shown(const char* name) {
    auto* window = qobject_cast<T*>(platform::ExistingWindow(QString::fromLatin1(name)));
    return window != nullptr && window->isVisible() ? window : nullptr;
}

bool IsGreen(const QImage& picture, const radar::Pixel& at) {
    const QColor c = picture.pixelColor(at.x, at.y);
    return c.red() == radar::kScopeGreen.red && c.green() == radar::kScopeGreen.green &&
           c.blue() == radar::kScopeGreen.blue;
}

// The scope shows a target where the row is, and the picture without targets does not
// explain that green (a runway line under the aircraft would).
bool IsTargetDrawn(app::Form1& form, const model::TrafficEntry& row) {
    const radar::Pixel at = radar::Geo_To_Pixel(form.View(), row.latitude, row.longitude);
    const QImage& picture = form.Picture1->Picture();
    if (!picture.rect().contains(at.x, at.y) || !IsGreen(picture, at))
        return false;
    QImage background(picture.size(), picture.format());
    {
        platform::PainterCanvas canvas(background);
        canvas.Clear();
        radar::Redraw_Scope(canvas, form.View(), form.Selection());
    }
    return !IsGreen(background, at);
}

QString TooltipAt(app::Form1& form, double latitude, double longitude) {
    const radar::Pixel at = radar::Geo_To_Pixel(form.View(), latitude, longitude);
    QTest::mouseMove(form.Picture1, QPoint(at.x + 2, at.y));
    QTest::mouseMove(form.Picture1, QPoint(at.x, at.y));
    return form.Picture1->toolTip();
}

// With TARVOLO_SCREENSHOTS set to a folder, each step's window is saved there as it is on
// screen (scripts/screenshots.sh runs this test under Xvfb for the README's pictures).
void Snap(QWidget* window, const char* name) {
    const QString folder = qEnvironmentVariable("TARVOLO_SCREENSHOTS");
    if (folder.isEmpty() || window == nullptr)
        return;
    QTest::qWait(400);  // let the window settle and paint
    window->grab().save(folder + "/" + name + ".png");
}

int RowNamed(const std::string& name) {
    for (int i = 1; i <= model::g_trafficCount; ++i)
        if (model::g_traffic[static_cast<std::size_t>(i)].name == name)
            return i;
    return 0;
}

// Locates the session at `address` and joins it from the Connection window.
app::Form1* JoinFromConnectionWindow(const QString& address) {
    auto* connection = Shown<mplink::Form2>("Form2");
    if (!connection)
        return nullptr;
    directplay::SetAddressPrompt(
        [address]() -> std::optional<std::string> { return address.toStdString(); });
    connection->List1->setCurrentRow(0);
    QTest::mouseClick(connection->Command1, Qt::LeftButton);
    if (connection->List2->count() != 1)
        return nullptr;
    connection->List2->setCurrentRow(0);
    Snap(connection, "connection");
    QTest::mouseClick(connection->Command2, Qt::LeftButton);
    if (!QTest::qWaitFor([] { return Shown<app::Form1>("Form1") != nullptr; }, 8000))
        return nullptr;
    return Shown<app::Form1>("Form1");
}

// The world the walk goes through: the tests' tiny world, or for the README's pictures the
// demo world (Tarvolo International with its airspaces and more traffic).
struct WalkWorld {
    const char* preset;
    QString search;
    std::string airport;
    int index;
    int aircraft;
    QString pilotChat;
};

WalkWorld TheWorld() {
    if (qEnvironmentVariableIsSet("TARVOLO_SCREENSHOTS"))
        return {"demo", "tarvolo", "Tarvolo International", 4, 8, "Tarvolo tower, N1 ready"};
    return {"tiny", "alpha", "Alpha Field", 0, 3, "Alpha tower, N1 ready"};
}

}  // namespace

void EndToEndTest::fromTheSplashToExit() {
    const WalkWorld world = TheWorld();
    const int rows = world.aircraft + 1;  // the host's own player too
    QTemporaryDir root;
    QVERIFY(QDir(root.path()).mkpath("work"));
    const testing_support::InFolder in(root.filePath("work").toStdString());
    const QString simFolder = root.filePath("FS2002");
    QVERIFY(!tools::WriteSimulatorFolder(*tools::PresetWorld(world.preset, 1),
                                         simFolder.toStdString()));
    model::ResetSharedState();
    testing_support::ScriptedDialogs dialogs;
    platform::ClearWindowRegistry();
    app::RegisterAppWindows();
    testing_support::UseLoopbackDirectPlay();
    auto lastMessage = [&] {
        return dialogs.messages.isEmpty() ? QString() : dialogs.messages.last().text;
    };

    // Splash, then setup: no files yet.
    Snap(platform::ShowWindow("Form8"), "splash");
    QVERIFY(QTest::qWaitFor([] { return Shown<app::Form3>("Form3") != nullptr; }, 6000));
    auto* setup = Shown<app::Form3>("Form3");
    Snap(setup, "setup");
    setup->Text1->setText(root.filePath("work"));
    QTest::mouseClick(setup->Command1, Qt::LeftButton);
    QCOMPARE(lastMessage(), QString("The directory or path that you selected is not your currently "
                                    "FS2002 main folder, because this program didn't found the "
                                    "FS2002.EXE file. Please try again."));
    QCOMPARE(dialogs.messages.last().icon, platform::MessageIcon::Exclamation);
    QVERIFY(!QFile::exists("atc_settings.tcs") && setup->isVisible());
    setup->Text1->setText(simFolder);
    QTest::mouseClick(setup->Command1, Qt::LeftButton);
    QCOMPARE(lastMessage(), QString("Settings file created successfully!"));

    // The builder, to completion.
    QVERIFY(QTest::qWaitFor([] { return Shown<builder::Form4>("Form4") != nullptr; }, 3000));
    auto* builderWindow = Shown<builder::Form4>("Form4");
    QVERIFY(QTest::qWaitFor([&] { return builderWindow->Command2->isEnabled(); },
                            5000));  // after discovery
    Snap(builderWindow, "builder");
    QTest::mouseClick(builderWindow->Command2, Qt::LeftButton);
    QVERIFY(QTest::qWaitFor(
        [&] { return lastMessage() == "The creation process of the database was completed!"; },
        20000));

    // The Airport Area: search and GET AIRPORT.
    QVERIFY(QTest::qWaitFor([] { return Shown<loader::Form5>("Form5") != nullptr; }, 3000));
    auto* area = Shown<loader::Form5>("Form5");
    QTRY_COMPARE_WITH_TIMEOUT(area->Text2->text(), QString("Done"), 5000);
    area->Text1->setText(world.search);
    QTest::mouseClick(area->Command1, Qt::LeftButton);
    QCOMPARE(area->List1->item(0)->text(),
             QString::fromStdString(world.airport) + "   Index: " + QString::number(world.index));
    area->List1->setCurrentRow(0);
    Snap(area, "airport-area");
    QTest::mouseClick(area->Command3, Qt::LeftButton);
    QVERIFY(Shown<mplink::Form2>("Form2"));

    // A session host flying around the first runway of that airport, read from our database.
    testing_support::SimHostProcess host({"--database", root.filePath("work"), "--index",
                                          QString::number(world.index), "--aircraft",
                                          QString::number(world.aircraft), "--rate", "4", "--chat",
                                          world.pilotChat, "--chat-every", "1"});
    QVERIFY(host.Port() != 0);
    app::Form1* radarWindow = JoinFromConnectionWindow(host.Address());
    QVERIFY(radarWindow);
    QCOMPARE(lastMessage(), QString("Connected To FS Session!"));
    QCOMPARE(radarWindow->windowTitle(), "Tarvolo v1.1 - " + QString::fromStdString(world.airport));

    // Traffic: every aircraft gets a row; a moving one is drawn where its row says.
    QVERIFY(QTest::qWaitFor(
        [&] {
            return model::g_trafficCount == rows &&
                   model::g_traffic[static_cast<std::size_t>(rows)].latitude != 0;
        },
        10000));
    int mover = 0;
    for (int i = 1; i <= rows; ++i)
        if (model::g_traffic[static_cast<std::size_t>(i)].name != "FS Host")
            mover = i;
    QVERIFY(QTest::qWaitFor(
        [&] {
            return IsTargetDrawn(*radarWindow, model::g_traffic[static_cast<std::size_t>(mover)]);
        },
        5000));

    QTest::qWait(qEnvironmentVariableIsSet("TARVOLO_SCREENSHOTS") ? 2500
                                                                  : 0);  // a few sweeps of traffic
    Snap(radarWindow, "radar-wide");

    // The pointer read-out at a close zoom level: the parked host's data, then a runway end.
    while (radarWindow->View().m_zoomLevel < 13)
        QTest::mouseClick(radarWindow->Command5, Qt::LeftButton);
    const int parked = RowNamed("FS Host");
    QVERIFY(parked > 0);
    const auto parkedRow = model::g_traffic[static_cast<std::size_t>(parked)];
    QVERIFY(TooltipAt(*radarWindow, parkedRow.latitude, parkedRow.longitude)
                .startsWith("Player: FS Host  Heading: "));
    QVERIFY(!radarWindow->Text1->text().isEmpty() && !radarWindow->Label2->text().isEmpty());
    Snap(radarWindow, "radar-close");
    // Options, for the README's picture (its controls have their own tests).
    radarWindow->ToolbarButton(2)->trigger();
    Snap(Shown<app::Form10>("Form10"), "options");
    Shown<app::Form10>("Form10")->close();

    // About, and back.
    radarWindow->ToolbarButton(5)->trigger();
    Snap(Shown<app::Form7>("Form7"), "about");
    QTest::mouseClick(Shown<app::Form7>("Form7")->Command1, Qt::LeftButton);
    QVERIFY(radarWindow->isEnabled());

    // Leaving and joining again.
    QPointer<app::Form1> first(radarWindow);
    QTest::mouseClick(radarWindow->Command3, Qt::LeftButton);
    QVERIFY(QTest::qWaitFor([&] { return first.isNull(); }, 3000));
    QCOMPARE(Shown<mplink::Form2>("Form2")->Label5->text(), QString("-None-"));
    QVERIFY(host.LogHas("left the session"));
    radarWindow = JoinFromConnectionWindow(host.Address());
    QVERIFY(radarWindow);
    QVERIFY(QTest::qWaitFor([&] { return model::g_trafficCount == rows; }, 8000));

    // Exit: leave, then the Connection window's Exit ends the program.
    QTest::mouseClick(radarWindow->Command3, Qt::LeftButton);
    QVERIFY(QTest::qWaitFor([] { return Shown<mplink::Form2>("Form2") != nullptr; }, 3000));
    QCOMPARE(dialogs.endCount, 0);
    QTest::mouseClick(Shown<mplink::Form2>("Form2")->Command3, Qt::LeftButton);
    QCOMPARE(dialogs.endCount, 1);

    directplay::SetAddressPrompt(nullptr);
    testing_support::CloseEveryWindow();
    platform::ClearWindowRegistry();
    model::ResetSharedState();
}

QTEST_MAIN(EndToEndTest)
#include "end_to_end_test.moc"
