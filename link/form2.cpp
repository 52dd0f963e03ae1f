#include "link/form2.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "directplay/directplay.h"
#include "link/link.h"
#include "model/shared_state.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/widget_text.h"
#include "platform/ui/windows.h"

namespace mplink {
namespace {

namespace dp = directplay;

const QString kTitle = QStringLiteral("Tarvolo Message");

void Tell(QWidget* parent, platform::MessageIcon icon, const char* text) {
    platform::ShowMessage(parent, icon, kTitle, QString::fromLatin1(text));
}

void SendFromLocal(std::int32_t type) {
    DirectPlayPort port(model::g_directPlay);
    port.Send(model::g_localPlayerId, 0, EmptyMessage(type));
}

}  // namespace

Form2::Form2(QWidget* parent, std::vector<std::uint8_t> playerData)
    : QWidget(parent), m_playerData(std::move(playerData)) {
    setWindowTitle(QStringLiteral("Tarvolo v1.1 - Connection"));
    List1 = platform::Named(new QListWidget, "List1");
    Command1 = platform::Named(new QPushButton(QStringLiteral("Locate Session")), "Command1");
    List2 = platform::Named(new QListWidget, "List2");
    Text1 = platform::Named(new QLineEdit(QStringLiteral("ATC Controller")), "Text1");
    Command2 = platform::Named(new QPushButton(QStringLiteral("Join Session")), "Command2");
    Command3 = platform::Named(new QPushButton(QStringLiteral("Exit")), "Command3");
    Label5 = platform::Named(new QLabel(QStringLiteral("-None-")), "Label5");
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(30000);

    auto* types = new QGroupBox(QStringLiteral("Connections Types"));
    auto* typesLayout = new QVBoxLayout(types);
    typesLayout->addWidget(new QLabel(QStringLiteral("Avaible Connections Types:")));
    typesLayout->addWidget(List1);
    typesLayout->addWidget(Command1);
    auto* sessions = new QGroupBox(QStringLiteral("Avaible FS98 Sessions"));
    auto* sessionsLayout = new QGridLayout(sessions);
    sessionsLayout->addWidget(new QLabel(QStringLiteral("Sessions:")), 0, 0, 1, 2);
    sessionsLayout->addWidget(List2, 1, 0, 1, 2);
    sessionsLayout->addWidget(new QLabel(QStringLiteral("Nickname:")), 2, 0);
    sessionsLayout->addWidget(Text1, 2, 1);
    sessionsLayout->addWidget(Command2, 3, 1);
    auto* status = new QHBoxLayout;
    status->addWidget(new QLabel(QStringLiteral("STATUS:")));
    status->addWidget(Label5, 1);
    status->addWidget(Command3);
    auto* layout = new QVBoxLayout(this);
    auto* frames = new QHBoxLayout;
    frames->addWidget(types);
    frames->addWidget(sessions);
    layout->addLayout(frames);
    layout->addLayout(status);
    resize(620, 300);

    connect(List1, &QListWidget::itemClicked, this, [this] { ResetConnectionWindow(); });
    connect(Command1, &QPushButton::clicked, this, &Form2::LocateSession);
    connect(Command2, &QPushButton::clicked, this, &Form2::JoinSession);
    connect(Command3, &QPushButton::clicked, this, [this] { close(); });
    connect(Timer1, &QTimer::timeout, this, &Form2::Timer1_Timer);
    connect(Timer2, &QTimer::timeout, this, &Form2::Timer2_Timer);

    // Window load. The first connection type DirectPlay lists is never offered.
    m_joined = false;
    InitDirectPlay();
    const std::int32_t n = model::g_connectionList->GetCount();
    List1->clear();
    for (std::int32_t i = 2; i <= n; ++i)
        List1->addItem(platform::ToQt(model::g_connectionList->GetName(i)));
}

void Form2::SetStatus(const QString& text, bool repaintNow) {
    Label5->setText(text);
    if (repaintNow)
        Label5->repaint();
}

void Form2::EnableLocating(bool enabled) {
    List1->setEnabled(enabled);
    Command1->setEnabled(enabled);
}

int Form2::SelectedLine(const QListWidget* list) const {
    const auto selected = list->selectedItems();
    return selected.isEmpty() ? -1 : list->row(selected.front());
}

void Form2::ResetConnectionWindow() {
    Command2->setEnabled(true);  // whatever join there was has ended
    ReleaseDirectPlay();
    List2->clear();
    Timer1->stop();
    Timer2->stop();
    SetStatus(QStringLiteral("Disconnected"), false);
    InitDirectPlay();
}

void Form2::LocateSession() {
    ResetConnectionWindow();
    EnableLocating(false);
    SetStatus(QStringLiteral("Looking for FS Server..."), true);
    const int line = SelectedLine(List1);
    if (line < 0) {
        Tell(this, platform::MessageIcon::Information, "Please Select one Type of Connection");
        EnableLocating(true);
        ResetConnectionWindow();
        return;
    }
    const char* failure = nullptr;
    platform::MessageIcon icon = platform::MessageIcon::Information;
    try {
        // Failure A: choosing the provider and enumerating.
        auto address = model::g_connectionList->GetAddress(line + 2);
        model::g_directPlay->InitializeConnection(address);
        auto description = model::g_directPlay->CreateSessionData();
        description->SetGuidApplication("");
        description->SetSessionPassword("");
        model::g_sessionList =
            model::g_directPlay->GetDPEnumSessions(*description, 0, dp::kEnumAvailable);
    } catch (const dp::DirectPlayError&) {
        failure = "Error, Canceled Connection. Try to Locate Session Again.";
    }
    if (!failure) {
        try {
            // Failure B: listing what was found.
            const std::int32_t n = model::g_sessionList->GetCount();
            for (std::int32_t i = 1; i <= n; ++i) {
                const auto item = model::g_sessionList->GetItem(i);
                List2->addItem(platform::ToQt(item->GetSessionName()) + QStringLiteral(" (") +
                               QString::number(item->GetCurrentPlayers()) + QStringLiteral("/") +
                               QString::number(item->GetMaxPlayers()) + QStringLiteral(")"));
            }
        } catch (const dp::DirectPlayError&) {
            failure = "Error in Enumeration of Multiplayer Sessions. Try to Locate Session Again.";
            icon = platform::MessageIcon::Exclamation;
        }
    }
    if (failure) {
        Tell(this, icon, failure);
        EnableLocating(true);
        ResetConnectionWindow();
        return;
    }
    EnableLocating(true);
    if (List2->count() > 0 && !List2->item(0)->text().isEmpty()) {
        SetStatus(QStringLiteral("Done"), true);
    } else {
        ResetConnectionWindow();  // nothing found: back to idle without a word
    }
}

void Form2::JoinSession() {
    const int line = SelectedLine(List2);
    const bool lineOk = line >= 0 && !List2->item(line)->text().isEmpty();
    if (!lineOk || Text1->text().isEmpty()) {
        if (line < 0)
            Tell(this, platform::MessageIcon::Exclamation,
                 "Please select a FS Multiplayer Session.");
        if (Text1->text().isEmpty())
            Tell(this, platform::MessageIcon::Exclamation, "Please write a nickname.");
        ResetConnectionWindow();
        return;
    }
    EnableLocating(false);
    Command2->setEnabled(false);  // one join at a time, until it is answered or has failed
    SetStatus(QStringLiteral("Connecting..."), true);
    const char* failure = nullptr;
    try {
        const auto description = model::g_sessionList->GetItem(line + 1);
        model::g_directPlay->Open(*description, dp::kOpenJoin);
    } catch (const dp::DirectPlayError&) {
        failure = "Failed to Join Game. Try to Locate Session Again.";
    }
    if (!failure) {
        try {
            const std::string name = platform::FromQt(Text1->text());
            model::g_localPlayerId =
                m_playerData.empty()
                    ? model::g_directPlay->CreatePlayer(name, "Player", 0, 0)
                    : model::g_directPlay->CreatePlayer(name, "Player", m_playerData);
            // No player (ID 0) would leave the window waiting for ever: it counts as a failure.
            if (!model::HasLocalPlayer())
                failure = "Failed to Create Player. Try to Locate Session Again.";
        } catch (const dp::DirectPlayError&) {
            failure = "Failed to Create Player. Try to Locate Session Again.";
        }
    }
    if (failure) {
        Tell(this, platform::MessageIcon::Exclamation, failure);
        EnableLocating(true);
        ResetConnectionWindow();
        return;
    }
    try {
        SendFromLocal(MP_JOIN_REQUEST);
    } catch (const dp::DirectPlayError&) {
        // The pending-join message every 30 s asks again.
    }
    Timer1->start();
    Timer2->start();
}

void Form2::Timer2_Timer() {
    if (!model::HasLocalPlayer())
        return;
    try {
        SendFromLocal(MP_JOIN_PENDING);
    } catch (const dp::DirectPlayError&) {
        // Tried again in 30 s.
    }
}

void Form2::Timer1_Timer() {
    DirectPlayPort port(model::g_directPlay);
    const JoinAnswer answer = PollJoinAnswer(port);
    if (answer == JoinAnswer::Waiting)
        return;
    // Both timers stop before the box: a message box runs an event loop, and a tick meanwhile
    // would handle a second answer under this one.
    Timer1->stop();
    Timer2->stop();
    if (answer == JoinAnswer::Accepted) {
        m_joined = true;
        Tell(this, platform::MessageIcon::Information, "Connected To FS Session!");
        model::g_sessionJoined = true;
        model::g_connected = true;
        SetStatus(QStringLiteral("Connected"), true);
        close();
        platform::ShowWindow(QStringLiteral("Form1"));
        return;
    }
    Tell(this, platform::MessageIcon::Information, "Connection Refused");
    EnableLocating(true);
    ResetConnectionWindow();
}

void Form2::closeEvent(QCloseEvent* event) {
    event->accept();
    if (m_joined)
        return;  // closing because the host accepted us
    ReleaseDirectPlay();
    List2->clear();
    Timer1->stop();
    Timer2->stop();
    SetStatus(QStringLiteral("Disconnected"), false);
    platform::EndProgram();
}

}  // namespace mplink
