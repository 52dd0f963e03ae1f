#include "app/form1.h"

#include <QCloseEvent>
#include <QCursor>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLocale>
#include <QStyle>
#include <QToolTip>
#include <QVBoxLayout>
#include <ctime>

#include "app/aid_settings.h"
#include "app/form11.h"

#include "directplay/directplay.h"
#include "link/link.h"
#include "loader/airport_area.h"
#include "loader/form5.h"
#include "model/airfields.h"
#include "model/own_files.h"
#include "model/shared_state.h"
#include "platform/file_system.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/painter_canvas.h"
#include "platform/ui/widget_text.h"
#include "platform/ui/windows.h"
#include "radar/pointer_readout.h"
#include "radar/scope.h"

namespace app {
namespace {

constexpr int kRepaintMs = 1000;
constexpr int kMessageLoopMs = 1000;
constexpr int kRollCallMs = 30000;

mplink::DirectPlayPort Port() {
    return mplink::DirectPlayPort(model::g_directPlay);
}

}  // namespace

Form1::Form1(QWidget* parent) : QWidget(parent) {
    setWindowTitle(QStringLiteral("Tarvolo v1.1"));
    Picture1 = platform::Named(new radar::ScopeWidget, "Picture1");
    Picture1->setMinimumSize(radar::kDesignWidthPx, radar::kDesignHeightPx);
    Label6 = platform::Named(new QLabel(QStringLiteral("Zoom:")), "Label6");
    Label7 = platform::Named(new QLabel(QStringLiteral("1x")), "Label7");
    Command5 = platform::Named(new QPushButton(QStringLiteral("> ZOOM IN <")), "Command5");
    Command6 = platform::Named(new QPushButton(QStringLiteral("< ZOOM OUT >")), "Command6");
    Command2 = platform::Named(new QPushButton(QStringLiteral("CENTER")), "Command2");
    Label1 = platform::Named(new QLabel(QStringLiteral("Mouse Coordinates:")), "Label1");
    Text1 = platform::Named(new QLineEdit(QStringLiteral("0.00000")), "Text1");
    Label2 = platform::Named(new QLabel, "Label2");
    Text2 = platform::Named(new QLineEdit(QStringLiteral("0.00000")), "Text2");
    Label3 = platform::Named(new QLabel, "Label3");
    Text1->setReadOnly(true);
    Text2->setReadOnly(true);
    RichTextBox1 = platform::Named(new QPlainTextEdit, "RichTextBox1");
    RichTextBox1->setReadOnly(true);
    RichTextBox1->setMaximumHeight(110);
    ListAlerts = platform::Named(new QListWidget, "ListAlerts");
    ListAlerts->setMaximumHeight(110);
    ListAlerts->setToolTip(QStringLiteral("Conflict alerts"));
    ListAlerts->setVisible(Aids().conflicts);  // shown while the conflict alert is on
    // The controllers' channel: hidden unless this controller coordinates with others.
    FrameAtc = platform::Named(new QWidget, "FrameAtc");
    RichTextAtc = platform::Named(new QPlainTextEdit, "RichTextAtc");
    RichTextAtc->setReadOnly(true);
    RichTextAtc->setMaximumHeight(84);
    RichTextAtc->setToolTip(QStringLiteral("The controllers' channel: pilots do not see it"));
    ComboAtc = platform::Named(new QComboBox, "ComboAtc");
    ComboAtc->addItem(QStringLiteral("All Controllers"));
    TextAtc = platform::Named(new QLineEdit, "TextAtc");
    CommandAtc = platform::Named(new QPushButton(QStringLiteral("Send")), "CommandAtc");
    {
        auto* atc = new QVBoxLayout(FrameAtc);
        atc->setContentsMargins(0, 0, 0, 0);
        atc->addWidget(RichTextAtc);
        auto* line = new QHBoxLayout;
        line->addWidget(ComboAtc);
        line->addWidget(TextAtc, 1);
        line->addWidget(CommandAtc);
        atc->addLayout(line);
    }
    FrameAtc->hide();
    Text3 = platform::Named(new QLineEdit, "Text3");
    Command1 = platform::Named(new QPushButton(QStringLiteral("Send")), "Command1");
    Command3 = platform::Named(new QPushButton(QStringLiteral("> Disconnect")), "Command3");
    Toolbar1 = platform::Named(new QToolBar, "Toolbar1");
    Toolbar1->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    const struct {
        const char* caption;
        QStyle::StandardPixmap icon;
    } buttons[] = {{"Goto Airport", QStyle::SP_DirOpenIcon},
                   {"Options", QStyle::SP_FileDialogDetailedView},
                   {"Create New Database", QStyle::SP_TrashIcon},
                   {"Airport General Info", QStyle::SP_MessageBoxInformation},
                   {"About", QStyle::SP_DialogHelpButton},
                   {"Traffic List", QStyle::SP_FileDialogListView},
                   {"Controllers", QStyle::SP_DirHomeIcon}};
    for (int i = 0; i < 7; ++i) {
        QAction* action = Toolbar1->addAction(style()->standardIcon(buttons[i].icon),
                                              QString::fromLatin1(buttons[i].caption));
        action->setObjectName(QStringLiteral("Button%1").arg(i + 1));
        connect(action, &QAction::triggered, this, [this, i] { Toolbar1_ButtonClick(i + 1); });
    }
    ToolbarButton(7)->setVisible(false);  // while coordinating

    auto* controls = new QHBoxLayout;
    controls->addWidget(Label6);
    controls->addWidget(Label7);
    controls->addWidget(Command5);
    controls->addWidget(Command6);
    controls->addWidget(Command2);
    controls->addStretch();
    // The pointer's coordinates on a line of their own, so that the window can open as narrow
    // as the scope.
    auto* coordinates = new QHBoxLayout;
    coordinates->addWidget(Label1);
    coordinates->addWidget(Text1);
    coordinates->addWidget(Label2);
    coordinates->addWidget(Text2);
    coordinates->addWidget(Label3);
    coordinates->addStretch();
    auto* chat = new QHBoxLayout;
    chat->addWidget(Text3, 1);
    chat->addWidget(Command1);
    auto* top = new QHBoxLayout;
    top->addWidget(Toolbar1, 1);
    top->addWidget(Command3);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(Picture1, 1);
    layout->addLayout(controls);
    layout->addLayout(coordinates);
    auto* logs = new QHBoxLayout;
    logs->addWidget(RichTextBox1, 2);
    logs->addWidget(ListAlerts, 1);
    layout->addLayout(logs);
    layout->addWidget(FrameAtc);
    layout->addLayout(chat);
    // The window opens with the scope at its design size; the user may make it larger.
    layout->activate();
    resize(minimumSizeHint());

    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(kRepaintMs);
    connect(Timer2, &QTimer::timeout, this, &Form1::Repaint);
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(kMessageLoopMs);
    connect(Timer1, &QTimer::timeout, this, &Form1::ProcessMessages);
    Timer3 = new QTimer(this);
    Timer3->setObjectName(QStringLiteral("Timer3"));
    Timer3->setInterval(kRollCallMs);
    connect(Timer3, &QTimer::timeout, this, &Form1::RollCall);
    Timer3->start();  // enabled in the design; the roll call itself waits for a joined session
    connect(Command1, &QPushButton::clicked, this, &Form1::SendChat);
    connect(Text3, &QLineEdit::returnPressed, this, &Form1::SendChat);
    connect(Command3, &QPushButton::clicked, this, &Form1::Disconnect);
    connect(CommandAtc, &QPushButton::clicked, this, &Form1::SendAtc);
    connect(TextAtc, &QLineEdit::returnPressed, this, &Form1::SendAtc);
    connect(Command5, &QPushButton::clicked, this, [this] { ViewChange(true); });
    connect(Command6, &QPushButton::clicked, this, [this] { ViewChange(false); });
    connect(Command2, &QPushButton::clicked, this,
            [this] { Center_Airport(model::g_airport.longitude, model::g_airport.latitude); });
    connect(Picture1, &radar::ScopeWidget::PointerPressed, this, &Form1::PointerPressed);
    connect(Picture1, &radar::ScopeWidget::PointerMoved, this, &Form1::PointerMoved);
    connect(Picture1, &radar::ScopeWidget::PointerReleased, this, &Form1::PointerReleased);
    connect(Picture1, &radar::ScopeWidget::WheelTurned, this, &Form1::WheelTurned);
    connect(Picture1, &radar::ScopeWidget::Dragged, this, &Form1::Dragged);
    connect(Picture1, &radar::ScopeWidget::KeyPressed, this, &Form1::KeyPressed);
    m_clock.start();
    Picture1->SetView(&m_view);

    if (model::g_connected) {
        LoadSequence();
    }
}

void Form1::LoadSequence() {
    setWindowTitle(QStringLiteral("Tarvolo v1.1 - ") + platform::ToQt(model::g_airport.name));
    model::g_pointerDown = false;
    // The scope's size is measured once; later resizing is not followed. The window is not on
    // screen yet, so its layout is applied first: before that the scope has Qt's default size
    // for a widget never shown, which is neither its minimum nor what the window gives it.
    layout()->activate();
    layout()->setGeometry(rect());
    const QSize size = Picture1->minimumSize().expandedTo(Picture1->size());
    m_view.m_scopeWidthPx = size.width();
    m_view.m_scopeHeightPx = size.height();
    Picture1->ResizePicture(size.width(), size.height());
    radar::ResetView(m_view);
    radar::CenterView(m_view, model::g_airport.longitude, model::g_airport.latitude);
    Center_Airport(model::g_airport.longitude, model::g_airport.latitude);
    while (m_view.m_zoomLevel < radar::kStartLevel) {
        radar::Zoom_In_Step(m_view);
    }
    ShowLevel();

    // The link's part of the load.
    model::g_showAirspaces = model::g_showAirportName = model::g_showParkings = true;
    model::g_showTaxiwayIds = model::g_showTaxiways = model::g_showILS = true;
    Timer1->start();
    Timer2->start();
    Timer3->start();
    m_linkWatchdog = mplink::kWatchdogSeconds;
    m_selection = {};
    try {
        Port().Send(model::g_localPlayerId, 0, mplink::EmptyMessage(mplink::MP_ROLL_CALL));
    } catch (const directplay::DirectPlayError&) {
        // The roll call every 30 s asks again.
    }
}

QAction* Form1::ToolbarButton(int index) const {
    const auto actions = Toolbar1->actions();
    return index >= 1 && index <= actions.size() ? actions[index - 1] : nullptr;
}

// While another window or a message is in front: the controls locked, and the window itself
// too when `windowToo`.
void Form1::Lock(bool windowToo) {
    loader::SetMainWindowControls(this, false);
    if (windowToo) {
        setEnabled(false);
    }
}

void Form1::Unlock() {
    loader::ReleaseMainWindow();
}

QString Form1::AirportInformation() {
    const auto& a = model::g_airport;
    const std::string text =
        "Airport Name: " + a.name + "\r\nICAO ID: " + a.ident + "\r\nATIS Freq: " + a.atisFreq +
        "\r\nClearance Freq: " + a.clearanceFreq + "\r\nGround Freq: " + a.groundFreq +
        "\r\nTower Freq: " + a.towerFreq + "\r\nDeparture Freq: " + a.departureFreq +
        "\r\nApproach Freq: " + a.approachFreq + "\r\nCenter Freq: " + a.centerFreq;
    return platform::ToQt(text);
}

void Form1::Toolbar1_ButtonClick(int index) {
    switch (index) {
        case 1:
            Lock(true);
            platform::ShowWindow(QStringLiteral("Form5"));
            break;
        case 2:
            Lock(true);
            platform::ShowWindow(QStringLiteral("Form10"));
            break;
        case 3:
            Lock(true);
            CreateNewDatabase();
            break;
        case 4:
            Lock(false);
            platform::ShowMessage(this, platform::MessageIcon::Information,
                                  QStringLiteral("Tarvolo Information"), AirportInformation());
            Unlock();
            break;
        case 5:
            Lock(true);
            platform::ShowWindow(QStringLiteral("Form7"));
            break;
        case 6:
            ShowTrafficList();  // beside the scope, which stays in use
            break;
        case 7:
            ShowControllers();
            break;
        default:
            break;
    }
}

void Form1::CreateNewDatabase() {
    if (!platform::AskOkCancel(this, QStringLiteral("Tarvolo Message"),
                               QStringLiteral("Do you want to delete the current database files to "
                                              "then create new database files?"))) {
        Unlock();
        return;
    }
    // The airspace list stays; a file that cannot be deleted is passed over.
    const platform::FileSystem files;
    files.Remove(platform::OwnFilePath(model::kSettingsFileName));
    files.Remove(platform::OwnFilePath(model::kAirportsFileName));
    StopCoordinating();
    if (model::g_directPlay) {
        try {
            model::g_directPlay->DestroyPlayer(model::g_localPlayerId);
        } catch (const directplay::DirectPlayError&) {
        }
        try {
            model::g_directPlay->Close();
        } catch (const directplay::DirectPlayError&) {
        }
    }
    mplink::ReleaseDirectPlay();
    platform::ShowMessage(
        this, platform::MessageIcon::Information, QStringLiteral("Tarvolo Message"),
        QStringLiteral(
            "The current database files were deleted, now you must re-run or restart Tarvolo for "
            "then create new database files. Now the program will end."));
    m_disconnecting = true;  // the program ends here: closing must not open the Connection window
    platform::EndProgram();
}

void Form1::ProcessMessages() {
    if (m_replay) {
        // One timer tick plays as many recorded ticks as the speed says.
        const int ticks = 1 << (2 * ReplaySpeed->currentIndex());
        for (int i = 0; i < ticks && ReplayStep(); ++i) {
        }
        ShowReplayPosition();
        return;
    }
    auto port = Port();
    mplink::RecordingPort recording(port, m_recorder, [this] { return m_recordClock.elapsed(); });
    mplink::LinkPort& loopPort =
        m_recorder.IsOpen() ? static_cast<mplink::LinkPort&>(recording) : port;
    const auto seconds = [this] { return static_cast<double>(m_clock.elapsed()) / 1000.0; };
    const mplink::TickResult tick = mplink::ProcessMessages(loopPort, m_linkWatchdog, seconds);
    for (const std::string& line : tick.chatLines)
        AppendChat(line);
    Coordinate(tick);
    if (m_recorder.IsOpen())
        m_recorder.Tick(m_recordClock.elapsed());
    FollowTraffic(tick, seconds());
    // The tick's work is done before the box's own event loop can run the next tick.
    if (m_recorder.IsOpen() && m_recorder.Failed())
        RecordingFailed();
    const char* text = nullptr;
    if (tick.end == mplink::TickEnd::SessionLost)
        text = "The multiplayer connection is lost, Tarvolo closes multiplayer session.";
    else if (tick.end == mplink::TickEnd::Removed)
        text =
            "The host had removed you from the multiplayer session, Tarvolo closes multiplayer "
            "session.";
    if (!text)
        return;
    Timer1->stop();  // no second notice while the box is open
    platform::ShowMessage(this, platform::MessageIcon::Information,
                          QStringLiteral("Tarvolo Message"), QString::fromLatin1(text));
    Disconnect();
}

// Each report into its aircraft's track, whatever the table holds; the conflict alert's
// encounters into the alert list, never into the pilots' chat.
void Form1::FollowTraffic(const mplink::TickResult& tick, double now) {
    for (const mplink::PositionReport& report : tick.reports)
        m_history.Add(report.name, {report.latitude, report.longitude, report.altitude, report.t},
                      report.player);
    for (std::int32_t player : tick.departed)
        m_history.Depart(player);
    m_history.Expire(now);
    m_blocks.Retain(m_history.Names());
    m_now = now;
    auto* list = m_replaySeeking ? nullptr : qobject_cast<Form11*>(m_trafficList.data());
    if (list)
        list->Refresh(radar::BuildTrafficList(model::g_traffic, model::g_trafficCount, m_history,
                                              model::g_airport, now),
                      CoordinationRows());
    const radar::AidSettings& aids = Aids();
    if (aids.conflicts) {
        m_conflicts =
            radar::FindConflicts(m_history, aids, now, {&model::g_airfields, &model::g_airport});
        m_alerts.Update(m_conflicts, now);
    } else {
        m_conflicts.clear();
        m_alerts.Clear();
    }
    if (!m_replaySeeking)
        ShowAlerts();
}

void Form1::ShowAlerts() {
    ListAlerts->setVisible(Aids().conflicts);
    const auto& entries = m_alerts.Entries();
    // Newest first; encounters that have ended stay, greyed.
    while (ListAlerts->count() > static_cast<int>(entries.size()))
        delete ListAlerts->takeItem(ListAlerts->count() - 1);
    while (ListAlerts->count() < static_cast<int>(entries.size()))
        ListAlerts->addItem(QString());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const radar::AlertEntry& entry = entries[entries.size() - 1 - i];
        QListWidgetItem* item = ListAlerts->item(static_cast<int>(i));
        item->setText(platform::ToQt(radar::AlertText(entry)));
        item->setForeground(entry.active ? QColor(220, 0, 0) : QColor(128, 128, 128));
    }
}

void Form1::ShowTrafficList() {
    auto* list = qobject_cast<Form11*>(platform::ShowWindow(QStringLiteral("Form11")));
    if (!list || list == m_trafficList)
        return;
    m_trafficList = list;
    list->Check1->setChecked(m_recorder.IsOpen());
    list->Check1->setEnabled(m_replay == nullptr);  // a replay is a recording already
    connect(list, &Form11::highlightChanged, this, [this](const QString& callsign) {
        m_highlight = platform::FromQt(callsign);
        Repaint();
    });
    connect(list, &Form11::centreOn, this, &Form1::Center_Airport);
    connect(list, &Form11::recordToggled, this, &Form1::SetRecording);
    connect(list, &Form11::menuAsked, this, [this](const QString& callsign, const QPoint& at) {
        if (auto menu = CoordinationMenu(platform::FromQt(callsign))) {
            menu->setAttribute(Qt::WA_DeleteOnClose);
            menu.release()->popup(at);
        }
    });
    list->SetCoordinating(m_coordinator != nullptr);
    // The traffic's own clock: the session's, or the recording's in a replay.
    list->Refresh(radar::BuildTrafficList(model::g_traffic, model::g_trafficCount, m_history,
                                          model::g_airport, m_now),
                  CoordinationRows());
}

// Records the session into the working directory, named after the date and time (with a
// number after it where a recording of that second exists).
void Form1::SetRecording(bool on) {
    if (!on) {
        if (m_recorder.IsOpen() && !m_recorder.Close())
            RecordingFailed();
        return;
    }
    if (m_recorder.IsOpen())
        return;
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    mplink::RecordingHeader header;
    header.airportIndex = loader::LoadedAirportIndex();
    header.airportName = model::g_airport.name;
    header.startUnixMs = static_cast<std::int64_t>(now) * 1000;
    header.localPlayer = model::g_localPlayerId;
    if (!m_recorder.Open(mplink::RecordingFileName(local), header)) {
        RecordingFailed(mplink::RecordingFileName(local));
        return;
    }
    m_recordedAirport = header.airportIndex;
    m_recordClock.start();
}

void Form1::RecordingFailed(const std::string& path) {
    const std::string shown = path.empty() ? m_recorder.Path() : path;
    const std::string why = m_recorder.Error();
    m_recorder.Close();
    if (auto* list = qobject_cast<Form11*>(m_trafficList.data())) {
        const QSignalBlocker quiet(list->Check1);
        list->Check1->setChecked(false);
    }
    platform::ShowMessage(this, platform::MessageIcon::Exclamation,
                          QStringLiteral("Tarvolo Message"),
                          platform::ToQt("Tarvolo cannot record the session into " + shown + ": " +
                                         why + " Recording has stopped."));
}

radar::AidScene Form1::Scene() const {
    radar::AidScene scene{
        Aids(),  &m_history, m_conflicts, m_now, {&model::g_airfields, &model::g_airport},
        m_lines, &m_blocks,  {},          {},    {}};
    if (m_lineStart && m_lineEnd)
        scene.lines.push_back({*m_lineStart, *m_lineEnd});  // the one being drawn
    if (m_coordinator) {
        // Only what is drawn: finding an airport searches every field of the database.
        if (scene.settings.owners)
            for (const auto& [callsign, ownership] : m_coordinator->Board().OwnersList())
                scene.owners[callsign] = m_coordinator->PositionOf(ownership.owner);
        for (const PointOutShown& pointOut : m_pointOuts)
            if (pointOut.until > m_now)
                scene.pointOuts.push_back({pointOut.callsign, pointOut.text});
        if (scene.settings.controllerAirports)
            for (const auto& [player, controller] : m_coordinator->Board().Controllers()) {
                const model::Airfield* field = model::g_airfields.Find(controller.airport);
                if (player != m_coordinator->Me() && field)
                    scene.sites.push_back({controller.position, field->latitude, field->longitude});
            }
    }
    return scene;
}

void Form1::RollCall() {
    if (!model::g_sessionJoined || m_replay)
        return;
    auto port = Port();
    mplink::RollCall(port);
    if (m_recorder.IsOpen())
        m_recorder.RollCall(m_recordClock.elapsed());  // the table was emptied here
}

void Form1::SendChat() {
    if (m_replay)
        return;  // a replay speaks to nobody
    auto port = Port();
    if (const auto line = mplink::SendChat(port, platform::FromQt(Text3->text()))) {
        AppendChat(*line);
        if (m_recorder.IsOpen())
            m_recorder.OwnChat(m_recordClock.elapsed(), *line);
    }
    Text3->clear();
}

void Form1::AppendChat(const std::string& line) {
    // The log only grows; each line ends the way the original's carriage return and line
    // feed ended it: as a new line.
    RichTextBox1->appendPlainText(platform::ToQt(line));
}

void Form1::Disconnect() {
    if (m_replay) {
        close();  // leaving a replay ends the program: there is no session to go back to
        return;
    }
    m_recorder.Close();
    if (m_trafficList)
        m_trafficList->close();
    if (m_controllers)
        m_controllers->close();
    StopCoordinating();  // before the DirectPlay object it talks through goes
    if (m_disconnecting)
        return;
    m_disconnecting = true;
    Command3->setText(QStringLiteral("PLEASE WAIT..."));
    Command3->repaint();
    if (model::g_directPlay) {
        try {
            model::g_directPlay->DestroyPlayer(model::g_localPlayerId);
        } catch (const directplay::DirectPlayError&) {
        }
        try {
            model::g_directPlay->Close();
        } catch (const directplay::DirectPlayError&) {
        }
    }
    mplink::ReleaseDirectPlay();
    Timer1->stop();
    Timer2->stop();
    Timer3->stop();
    model::g_sessionJoined = false;
    model::g_connected = false;
    mplink::ClearTraffic();
    mplink::InitDirectPlay();
    close();
    platform::ShowWindow(QStringLiteral("Form2"));
}

void Form1::closeEvent(QCloseEvent* event) {
    event->accept();
    if (m_replay) {
        platform::EndProgram();
        return;
    }
    // Closing by the close box leaves the session the same way as "> Disconnect".
    if (model::g_connected && !m_disconnecting)
        Disconnect();
}

void Form1::ShowLevel() {
    Label7->setText(QString::number(m_view.m_zoomLevel) + QStringLiteral("x"));
    Label7->repaint();
}

void Form1::Repaint() {
    {
        platform::PainterCanvas canvas(Picture1->Picture());
        canvas.Clear();
        const radar::AidScene scene = Scene();
        radar::DrawUnderlay(canvas, m_view, &scene);
        radar::Redraw_Scope(canvas, m_view, m_selection);
        radar::DrawTrafficLayer(canvas, m_view, &scene);
        if (!m_highlight.empty())
            radar::DrawHighlight(canvas, m_view, model::g_traffic, model::g_trafficCount,
                                 m_highlight);
    }
    Picture1->update();
}

void Form1::ViewChange(bool zoomIn) {
    Timer2->stop();
    const bool changed = zoomIn ? radar::Zoom_In_Step(m_view) : radar::Zoom_Out_Step(m_view);
    if (changed) {
        ShowLevel();
    }
    Repaint();
    Timer2->start();
}

void Form1::WheelTurned(int notches, double x, double y) {
    if (!Aids().wheelAndPan || model::g_pointerDown)
        return;
    Timer2->stop();
    bool changed = false;
    for (int i = 0; i < std::abs(notches); ++i)
        changed = radar::ZoomAbout(m_view, notches > 0, x, y) || changed;
    if (changed)
        ShowLevel();
    Repaint();
    Timer2->start();
}

void Form1::Dragged(double dx, double dy) {
    if (!Aids().wheelAndPan || model::g_pointerDown)
        return;
    radar::PanPixels(m_view, dx, dy);
    Repaint();
}

void Form1::KeyPressed(int key) {
    if (key == Qt::Key_Escape && !m_lines.empty()) {
        m_lines.pop_back();  // the range and bearing line drawn last
        Repaint();
        return;
    }
    if (!Aids().wheelAndPan || model::g_pointerDown)
        return;
    const double stepX = m_view.m_scopeWidthPx / 10.0;
    const double stepY = m_view.m_scopeHeightPx / 10.0;
    switch (key) {
        case Qt::Key_Left:
            return Dragged(stepX, 0);
        case Qt::Key_Right:
            return Dragged(-stepX, 0);
        case Qt::Key_Up:
            return Dragged(0, stepY);
        case Qt::Key_Down:
            return Dragged(0, -stepY);
        case Qt::Key_Plus:
        case Qt::Key_Equal:
            return ViewChange(true);
        case Qt::Key_Minus:
            return ViewChange(false);
        case Qt::Key_Home:
            return Center_Airport(model::g_airport.longitude, model::g_airport.latitude);
        default:
            return;
    }
}

void Form1::Center_Airport(double airpt_loc_x, double airpt_loc_y) {
    // GET AIRPORT in the Airport Area ends here: a recording notes the new airport.
    if (m_recorder.IsOpen() && !m_replay && loader::LoadedAirportIndex() != m_recordedAirport) {
        m_recordedAirport = loader::LoadedAirportIndex();
        m_recorder.Airport(m_recordClock.elapsed(), m_recordedAirport, model::g_airport.name);
    }
    Timer2->stop();
    radar::CenterView(m_view, airpt_loc_x, airpt_loc_y);
    Repaint();
    Timer2->start();
}

void Form1::PointerPressed(Qt::MouseButton button, double x, double y) {
    // The pointer's position as the single-precision values pointer events carry.
    x = static_cast<float>(x);
    y = static_cast<float>(y);
    m_pointerLon = x;
    m_pointerLat = y;
    if (button == Qt::LeftButton && AidPressed(x, y))
        return;
    if (button == Qt::LeftButton) {
        m_pressedAt = radar::Geo_To_Pixel(m_view, y, x);
        m_measureStartLat = y;
        m_measureStartLon = x;
        model::g_pointerDown = true;
        Timer2->stop();
    } else if (button == Qt::RightButton) {
        // Coordinating, the right button on a target opens what may be done with it.
        const auto target = m_coordinator ? TargetAt(radar::Geo_To_Pixel(m_view, y, x))
                                          : std::optional<std::string>();
        if (auto menu = target ? CoordinationMenu(*target) : nullptr) {
            menu->setAttribute(Qt::WA_DeleteOnClose);
            menu.release()->popup(QCursor::pos());
            return;
        }
        Center_Airport(x, y);
    }
}

void Form1::PointerReleased(Qt::MouseButton button) {
    // Where the button came up, as the single-precision values pointer events carry.
    m_pointerLon = static_cast<float>(Picture1->LastPointer().longitude);
    m_pointerLat = static_cast<float>(Picture1->LastPointer().latitude);
    if (button == Qt::LeftButton && AidReleased(m_pointerLon, m_pointerLat))
        return;
    if (button == Qt::LeftButton) {
        m_measureStartLat = 0;
        m_measureStartLon = 0;
        model::g_pointerDown = false;
        Timer2->start();
        // A click on a range and bearing line takes it away.
        const radar::Pixel at = radar::Geo_To_Pixel(m_view, m_pointerLat, m_pointerLon);
        const bool click = m_pressedAt && std::abs(at.x - m_pressedAt->x) <= 2 &&
                           std::abs(at.y - m_pressedAt->y) <= 2;
        m_pressedAt.reset();
        if (click && !m_lines.empty()) {
            const auto targets =
                radar::PositionsOf(model::g_traffic, model::g_trafficCount, m_history);
            if (const auto line = radar::LineNear(m_view, m_lines, targets, at.x, at.y)) {
                m_lines.erase(m_lines.begin() + static_cast<std::ptrdiff_t>(*line));
                Repaint();
            }
        }
    }
}

void Form1::PointerMoved(double x, double y) {
    if (!Picture1->toolTip().isEmpty()) {
        Picture1->setToolTip(QString());
        QToolTip::hideText();
        Picture1->update();
    }
    if (!m_selection.m_selAirspaceMark.empty() && !m_selection.m_selAirspaceClass.empty()) {
        m_selection = {};
    }
    // The pointer's position as the single-precision values pointer events carry: read-out,
    // measuring and inspection all work on them.
    x = static_cast<float>(x);
    y = static_cast<float>(y);
    const radar::CoordinateTexts texts = radar::PointerCoordinates(
        static_cast<float>(x), static_cast<float>(y), QLocale().decimalPoint().toStdString());
    Text1->setText(QString::fromStdString(texts.longitude));
    Label2->setText(QString::fromStdString(texts.longitudeLetter));
    Text2->setText(QString::fromStdString(texts.latitude));
    Label3->setText(QString::fromStdString(texts.latitudeLetter));
    m_pointerLon = x;
    m_pointerLat = y;
    if (AidMoved(x, y))
        return;

    if (model::g_pointerDown) {
        {
            platform::PainterCanvas canvas(Picture1->Picture());
            const radar::AidScene scene = Scene();
            radar::DrawMeasurement(
                canvas, m_view, radar::Measure(m_view, m_measureStartLat, m_measureStartLon, y, x),
                m_selection, &scene);
        }
        Picture1->update();
        return;
    }
    if (!Timer2->isActive()) {
        return;  // a view change, a locked window or a measurement: no inspection
    }
    const radar::Inspection found = radar::InspectPointer(m_view, x, y, &Aids());
    if (!found.selection.m_selAirspaceMark.empty()) {
        m_selection = found.selection;
    }
    if (!found.text.empty()) {
        // Shown at once at the pointer, not after the usual hover delay.
        Picture1->setToolTip(platform::ToQt(found.text));
        QToolTip::showText(QCursor::pos(), Picture1->toolTip(), Picture1);
        Picture1->update();
    }
}

}  // namespace app
