#include "app/form3.h"

#include <QCloseEvent>
#include <QDir>
#include <QGridLayout>
#include <QVBoxLayout>

#include "model/own_files.h"
#include "model/settings_record.h"
#include "model/shared_state.h"
#include "platform/ansi.h"
#include "platform/file_system.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/widget_text.h"
#include "platform/ui/windows.h"

namespace app {
namespace {

const QString kMessageTitle = QStringLiteral("Tarvolo Message");

}  // namespace

Form3::Form3(QWidget* parent) : QWidget(parent) {
    setWindowTitle(QStringLiteral("Completing setup - settings"));

    Frame1 = platform::Named(new QGroupBox(QStringLiteral("Flight Simulator Information"), this),
                             "Frame1");
    Label1 = platform::Named(
        new QLabel(QStringLiteral("Select the version of your Microsoft Flight Simulator:")),
        "Label1");
    Option1 = platform::Named(new QRadioButton(QStringLiteral("Microsoft Flight Simulator 2002")),
                              "Option1");
    auto* versionLayout = new QVBoxLayout(Frame1);
    versionLayout->addWidget(Label1);
    versionLayout->addWidget(Option1);

    Frame2 =
        platform::Named(new QGroupBox(QStringLiteral("Flight Simulator's Path"), this), "Frame2");
    Label2 = platform::Named(new QLabel(QStringLiteral("Enter your Flight Simulator's main path:")),
                             "Label2");
    Label3 = platform::Named(
        new QLabel(QStringLiteral("Example: C:\\Program Files\\Microsoft Games\\Fs2002")),
        "Label3");
    Drive1 = platform::Named(new platform::DriveList, "Drive1");
    Dir1 = platform::Named(new platform::DirList, "Dir1");
    Dir1->setMinimumHeight(180);
    Label4 = platform::Named(new QLabel(QStringLiteral("Current Directory:")), "Label4");
    Text1 = platform::Named(new QLineEdit, "Text1");
    auto* pathLayout = new QGridLayout(Frame2);
    pathLayout->addWidget(Label2, 0, 0, 1, 2);
    pathLayout->addWidget(Label3, 1, 0, 1, 2);
    pathLayout->addWidget(Drive1, 2, 0, 1, 2);
    pathLayout->addWidget(Dir1, 3, 0, 1, 2);
    pathLayout->addWidget(Label4, 4, 0);
    pathLayout->addWidget(Text1, 4, 1);

    Command1 = platform::Named(new QPushButton(QStringLiteral("NEXT STEP --->")), "Command1");

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Frame1);
    layout->addWidget(Frame2);
    layout->addWidget(Command1, 0, Qt::AlignRight);
    resize(460, 470);

    connect(Option1, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked) {
            Option1_Click();
        }
    });
    connect(Drive1, &platform::DriveList::driveChanged, this, &Form3::Drive1_Change);
    connect(Dir1, &platform::DirList::pathChanged, this, &Form3::Dir1_Change);
    connect(Text1, &QLineEdit::textChanged, this, &Form3::Text1_Change);
    connect(Command1, &QPushButton::clicked, this, &Form3::Command1_Click);

    // The window's load.
    Option1->setChecked(true);
    m_setupFinished = false;
    Dir1->setPath(Drive1->drive());
    Text1->setText(Dir1->path());
}

void Form3::Option1_Click() {
    model::g_simKind = 1;
}

void Form3::Drive1_Change() {
    Dir1->setPath(Drive1->drive());
    Text1->setText(Dir1->path());
}

void Form3::Dir1_Change() {
    Text1->setText(Dir1->path());
}

void Form3::Text1_Change() {
    // A drive root chosen or typed as C:\ or D:/ is kept as C: or D:. Only a drive root is
    // touched: stripping the slashes of any three characters would eat the first slash of
    // every path typed from the root, /home becoming home.
    const QString text = Text1->text();
    if (text.size() == 3 && text[1] == QLatin1Char(':') &&
        (text[2] == QLatin1Char('\\') || text[2] == QLatin1Char('/'))) {
        Text1->setText(text.left(2));
    }
}

void Form3::Command1_Click() {
    const std::string folder = platform::FromQt(Text1->text());
    const platform::FileSystem files;
    if (!files.FileExists(folder + "\\fs2002.exe")) {
        platform::ShowMessage(
            this, platform::MessageIcon::Exclamation, kMessageTitle,
            QStringLiteral("The directory or path that you selected is not your currently FS2002 "
                           "main folder, because this program didn't found the FS2002.EXE file. "
                           "Please try again."));
        return;
    }

    model::g_settings.version = model::kSettingsVersion;
    model::g_settings.recordFlag = 1;
    if (Option1->isChecked()) {
        model::g_settings.simKind = 1;
        model::g_simKind = 1;
    }
    model::g_settings.simPath = folder;
    model::g_simPath = folder;
    const std::string settingsPath = platform::OwnFilePath(model::kSettingsFileName);
    if (!files.WriteInPlace(settingsPath, model::EncodeSettings(model::g_settings))) {
        // Going on would report success and send the user to a build that cannot finish.
        platform::ShowMessage(
            this, platform::MessageIcon::Exclamation, kMessageTitle,
            QStringLiteral("The settings file could not be written:\n%1\n\nPlease make sure this "
                           "folder can be written to, then try again.")
                .arg(platform::ToQt(settingsPath)));
        return;
    }
    platform::ShowMessage(this, platform::MessageIcon::Information, kMessageTitle,
                          QStringLiteral("Settings file created successfully!"));
    m_setupFinished = true;
    close();
    platform::ShowWindow(QStringLiteral("Form4"));
}

void Form3::closeEvent(QCloseEvent* event) {
    event->accept();
    if (m_setupFinished) {
        return;
    }
    // Only the file this window writes is removed: other .tcs files in the working
    // directory are not ours.
    platform::FileSystem().Remove(platform::OwnFilePath(model::kSettingsFileName));
    platform::ShowMessage(this, platform::MessageIcon::Information, kMessageTitle,
                          QStringLiteral("You didn't finish setup process, program will end"));
    platform::EndProgram();
}

}  // namespace app
