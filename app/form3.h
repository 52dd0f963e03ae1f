#pragma once

// First-time setup: the user picks the simulator version and its installation folder; the
// window checks the folder for fs2002.exe, writes the settings file and opens the builder.
// Closing it before that ends the program.

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QWidget>

#include "platform/ui/folder_controls.h"

namespace app {

class Form3 : public QWidget {
    Q_OBJECT
public:
    explicit Form3(QWidget* parent = nullptr);

    QGroupBox* Frame1;
    QLabel* Label1;
    QRadioButton* Option1;
    QGroupBox* Frame2;
    QLabel* Label2;
    QLabel* Label3;
    platform::DriveList* Drive1;
    platform::DirList* Dir1;
    QLabel* Label4;
    QLineEdit* Text1;
    QPushButton* Command1;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void Option1_Click();
    void Drive1_Change();
    void Dir1_Change();
    void Text1_Change();
    void Command1_Click();

    bool m_setupFinished = false;
};

}  // namespace app
