// The builder window: discovery a second after opening, the start button, one file per tick,
// the messages, the files written and the hand-over to the Airport Area.

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "builder/database_file.h"
#include "builder/form4.h"
#include "model/shared_state.h"
#include "platform/ansi.h"
#include "platform/ui/windows.h"
#include "tests/support/scripted_dialogs.h"
#include "tests/support/simulator_setup.h"
#include "tests/support/window_cleanup.h"
#include "tools/scenery/presets.h"

using testing_support::ScriptedDialogs;

class Form4Test : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void discoveryThenBuildThenHandOver();
    void closingBeforeTheEndWritesNothingAndEnds();

private:
    builder::Form4* Open();

    std::unique_ptr<QTemporaryDir> m_root;
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    QString m_savedCwd;
};

void Form4Test::init() {
    m_savedCwd = QDir::currentPath();
    m_root = std::make_unique<QTemporaryDir>();
    QVERIFY(QDir(m_root->path()).mkpath("work"));
    QVERIFY(QDir::setCurrent(m_root->filePath("work")));
    m_dialogs = std::make_unique<ScriptedDialogs>();
    model::ResetSharedState();
    QVERIFY(testing_support::SetUpSimulator(*tools::PresetWorld("tiny", 1),
                                            m_root->filePath("sim").toStdString()));

    platform::ClearWindowRegistry();
    platform::RegisterWindow("Form4", [] { return new builder::Form4; });
    platform::RegisterWindow("Form5", [] {
        auto* stand = new QWidget;
        stand->setWindowTitle("Tarvolo v1.1 - Airport Area");
        return stand;
    });
}

void Form4Test::cleanup() {
    testing_support::CloseEveryWindow();
    m_dialogs.reset();
    model::ResetSharedState();
    QDir::setCurrent(m_savedCwd);
    m_root.reset();
}

builder::Form4* Form4Test::Open() {
    return qobject_cast<builder::Form4*>(platform::ShowWindow("Form4"));
}

void Form4Test::discoveryThenBuildThenHandOver() {
    builder::Form4* form = Open();
    QVERIFY(form);
    QCOMPARE(form->windowTitle(), QString("Creating Database"));
    auto* button = form->findChild<QPushButton*>("Command2");
    auto* status = form->findChild<QLineEdit*>("Text1");
    auto* progress = form->findChild<QProgressBar*>("ProgressBar1");
    auto* discovery = form->findChild<QTimer*>("Read_Sceneries_Paths");
    auto* build = form->findChild<QTimer*>("Read_All_Airports");
    QVERIFY(button && status && progress && discovery && build);
    QCOMPARE(button->text(), QString("CREATE ATC DATABASE FILE"));
    QCOMPARE(status->text(), QString("-None-"));
    QVERIFY(!button->isEnabled());
    QVERIFY(discovery->isActive());
    QCOMPARE(discovery->interval(), 1000);
    QVERIFY(!build->isActive());

    QSignalSpy statuses(status, &QLineEdit::textChanged);
    QTest::qWait(700);
    QVERIFY(!button->isEnabled());  // not before the discovery tick
    QTRY_VERIFY_WITH_TIMEOUT(button->isEnabled(), 2000);
    QStringList seen;
    for (const QList<QVariant>& change : statuses) {
        seen << change.first().toString();
    }
    QCOMPARE(seen, QStringList({"Magdec.bgl File", "Scenery.cfg File", "Done"}));
    QVERIFY(!discovery->isActive());
    QCOMPARE(discovery->interval(), 0);
    QCOMPARE(progress->minimum(), 0);
    QCOMPARE(progress->maximum(), 5);  // four data files, plus one
    QCOMPARE(progress->value(), 0);

    QSignalSpy progressValues(progress, &QProgressBar::valueChanged);
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(m_dialogs->messages.size(), 1);
    QCOMPARE(m_dialogs->messages[0].title, QString("Tarvolo Message"));
    QCOMPARE(m_dialogs->messages[0].text,
             QString("Now the create database file process will begin, this can take a few "
                     "minutes, please wait"));
    QVERIFY(build->isActive());
    QCOMPARE(build->interval(), 5);

    QTRY_VERIFY_WITH_TIMEOUT(platform::ExistingWindow("Form5") != nullptr, 5000);
    QVERIFY(platform::ExistingWindow("Form5")->isVisible());
    QVERIFY(platform::ExistingWindow("Form4") == nullptr);
    QList<int> values;
    for (const QList<QVariant>& change : progressValues) {
        values << change.first().toInt();
    }
    QCOMPARE(values, QList<int>({1, 2, 3, 4, 0}));
    QCOMPARE(m_dialogs->messages.size(), 2);
    QCOMPARE(m_dialogs->messages[1].icon, platform::MessageIcon::Information);
    QCOMPARE(m_dialogs->messages[1].title, QString("Tarvolo v1.1"));
    QCOMPARE(m_dialogs->messages[1].text,
             QString("The creation process of the database was completed!"));
    QCOMPARE(m_dialogs->endCount, 0);

    // What the files hold is the builder's own test; the window leaves them written.
    QVERIFY(QFile::exists("world_airports.dat"));
    QVERIFY(QFile::exists("world_airspaces.lst"));
    QVERIFY(!model::g_buildPending);
}

void Form4Test::closingBeforeTheEndWritesNothingAndEnds() {
    builder::Form4* form = Open();
    QTRY_VERIFY_WITH_TIMEOUT(form->Command2->isEnabled(), 3000);
    QVERIFY(form->close());
    QCOMPARE(m_dialogs->endCount, 1);
    QVERIFY(!QFile::exists("world_airports.dat"));
    QVERIFY(!QFile::exists("world_airspaces.lst"));
    QVERIFY(platform::ExistingWindow("Form5") == nullptr);
}

QTEST_MAIN(Form4Test)
#include "form4_test.moc"
