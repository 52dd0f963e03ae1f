#pragma once

// The About window: title, picture, credits, OK.

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QWidget>

namespace app {

class Form7 : public QWidget {
    Q_OBJECT
public:
    explicit Form7(QWidget* parent = nullptr);

    QLabel* Label1;  // "TARVOLO VERSION 1.1"
    QLabel* Picture1;
    QGroupBox* Frame1;  // "CREDITS"
    QPushButton* Command1;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    bool m_released = false;
};

}  // namespace app
