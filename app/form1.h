#pragma once

// The main radar window: the toolbar's five commands, the scope and its controls (the zoom
// buttons, CENTER, the pointer read-out with its tooltips and the measuring gesture, the
// repaint timer), the multiplayer message loop with its watchdog and roll call, chat, and
// "> Disconnect".

#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <QToolBar>
#include <QWidget>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/form11.h"
#include "link/coordinator.h"
#include "link/link.h"
#include "link/recording.h"
#include "radar/aids.h"
#include "radar/airspace_painter.h"
#include "radar/scope_widget.h"
#include "radar/view.h"

namespace app {

class Form1 : public QWidget {
    Q_OBJECT
public:
    explicit Form1(QWidget* parent = nullptr);

    radar::ScopeWidget* Picture1;
    QLabel* Label6;  // "Zoom:"
    QLabel* Label7;  // the level and "x"
    QPushButton* Command5;
    QPushButton* Command6;
    QPushButton* Command2;
    QLabel* Label1;  // "Mouse Coordinates:"
    QLineEdit* Text1;
    QLabel* Label2;
    QLineEdit* Text2;
    QLabel* Label3;
    QTimer* Timer2;
    QTimer* Timer1;                // message loop, 1 s
    QTimer* Timer3;                // roll call, 30 s
    QPlainTextEdit* RichTextBox1;  // the chat log
    QLineEdit* Text3;              // the line being typed
    QPushButton* Command1;         // "Send"
    QPushButton* Command3;         // "> Disconnect"
    QToolBar* Toolbar1;
    QListWidget* ListAlerts;  // the conflict alert's encounters, beside the chat log
    // The controllers' channel beside the chat log, there while coordinating.
    QWidget* FrameAtc;
    QPlainTextEdit* RichTextAtc;
    QComboBox* ComboAtc;  // "All Controllers" or one position
    QLineEdit* TextAtc;
    QPushButton* CommandAtc;  // "Send"

    // The toolbar's buttons by index, 1 to 5.
    QAction* ToolbarButton(int index) const;
    static QString AirportInformation();

    std::int16_t LinkWatchdog() const { return m_linkWatchdog; }

    const radar::View& View() const { return m_view; }
    const radar::AirspaceSelection& Selection() const { return m_selection; }
    const radar::TrafficHistory& History() const { return m_history; }
    const std::vector<radar::Conflict>& Conflicts() const { return m_conflicts; }
    const radar::AlertLog& Alerts() const { return m_alerts; }
    const radar::BlockMemory& Blocks() const { return m_blocks; }
    const std::vector<radar::RangeBearingLine>& RangeBearingLines() const { return m_lines; }
    const std::string& Highlighted() const { return m_highlight; }
    // Coordinating with the other controllers of the session (none: not coordinating).
    const coord::Coordinator* Coordinator() const { return m_coordinator.get(); }
    // What may be done with an aircraft now (claim, release, offer to, accept, refuse, point
    // out to, edit its strip), as the Traffic List and the scope offer it; none while not
    // coordinating or replaying. The menu is the caller's.
    std::unique_ptr<QMenu> CoordinationMenu(const std::string& callsign);
    bool Recording() const { return m_recorder.IsOpen(); }

    // Replays a recording in place of a session: the message loop takes the recorded ticks,
    // chat and roll calls are not sent, and a bar of controls plays, pauses, sets the speed
    // (1x, 4x, 16x) and the position.
    void StartReplay(std::unique_ptr<mplink::RecordingReader> recording);
    bool Replaying() const { return m_replay != nullptr; }
    std::size_t ReplayTicks() const { return m_replayIndex.size(); }
    // Plays on to the recorded tick `tick`, or from the start again to reach one before.
    void ReplaySeek(int tick);
    QPushButton* ReplayPlay = nullptr;
    QComboBox* ReplaySpeed = nullptr;
    QSlider* ReplaySlider = nullptr;
    QLabel* ReplayLabel = nullptr;

public slots:
    // Moves the view so that the point (longitude, latitude) is in its middle.
    void Center_Airport(double airpt_loc_x, double airpt_loc_y);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void Toolbar1_ButtonClick(int index);
    void Lock(bool windowToo);
    void Unlock();
    void CreateNewDatabase();
    void LoadSequence();
    void ProcessMessages();
    void RollCall();
    void SendChat();
    void AppendChat(const std::string& line);
    void Disconnect();
    void Repaint();
    void ViewChange(bool zoomIn);
    void ShowLevel();
    void PointerPressed(Qt::MouseButton button, double x, double y);
    void PointerMoved(double x, double y);
    void PointerReleased(Qt::MouseButton button);
    // Controller aids: the wheel, the middle button and the keys move the view.
    void WheelTurned(int notches, double x, double y);
    void Dragged(double dx, double dy);
    void KeyPressed(int key);
    radar::AidScene Scene() const;
    void FollowTraffic(const mplink::TickResult& tick, double now);
    void ShowAlerts();
    // Range and bearing lines and dragged blocks (form1_aids.cpp): true when the pointer
    // event was theirs.
    bool AidPressed(double x, double y);
    bool AidMoved(double x, double y);
    bool AidReleased(double x, double y);
    std::optional<std::string> TargetAt(radar::Pixel at) const;
    // Replay (form1_replay.cpp): one recorded tick through the message loop, and the bar's
    // controls.
    bool ReplayStep();
    void ShowReplayPosition(std::optional<std::size_t> dragged = std::nullopt);
    void ReplayAirport(const mplink::AirportChange& change);
    // The Traffic List window and what it asks of this one.
    void ShowTrafficList();
    void SetRecording(bool on);
    // Recording stops: "Record" unchecked and the reason shown.
    void RecordingFailed(const std::string& path = {});
    // Coordination (form1_coordination.cpp): the tick's messages and what they bring, a
    // recorded tick's in a replay, the views of it, and what the controller does.
    void Coordinate(const mplink::TickResult& tick);
    void ReplayCoordination(const mplink::RecordedTick& recorded, const mplink::TickResult& tick);
    void Coordinated(const coord::Events& events);
    void StopCoordinating();
    // Whether the coordinator's DirectPlay object is still the program's; if not, it stops.
    bool StillCoordinating();
    void ShowCoordination();
    Form11::CoordinationRows CoordinationRows() const;
    void SendAtc();
    void AppendAtc(const std::string& line);
    void Done(coord::Outcome outcome, const std::string& what, const std::string& why);
    void ShowControllers();
    void EditStrip(const std::string& callsign);
    std::int64_t WallMs() const;

    radar::View m_view;
    radar::TrafficHistory m_history;
    std::vector<radar::Conflict> m_conflicts;
    radar::AlertLog m_alerts;
    mutable radar::BlockMemory m_blocks;  // the blocks' places, kept by each repaint
    std::vector<radar::RangeBearingLine> m_lines;
    std::optional<radar::LineEnd> m_lineStart;  // Shift and the left button went down here
    std::optional<radar::LineEnd> m_lineEnd;    // where the line being drawn ends for now
    std::optional<std::string> m_blockDragged;  // the block the left button holds
    std::optional<radar::Pixel> m_pressedAt;    // where the left button went down
    double m_pointerLon = 0;                    // the pointer's last position
    double m_pointerLat = 0;
    double m_now = 0;  // the traffic's clock, seconds
    QElapsedTimer m_clock;
    QPointer<QWidget> m_trafficList;
    std::string m_highlight;  // the callsign selected in the traffic list
    mplink::RecordingWriter m_recorder;
    QElapsedTimer m_recordClock;
    struct ReplayMark {
        mplink::RecordingReader::Place place;
        std::int64_t ms = 0;
    };
    std::unique_ptr<mplink::RecordingReader> m_replay;
    std::vector<ReplayMark> m_replayIndex;  // where each recorded tick begins, and when
    std::size_t m_replayNext = 0;           // the next recorded tick
    std::size_t m_replayReaderAt = 0;       // the tick the reader reads next
    bool m_replaySeeking = false;           // playing without showing, to reach a tick
    std::int64_t m_recordedAirport = -1;    // the airport the recording shows now
    mplink::ReplayPort m_replayPort;
    radar::AirspaceSelection m_selection;
    double m_measureStartLat = 0;
    double m_measureStartLon = 0;
    std::unique_ptr<coord::DirectPlaySession> m_coordSession;
    std::weak_ptr<directplay::DirectPlay4> m_coordPlay;  // what m_coordSession talks through
    std::unique_ptr<coord::Coordinator> m_coordinator;
    struct PointOutShown {
        std::string callsign;
        std::string text;
        double until = 0;  // the traffic's clock
    };
    std::vector<PointOutShown> m_pointOuts;
    QPointer<QWidget> m_controllers;
    std::int16_t m_linkWatchdog = 0;
    bool m_disconnecting = false;
};

}  // namespace app
