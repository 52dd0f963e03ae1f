// `tarvolo --replay`: the main window on a recording, its controls, and the reasons it can
// refuse.

#include <QtTest>

#include "app/app_windows.h"
#include "app/form1.h"
#include "app/replay_start.h"
#include "link/recording.h"
#include "model/shared_state.h"
#include "platform/ui/windows.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/scripted_dialogs.h"
#include "tests/support/simulator_setup.h"
#include "tests/support/window_cleanup.h"
#include "tools/scenery/presets.h"
#include "tools/simhost/mp_messages.h"

namespace {

constexpr std::int32_t kPilot = 11;
constexpr int kTicks = 20;
constexpr double kStartLat = 10.0;

double LatitudeAt(int tick) {
    return kStartLat + 120.0 * tick / 3600 / 60;  // north at 120 kt
}

// A pilot announcing itself, then flying north a position a tick, saying hello at tick 5.
void WriteRecording(const std::string& path, std::int64_t index, const std::string& airport) {
    mplink::RecordingWriter writer;
    QVERIFY(writer.Open(path, index, airport));
    writer.Message({0, kPilot, 0, "N123", mplink::PlayerHereMessage(kPilot), {{kPilot, "N123"}}});
    writer.Tick(1000);
    for (int tick = 1; tick < kTicks; ++tick) {
        const std::int64_t ms = 1000 * (tick + 1);
        writer.Message({ms - 10,
                        kPilot,
                        0,
                        "N123",
                        simhost::EncodePosition({LatitudeAt(tick), 20.0, 3000, 0}, 0, tick),
                        {{kPilot, "N123"}}});
        if (tick == 5)
            writer.Message(
                {ms - 5, kPilot, 0, "N123", mplink::ChatMessage("hello"), {{kPilot, "N123"}}});
        writer.Tick(ms);
    }
}

}  // namespace

class ReplayWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void refusesWhatItCannotReplay();
    void replaysAtItsSpeedAndSeeks();

private:
    std::unique_ptr<testing_support::ScratchFolder> m_scratch;
    std::unique_ptr<testing_support::ScriptedDialogs> m_dialogs;
};

void ReplayWindowTest::init() {
    model::ResetSharedState();
    m_scratch = std::make_unique<testing_support::ScratchFolder>();
    m_dialogs = std::make_unique<testing_support::ScriptedDialogs>();
    platform::ClearWindowRegistry();
    app::RegisterAppWindows();
}

void ReplayWindowTest::cleanup() {
    testing_support::CloseEveryWindow();
    m_dialogs.reset();
    m_scratch.reset();
    model::ResetSharedState();
}

void ReplayWindowTest::refusesWhatItCannotReplay() {
    QFile junk("junk.tvr");
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write("not a recording\n");
    junk.close();
    QVERIFY(app::OpenReplay("junk.tvr")->contains("is not a Tarvolo session recording"));
    WriteRecording("alpha.tvr", 0, "Alpha Field");
    QVERIFY(app::OpenReplay("alpha.tvr")->contains("needs the airport database"));
    QVERIFY(testing_support::SetUpSimulator(*tools::PresetWorld("tiny", 1), "sim"));
    QVERIFY(testing_support::BuildDatabase());
    WriteRecording("elsewhere.tvr", 0, "Nowhere Field");
    QVERIFY(app::OpenReplay("elsewhere.tvr")->contains("\"Nowhere Field\" is not in the database"));
    QVERIFY(platform::ExistingWindow("Form1") == nullptr);
}

void ReplayWindowTest::replaysAtItsSpeedAndSeeks() {
    QVERIFY(testing_support::SetUpSimulator(*tools::PresetWorld("tiny", 1), "sim"));
    QVERIFY(testing_support::BuildDatabase());
    testing_support::RestartAfterBuild();
    // A stale index still finds the airport by its name.
    WriteRecording("alpha.tvr", 3, "Alpha Field");
    QCOMPARE(app::OpenReplay("alpha.tvr"), std::nullopt);
    auto* form = qobject_cast<app::Form1*>(platform::ExistingWindow("Form1"));
    QVERIFY(form && form->Replaying());
    QVERIFY(form->windowTitle().endsWith("Alpha Field (replay)"));
    QVERIFY(form->Command1->isHidden() && form->Text3->isReadOnly());
    QVERIFY(!form->Timer3->isActive());  // no roll call

    form->ReplaySpeed->setCurrentIndex(2);  // 16x: the whole recording in two timer ticks
    form->Timer1->setInterval(50);
    QVERIFY(QTest::qWaitFor([&] { return form->ReplaySlider->value() == kTicks; }, 10000));
    QCOMPARE(form->ReplayPlay->text(), QString("Play"));
    QCOMPARE(model::g_trafficCount, std::int16_t{1});
    QCOMPARE(model::g_traffic[1].name, std::string("N123"));
    QVERIFY(std::abs(model::g_traffic[1].latitude - LatitudeAt(kTicks - 1)) < 1e-4);
    QVERIFY(form->RichTextBox1->toPlainText().contains("N123: hello"));
    // Speeds from the recording's clock, whatever the replay's pace.
    const double last = form->History().Latest("N123")->t;
    QVERIFY(std::abs(*form->History().GroundSpeedKt("N123", last) - 120) < 2);

    // Back to the third tick: the session again from its start, without the chat of later.
    form->ReplaySlider->setSliderDown(true);
    form->ReplaySlider->setSliderPosition(3);
    form->ReplaySlider->setSliderDown(false);
    QCOMPARE(form->ReplaySlider->value(), 3);
    QVERIFY(!form->RichTextBox1->toPlainText().contains("hello"));
    QVERIFY(std::abs(model::g_traffic[1].latitude - LatitudeAt(2)) < 1e-4);

    // Nothing is sent; leaving ends the program.
    form->Text3->setText("tower");
    QTest::keyClick(form->Text3, Qt::Key_Return);
    QVERIFY(!form->RichTextBox1->toPlainText().contains("tower"));
    QTest::mouseClick(form->Command3, Qt::LeftButton);
    QCOMPARE(m_dialogs->endCount, 1);
}

QTEST_MAIN(ReplayWindowTest)
#include "replay_window_test.moc"
