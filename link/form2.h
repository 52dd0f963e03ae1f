#pragma once

// The Connection window: choose a connection type, locate the sessions, give a nickname and
// join; then wait for the host's answer and hand over to the main window.

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <vector>

namespace mplink {

class Form2 : public QWidget {
    Q_OBJECT
public:
    // `playerData`: the game data our player is created with (none: the player carries none).
    explicit Form2(QWidget* parent = nullptr, std::vector<std::uint8_t> playerData = {});

    QListWidget* List1;
    QPushButton* Command1;
    QListWidget* List2;
    QLineEdit* Text1;
    QPushButton* Command2;
    QPushButton* Command3;
    QLabel* Label5;
    QTimer* Timer1;
    QTimer* Timer2;

    void ResetConnectionWindow();
    void LocateSession();
    void JoinSession();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void SetStatus(const QString& text, bool repaintNow);
    void EnableLocating(bool enabled);
    void Timer1_Timer();
    void Timer2_Timer();
    int SelectedLine(const QListWidget* list) const;

    bool m_joined = false;
    std::vector<std::uint8_t> m_playerData;
};

}  // namespace mplink
