#pragma once

// The database builder window: discovery one second after opening, then, once the user
// starts it, one scenery data file per tick of Read_All_Airports, and the database written
// at the end before the Airport Area opens.

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include "builder/database_builder.h"
#include "platform/ui/folder_controls.h"

namespace builder {

class Form4 : public QWidget {
    Q_OBJECT
public:
    explicit Form4(QWidget* parent = nullptr);

    QLabel* Label1;
    QLabel* Label2;
    QLineEdit* Text1;  // the status text
    QProgressBar* ProgressBar1;
    QPushButton* Command2;
    platform::DriveList* Drive1;  // only its list of drives is used; not shown
    QTimer* Read_Sceneries_Paths;
    QTimer* Read_All_Airports;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void ScenerySetupTick();
    void Command2_Click();
    void BuildTick();
    void FinishBuild();
    void ShowStatus(const std::string& text);

    DatabaseBuilder m_builder;
    bool m_finished = false;
};

}  // namespace builder
