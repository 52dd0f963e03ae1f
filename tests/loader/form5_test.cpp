// The Airport Area window: start-up reading, search, GET AIRPORT and its hand-over, and the
// ways of leaving it.

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "loader/form5.h"
#include "model/settings_record.h"
#include "model/shared_state.h"
#include "platform/ansi.h"
#include "platform/ui/windows.h"
#include "tests/support/scripted_dialogs.h"
#include "tests/support/simulator_setup.h"
#include "tests/support/window_cleanup.h"
#include "tools/scenery/presets.h"

using testing_support::ScriptedDialogs;

// Stands in for the main window: the controls the Airport Area gives back, and the centring.
class MainWindowStandIn : public QWidget {
    Q_OBJECT
public:
    MainWindowStandIn() {
        for (const char* name : {"Picture1", "Command1", "Command2", "Command5", "Command6",
                                 "Command3", "Toolbar1", "Text1", "Text2", "Text3"}) {
            auto* control = new QWidget(this);
            control->setObjectName(name);
            control->setEnabled(false);
        }
        for (const char* name : {"Timer1", "Timer2"}) {
            auto* timer = new QTimer(this);
            timer->setObjectName(name);
            timer->setInterval(1000);
        }
        setEnabled(false);
    }

    Q_INVOKABLE void Center_Airport(double airpt_loc_x, double airpt_loc_y) {
        centred = {airpt_loc_x, airpt_loc_y};
    }

    QPointF centred{-999, -999};
};

class Form5Test : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void startupReadingThenSearch();
    void getAirportHandsOverToTheConnectionWindow();
    void leavingBeforeAnAirportEndsTheProgram_data();
    void leavingBeforeAnAirportEndsTheProgram();
    void whileConnectedTheMainWindowComesBackCentred();
    void aDamagedDatabaseIsReported();

private:
    loader::Form5* OpenReady();

    QTemporaryDir m_root;
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    QString m_savedCwd;
    std::int32_t m_airports = 0;
    std::int32_t m_files = 0;
};

void Form5Test::initTestCase() {
    m_savedCwd = QDir::currentPath();
    QVERIFY(QDir(m_root.path()).mkpath("work"));
    QVERIFY(QDir::setCurrent(m_root.filePath("work")));
    model::ResetSharedState();
    QVERIFY(testing_support::SetUpSimulator(*tools::PresetWorld("tiny", 1),
                                            m_root.filePath("sim").toStdString()));
    QVERIFY(testing_support::BuildDatabase());
    m_airports = model::g_airportCount;
    m_files = model::g_airspaceFileCount;
}

void Form5Test::init() {
    QVERIFY(QDir::setCurrent(m_root.filePath("work")));
    m_dialogs = std::make_unique<ScriptedDialogs>();
    // As the start-up check leaves it.
    model::ResetSharedState();
    model::g_simPath = platform::Utf8ToAnsi(m_root.filePath("sim").toStdString());
    model::g_airportCount = m_airports;
    model::g_airspaceFileCount = m_files;
    platform::ClearWindowRegistry();
    platform::RegisterWindow("Form5", [] { return new loader::Form5; });
    platform::RegisterWindow("Form2", [] {
        auto* stand = new QWidget;
        stand->setWindowTitle("Tarvolo v1.1 - Connection");
        return stand;
    });
    platform::RegisterWindow("Form1", [] { return new MainWindowStandIn; });
}

void Form5Test::cleanup() {
    testing_support::CloseEveryWindow();
    m_dialogs.reset();
    model::ResetSharedState();
    QDir::setCurrent(m_savedCwd);
}

loader::Form5* Form5Test::OpenReady() {
    auto* form = qobject_cast<loader::Form5*>(platform::ShowWindow("Form5"));
    if (form != nullptr &&
        !QTest::qWaitFor([form] { return form->Text2->text() == "Done"; }, 3000)) {
        return nullptr;
    }
    return form;
}

void Form5Test::startupReadingThenSearch() {
    auto* form = qobject_cast<loader::Form5*>(platform::ShowWindow("Form5"));
    QVERIFY(form);
    QCOMPARE(form->windowTitle(), QString("Tarvolo v1.1 - Airport Area"));
    QCOMPARE(form->Text2->text(), QString("-None-"));
    QCOMPARE(form->Command1->text(), QString("SEARCH AIRPORT"));
    QCOMPARE(form->Command3->text(), QString("GET AIRPORT"));
    QCOMPARE(form->Command2->text(), QString("EXIT"));
    QVERIFY(form->Timer1->isActive());
    QSignalSpy statuses(form->Text2, &QLineEdit::textChanged);
    QTRY_COMPARE_WITH_TIMEOUT(form->Text2->text(), QString("Done"), 3000);
    QStringList seen;
    for (const QList<QVariant>& change : statuses) {
        seen << change.first().toString();
    }
    QCOMPARE(seen, QStringList({"Reading Magvars...", "Reading Airports...",
                                "Reading Airspaces Files List...", "Done"}));
    QVERIFY(!form->Timer1->isActive());
    QVERIFY(form->Command1->isEnabled() && form->Command3->isEnabled() && form->Text1->isEnabled());
    QVERIFY(m_dialogs->messages.isEmpty());

    // How the search matches is the Airport Area's own test; here, the list it fills.
    QTest::keyClicks(form->Text1, "field");
    QTest::mouseClick(form->Command1, Qt::LeftButton);
    QCOMPARE(form->List1->count(), 2);
    QCOMPARE(form->List1->item(0)->text(), QString("Alpha Field   Index: 0"));
    QCOMPARE(form->List1->item(1)->text(), QString("Boundary Field   Index: 2"));

    // An empty text leaves the list and the status as they are.
    form->Text1->clear();
    form->Text2->setText("untouched");
    QTest::mouseClick(form->Command1, Qt::LeftButton);
    QCOMPARE(form->List1->count(), 2);
    QCOMPARE(form->Text2->text(), QString("untouched"));
}

void Form5Test::getAirportHandsOverToTheConnectionWindow() {
    loader::Form5* form = OpenReady();
    QVERIFY(form);
    // Without a selection nothing happens.
    QTest::mouseClick(form->Command3, Qt::LeftButton);
    QVERIFY(platform::ExistingWindow("Form5") != nullptr);

    form->Text1->setText("alpha");
    QTest::mouseClick(form->Command1, Qt::LeftButton);
    QCOMPARE(form->List1->count(), 1);
    // A line made current by focus alone, or deselected by Ctrl+click, is not chosen.
    form->List1->setCurrentItem(form->List1->item(0), QItemSelectionModel::NoUpdate);
    QTest::mouseClick(form->Command3, Qt::LeftButton);
    QVERIFY(platform::ExistingWindow("Form5") != nullptr);
    form->List1->setCurrentRow(0);
    const QPoint line = form->List1->visualItemRect(form->List1->item(0)).center();
    QTest::mouseClick(form->List1->viewport(), Qt::LeftButton, Qt::ControlModifier, line);
    QVERIFY(form->List1->currentItem() != nullptr);
    QVERIFY(form->List1->selectedItems().isEmpty());
    QTest::mouseClick(form->Command3, Qt::LeftButton);
    QVERIFY(platform::ExistingWindow("Form5") != nullptr);
    QVERIFY(model::g_airport.name.empty());

    form->List1->setCurrentRow(0);
    QTest::mouseClick(form->Command3, Qt::LeftButton);

    QCOMPARE(model::g_airport.name, std::string("Alpha Field"));
    QCOMPARE(model::g_airspaceCount, 2);
    QCOMPARE(model::g_airports.size(), std::size_t{1});
    QVERIFY(platform::ExistingWindow("Form5") == nullptr);
    QVERIFY(platform::ExistingWindow("Form2") != nullptr);
    QVERIFY(platform::ExistingWindow("Form2")->isVisible());
    QCOMPARE(m_dialogs->endCount, 0);  // the close after loading does not end the program
}

void Form5Test::leavingBeforeAnAirportEndsTheProgram_data() {
    QTest::addColumn<bool>("byExit");
    QTest::newRow("EXIT") << true;
    QTest::newRow("close box") << false;
}

void Form5Test::leavingBeforeAnAirportEndsTheProgram() {
    QFETCH(bool, byExit);
    loader::Form5* form = OpenReady();
    QVERIFY(form);
    if (byExit) {
        QTest::mouseClick(form->Command2, Qt::LeftButton);
    } else {
        QVERIFY(form->close());
    }
    QCOMPARE(m_dialogs->endCount, 1);
    QCOMPARE(model::g_airports.size(), std::size_t{1});
    QVERIFY(platform::ExistingWindow("Form2") == nullptr);
}

void Form5Test::whileConnectedTheMainWindowComesBackCentred() {
    auto* main = qobject_cast<MainWindowStandIn*>(platform::ShowWindow("Form1"));
    QVERIFY(main);
    model::g_connected = true;
    loader::Form5* form = OpenReady();
    QVERIFY(form);
    form->Text1->setText("bravo");
    QTest::mouseClick(form->Command1, Qt::LeftButton);
    form->List1->setCurrentRow(0);
    QTest::mouseClick(form->Command3, Qt::LeftButton);

    QCOMPARE(main->windowTitle(), QString("Tarvolo v1.1 - Bravo Strip"));
    QVERIFY(main->isEnabled());
    for (const char* name : {"Picture1", "Command3", "Toolbar1", "Text3"}) {
        QVERIFY2(main->findChild<QWidget*>(name)->isEnabled(), name);
    }
    QVERIFY(main->findChild<QTimer*>("Timer1")->isActive());
    QVERIFY(main->findChild<QTimer*>("Timer2")->isActive());
    QCOMPARE(main->centred, QPointF(model::g_airport.longitude, model::g_airport.latitude));
    QVERIFY(platform::ExistingWindow("Form5") == nullptr);
    QVERIFY(platform::ExistingWindow("Form2") == nullptr);
    QCOMPARE(m_dialogs->endCount, 0);

    // EXIT while attached gives the main window back and goes on.
    main->setEnabled(false);
    loader::Form5* again = OpenReady();
    QVERIFY(again);
    QTest::mouseClick(again->Command2, Qt::LeftButton);
    QVERIFY(main->isEnabled());
    QCOMPARE(m_dialogs->endCount, 0);
    QCOMPARE(main->windowTitle(), QString("Tarvolo v1.1 - Bravo Strip"));
}

void Form5Test::aDamagedDatabaseIsReported() {
    QFile file("world_airports.dat");
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray whole = file.readAll();
    file.close();
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(whole.left(whole.size() / 2));
    file.close();

    loader::Form5* form = OpenReady();
    QVERIFY(form);
    QCOMPARE(m_dialogs->messages.size(), 1);
    QCOMPARE(m_dialogs->messages[0].title, QString("Tarvolo Message"));
    QVERIFY(m_dialogs->messages[0].text.contains("world_airports.dat"));
    QVERIFY(m_dialogs->messages[0].text.contains("Create New Database"));
    // What was read can still be searched.
    form->Text1->setText("alpha");
    QTest::mouseClick(form->Command1, Qt::LeftButton);
    QCOMPARE(form->List1->count(), 1);

    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(whole);
}

QTEST_MAIN(Form5Test)
#include "form5_test.moc"
