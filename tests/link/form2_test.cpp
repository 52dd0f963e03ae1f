// The Connection window through its controls, against a simhost on 127.0.0.1.

#include <QElapsedTimer>
#include <QListWidget>
#include <QSignalSpy>
#include <QtTest>

#include "directplay/directplay.h"
#include "link/form2.h"
#include "model/shared_state.h"
#include "platform/ui/windows.h"
#include "tests/support/scripted_dialogs.h"
#include "tests/support/simhost_process.h"
#include "tests/support/window_cleanup.h"

using testing_support::SimHostProcess;

class Form2Test : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void loadsWithEveryConnectionTypeButTheFirst();
    void locatingNeedsAConnectionTypeThatWorks();
    void locatesAndJoinsASession();
    void joinPreconditionsBothReportedThenTheListCleared();
    void aRefusalReturnsToIdle();
    void theAcceptanceBoxHeldOpenStopsTheTimersFirst();
    void exitEndsTheProgram();

private:
    void Locate(mplink::Form2* form, const QString& address);

    testing_support::ScriptedDialogs* m_dialogs = nullptr;
    int m_mainWindowsShown = 0;
};

void Form2Test::init() {
    model::ResetSharedState();
    m_dialogs = new testing_support::ScriptedDialogs;
    m_mainWindowsShown = 0;
    platform::RegisterWindow(QStringLiteral("Form1"), [this] {
        ++m_mainWindowsShown;
        auto* main = new QWidget;
        main->setWindowTitle(QStringLiteral("main window stand-in"));
        return main;
    });
    testing_support::UseLoopbackDirectPlay();
}

void Form2Test::cleanup() {
    directplay::SetAddressPrompt(nullptr);
    testing_support::CloseEveryWindow();
    delete m_dialogs;
    model::ResetSharedState();
}

mplink::Form2* Open() {
    return testing_support::OpenNew<mplink::Form2>();
}

void Form2Test::Locate(mplink::Form2* form, const QString& address) {
    directplay::SetAddressPrompt(
        [address]() -> std::optional<std::string> { return address.toStdString(); });
    form->List1->setCurrentRow(0);  // "Internet TCP/IP Connection For DirectPlay"
    QTest::mouseClick(form->Command1, Qt::LeftButton);
}

void Form2Test::loadsWithEveryConnectionTypeButTheFirst() {
    auto* form = Open();
    QCOMPARE(form->windowTitle(), QString("Tarvolo v1.1 - Connection"));
    QCOMPARE(form->List1->count(), 3);
    QCOMPARE(form->List1->item(0)->text(), QString("Internet TCP/IP Connection For DirectPlay"));
    QCOMPARE(form->List1->item(1)->text(), QString("Modem Connection For DirectPlay"));
    QCOMPARE(form->List1->item(2)->text(), QString("Serial Connection For DirectPlay"));
    QCOMPARE(form->Label5->text(), QString("-None-"));
    QCOMPARE(form->Text1->text(), QString("ATC Controller"));
    QVERIFY(form->Text1->isVisible());  // the nickname can be typed
    QCOMPARE(form->Command1->text(), QString("Locate Session"));
    QCOMPARE(form->Command2->text(), QString("Join Session"));
    QCOMPARE(form->Command3->text(), QString("Exit"));
    QCOMPARE(form->Timer1->interval(), 1000);
    QCOMPARE(form->Timer2->interval(), 30000);
    QVERIFY(!form->Timer1->isActive() && !form->Timer2->isActive());
    QVERIFY(model::g_directPlay && model::g_connectionList);
}

void Form2Test::locatingNeedsAConnectionTypeThatWorks() {
    auto* form = Open();
    QTest::mouseClick(form->Command1, Qt::LeftButton);
    QCOMPARE(m_dialogs->messages.size(), 1);
    QCOMPARE(m_dialogs->messages[0].text, QString("Please Select one Type of Connection"));
    QCOMPARE(m_dialogs->messages[0].icon, platform::MessageIcon::Information);
    QCOMPARE(form->Label5->text(), QString("Disconnected"));
    QVERIFY(form->List1->isEnabled() && form->Command1->isEnabled());

    struct Row {
        int line;
        std::optional<std::string> answer;
    };
    // The modem, and TCP/IP with its dialog cancelled: failure A.
    for (const Row& row : {Row{1, std::nullopt}, Row{0, std::nullopt}}) {
        m_dialogs->messages.clear();
        directplay::SetAddressPrompt([row] { return row.answer; });
        form->List1->setCurrentRow(row.line);
        QTest::mouseClick(form->Command1, Qt::LeftButton);
        QCOMPARE(m_dialogs->messages.size(), 1);
        QCOMPARE(m_dialogs->messages[0].text,
                 QString("Error, Canceled Connection. Try to Locate Session Again."));
        QCOMPARE(m_dialogs->messages[0].title, QString("Tarvolo Message"));
        QCOMPARE(form->Label5->text(), QString("Disconnected"));
        QVERIFY(form->List1->isEnabled() && form->Command1->isEnabled());
    }
    // Nobody answering: back to idle without a word.
    m_dialogs->messages.clear();
    Locate(form, QStringLiteral("127.0.0.1:9"));
    QVERIFY(m_dialogs->messages.isEmpty());
    QCOMPARE(form->List2->count(), 0);
    QCOMPARE(form->Label5->text(), QString("Disconnected"));
}

void Form2Test::locatesAndJoinsASession() {
    SimHostProcess host({"--aircraft", "2", "--name", "Sunday Flight"});
    QVERIFY(host.Port() != 0);
    auto* form = Open();
    Locate(form, host.Address());
    QCOMPARE(form->List2->count(), 1);
    QCOMPARE(form->List2->item(0)->text(), QString("Sunday Flight (3/11)"));
    QCOMPARE(form->Label5->text(), QString("Done"));
    QVERIFY(m_dialogs->messages.isEmpty());

    form->List2->setCurrentRow(0);
    form->Text1->setText(QStringLiteral("Seattle Tower"));
    QTest::mouseClick(form->Command2, Qt::LeftButton);
    QCOMPARE(form->Label5->text(), QString("Connecting..."));
    QVERIFY(!form->List1->isEnabled() && !form->Command1->isEnabled());
    QVERIFY(model::g_localPlayerId < 0);  // the host's mask makes it negative
    QVERIFY(form->Timer1->isActive() && form->Timer2->isActive());
    QVERIFY(host.LogHas("JOIN request"));
    QPointer<mplink::Form2> alive(form);
    QVERIFY(QTest::qWaitFor([&] { return alive.isNull(); }, 8000));
    QCOMPARE(m_dialogs->messages.size(), 1);
    QCOMPARE(m_dialogs->messages[0].text, QString("Connected To FS Session!"));
    QVERIFY(model::g_sessionJoined && model::g_connected);
    QCOMPARE(m_mainWindowsShown, 1);
    QCOMPARE(m_dialogs->endCount, 0);  // closing because of the join does not end anything
    QVERIFY(model::g_directPlay);      // the session goes on in the main window
}

void Form2Test::joinPreconditionsBothReportedThenTheListCleared() {
    SimHostProcess host({"--aircraft", "1"});
    auto* form = Open();
    Locate(form, host.Address());
    QCOMPARE(form->List2->count(), 1);
    form->List2->clearSelection();
    form->Text1->clear();
    QTest::mouseClick(form->Command2, Qt::LeftButton);
    QCOMPARE(m_dialogs->messages.size(), 2);
    QCOMPARE(m_dialogs->messages[0].text, QString("Please select a FS Multiplayer Session."));
    QCOMPARE(m_dialogs->messages[0].icon, platform::MessageIcon::Exclamation);
    QCOMPARE(m_dialogs->messages[1].text, QString("Please write a nickname."));
    QCOMPARE(form->List2->count(), 0);
    QCOMPARE(form->Label5->text(), QString("Disconnected"));
    QCOMPARE(model::g_localPlayerId, 0);
}

void Form2Test::aRefusalReturnsToIdle() {
    SimHostProcess host({"--aircraft", "1", "--refuse"});
    auto* form = Open();
    Locate(form, host.Address());
    form->List2->setCurrentRow(0);
    QTest::mouseClick(form->Command2, Qt::LeftButton);
    const std::int32_t refused = model::g_localPlayerId;
    QVERIFY(refused != 0);
    QVERIFY(QTest::qWaitFor([&] { return !m_dialogs->messages.isEmpty(); }, 8000));
    QCOMPARE(m_dialogs->messages[0].text, QString("Connection Refused"));
    QVERIFY(!form->Timer1->isActive() && !form->Timer2->isActive());
    QVERIFY(form->List1->isEnabled() && form->Command1->isEnabled());
    QCOMPARE(form->Label5->text(), QString("Disconnected"));
    QCOMPARE(form->List2->count(), 0);
    QCOMPARE(model::g_localPlayerId, refused);
    QVERIFY(!model::g_connected);
    QCOMPARE(m_mainWindowsShown, 0);
}

// The user leaves "Connected To FS Session!" up for longer than the pending-join period: the
// host answers every pending-join message again, and a tick under the box would handle that
// answer and close the window beneath it. The timers stop before the box.
void Form2Test::theAcceptanceBoxHeldOpenStopsTheTimersFirst() {
    SimHostProcess host({"--aircraft", "1"});
    auto* form = Open();
    Locate(form, host.Address());
    form->List2->setCurrentRow(0);
    form->Timer2->setInterval(50);
    bool timersWhileUp = true;
    m_dialogs->onMessage = [&] {
        timersWhileUp = form->Timer1->isActive() || form->Timer2->isActive();
        // The user reads the box while the event loop runs on, for several timer periods.
        QElapsedTimer up;
        up.start();
        while (up.elapsed() < 400)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    };
    QTest::mouseClick(form->Command2, Qt::LeftButton);
    QVERIFY(!form->Command2->isEnabled());  // one join at a time
    QPointer<mplink::Form2> alive(form);
    QVERIFY(QTest::qWaitFor([&] { return alive.isNull(); }, 8000));
    QVERIFY(!timersWhileUp);
    QCOMPARE(m_dialogs->messages.size(), 1);
    QCOMPARE(m_mainWindowsShown, 1);
}

void Form2Test::exitEndsTheProgram() {
    auto* form = Open();
    QTest::mouseClick(form->Command3, Qt::LeftButton);
    QCOMPARE(m_dialogs->endCount, 1);
    QVERIFY(!model::g_directPlay && !model::g_connectionList);
}

QTEST_MAIN(Form2Test)
#include "form2_test.moc"
