#include "loader/form5.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "loader/airport_area.h"
#include "model/shared_state.h"
#include "platform/ansi.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/widget_text.h"
#include "platform/ui/windows.h"

namespace loader {
namespace {

constexpr int kStartupDelayMs = 1000;

// The main window's controls that its lock disables, in their order.
constexpr const char* kLockedControls[] = {"Picture1", "Timer1",   "Timer2",   "Command1",
                                           "Command2", "Command5", "Command6", "Command3",
                                           "Toolbar1", "Text1",    "Text2",    "Text3"};

}  // namespace

void SetMainWindowControls(QWidget* main, bool enabled) {
    for (const char* name : kLockedControls) {
        QObject* control = main->findChild<QObject*>(QString::fromLatin1(name));
        if (auto* timer = qobject_cast<QTimer*>(control)) {
            enabled ? timer->start() : timer->stop();
        } else if (auto* widget = qobject_cast<QWidget*>(control)) {
            widget->setEnabled(enabled);
        }
    }
}

void ReleaseMainWindow() {
    QWidget* main = platform::ExistingWindow(QStringLiteral("Form1"));
    if (main == nullptr) {
        return;
    }
    main->setEnabled(true);
    SetMainWindowControls(main, true);
}

Form5::Form5(QWidget* parent) : QWidget(parent) {
    setWindowTitle(QStringLiteral("Tarvolo v1.1 - Airport Area"));

    Label1 = platform::Named(new QLabel(QStringLiteral("Name of Airport:")), "Label1");
    Label2 = platform::Named(new QLabel(QStringLiteral("Example: Eldorado Intl")), "Label2");
    Text1 = platform::Named(new QLineEdit, "Text1");
    Command1 = platform::Named(new QPushButton(QStringLiteral("SEARCH AIRPORT")), "Command1");
    Label3 = platform::Named(new QLabel(QStringLiteral("Airport Search Results:")), "Label3");
    List1 = platform::Named(new QListWidget, "List1");
    Frame1 = platform::Named(new QGroupBox(QStringLiteral("Select the Airport Name")), "Frame1");
    Command3 = platform::Named(new QPushButton(QStringLiteral("GET AIRPORT")), "Command3");
    Command2 = platform::Named(new QPushButton(QStringLiteral("EXIT")), "Command2");
    Label4 = platform::Named(new QLabel(QStringLiteral("Status:")), "Label4");
    Text2 = platform::Named(new QLineEdit(QStringLiteral("-None-")), "Text2");
    Text2->setReadOnly(true);
    ProgressBar1 = platform::Named(new QProgressBar, "ProgressBar1");
    ProgressBar1->setValue(0);

    auto* search = new QGridLayout;
    search->addWidget(Label1, 0, 0);
    search->addWidget(Text1, 0, 1);
    search->addWidget(Command1, 0, 2);
    search->addWidget(Label2, 1, 1);
    auto* frameLayout = new QHBoxLayout(Frame1);
    frameLayout->addStretch();
    frameLayout->addWidget(Command3);
    frameLayout->addWidget(Command2);
    auto* statusRow = new QHBoxLayout;
    statusRow->addWidget(Label4);
    statusRow->addWidget(Text2, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(search);
    layout->addWidget(Label3);
    layout->addWidget(List1, 1);
    layout->addWidget(Frame1);
    layout->addLayout(statusRow);
    layout->addWidget(ProgressBar1);
    resize(520, 440);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(kStartupDelayMs);
    connect(Timer1, &QTimer::timeout, this, &Form5::StartupRead);
    connect(Command1, &QPushButton::clicked, this, &Form5::SearchAirport);
    connect(Text1, &QLineEdit::returnPressed, this, &Form5::SearchAirport);
    connect(Command3, &QPushButton::clicked, this, &Form5::GetAirport);
    connect(List1, &QListWidget::itemDoubleClicked, this, &Form5::GetAirport);
    connect(Command2, &QPushButton::clicked, this, &Form5::Command2_Click);

    // The window's load: it is painted before the reading starts.
    Timer1->start();
}

void Form5::SetStatus(const QString& text) {
    Text2->setText(text);
    Text2->repaint();
}

void Form5::SetInputsEnabled(bool enabled) {
    for (QWidget* input : {static_cast<QWidget*>(Text1), static_cast<QWidget*>(Command1),
                           static_cast<QWidget*>(Command2), static_cast<QWidget*>(Command3)}) {
        input->setEnabled(enabled);
    }
}

void Form5::StartupRead() {
    m_airportLoaded = false;
    SetInputsEnabled(false);
    SetStatus(QStringLiteral("Reading Magvars..."));
    const bool magvarsRead = ReadMagvars();
    SetStatus(QStringLiteral("Reading Airports..."));
    QStringList problems;
    if (const auto problem = ReadAirports()) {
        problems << platform::ToQt(*problem);
    }
    SetStatus(QStringLiteral("Reading Airspaces Files List..."));
    if (const auto problem = ReadAirspaceFileList()) {
        problems << platform::ToQt(*problem);
    }
    SetInputsEnabled(true);
    Timer1->stop();
    SetStatus(magvarsRead
                  ? QStringLiteral("Done")
                  : QStringLiteral("Done (magdec.bgl could not be read: no magnetic variation)"));
    for (const QString& problem : problems) {
        platform::ShowMessage(this, platform::MessageIcon::Exclamation,
                              QStringLiteral("Tarvolo Message"), problem);
    }
}

void Form5::SearchAirport() {
    if (Text1->text().isEmpty() || model::g_airportCount < 1) {
        return;
    }
    List1->clear();
    SetStatus(QStringLiteral("Searching..."));
    SetInputsEnabled(false);
    QStringList lines;
    for (const std::string& line : loader::SearchAirport(platform::FromQt(Text1->text()))) {
        lines << platform::ToQt(line);
    }
    List1->addItems(lines);
    SetStatus(QStringLiteral("Done"));
    SetInputsEnabled(true);
}

void Form5::GetAirport() {
    // Only a selected line counts: the current item stays current after Ctrl+click deselects
    // it, and focus alone makes an item current.
    const QList<QListWidgetItem*> selected = List1->selectedItems();
    if (List1->count() == 0 || List1->item(0)->text().isEmpty() || selected.isEmpty()) {
        return;
    }
    SetStatus(QStringLiteral("Getting Info..."));
    const auto index = IndexOfLine(platform::FromQt(selected.front()->text()));
    SetInputsEnabled(false);
    LoadProgress progress;
    progress.status = [this](const std::string& text) { SetStatus(platform::ToQt(text)); };
    progress.files = [this](int done, int total) {
        if (done == 0) {
            // With no file to scan the bar still needs a range above its minimum.
            ProgressBar1->setRange(0, std::max(total, 1));
        }
        ProgressBar1->setValue(done);
        ProgressBar1->repaint();
        repaint();
    };
    if (!index || !LoadAirport(*index, progress)) {
        SetInputsEnabled(true);
        SetStatus(QStringLiteral("Done"));
        return;
    }
    m_airportLoaded = true;

    if (model::g_connected) {
        ReleaseMainWindow();
        if (QWidget* main = platform::ExistingWindow(QStringLiteral("Form1"))) {
            main->setWindowTitle(QStringLiteral("Tarvolo v1.1 - ") +
                                 platform::ToQt(model::g_airport.name));
            main->repaint();
            QMetaObject::invokeMethod(main, "Center_Airport",
                                      Q_ARG(double, model::g_airport.longitude),
                                      Q_ARG(double, model::g_airport.latitude));
        }
        close();
    } else {
        platform::ShowWindow(QStringLiteral("Form2"));
        close();
    }
}

void Form5::ReleaseMemory() {
    SetStatus(QStringLiteral("Please wait..."));
    ReleaseDatabase();
}

void Form5::Command2_Click() {
    // Leaving by EXIT is leaving by the close: the window's unload frees the database, gives
    // the main window back when a session runs and otherwise ends the program.
    close();
}

void Form5::closeEvent(QCloseEvent* event) {
    event->accept();
    Timer1->stop();
    ReleaseMemory();
    if (model::g_connected) {
        ReleaseMainWindow();
    } else if (!m_airportLoaded) {
        platform::EndProgram();
    }
}

}  // namespace loader
