// The start-up flow through the real windows: the splash and its timer, the routing of the
// start-up check, and the setup window writing the settings file.

#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QTemporaryDir>
#include <QtTest>

#include "app/app_windows.h"
#include "app/form3.h"
#include "app/form8.h"
#include "model/shared_state.h"
#include "platform/ui/windows.h"
#include "tests/support/scripted_dialogs.h"
#include "tests/support/window_cleanup.h"

using testing_support::ScriptedDialogs;

namespace {

const QString kSettings = QStringLiteral("atc_settings.tcs");
const QString kAirports = QStringLiteral("world_airports.dat");
const QString kAirspaces = QStringLiteral("world_airspaces.lst");

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The settings file as setup writes it, built here byte by byte.
QByteArray SettingsBytes(const QByteArray& path, qint32 airports, qint32 airspaceFiles) {
    QByteArray bytes;
    const QByteArray version = "Tarvolo Version 1.1";
    bytes.append(char(version.size())).append('\0').append(version);
    bytes.append('\1').append('\1');
    bytes.append(char(path.size() & 0xFF)).append(char(path.size() >> 8)).append(path);
    for (const qint32 count : {airports, airspaceFiles}) {
        for (int shift = 0; shift < 32; shift += 8) {
            bytes.append(char((quint32(count) >> shift) & 0xFF));
        }
    }
    return bytes;
}

bool IsShown(const char* name) {
    QWidget* window = platform::ExistingWindow(QString::fromLatin1(name));
    return window && window->isVisible();
}

}  // namespace

class AppTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void startupRoutesByTheFilesPresent_data();
    void startupRoutesByTheFilesPresent();
    void closingTheSplashGoesOnAtOnce();

    void setupTextKeepsDriveRootsWithoutSeparator_data();
    void setupTextKeepsDriveRootsWithoutSeparator();
    void setupFoldersFeedThePathText();
    void setupWritesTheSettingsFileAndOpensTheBuilder_data();
    void setupWritesTheSettingsFileAndOpensTheBuilder();
    void setupClosedEarlyRemovesOnlyItsOwnFileAndEnds();

private:
    app::Form3* OpenSetup();
    QString Work(const QString& name) const { return m_work->filePath(name); }

    std::unique_ptr<QTemporaryDir> m_work;
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    QString m_savedCwd;
};

void AppTest::init() {
    m_savedCwd = QDir::currentPath();
    m_work = std::make_unique<QTemporaryDir>();
    QVERIFY(m_work->isValid());
    QVERIFY(QDir::setCurrent(m_work->path()));
    m_dialogs = std::make_unique<ScriptedDialogs>();
    model::ResetSharedState();
    platform::ClearWindowRegistry();
    app::RegisterAppWindows();
}

void AppTest::cleanup() {
    testing_support::CloseEveryWindow();
    m_dialogs.reset();
    QDir::setCurrent(m_savedCwd);
    m_work.reset();
}

void AppTest::startupRoutesByTheFilesPresent_data() {
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<bool>("toSetup");

    QTest::newRow("first start, no file") << QStringList{} << true;
    QTest::newRow("airspace list missing") << QStringList{kSettings, kAirports} << true;
    QTest::newRow("settings missing") << QStringList{kAirports, kAirspaces} << true;
    QTest::newRow("database missing") << QStringList{kSettings, kAirspaces} << true;
    QTest::newRow("only the settings") << QStringList{kSettings} << true;
    QTest::newRow("all three") << QStringList{kSettings, kAirports, kAirspaces} << false;
}

void AppTest::startupRoutesByTheFilesPresent() {
    QFETCH(QStringList, present);
    QFETCH(bool, toSetup);
    for (const QString& name : present) {
        WriteFile(Work(name), name == kSettings ? SettingsBytes("/opt/fs2002", 21034, 118)
                                                : QByteArray("data"));
    }
    // A session flag left over must not survive the splash.
    model::g_connected = model::g_sessionJoined = true;

    platform::ShowWindow(QStringLiteral("Form8"));
    QVERIFY(IsShown("Form8"));
    QVERIFY(!model::g_connected && !model::g_sessionJoined);

    // Three seconds of splash, whichever way the check goes.
    QTest::qWait(2500);
    QVERIFY(IsShown("Form8"));
    QVERIFY(!IsShown("Form3") && !IsShown("Form5"));
    QTRY_VERIFY_WITH_TIMEOUT(!IsShown("Form8"), 3000);

    if (toSetup) {
        QVERIFY(IsShown("Form3"));
        QVERIFY(!IsShown("Form5"));
        QVERIFY(model::g_buildPending);
        for (const QString& name : {kSettings, kAirports, kAirspaces}) {
            QVERIFY2(!QFile::exists(Work(name)), qPrintable(name + " should be deleted"));
        }
    } else {
        QVERIFY(IsShown("Form5"));
        QVERIFY(!IsShown("Form3"));
        QVERIFY(!model::g_buildPending);
        QCOMPARE(model::g_airportCount, 21034);
        QCOMPARE(model::g_airspaceFileCount, 118);
        QCOMPARE(model::g_simPath, std::string("/opt/fs2002"));
        QCOMPARE(model::g_simKind, std::uint8_t{1});
        for (const QString& name : present) {
            QVERIFY2(QFile::exists(Work(name)), qPrintable(name + " should be kept"));
        }
    }
    QVERIFY(m_dialogs->messages.isEmpty());
}

void AppTest::closingTheSplashGoesOnAtOnce() {
    QWidget* splash = platform::ShowWindow(QStringLiteral("Form8"));
    QVERIFY(IsShown("Form8"));
    splash->close();
    // No three-second wait and no program left without a window.
    QVERIFY(!IsShown("Form8"));
    QVERIFY(IsShown("Form3"));
    QVERIFY(model::g_buildPending);
}

app::Form3* AppTest::OpenSetup() {
    auto* setup = qobject_cast<app::Form3*>(platform::ShowWindow(QStringLiteral("Form3")));
    return setup;
}

void AppTest::setupTextKeepsDriveRootsWithoutSeparator_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");
    QTest::newRow("drive root with backslash") << "C:\\"
                                               << "C:";
    QTest::newRow("drive root with slash") << "D:/"
                                           << "D:";
    QTest::newRow("three characters without slashes") << "abc"
                                                      << "abc";
    QTest::newRow("the file-system root") << "/"
                                          << "/";
    QTest::newRow("a typed Linux path keeps its slashes") << "/home/pilot"
                                                          << "/home/pilot";
    QTest::newRow("three characters with an inner slash") << "a/b"
                                                          << "a/b";
}

void AppTest::setupTextKeepsDriveRootsWithoutSeparator() {
    QFETCH(QString, typed);
    QFETCH(QString, kept);
    app::Form3* setup = OpenSetup();
    QVERIFY(setup);
    auto* text = setup->findChild<QLineEdit*>(QStringLiteral("Text1"));
    QVERIFY(text);
    text->clear();
    QTest::keyClicks(text, typed);
    QCOMPARE(text->text(), kept);
}

void AppTest::setupFoldersFeedThePathText() {
    QVERIFY(QDir(m_work->path()).mkpath(QStringLiteral("Games/FS2002")));
    app::Form3* setup = OpenSetup();
    QVERIFY(setup);
    auto* option = setup->findChild<QRadioButton*>(QStringLiteral("Option1"));
    auto* drives = setup->findChild<platform::DriveList*>(QStringLiteral("Drive1"));
    auto* folders = setup->findChild<platform::DirList*>(QStringLiteral("Dir1"));
    auto* text = setup->findChild<QLineEdit*>(QStringLiteral("Text1"));
    QVERIFY(option && drives && folders && text);

    // On opening: the simulator kind chosen, the folder list on the drive, its path shown.
    QVERIFY(option->isChecked());
    QCOMPARE(model::g_simKind, std::uint8_t{1});
    QCOMPARE(folders->path(), drives->drive());
    QCOMPARE(text->text(), folders->path());
    // The path text sits beside its caption, below the folder list.
    QVERIFY(QTest::qWaitForWindowExposed(setup));
    QVERIFY(text->geometry().top() > folders->geometry().bottom());
    QVERIFY(text->geometry().left() > setup->Label4->geometry().right());

    folders->setPath(m_work->filePath(QStringLiteral("Games")));
    QCOMPARE(text->text(), m_work->filePath(QStringLiteral("Games")));

    // Double-clicking a subfolder opens it, and the text follows without a trailing slash.
    const QList<QListWidgetItem*> found =
        folders->findItems(QStringLiteral("FS2002"), Qt::MatchEndsWith);
    QCOMPARE(found.size(), 1);
    const QPoint where = folders->visualItemRect(found.first()).center();
    QTest::mouseClick(folders->viewport(), Qt::LeftButton, {}, where);
    QTest::mouseDClick(folders->viewport(), Qt::LeftButton, {}, where);
    QCOMPARE(text->text(), m_work->filePath(QStringLiteral("Games/FS2002")));

    // Typing does not move the folder list; changing the drive moves both.
    text->setText(QStringLiteral("/typed/elsewhere"));
    QCOMPARE(folders->path(), m_work->filePath(QStringLiteral("Games/FS2002")));
    QVERIFY(drives->count() >= 2);  // at least the root and the home folder
    const int other = drives->currentIndex() == 0 ? 1 : 0;
    drives->setCurrentIndex(other);
    QCOMPARE(folders->path(), drives->itemData(other).toString());
    QCOMPARE(text->text(), folders->path());
}

void AppTest::setupWritesTheSettingsFileAndOpensTheBuilder_data() {
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("exeName");
    QTest::newRow("lower-case exe") << "Microsoft Games/FS2002"
                                    << "fs2002.exe";
    QTest::newRow("exe copied from Windows in capitals") << "fs2002"
                                                         << "FS2002.EXE";
}

void AppTest::setupWritesTheSettingsFileAndOpensTheBuilder() {
    QFETCH(QString, folder);
    QFETCH(QString, exeName);
    QVERIFY(QDir(m_work->path()).mkpath(folder));
    WriteFile(m_work->filePath(folder + '/' + exeName), "");  // any content will do
    app::Form3* setup = OpenSetup();
    const QString simFolder = m_work->filePath(folder);
    setup->Text1->setText(simFolder);
    QTest::mouseClick(setup->Command1, Qt::LeftButton);

    QCOMPARE(m_dialogs->messages.size(), 1);
    QCOMPARE(m_dialogs->messages.first().icon, platform::MessageIcon::Information);
    QCOMPARE(m_dialogs->messages.first().title, QStringLiteral("Tarvolo Message"));
    QCOMPARE(m_dialogs->messages.first().text,
             QStringLiteral("Settings file created successfully!"));

    const QByteArray written = ReadFile(Work(kSettings));
    QCOMPARE(written.size(), 14 + 19 + simFolder.toUtf8().size());
    QCOMPARE(written, SettingsBytes(simFolder.toUtf8(), 0, 0));
    QCOMPARE(model::g_simPath, simFolder.toStdString());
    QCOMPARE(model::g_simKind, std::uint8_t{1});

    QTRY_VERIFY(!IsShown("Form3"));
    QVERIFY(IsShown("Form4"));
    QCOMPARE(platform::ExistingWindow(QStringLiteral("Form4"))->windowTitle(),
             QStringLiteral("Creating Database"));
    QCOMPARE(m_dialogs->endCount, 0);
}

void AppTest::setupClosedEarlyRemovesOnlyItsOwnFileAndEnds() {
    WriteFile(Work(kSettings), "left from an earlier try");
    WriteFile(Work(QStringLiteral("other.tcs")), "not ours");
    app::Form3* setup = OpenSetup();
    QVERIFY(setup->close());

    QCOMPARE(m_dialogs->messages.size(), 1);
    QCOMPARE(m_dialogs->messages.first().icon, platform::MessageIcon::Information);
    QCOMPARE(m_dialogs->messages.first().title, QStringLiteral("Tarvolo Message"));
    QCOMPARE(m_dialogs->messages.first().text,
             QStringLiteral("You didn't finish setup process, program will end"));
    QCOMPARE(m_dialogs->endCount, 1);
    QVERIFY(!QFile::exists(Work(kSettings)));
    QVERIFY(QFile::exists(Work(QStringLiteral("other.tcs"))));
    QVERIFY(!IsShown("Form4"));
}

QTEST_MAIN(AppTest)
#include "app_test.moc"
