#include "builder/form4.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "model/own_files.h"
#include "platform/ansi.h"
#include "platform/file_system.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/widget_text.h"
#include "platform/ui/windows.h"

namespace builder {
namespace {

constexpr int kDiscoveryDelayMs = 1000;
constexpr int kBuildTickMs = 5;

}  // namespace

Form4::Form4(QWidget* parent)
    : QWidget(parent), m_builder([this](const std::string& text) { ShowStatus(text); }) {
    setWindowTitle(QStringLiteral("Creating Database"));

    Label1 =
        new QLabel(QStringLiteral("Now, this program will create a database of all airports "
                                  "of the FS world. To start, press the CREATE ATC DATABASE "
                                  "FILE button."));
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setWordWrap(true);
    Label2 = new QLabel(QStringLiteral("Scanning:"));
    Label2->setObjectName(QStringLiteral("Label2"));
    Text1 = new QLineEdit(QStringLiteral("-None-"));
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setReadOnly(true);
    ProgressBar1 = new QProgressBar;
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    Command2 = new QPushButton(QStringLiteral("CREATE ATC DATABASE FILE"));
    Command2->setObjectName(QStringLiteral("Command2"));
    Drive1 = new platform::DriveList(this);
    Drive1->setObjectName(QStringLiteral("Drive1"));
    Drive1->hide();

    auto* statusRow = new QHBoxLayout;
    statusRow->addWidget(Label2);
    statusRow->addWidget(Text1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addLayout(statusRow);
    layout->addWidget(ProgressBar1);
    layout->addWidget(Command2, 0, Qt::AlignHCenter);
    resize(460, 180);

    Read_Sceneries_Paths = new QTimer(this);
    Read_Sceneries_Paths->setObjectName(QStringLiteral("Read_Sceneries_Paths"));
    Read_Sceneries_Paths->setInterval(kDiscoveryDelayMs);
    Read_All_Airports = new QTimer(this);
    Read_All_Airports->setObjectName(QStringLiteral("Read_All_Airports"));
    Read_All_Airports->setInterval(kBuildTickMs);
    connect(Read_Sceneries_Paths, &QTimer::timeout, this, &Form4::ScenerySetupTick);
    connect(Read_All_Airports, &QTimer::timeout, this, &Form4::BuildTick);
    connect(Command2, &QPushButton::clicked, this, &Form4::Command2_Click);

    // The window's load: the build cannot start before discovery has run.
    Command2->setEnabled(false);
    Read_Sceneries_Paths->start();
}

void Form4::ShowStatus(const std::string& text) {
    Text1->setText(platform::ToQt(text));
    Text1->repaint();
}

void Form4::ScenerySetupTick() {
    Command2->setEnabled(false);
    m_builder.Discover();
    ProgressBar1->setValue(0);
    ProgressBar1->setMinimum(0);
    ProgressBar1->setMaximum(m_builder.BglFileCount() + 1);
    Read_Sceneries_Paths->stop();
    Read_Sceneries_Paths->setInterval(0);
    Command2->setEnabled(true);
}

void Form4::Command2_Click() {
    platform::ShowMessage(this, platform::MessageIcon::Information,
                          QStringLiteral("Tarvolo Message"),
                          QStringLiteral("Now the create database file process will begin, this "
                                         "can take a few minutes, please wait"));
    Read_All_Airports->start();
}

void Form4::BuildTick() {
    Command2->setEnabled(false);
    switch (m_builder.Step()) {
        case DatabaseBuilder::StepResult::FileVisited:
            ProgressBar1->setValue(std::min(ProgressBar1->value() + 1, ProgressBar1->maximum()));
            ProgressBar1->repaint();
            break;
        case DatabaseBuilder::StepResult::AllDone:
            FinishBuild();
            break;
        case DatabaseBuilder::StepResult::AreaSkipped:
        case DatabaseBuilder::StepResult::AreaFinished:
            break;
    }
}

void Form4::FinishBuild() {
    Read_All_Airports->stop();
    Read_All_Airports->setInterval(0);
    if (const auto problem = m_builder.Finish()) {
        // Leave nothing the start-up check could take for a finished database.
        const platform::FileSystem files;
        files.Remove(platform::OwnFilePath(model::kAirportsFileName));
        files.Remove(platform::OwnFilePath(model::kAirspacesFileName));
        platform::ShowMessage(this, platform::MessageIcon::Exclamation,
                              QStringLiteral("Tarvolo Message"),
                              platform::ToQt(*problem) +
                                  QStringLiteral("\n\nThe database was not created; the program "
                                                 "will end. Start it again from a folder that can "
                                                 "be written to."));
        m_finished = true;
        platform::EndProgram();
        return;
    }
    ProgressBar1->setMinimum(0);
    ProgressBar1->setValue(0);
    ProgressBar1->repaint();
    Command2->setEnabled(true);
    ShowStatus("Done");
    platform::ShowMessage(this, platform::MessageIcon::Information, QStringLiteral("Tarvolo v1.1"),
                          QStringLiteral("The creation process of the database was completed!"));
    m_finished = true;
    close();
    platform::ShowWindow(QStringLiteral("Form5"));
}

void Form4::closeEvent(QCloseEvent* event) {
    event->accept();
    if (!m_finished) {
        // Nothing else is open: leaving the builder early ends the program, writing nothing.
        Read_Sceneries_Paths->stop();
        Read_All_Airports->stop();
        platform::EndProgram();
    }
}

}  // namespace builder
