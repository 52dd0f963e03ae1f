// The main window's commands on the real windows in a simhost session: the toolbar's lock and
// release, Create New Database, Airport General Info, the roll call, Options and About, and
// the four ways a session ends.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "app/app_windows.h"
#include "app/form1.h"
#include "app/form10.h"
#include "app/form7.h"
#include "link/form2.h"
#include "loader/airport_area.h"
#include "loader/form5.h"
#include "model/own_files.h"
#include "model/shared_state.h"
#include "platform/ansi.h"
#include "platform/ui/windows.h"
#include "radar/view.h"
#include "tests/support/scripted_dialogs.h"
#include "tests/support/simhost_process.h"
#include "tests/support/simulator_setup.h"
#include "tests/support/window_cleanup.h"
#include "tools/scenery/presets.h"

using testing_support::SimHostProcess;

class MainWindowCommandsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void toolbarWindowsLockAndReleaseTheMainWindow();
    void gotoAirportLoadsAnotherAirportOrGivesControlBack();
    void createNewDatabaseCancelAndOk();
    void airportInformationHasNineLines();
    void rollCallWithAndWithoutAPlayer();
    void optionsSwitchTheIlsLayerAndItsTooltips();
    void everyDisconnectionEndsOnAFreshConnectionWindow_data();
    void everyDisconnectionEndsOnAFreshConnectionWindow();

private:
    app::Form1* OpenMainWindow();
    static void VerifyLocked(app::Form1* form, bool locked = true);
    static void VerifyReleased(app::Form1* form) { VerifyLocked(form, false); }

    QTemporaryDir m_root;
    QString m_savedCwd;
    std::int32_t m_airports = 0;
    std::int32_t m_files = 0;
    std::unique_ptr<testing_support::ScriptedDialogs> m_dialogs;
    std::unique_ptr<SimHostProcess> m_host;
};

void MainWindowCommandsTest::initTestCase() {
    m_savedCwd = QDir::currentPath();
    QVERIFY(QDir(m_root.path()).mkpath("work"));
    QVERIFY(QDir::setCurrent(m_root.filePath("work")));
    model::ResetSharedState();
    QVERIFY(testing_support::SetUpSimulator(*tools::PresetWorld("tiny", 1),
                                            m_root.filePath("sim").toStdString()));
    QVERIFY(testing_support::BuildDatabase());
    m_airports = model::g_airportCount;
    m_files = model::g_airspaceFileCount;
    // Every test starts from these files; Create New Database deletes two of them.
    QVERIFY(QDir(m_root.path()).mkpath("saved"));
    for (const char* name :
         {model::kSettingsFileName, model::kAirportsFileName, model::kAirspacesFileName})
        QVERIFY(QFile::copy(name, m_root.filePath("saved/") + name));
}

void MainWindowCommandsTest::cleanupTestCase() {
    QDir::setCurrent(m_savedCwd);
}

void MainWindowCommandsTest::init() {
    for (const char* name :
         {model::kSettingsFileName, model::kAirportsFileName, model::kAirspacesFileName}) {
        QFile::remove(name);
        QVERIFY(QFile::copy(m_root.filePath("saved/") + name, name));
    }
    model::ResetSharedState();
    model::g_simPath = platform::Utf8ToAnsi(m_root.filePath("sim").toStdString());
    model::g_airportCount = m_airports;
    model::g_airspaceFileCount = m_files;
    // Alpha Field, as GET AIRPORT leaves it.
    QVERIFY(loader::ReadMagvars());
    QVERIFY(!loader::ReadAirports());
    QVERIFY(!loader::ReadAirspaceFileList());
    QVERIFY(loader::LoadAirport(0));
    QCOMPARE(model::g_airport.name, std::string("Alpha Field"));
    m_dialogs = std::make_unique<testing_support::ScriptedDialogs>();
    platform::ClearWindowRegistry();
    app::RegisterAppWindows();
    testing_support::UseLoopbackDirectPlay();
}

void MainWindowCommandsTest::cleanup() {
    testing_support::CloseEveryWindow();
    mplink::ReleaseDirectPlay();
    m_host.reset();
    m_dialogs.reset();
    platform::ClearWindowRegistry();
    model::ResetSharedState();
}

app::Form1* MainWindowCommandsTest::OpenMainWindow() {
    m_host = std::make_unique<SimHostProcess>(
        QStringList{"--aircraft", "2", "--rate", "4", "--lat",
                    QString::number(model::g_airport.latitude, 'f', 6), "--lon",
                    QString::number(model::g_airport.longitude, 'f', 6)});
    if (!testing_support::JoinSession(*m_host))
        return nullptr;
    return qobject_cast<app::Form1*>(platform::ShowWindow("Form1"));
}

// While a window of the toolbar is open the main window, its controls and its display timers
// are off; the roll call runs on.
void MainWindowCommandsTest::VerifyLocked(app::Form1* form, bool locked) {
    for (QWidget* control : std::initializer_list<QWidget*>{
             form->Picture1, form->Command1, form->Command2, form->Command5, form->Command6,
             form->Command3, form->Toolbar1, form->Text1, form->Text2, form->Text3})
        QVERIFY2(control->isEnabled() == !locked, qPrintable(control->objectName()));
    QCOMPARE(form->Timer1->isActive(), !locked);
    QCOMPARE(form->Timer2->isActive(), !locked);
    QVERIFY(form->Timer3->isActive());
    QCOMPARE(form->isEnabled(), !locked);
}

void MainWindowCommandsTest::toolbarWindowsLockAndReleaseTheMainWindow() {
    app::Form1* form = OpenMainWindow();
    QVERIFY(form);
    QCOMPARE(form->windowTitle(), QString("Tarvolo v1.1 - Alpha Field"));
    const QStringList captions{"Goto Airport", "Options", "Create New Database",
                               "Airport General Info", "About"};
    for (int i = 1; i <= 5; ++i) {
        QCOMPARE(form->ToolbarButton(i)->text(), captions[i - 1]);
        QVERIFY(!form->ToolbarButton(i)->icon().isNull());
    }
    QCOMPARE(form->Command3->text(), QString("> Disconnect"));
    VerifyReleased(form);

    // Options: OK gives control back; About: its close box does.
    form->ToolbarButton(2)->trigger();
    VerifyLocked(form);
    auto* options = qobject_cast<app::Form10*>(platform::ExistingWindow("Form10"));
    QVERIFY(options && options->isVisible());
    QCOMPARE(options->windowTitle(), QString("Tarvolo v1.1 - Options"));
    QTest::mouseClick(options->Command1, Qt::LeftButton);
    QVERIFY(platform::ExistingWindow("Form10") == nullptr);
    VerifyReleased(form);

    form->ToolbarButton(5)->trigger();
    VerifyLocked(form);
    auto* about = qobject_cast<app::Form7*>(platform::ExistingWindow("Form7"));
    QVERIFY(about && about->isVisible());
    QCOMPARE(about->windowTitle(), QString("About Tarvolo v1.1"));
    QCOMPARE(about->Label1->text(), QString("TARVOLO VERSION 1.1"));
    QCOMPARE(about->Frame1->title(), QString("CREDITS"));
    QVERIFY(!about->Picture1->pixmap().isNull());
    about->close();
    VerifyReleased(form);

    form->ToolbarButton(2)->trigger();
    qobject_cast<app::Form10*>(platform::ExistingWindow("Form10"))->close();
    VerifyReleased(form);
    form->ToolbarButton(5)->trigger();
    QTest::mouseClick(qobject_cast<app::Form7*>(platform::ExistingWindow("Form7"))->Command1,
                      Qt::LeftButton);
    VerifyReleased(form);
    QVERIFY(model::g_connected);
}

void MainWindowCommandsTest::gotoAirportLoadsAnotherAirportOrGivesControlBack() {
    app::Form1* form = OpenMainWindow();
    QVERIFY(form);
    form->ToolbarButton(1)->trigger();
    VerifyLocked(form);
    auto* area = qobject_cast<loader::Form5*>(platform::ExistingWindow("Form5"));
    QVERIFY(area);
    QTRY_COMPARE_WITH_TIMEOUT(area->Text2->text(), QString("Done"), 5000);
    QTest::mouseClick(area->Command2, Qt::LeftButton);  // EXIT: back unchanged
    VerifyReleased(form);
    QCOMPARE(form->windowTitle(), QString("Tarvolo v1.1 - Alpha Field"));
    QVERIFY(model::g_connected);

    form->ToolbarButton(1)->trigger();
    area = qobject_cast<loader::Form5*>(platform::ExistingWindow("Form5"));
    QTRY_COMPARE_WITH_TIMEOUT(area->Text2->text(), QString("Done"), 5000);
    area->Text1->setText("charlie");
    QTest::mouseClick(area->Command1, Qt::LeftButton);
    area->List1->setCurrentRow(0);
    QTest::mouseClick(area->Command3, Qt::LeftButton);
    VerifyReleased(form);
    QCOMPARE(form->windowTitle(), QString("Tarvolo v1.1 - Charlie Park"));
    const radar::View& view = form->View();
    QVERIFY(std::abs((view.m_viewLeft + view.m_viewRight) / 2 - model::g_airport.longitude) < 1e-6);
    QVERIFY(model::g_connected);
    QVERIFY(platform::ExistingWindow("Form2") == nullptr);
}

void MainWindowCommandsTest::createNewDatabaseCancelAndOk() {
    app::Form1* form = OpenMainWindow();
    QVERIFY(form);
    m_dialogs->answers = {false};
    form->ToolbarButton(3)->trigger();
    QCOMPARE(m_dialogs->questions.size(), 1);
    QCOMPARE(
        m_dialogs->questions[0].text,
        QString(
            "Do you want to delete the current database files to then create new database files?"));
    QCOMPARE(m_dialogs->questions[0].title, QString("Tarvolo Message"));
    QCOMPARE(m_dialogs->questions[0].icon, platform::MessageIcon::None);
    VerifyReleased(form);
    QVERIFY(QFile::exists(model::kSettingsFileName) && QFile::exists(model::kAirportsFileName));
    QVERIFY(model::g_connected && model::g_directPlay->Engine().IsOpen());

    m_dialogs->answers = {true};
    form->ToolbarButton(3)->trigger();
    QVERIFY(!QFile::exists(model::kSettingsFileName));
    QVERIFY(!QFile::exists(model::kAirportsFileName));
    QVERIFY(QFile::exists(model::kAirspacesFileName));
    QCOMPARE(m_dialogs->messages.size(), 1);
    QCOMPARE(m_dialogs->messages[0].text,
             QString("The current database files were deleted, now you must re-run or restart "
                     "Tarvolo for then "
                     "create new database files. Now the program will end."));
    QCOMPARE(m_dialogs->endCount, 1);
    QVERIFY(!model::g_directPlay);
    QVERIFY(m_host->LogHas("left the session"));
}

void MainWindowCommandsTest::airportInformationHasNineLines() {
    app::Form1* form = OpenMainWindow();
    QVERIFY(form);
    bool lockedDuringMessage = false;
    m_dialogs->onMessage = [&] {
        lockedDuringMessage =
            !form->Toolbar1->isEnabled() && !form->Timer1->isActive() && form->isEnabled();
    };
    form->ToolbarButton(4)->trigger();
    QVERIFY(lockedDuringMessage);
    VerifyReleased(form);
    QCOMPARE(m_dialogs->messages.size(), 1);
    QCOMPARE(m_dialogs->messages[0].title, QString("Tarvolo Information"));
    QCOMPARE(m_dialogs->messages[0].text,
             QString("Airport Name: Alpha Field\r\nICAO ID: ") +
                 QString::fromStdString(model::g_airport.ident) +
                 "\r\nATIS Freq: 126.8\r\nClearance Freq: " +
                 QString::fromStdString(model::g_airport.clearanceFreq) + "\r\nGround Freq: " +
                 QString::fromStdString(model::g_airport.groundFreq) + "\r\nTower Freq: 118.3" +
                 "\r\nDeparture Freq: " + QString::fromStdString(model::g_airport.departureFreq) +
                 "\r\nApproach Freq: " + QString::fromStdString(model::g_airport.approachFreq) +
                 "\r\nCenter Freq: " + QString::fromStdString(model::g_airport.centerFreq));
    model::g_airport.atisFreq = model::g_airport.clearanceFreq = model::g_airport.groundFreq =
        model::g_airport.towerFreq = "";
    model::g_airport.departureFreq = model::g_airport.approachFreq = model::g_airport.centerFreq =
        "";
    m_dialogs->onMessage = nullptr;
    form->ToolbarButton(4)->trigger();
    const QStringList lines = m_dialogs->messages[1].text.split("\r\n");
    QCOMPARE(lines.size(), 9);
    int labelsOnly = 0;
    for (const QString& line : lines)
        labelsOnly += line.endsWith(": ");
    QCOMPARE(labelsOnly, 7);
}

void MainWindowCommandsTest::rollCallWithAndWithoutAPlayer() {
    app::Form1* form = OpenMainWindow();
    QVERIFY(form);
    QVERIFY(QTest::qWaitFor([] { return model::g_trafficCount == 3; }, 8000));
    QVERIFY(m_host->LogHas("ROLL CALL"));
    form->Timer3->setInterval(
        1500);  // longer than a message-loop tick, so the answers rebuild the table
    QVERIFY(m_host->LogHas("INFO request"));  // sent only by the 30-second roll call
    QVERIFY(QTest::qWaitFor(
        [] { return model::g_trafficCount == 3 && !model::g_traffic[1].category.empty(); }, 10000));

    // Without a player nothing goes out, but the table is emptied all the same.
    form->Timer1->stop();
    model::g_localPlayerId = 0;
    QVERIFY(QTest::qWaitFor([] { return model::g_trafficCount == 0; }, 3000));
    QVERIFY(model::g_traffic[1].name.empty());
}

void MainWindowCommandsTest::optionsSwitchTheIlsLayerAndItsTooltips() {
    app::Form1* form = OpenMainWindow();
    QVERIFY(form);
    while (form->View().m_zoomLevel < 13)
        QTest::mouseClick(form->Command5, Qt::LeftButton);
    const auto& ils = model::g_airport.ilsList[0];
    const radar::Pixel at = radar::Geo_To_Pixel(form->View(), ils.latitude, ils.longitude);
    auto tooltipAt = [&] {
        QTest::mouseMove(form->Picture1, QPoint(at.x + 1, at.y));
        QTest::mouseMove(form->Picture1, QPoint(at.x, at.y));
        return form->Picture1->toolTip();
    };
    QVERIFY(tooltipAt().startsWith("ILS: IALP"));

    form->ToolbarButton(2)->trigger();
    auto* options = qobject_cast<app::Form10*>(platform::ExistingWindow("Form10"));
    QVERIFY(options);
    const QStringList captions{"Display Airspaces",      "Display Airport Name",
                               "Display Gates/Parkings", "Display Taxiways IDs",
                               "Display Taxiways",       "Display ILS"};
    const QList<QCheckBox*> boxes{options->Check1, options->Check11, options->Check10,
                                  options->Check9, options->Check8,  options->Check2};
    for (int i = 0; i < boxes.size(); ++i) {
        QCOMPARE(boxes[i]->text(), captions[i]);
        QVERIFY(boxes[i]->isChecked());  // all six on after the main window's load
    }
    QTest::mouseClick(options->Check2, Qt::LeftButton);
    QVERIFY(!model::g_showILS);
    QTest::mouseClick(options->Check8, Qt::LeftButton);
    QTest::mouseClick(options->Check8, Qt::LeftButton);
    QVERIFY(model::g_showTaxiways);
    QTest::mouseClick(options->Command1, Qt::LeftButton);
    VerifyReleased(form);
    QVERIFY(!tooltipAt().startsWith("ILS:"));

    form->ToolbarButton(2)->trigger();
    options = qobject_cast<app::Form10*>(platform::ExistingWindow("Form10"));
    QVERIFY(!options->Check2->isChecked() && options->Check8->isChecked());
    options->close();
}

void MainWindowCommandsTest::everyDisconnectionEndsOnAFreshConnectionWindow_data() {
    QTest::addColumn<QString>("cause");
    QTest::newRow("> Disconnect") << "button";
    QTest::newRow("close box") << "close";
    QTest::newRow("silent host") << "watchdog";
    QTest::newRow("removed by the host") << "removal";
}

void MainWindowCommandsTest::everyDisconnectionEndsOnAFreshConnectionWindow() {
    QFETCH(QString, cause);
    QStringList extra{"--aircraft", "1", "--rate", "4"};
    if (cause == "watchdog")
        extra << "--silent-after"
              << "2";
    if (cause == "removal")
        extra << "--remove-after"
              << "1";
    m_host = std::make_unique<SimHostProcess>(extra);
    QVERIFY(testing_support::JoinSession(*m_host));
    QPointer<app::Form1> form(qobject_cast<app::Form1*>(platform::ShowWindow("Form1")));
    QVERIFY(form);
    // The session runs before it ends; a host that removes us or falls silent may do so before
    // the first traffic on a slow machine, so only the causes the test sets off wait for it.
    if (cause == "button" || cause == "close") {
        QVERIFY(QTest::qWaitFor([] { return model::g_trafficCount > 0; }, 8000));
    }
    if (cause == "button") {
        QTest::mouseClick(form->Command3, Qt::LeftButton);
    } else if (cause == "close") {
        form->close();
    } else if (cause == "watchdog") {
        form->Timer1->setInterval(20);
    }
    QVERIFY(QTest::qWaitFor([&] { return form.isNull(); }, 10000));
    auto* connection = qobject_cast<mplink::Form2*>(platform::ExistingWindow("Form2"));
    QVERIFY(connection && connection->isVisible());
    QCOMPARE(connection->Label5->text(), QString("-None-"));
    QCOMPARE(connection->List1->count(), 3);
    QCOMPARE(connection->List2->count(), 0);
    QVERIFY(!model::g_connected && !model::g_sessionJoined);
    QCOMPARE(model::g_trafficCount, std::int16_t{0});
    QVERIFY(model::g_directPlay && !model::g_directPlay->Engine().IsOpen());
    if (cause == "watchdog" || cause == "removal") {
        QCOMPARE(m_dialogs->messages.size(), 1);
        QCOMPARE(m_dialogs->messages[0].icon, platform::MessageIcon::Information);
        QCOMPARE(m_dialogs->messages[0].title, QString("Tarvolo Message"));
    }
    if (cause == "watchdog") {
        QCOMPARE(
            m_dialogs->messages.last().text,
            QString("The multiplayer connection is lost, Tarvolo closes multiplayer session."));
    } else if (cause == "removal") {
        QCOMPARE(m_dialogs->messages.last().text,
                 QString("The host had removed you from the multiplayer session, Tarvolo closes "
                         "multiplayer session."));
    } else {
        QVERIFY(m_dialogs->messages.isEmpty());
        QVERIFY(m_host->LogHas("left the session"));
    }
}

QTEST_MAIN(MainWindowCommandsTest)
#include "main_window_commands_test.moc"
