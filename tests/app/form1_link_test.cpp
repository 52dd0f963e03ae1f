// The main window in a running session hosted by simhost: traffic built from the roll call,
// positions, chat both ways, predicted conflicts, the Traffic List and recording.

#include <QHeaderView>
#include <QPlainTextEdit>
#include <QtTest>

#include "app/aid_settings.h"
#include "app/form1.h"
#include "app/form11.h"
#include "directplay/directplay.h"
#include "link/link.h"
#include "link/recording.h"
#include "model/shared_state.h"
#include "platform/ui/windows.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/scripted_dialogs.h"
#include "tests/support/simhost_process.h"
#include "tests/support/window_cleanup.h"

namespace dp = directplay;
using testing_support::SimHostProcess;

class Form1LinkTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void trafficAndChat();
    void conflictsAreListedOncePerEncounterThroughTheRollCall();
    void theTrafficListFollowsTheTableAndRecordsTheSession();
    void aRecordingThatCannotBeWrittenStopsAndSaysWhy();

private:
    testing_support::ScriptedDialogs* m_dialogs = nullptr;
};

void Form1LinkTest::init() {
    model::ResetSharedState();
    m_dialogs = new testing_support::ScriptedDialogs;
    platform::RegisterWindow(QStringLiteral("Form2"), [] { return new QWidget; });
    testing_support::UseLoopbackDirectPlay();
    model::g_airport.name = "Tarvolo International";
    model::g_airport.latitude = 47.4490;
    model::g_airport.longitude = -122.3090;
}

void Form1LinkTest::cleanup() {
    app::Aids() = radar::AidSettings{};
    testing_support::CloseEveryWindow();
    mplink::ReleaseDirectPlay();
    delete m_dialogs;
    model::ResetSharedState();
}

app::Form1* Open() {
    return testing_support::OpenNew<app::Form1>();
}

void Form1LinkTest::trafficAndChat() {
    SimHostProcess host(
        {"--aircraft", "2", "--rate", "5", "--chat", "Ready for departure", "--chat-every", "1"});
    QVERIFY(testing_support::JoinSession(host));
    auto* form = Open();
    QVERIFY(form->Timer1->isActive() && form->Timer2->isActive() && form->Timer3->isActive());
    QCOMPARE(form->Timer3->interval(), 30000);
    QCOMPARE(form->LinkWatchdog(), std::int16_t{60});
    QVERIFY(host.LogHas("ROLL CALL"));  // sent at load

    // The roll call's answers make the rows; positions fill them.
    QVERIFY(QTest::qWaitFor(
        [] {
            if (model::g_trafficCount != 3)
                return false;
            for (int i = 1; i <= 3; ++i)
                if (model::g_traffic[static_cast<std::size_t>(i)].latitude == 0)
                    return false;
            return true;
        },
        10000));
    for (int i = 1; i <= 3; ++i) {
        const auto& row = model::g_traffic[static_cast<std::size_t>(i)];
        QVERIFY(std::abs(row.latitude - 47.449) < 0.4);
        QVERIFY(row.altitude >= 432);
    }
    // Chat: the Send button and the Enter key, and lines from the pilots.
    form->Text3->setText(QStringLiteral("Hello tower"));
    QTest::mouseClick(form->Command1, Qt::LeftButton);
    QVERIFY(form->Text3->text().isEmpty());
    QVERIFY(form->RichTextBox1->toPlainText().contains("ATC Controller: Hello tower"));
    QVERIFY(host.LogHas("CHAT in ATC Controller: Hello tower"));
    QTest::keyClicks(form->Text3, QStringLiteral("Runway 16L"));
    QTest::keyClick(form->Text3, Qt::Key_Return);
    QVERIFY(host.LogHas("CHAT in ATC Controller: Runway 16L"));
    // A character without a single-byte code goes as "?".
    form->Text3->setText(QString::fromUtf8("\u03A9 wind calm"));
    QTest::mouseClick(form->Command1, Qt::LeftButton);
    QVERIFY(host.LogHas("CHAT in ATC Controller: ? wind calm"));
    QVERIFY(QTest::qWaitFor(
        [&] { return form->RichTextBox1->toPlainText().contains(": Ready for departure"); }, 8000));
    QVERIFY(form->RichTextBox1->isReadOnly());

    // The roll call's aircraft information and the ways the session ends have their tests
    // with the main window's commands.
}

void Form1LinkTest::conflictsAreListedOncePerEncounterThroughTheRollCall() {
    // Thresholds so wide that the aircraft circling the field are always in conflict.
    radar::AidSettings& aids = app::Aids();
    aids.conflicts = true;
    aids.conflictLateralNm = 20;
    aids.conflictVerticalFt = 10000;
    SimHostProcess host({"--aircraft", "2", "--rate", "5"});
    QVERIFY(testing_support::JoinSession(host));
    app::Form1* form = Open();
    QVERIFY(form->ListAlerts->isVisibleTo(form));
    form->Timer1->setInterval(50);
    // The host's player and its two aircraft, all above the field: three pairs.
    const int pairs = 3;
    QVERIFY(QTest::qWaitFor([&] { return form->ListAlerts->count() == pairs; }, 10000));
    const QString entry = form->ListAlerts->item(0)->text();
    QVERIFY2(entry.contains(QRegularExpression("^.+ / .+  [0-9]+\\.[0-9] nm (now|in [0-9]+ s)$")),
             qPrintable(entry));
    // Roll calls empty the table three times a second: the tracks and the encounters stay.
    const std::string name = model::g_traffic[1].name;
    QVERIFY(!form->History().Track(name).empty());
    const double first = form->History().Track(name).front().t;
    int rollCalls = 0;
    connect(form->Timer3, &QTimer::timeout, form, [&] { ++rollCalls; });
    form->Timer3->setInterval(300);
    QVERIFY(QTest::qWaitFor([&] { return rollCalls >= 4; }, 10000));
    QVERIFY(QTest::qWaitFor([&] { return model::g_trafficCount == 3; }, 5000));
    QCOMPARE(form->History().Track(name).front().t, first);
    QCOMPARE(form->ListAlerts->count(), pairs);
    QCOMPARE(static_cast<int>(form->Alerts().Entries().size()), pairs);
    // Every aircraft's speed is known through the roll calls, from its own reports.
    QVERIFY(QTest::qWaitFor(
        [&] {
            for (const std::string& each : form->History().Names())
                if (!form->History().GroundSpeedKt(each, form->History().Track(each).back().t))
                    return false;
            return form->History().Names().size() == 3;
        },
        10000));
    // The pilots' chat hears nothing of it.
    QVERIFY(!form->RichTextBox1->toPlainText().contains(QStringLiteral("CONFLICT")));
    QVERIFY(!form->RichTextBox1->toPlainText().contains(QStringLiteral(" / ")));
    // Switched off, the list goes.
    aids.conflicts = false;
    QVERIFY(QTest::qWaitFor([&] { return !form->ListAlerts->isVisibleTo(form); }, 5000));
    QVERIFY(form->Conflicts().empty());
}

void Form1LinkTest::theTrafficListFollowsTheTableAndRecordsTheSession() {
    QTemporaryDir work;
    const testing_support::InFolder in(work.path().toStdString());
    platform::RegisterWindow(QStringLiteral("Form11"), [] { return new app::Form11; });
    SimHostProcess host({"--aircraft", "3", "--rate", "5"});
    QVERIFY(testing_support::JoinSession(host));
    app::Form1* form = Open();
    form->Timer1->setInterval(100);
    QCOMPARE(form->ToolbarButton(6)->text(), QString("Traffic List"));
    form->ToolbarButton(6)->trigger();
    auto* list = qobject_cast<app::Form11*>(platform::ExistingWindow("Form11"));
    QVERIFY(list && form->isEnabled());  // beside the scope, which stays in use
    QVERIFY(QTest::qWaitFor(
        [&] {
            return list->Grid1->rowCount() == 4 &&
                   list->Grid1->item(3, 5)->text() != QString("\u2013");
        },
        10000));

    // Sorted by altitude, highest first, with a click on its header (twice: descending).
    list->Grid1->horizontalHeader()->setSortIndicator(3, Qt::DescendingOrder);
    QVERIFY(QTest::qWaitFor([&] { return list->Grid1->rowCount() == 4; }, 2000));
    for (int r = 1; r < 4; ++r)
        QVERIFY(list->Grid1->item(r - 1, 3)->data(Qt::UserRole).toDouble() >=
                list->Grid1->item(r, 3)->data(Qt::UserRole).toDouble());

    // The selected row's target is ringed; a double click centres on it.
    list->Grid1->selectRow(0);
    const QString callsign = list->Grid1->item(0, 0)->text();
    QCOMPARE(QString::fromStdString(form->Highlighted()), callsign);
    QTest::mouseDClick(list->Grid1->viewport(), Qt::LeftButton, {},
                       list->Grid1->visualItemRect(list->Grid1->item(0, 0)).center());
    const radar::View& view = form->View();
    int row = 0;
    for (int i = 1; i <= model::g_trafficCount; ++i)
        if (QString::fromStdString(model::g_traffic[static_cast<std::size_t>(i)].name) == callsign)
            row = i;
    QVERIFY(row > 0);
    QVERIFY(std::abs((view.m_viewLeft + view.m_viewRight) / 2 -
                     model::g_traffic[static_cast<std::size_t>(row)].longitude) < 0.05);
    QTest::mouseClick(form->Command5, Qt::LeftButton);  // a repaint
    const auto& target = model::g_traffic[static_cast<std::size_t>(row)];
    const radar::Pixel at = radar::Geo_To_Pixel(view, target.latitude, target.longitude);
    bool ringed = false;
    for (int dy = -30; dy <= 30 && !ringed; ++dy)
        for (int dx = -30; dx <= 30 && !ringed; ++dx)
            ringed =
                form->Picture1->Picture().pixelColor(at.x + dx, at.y + dy) == QColor(255, 255, 0);
    QVERIFY(ringed);

    // Recording: a file named after the date and time, with the ticks of the session.
    QTest::mouseClick(list->Check1, Qt::LeftButton);
    QVERIFY(form->Recording());
    const QStringList files = QDir(work.path()).entryList({"session-*.tvr"});
    QCOMPARE(files.size(), 1);
    QVERIFY(QRegularExpression("^session-\\d{8}-\\d{6}\\.tvr$").match(files[0]).hasMatch());
    const std::string path = QDir(work.path()).filePath(files[0]).toStdString();
    QVERIFY(QTest::qWaitFor(
        [&] {
            const auto recording = mplink::ReadRecording(path);
            return recording && recording->ticks.size() >= 5;
        },
        10000));
    QTest::mouseClick(list->Check1, Qt::LeftButton);
    QVERIFY(!form->Recording());
    const auto recording = mplink::ReadRecording(path);
    QVERIFY(recording && !recording->damaged);
    QCOMPARE(QString::fromStdString(recording->airportName), QString("Tarvolo International"));
    bool positions = false;
    for (const auto& tick : recording->ticks)
        for (const auto& message : tick.messages)
            positions = positions || (message.data.size() > 4 && message.data[0] == 0x18 &&
                                      message.data[1] == 0x10);  // MP_POSITION
    QVERIFY(positions);

    // Closing the list changes nothing else.
    list->close();
    QVERIFY(form->Highlighted().empty());
    QVERIFY(form->isVisible() && form->Timer1->isActive());
}

void Form1LinkTest::aRecordingThatCannotBeWrittenStopsAndSaysWhy() {
    // The working directory is gone: nothing can be created in it.
    const QString saved = QDir::currentPath();
    {
        QTemporaryDir gone;
        QDir::setCurrent(gone.path());
    }
    platform::RegisterWindow(QStringLiteral("Form11"), [] { return new app::Form11; });
    auto* form = Open();
    form->ToolbarButton(6)->trigger();
    auto* list = qobject_cast<app::Form11*>(platform::ExistingWindow("Form11"));
    QVERIFY(list);
    list->Check1->click();
    QDir::setCurrent(saved);
    QVERIFY(!list->Check1->isChecked());
    QVERIFY(!form->Recording());
    QCOMPARE(m_dialogs->messages.size(), 1);
    QCOMPARE(m_dialogs->messages[0].icon, platform::MessageIcon::Exclamation);
    QVERIFY(m_dialogs->messages[0].text.contains("cannot record the session into session-"));
    QVERIFY(m_dialogs->messages[0].text.contains("No such file or directory"));
}

QTEST_MAIN(Form1LinkTest)
#include "form1_link_test.moc"
