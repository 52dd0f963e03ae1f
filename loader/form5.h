#pragma once

// The Airport Area window: reads the database a second after opening, searches airports by
// name, and GET AIRPORT loads the chosen one with its airspaces, then hands over to the
// Connection window, or back to the main window when attached to a session.

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

namespace loader {

class Form5 : public QWidget {
    Q_OBJECT
public:
    explicit Form5(QWidget* parent = nullptr);

    QLabel* Label1;  // "Name of Airport:"
    QLabel* Label2;  // the example
    QLineEdit* Text1;
    QPushButton* Command1;
    QLabel* Label3;  // "Airport Search Results:"
    QListWidget* List1;
    QGroupBox* Frame1;
    QPushButton* Command3;
    QPushButton* Command2;
    QLabel* Label4;  // "Status:"
    QLineEdit* Text2;
    QProgressBar* ProgressBar1;
    QTimer* Timer1;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void StartupRead();
    void SearchAirport();
    void GetAirport();
    void Command2_Click();
    void SetStatus(const QString& text);
    void SetInputsEnabled(bool enabled);
    void ReleaseMemory();

    bool m_airportLoaded = false;
};

// The main window's lock: its controls disabled (timers stopped: the message loop and the
// repaint) or enabled again (timers restarted), in their order.
void SetMainWindowControls(QWidget* main, bool enabled);

// Gives the main window back to the user: the window and its controls enabled again in
// their order, its two timers restarted.
void ReleaseMainWindow();

}  // namespace loader
