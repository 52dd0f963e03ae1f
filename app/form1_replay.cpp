// The main window replaying a recorded session: the recorded ticks go through the same message
// loop as a live session's, at 1x, 4x or 16x, from any position.

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/form1.h"
#include "link/link.h"
#include "model/shared_state.h"
#include "platform/ui/widget_text.h"

namespace app {

void Form1::StartReplay(mplink::Recording recording) {
    m_replay = std::move(recording);
    m_replayNext = 0;
    Timer3->stop();  // no roll call
    Command1->hide();
    Text3->setReadOnly(true);
    Text3->setPlaceholderText(QStringLiteral("Replay: nothing is sent"));
    setWindowTitle(windowTitle() + QStringLiteral(" (replay)"));

    ReplayPlay = platform::Named(new QPushButton(QStringLiteral("Pause")), "ReplayPlay");
    ReplaySpeed = platform::Named(new QComboBox, "ReplaySpeed");
    ReplaySpeed->addItems({QStringLiteral("1x"), QStringLiteral("4x"), QStringLiteral("16x")});
    ReplaySlider = platform::Named(new QSlider(Qt::Horizontal), "ReplaySlider");
    ReplaySlider->setRange(0, static_cast<int>(m_replay->ticks.size()));
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
            if (m_replayNext >= m_replay->ticks.size())
                ReplaySeek(0);  // played to the end: from the start again
            Timer1->start();
        }
        ShowReplayPosition();
    });
    connect(ReplaySlider, &QSlider::sliderMoved, this, &Form1::ReplaySeek);
    connect(ReplaySlider, &QSlider::actionTriggered, this, [this](int action) {
        if (action != QAbstractSlider::SliderMove)
            ReplaySeek(ReplaySlider->sliderPosition());
    });
    ShowReplayPosition();
}

bool Form1::ReplayStep() {
    if (!m_replay || m_replayNext >= m_replay->ticks.size()) {
        Timer1->stop();
        return false;
    }
    const mplink::RecordedTick& recorded = m_replay->ticks[m_replayNext++];
    m_replayPort.Load(recorded);
    const mplink::TickResult tick = mplink::ProcessMessages(
        m_replayPort, m_linkWatchdog, [this] { return m_replayPort.TakenSeconds(); });
    for (const std::string& line : tick.chatLines)
        AppendChat(line);
    // The recording's own clock: speeds come out right at any replay speed.
    FollowTraffic(tick, static_cast<double>(recorded.ms) / 1000.0);
    if (tick.end != mplink::TickEnd::Normal) {
        AppendChat(tick.end == mplink::TickEnd::Removed ? "(the host removed the recorder here)"
                                                        : "(the session was lost here)");
        m_replayNext = m_replay->ticks.size();
        Timer1->stop();
        return false;
    }
    return true;
}

void Form1::ReplaySeek(int tick) {
    if (!m_replay)
        return;
    const auto target = static_cast<std::size_t>(std::clamp(tick, 0, ReplaySlider->maximum()));
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
    }
    while (m_replayNext < target && ReplayStep()) {
    }
    ShowReplayPosition();
    Repaint();
}

void Form1::ShowReplayPosition() {
    if (!m_replay)
        return;
    ReplayPlay->setText(Timer1->isActive() ? QStringLiteral("Pause") : QStringLiteral("Play"));
    const QSignalBlocker quiet(ReplaySlider);
    ReplaySlider->setValue(static_cast<int>(m_replayNext));
    const auto seconds = [](std::int64_t ms) { return QString::number(ms / 1000); };
    const std::int64_t origin = m_replay->ticks.empty() ? 0 : m_replay->ticks.front().ms;
    const std::int64_t now = m_replayNext == 0 ? origin : m_replay->ticks[m_replayNext - 1].ms;
    const std::int64_t end = m_replay->ticks.empty() ? 0 : m_replay->ticks.back().ms;
    ReplayLabel->setText(seconds(now - origin) + QStringLiteral(" / ") + seconds(end - origin) +
                         QStringLiteral(" s"));
}

}  // namespace app
