#pragma once

// The Options window: six check boxes switching the display flags, and OK. Beside them, the
// controller aids' switches and thresholds, kept in Tarvolo's own settings file.

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QSpinBox>
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

    // "Controller Aids"
    QCheckBox* CheckWheel;            // "Wheel Zoom and Panning"
    QCheckBox* CheckRings;            // "Range Rings"
    QCheckBox* CheckTrails;           // "History Trails"
    QCheckBox* CheckFilter;           // "Altitude Filter"
    QSpinBox* FilterLow;              // feet
    QSpinBox* FilterHigh;             // feet
    QCheckBox* CheckConflict;         // "Conflict Alert"
    QDoubleSpinBox* ConflictLateral;  // nm
    QSpinBox* ConflictVertical;       // feet
    QSpinBox* AirborneSpeed;          // knots
    QCheckBox* CheckDeclutter;        // "Uncluttered Data Blocks"
    QCheckBox* CheckSpeed;            // "Speed and Trend Line"

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    bool m_released = false;
};

}  // namespace app
