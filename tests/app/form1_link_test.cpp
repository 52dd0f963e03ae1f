// The main window in a running session hosted by simhost: traffic built from the roll call,
// positions and aircraft information, chat both ways, and the ways the session ends.

#include <QPlainTextEdit>
#include <QtTest>

#include "app/aid_settings.h"
#include "app/form1.h"
#include "link/link.h"
#include "model/shared_state.h"
#include "platform/directplay/directplay.h"
#include "platform/ui/windows.h"
#include "tests/support/scripted_dialogs.h"
#include "tests/support/simhost_process.h"
#include "tests/support/window_cleanup.h"

namespace dp = platform::directplay;
using testing_support::SimHostProcess;

class Form1LinkTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void trafficAndChatThenDisconnect();
    void aConflictIsLoggedOncePerPair();

private:
    app::Form1* Open();

    testing_support::ScriptedDialogs* m_dialogs = nullptr;
    int m_connectionWindows = 0;
};

void Form1LinkTest::init() {
    model::ResetSharedState();
    m_dialogs = new testing_support::ScriptedDialogs;
    m_connectionWindows = 0;
    platform::RegisterWindow(QStringLiteral("Form2"), [this] {
        ++m_connectionWindows;
        return new QWidget;
    });
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

app::Form1* Form1LinkTest::Open() {
    auto* form = new app::Form1;
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->show();
    return form;
}

void Form1LinkTest::trafficAndChatThenDisconnect() {
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
    // A quicker roll call brings the aircraft information too.
    form->Timer3->setInterval(300);
    QVERIFY(QTest::qWaitFor(
        [] {
            return model::g_trafficCount == 3 && !model::g_traffic[1].category.empty() &&
                   !model::g_traffic[3].model.empty();
        },
        10000));
    QVERIFY(host.LogHas("INFO request"));

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

    QPointer<app::Form1> alive(form);
    QTest::mouseClick(form->Command3, Qt::LeftButton);
    QVERIFY(QTest::qWaitFor([&] { return alive.isNull(); }, 3000));
    QVERIFY(!model::g_connected && !model::g_sessionJoined);
    QCOMPARE(model::g_trafficCount, std::int16_t{0});
    QVERIFY(model::g_traffic[1].name.empty());
    QCOMPARE(m_connectionWindows, 1);
    QVERIFY(model::g_directPlay && model::g_connectionList);  // fresh for the Connection window
    QVERIFY(model::g_localPlayerId < 0);                      // kept, negative as the host gave it
    QVERIFY(host.LogHas("left the session"));
}

void Form1LinkTest::aConflictIsLoggedOncePerPair() {
    // Thresholds so wide that the aircraft circling the field are always in conflict.
    radar::AidSettings& aids = app::Aids();
    aids.conflicts = true;
    aids.conflictLateralNm = 100;
    aids.conflictVerticalFt = 100000;
    SimHostProcess host({"--aircraft", "2", "--rate", "5"});
    QVERIFY(testing_support::JoinSession(host));
    app::Form1* form = Open();
    form->Timer1->setInterval(50);
    auto logged = [&] {
        return static_cast<int>(
            form->RichTextBox1->toPlainText().count(QStringLiteral("CONFLICT ")));
    };
    // The host's player and its two aircraft, all above the field: three pairs.
    const int pairs = 3;
    QVERIFY(QTest::qWaitFor([&] { return logged() == pairs; }, 10000));
    QVERIFY(form->RichTextBox1->toPlainText().contains(
        QRegularExpression("CONFLICT \\S+ / \\S+ [0-9]+\\.[0-9] nm [0-9]+ ft")));
    // Ticks go on (ten of them), the pairs stay in conflict, and no line is repeated.
    auto lastTick = [&] {
        double t = 0;
        for (int i = 1; i <= model::g_trafficCount; ++i) {
            const auto& track =
                form->History().Track(model::g_traffic[static_cast<std::size_t>(i)].name);
            if (!track.empty())
                t = std::max(t, track.back().t);
        }
        return t;
    };
    const double since = lastTick();
    QVERIFY(QTest::qWaitFor([&] { return lastTick() > since + 0.5; }, 5000));
    QCOMPARE(logged(), pairs);
    QCOMPARE(static_cast<int>(form->Conflicts().size()), pairs);
    // Cleared and raised again, a pair is new once more.
    aids.conflicts = false;
    QVERIFY(QTest::qWaitFor([&] { return form->Conflicts().empty(); }, 5000));
    aids.conflicts = true;
    QVERIFY(QTest::qWaitFor([&] { return logged() == 2 * pairs; }, 5000));
}

QTEST_MAIN(Form1LinkTest)
#include "form1_link_test.moc"
