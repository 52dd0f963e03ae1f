// The main window replaying a recorded session: the recorded ticks go through the same message
// loop as a live session's, at 1x, 4x or 16x, from any position.

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/form1.h"
#include "app/form11.h"
#include "link/link.h"
#include "loader/airport_area.h"
#include "model/shared_state.h"
#include "platform/ui/widget_text.h"
#include "radar/traffic_list.h"

namespace app {

void Form1::StartReplay(std::unique_ptr<mplink::RecordingReader> recording) {
    m_replay = std::move(recording);
    // One pass over the file for where each tick begins: seeks read from there, and the
    // recording never has to be held in memory.
    m_replayIndex.clear();
    const mplink::RecordingReader::Place start = m_replay->Tell();
    for (;;) {
        const mplink::RecordingReader::Place place = m_replay->Tell();
        const auto tick = m_replay->Next();
        if (!tick)
            break;
        m_replayIndex.push_back({place, tick->ms});
    }
    if (m_replay->GetStatus() == mplink::RecordingReader::Status::Damaged)
        AppendChat(std::string("(").append(m_replay->Problem("being replayed")).append(")"));
    m_replay->Seek(start);
    m_replayReaderAt = 0;
    m_replayNext = 0;
    m_recordedAirport = m_replay->Header().airportIndex;
    Timer3->stop();  // no roll call
    Command1->hide();
    Text3->setReadOnly(true);
    Text3->setPlaceholderText(QStringLiteral("Replay: nothing is sent"));
    setWindowTitle(windowTitle() + QStringLiteral(" (replay)"));

    ReplayPlay = platform::Named(new QPushButton(QStringLiteral("Pause")), "ReplayPlay");
    ReplaySpeed = platform::Named(new QComboBox, "ReplaySpeed");
    ReplaySpeed->addItems({QStringLiteral("1x"), QStringLiteral("4x"), QStringLiteral("16x")});
    ReplaySlider = platform::Named(new QSlider(Qt::Horizontal), "ReplaySlider");
    ReplaySlider->setRange(0, static_cast<int>(m_replayIndex.size()));
    ReplaySlider->setTracking(false);  // the position changes when the slider is let go
    ReplayLabel = platform::Named(new QLabel, "ReplayLabel");
    auto* bar = new QHBoxLayout;
    bar->addWidget(ReplayPlay);
    bar->addWidget(ReplaySpeed);
    bar->addWidget(ReplaySlider, 1);
    bar->addWidget(ReplayLabel);
    if (auto* box = qobject_cast<QVBoxLayout*>(layout()))
        box->insertLayout(3, bar);

    connect(ReplayPlay, &QPushButton::clicked, this, [this] {
        if (Timer1->isActive()) {
            Timer1->stop();
        } else {
            if (m_replayNext >= m_replayIndex.size())
                ReplaySeek(0);  // played to the end: from the start again
            Timer1->start();
        }
        ShowReplayPosition();
    });
    // While dragged the slider shows the time it points at; let go, it seeks once.
    connect(ReplaySlider, &QSlider::sliderMoved, this,
            [this](int tick) { ShowReplayPosition(static_cast<std::size_t>(std::max(tick, 0))); });
    connect(ReplaySlider, &QSlider::sliderReleased, this,
            [this] { ReplaySeek(ReplaySlider->sliderPosition()); });
    connect(ReplaySlider, &QSlider::actionTriggered, this, [this](int action) {
        if (action != QAbstractSlider::SliderMove)
            ReplaySeek(ReplaySlider->sliderPosition());
    });
    ShowReplayPosition();
}

void Form1::ReplayAirport(const mplink::AirportChange& change) {
    // The controller went to another airport here: the same one from this folder's database,
    // when it has it.
    m_recordedAirport = change.index;
    if (loader::ReadAirports())
        return;
    const auto& airports = model::g_airports;
    std::optional<std::int64_t> index;
    if (change.index >= 0 && static_cast<std::size_t>(change.index) + 1 < airports.size() &&
        airports[static_cast<std::size_t>(change.index)].name == change.name)
        index = change.index;
    for (std::size_t i = 0; !index && i + 1 < airports.size(); ++i)
        if (airports[i].name == change.name)
            index = static_cast<std::int64_t>(i);
    if (!index || !loader::LoadAirport(*index)) {
        loader::ReleaseDatabase();
        AppendChat(std::string("(the controller went to ")
                       .append(change.name)
                       .append(", not in this database)"));
        return;
    }
    setWindowTitle(QStringLiteral("Tarvolo v1.1 - ") + platform::ToQt(model::g_airport.name) +
                   QStringLiteral(" (replay)"));
    radar::CenterView(m_view, model::g_airport.longitude, model::g_airport.latitude);
}

bool Form1::ReplayStep() {
    if (!m_replay || m_replayNext >= m_replayIndex.size()) {
        Timer1->stop();
        return false;
    }
    if (m_replayReaderAt != m_replayNext)
        m_replay->Seek(m_replayIndex[m_replayNext].place);
    auto recorded = m_replay->Next();
    m_replayReaderAt = ++m_replayNext;
    if (!recorded) {
        Timer1->stop();
        return false;
    }
    for (int i = 0; i < recorded->rollCalls; ++i)
        mplink::ClearTraffic();  // the roll call emptied the table here
    if (recorded->airport)
        ReplayAirport(*recorded->airport);
    for (const std::string& line : recorded->ownChat)
        AppendChat(line);
    m_replayPort.Load(*recorded);
    const mplink::TickResult tick = mplink::ProcessMessages(
        m_replayPort, m_linkWatchdog, [this] { return m_replayPort.TakenSeconds(); });
    for (const std::string& line : tick.chatLines)
        AppendChat(line);
    ReplayCoordination(*recorded, tick);
    // The recording's own clock: speeds come out right at any replay speed.
    FollowTraffic(tick, static_cast<double>(recorded->ms) / 1000.0);
    if (tick.end != mplink::TickEnd::Normal) {
        AppendChat(tick.end == mplink::TickEnd::Removed ? "(the host removed the recorder here)"
                                                        : "(the session was lost here)");
        m_replayNext = m_replayIndex.size();
        Timer1->stop();
        return false;
    }
    return true;
}

void Form1::ReplaySeek(int tick) {
    if (!m_replay)
        return;
    const auto target =
        static_cast<std::size_t>(std::clamp(tick, 0, static_cast<int>(m_replayIndex.size())));
    m_replaySeeking = true;
    if (target < m_replayNext) {
        // Back: the session again from its start, without the chat and traffic of before.
        m_replayNext = 0;
        mplink::ClearTraffic();
        m_history.Clear();
        m_conflicts.clear();
        m_alerts.Clear();
        m_lines.clear();
        m_linkWatchdog = mplink::kWatchdogSeconds;
        RichTextBox1->clear();
        StopCoordinating();
        RichTextAtc->clear();
    }
    while (m_replayNext < target && ReplayStep()) {
    }
    m_replaySeeking = false;
    // The lists once, at the end.
    if (auto* list = qobject_cast<Form11*>(m_trafficList.data()))
        list->Refresh(radar::BuildTrafficList(model::g_traffic, model::g_trafficCount, m_history,
                                              model::g_airport, m_now),
                      CoordinationRows());
    ShowCoordination();
    ShowAlerts();
    ShowReplayPosition();
    Repaint();
}

void Form1::ShowReplayPosition(std::optional<std::size_t> dragged) {
    if (!m_replay)
        return;
    ReplayPlay->setText(Timer1->isActive() ? QStringLiteral("Pause") : QStringLiteral("Play"));
    if (!dragged) {
        const QSignalBlocker quiet(ReplaySlider);
        ReplaySlider->setValue(static_cast<int>(m_replayNext));
    }
    const std::size_t at = dragged.value_or(m_replayNext);
    const auto seconds = [](std::int64_t ms) { return QString::number(ms / 1000); };
    const std::int64_t origin = m_replayIndex.empty() ? 0 : m_replayIndex.front().ms;
    const std::int64_t now = at == 0 || m_replayIndex.empty()
                                 ? origin
                                 : m_replayIndex[std::min(at, m_replayIndex.size()) - 1].ms;
    const std::int64_t end = m_replayIndex.empty() ? 0 : m_replayIndex.back().ms;
    ReplayLabel->setText(seconds(now - origin) + QStringLiteral(" / ") + seconds(end - origin) +
                         QStringLiteral(" s"));
}

}  // namespace app
