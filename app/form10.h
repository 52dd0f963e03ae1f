#pragma once

// The Options window: six check boxes switching the display flags, and OK.

#include <QCheckBox>
#include <QPushButton>
#include <QWidget>

namespace app {

class Form10 : public QWidget {
    Q_OBJECT
public:
    explicit Form10(QWidget* parent = nullptr);

    QCheckBox* Check1;   // "Display Airspaces"
    QCheckBox* Check11;  // "Display Airport Name"
    QCheckBox* Check10;  // "Display Gates/Parkings"
    QCheckBox* Check9;   // "Display Taxiways IDs"
    QCheckBox* Check8;   // "Display Taxiways"
    QCheckBox* Check2;   // "Display ILS"
    QPushButton* Command1;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    bool m_released = false;
};

}  // namespace app
