// `tarvolo --replay`: the main window on a recording, its controls, and the reasons it can
// refuse.

#include <QHeaderView>
#include <QtTest>

#include "app/app_windows.h"
#include "app/form1.h"
#include "app/form11.h"
#include "app/replay_start.h"
#include "link/coordination.h"
#include "link/recording.h"
#include "loader/airport_area.h"
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

// Two pilots, one with a name beyond ASCII ("N\xC9" in the program's code page); at tick 10 a
// roll call empties the table and only N123 answers: the other has left.
void WriteChurn(const std::string& path, std::int64_t index, const std::string& airport) {
    const std::string accented = std::string("N\xC9") + "77";
    mplink::RecordingWriter writer;
    QVERIFY(writer.Open(path, index, airport));
    const std::pair<std::int32_t, std::string> pilots[] = {{kPilot, "N123"}, {12, accented}};
    for (const auto& [id, name] : pilots)
        writer.Message({0, id, 0, name, mplink::PlayerHereMessage(id), {{id, name}}});
    writer.Tick(1000);
    for (int tick = 1; tick < kTicks; ++tick) {
        const std::int64_t ms = 1000 * (tick + 1);
        if (tick == 10) {
            writer.RollCall(ms - 500);
            writer.Message({ms - 20,
                            kPilot,
                            0,
                            "N123",
                            mplink::PlayerHereMessage(kPilot),
                            {{kPilot, "N123"}}});
        }
        for (const auto& [id, name] : pilots) {
            if (tick >= 10 && id != kPilot)
                continue;
            const double lon = id == kPilot ? 20.0 : 20.05;
            writer.Message({ms - 10,
                            id,
                            0,
                            name,
                            simhost::EncodePosition({LatitudeAt(tick), lon, 3000, 0}, 0, tick),
                            {{id, name}}});
        }
        writer.Tick(ms);
    }
}

// The tiny world's database, built here as the program finds it at start.
bool Database() {
    if (!testing_support::SetUpSimulator(*tools::PresetWorld("tiny", 1), "sim") ||
        !testing_support::BuildDatabase())
        return false;
    testing_support::RestartAfterBuild();
    return true;
}

// The main window replaying `file`, its timer stopped when `paused`; null when it refused.
app::Form1* Replay(const char* file, bool paused = true) {
    if (app::OpenReplay(file))
        return nullptr;
    auto* form = qobject_cast<app::Form1*>(platform::ExistingWindow("Form1"));
    if (form && paused)
        form->Timer1->stop();
    return form;
}

}  // namespace

class ReplayWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void refusesWhatItCannotReplay();
    void replaysAtItsSpeedAndSeeks();
    void theTrafficListFollowsTheReplay();
    void aWatchRecordingPlaysAtTheChosenAirport();
    void theControllersAirportChangesChatAndRemovalReplay();
    void whatTheControllersDidReplays();

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
    QVERIFY(Database());
    WriteRecording("elsewhere.tvr", 0, "Nowhere Field");
    QVERIFY(app::OpenReplay("elsewhere.tvr")->contains("\"Nowhere Field\" is not in the database"));
    QVERIFY(platform::ExistingWindow("Form1") == nullptr);
}

void ReplayWindowTest::replaysAtItsSpeedAndSeeks() {
    QVERIFY(Database());
    // A stale index still finds the airport by its name.
    WriteRecording("alpha.tvr", 3, "Alpha Field");
    auto* form = Replay("alpha.tvr", false);
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

void ReplayWindowTest::theTrafficListFollowsTheReplay() {
    QVERIFY(Database());
    WriteChurn("churn.tvr", 3, "Alpha Field");
    auto* form = Replay("churn.tvr");
    QVERIFY(form);
    form->ToolbarButton(6)->trigger();
    auto* list = qobject_cast<app::Form11*>(platform::ExistingWindow("Form11"));
    QVERIFY(list);
    // Opens sorted A to Z.
    QCOMPARE(list->Grid1->horizontalHeader()->sortIndicatorSection(), 0);
    QCOMPARE(list->Grid1->horizontalHeader()->sortIndicatorOrder(), Qt::AscendingOrder);

    form->ReplaySeek(6);
    QCOMPARE(list->Grid1->rowCount(), 2);
    QCOMPARE(list->Grid1->item(0, 0)->text(), QString("N123"));
    QCOMPARE(list->Grid1->item(1, 0)->text(), QString::fromUtf8("N\u00C977"));
    // A double click on the accented callsign centres on its aircraft.
    const QRect cell = list->Grid1->visualItemRect(list->Grid1->item(1, 0));
    QTest::mouseClick(list->Grid1->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(list->Grid1->viewport(), Qt::LeftButton, {}, cell.center());
    const radar::View& view = form->View();
    QVERIFY(std::abs((view.m_viewLeft + view.m_viewRight) / 2 - 20.05) < 1e-3);

    // Past the roll call the pilot who left is gone from the table and the list.
    form->ReplaySeek(15);
    QCOMPARE(model::g_trafficCount, std::int16_t{1});
    QCOMPARE(list->Grid1->rowCount(), 1);
    // Back again: both, heard a moment ago by the recording's clock, never in the future.
    form->ReplaySeek(4);
    QCOMPARE(list->Grid1->rowCount(), 2);
    for (int r = 0; r < 2; ++r) {
        const double heard = list->Grid1->item(r, 9)->data(Qt::UserRole).toDouble();
        QVERIFY2(heard >= 0 && heard < 2, qPrintable(QString::number(heard)));
        // Figures stand right, as in a column of numbers.
        QCOMPARE(list->Grid1->item(r, 9)->textAlignment(), int(Qt::AlignRight | Qt::AlignVCenter));
    }
}

void ReplayWindowTest::aWatchRecordingPlaysAtTheChosenAirport() {
    QVERIFY(Database());
    // Watched without an airport: index -1, no name. The user is asked, the airport nearest
    // the recorded traffic offered first.
    WriteChurn("watched.tvr", -1, "");
    m_dialogs->choiceAnswers = {std::nullopt};
    QVERIFY(app::OpenReplay("watched.tvr")->contains("No airport was chosen"));
    QCOMPARE(m_dialogs->choices.size(), 1);
    QVERIFY(m_dialogs->offeredCurrent >= 0);
    const QString offered = m_dialogs->offered[m_dialogs->offeredCurrent];
    auto* form = Replay("watched.tvr");
    QVERIFY(form && form->Replaying());
    QVERIFY(offered.startsWith(QString::fromStdString(model::g_airport.name)));
    // The nearest: no other airport of the database is nearer the first position.
    QVERIFY(std::abs(model::g_airport.latitude - LatitudeAt(1)) < 1.0);
}

void ReplayWindowTest::theControllersAirportChangesChatAndRemovalReplay() {
    QVERIFY(Database());
    QVERIFY(!loader::ReadAirports());
    std::string other;
    std::int64_t otherIndex = -1;
    for (std::size_t i = 0; i + 1 < model::g_airports.size() && other.empty(); ++i)
        if (!model::g_airports[i].name.empty() && model::g_airports[i].name != "Alpha Field") {
            other = model::g_airports[i].name;
            otherIndex = static_cast<std::int64_t>(i);
        }
    QVERIFY(!other.empty());
    {
        mplink::RecordingWriter writer;
        QVERIFY(writer.Open("moved.tvr", 3, "Alpha Field"));
        writer.Tick(1000);
        writer.OwnChat(1500, "ATC Controller: going over there");
        writer.Airport(1600, otherIndex, other);
        writer.Tick(2000);
        writer.Tick(3000);
        // Then the host removed the recorder.
        writer.Message({3500, 1, 0, "FS Host", mplink::EmptyMessage(mplink::MP_REMOVED), {}});
        writer.Tick(4000);
        QVERIFY(writer.Close());
    }
    auto* form = Replay("moved.tvr");
    QVERIFY(form);
    QCOMPARE(model::g_airport.name, std::string("Alpha Field"));
    form->ReplaySeek(3);
    QCOMPARE(model::g_airport.name, other);
    QVERIFY(form->windowTitle().contains(QString::fromStdString(other)));
    QVERIFY(form->RichTextBox1->toPlainText().contains("ATC Controller: going over there"));
    form->ReplaySeek(4);
    QVERIFY(form->RichTextBox1->toPlainText().endsWith("(the host removed the recorder here)"));
}

// A tower's recording: approach comes on, claims DAL1 and offers it; the tower accepts a tick
// later. The replay rebuilds owners, offers and the channel, sends nothing, and seeks back.
void ReplayWindowTest::whatTheControllersDidReplays() {
    QVERIFY(Database());
    constexpr std::int32_t kTower = 0x21;
    constexpr std::int32_t kApproach = -0x44;
    const auto message = [](coord::Kind kind, const std::string& callsign,
                            const std::string& position) {
        coord::Message m;
        m.kind = kind;
        m.callsign = callsign;
        m.position = position;
        m.frequency = kind == coord::Kind::Announce ? "119.20" : "";
        m.text = kind == coord::Kind::Chat ? "tower, it is yours" : "";
        return coord::Encode(m);
    };
    {
        mplink::RecordingHeader header;
        header.airportIndex = 3;
        header.airportName = "Alpha Field";
        header.startUnixMs = 1796634000000;
        header.localPlayer = kTower;
        mplink::RecordingWriter writer;
        QVERIFY(writer.Open("tower.tvr", header));
        writer.Coordination(900, {kTower, "Tom", message(coord::Kind::Announce, "", "TVO_TWR")});
        writer.Coordination(900, {kApproach, "Ann", message(coord::Kind::Announce, "", "TVO_APP")});
        writer.Coordination(950, {kApproach, "", message(coord::Kind::Claim, "DAL1", "")});
        writer.Coordination(950, {kApproach, "", message(coord::Kind::Offer, "DAL1", "TVO_TWR")});
        writer.Coordination(960, {kApproach, "", message(coord::Kind::Chat, "", "")});
        writer.Tick(1000);
        writer.Coordination(1500, {kTower, "", message(coord::Kind::Accept, "DAL1", "")});
        writer.Tick(2000);
        QVERIFY(writer.Close());
    }
    auto* form = Replay("tower.tvr");
    QVERIFY(form);
    form->ReplaySeek(1);
    QVERIFY(form->Coordinator());
    QVERIFY(form->FrameAtc->isVisibleTo(form));
    QVERIFY(!form->TextAtc->isEnabled());  // a replay says nothing
    QVERIFY(!form->CoordinationMenu("DAL1"));
    QCOMPARE(form->Coordinator()->Board().Owner("DAL1"), std::optional<std::int32_t>(kApproach));
    QVERIFY(form->RichTextAtc->toPlainText().contains("TVO_APP offers DAL1 to you"));
    QVERIFY(form->RichTextAtc->toPlainText().contains("TVO_APP: tower, it is yours"));
    QCOMPARE(form->ComboAtc->itemText(1), QStringLiteral("TVO_APP"));
    form->ReplaySeek(2);
    QCOMPARE(form->Coordinator()->Board().Owner("DAL1"), std::optional<std::int32_t>(kTower));
    QVERIFY(form->Text3->text().isEmpty());  // no contact line is proposed in a replay
    // Back to the first tick: the board as it was then, the channel once.
    form->ReplaySeek(1);
    QCOMPARE(form->Coordinator()->Board().Owner("DAL1"), std::optional<std::int32_t>(kApproach));
    QCOMPARE(form->RichTextAtc->toPlainText().count("offers DAL1"), 1);
}

QTEST_MAIN(ReplayWindowTest)
#include "replay_window_test.moc"
