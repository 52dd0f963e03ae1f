#pragma once

// The Options window: six check boxes switching the display flags, and OK. Beside them, the
// controller aids' switches and thresholds, kept in Tarvolo's own settings file.

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
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
    QSpinBox* HistoryDots;            // how many history dots
    QSpinBox* HistorySeconds;         // seconds between them
    QSpinBox* LookAhead;              // seconds the conflict alert looks ahead
    QSpinBox* AirborneHeight;         // feet above the nearest field
    QCheckBox* CheckVectors;          // "Predicted Vectors"
    QComboBox* VectorMinutes;         // "1 min", "2 min", "5 min"
    QCheckBox* CheckCentrelines;      // "Runway Centrelines"
    QCheckBox* CheckRangeBearing;     // "Range and Bearing Lines (Shift + drag)"
    QLabel* LabelAidProblem;          // why a value was refused

    // "Controllers": coordinating with the other controllers of the session
    QCheckBox* CheckCoordinate;          // "Coordinate with Other Controllers"
    QLineEdit* TextPosition;             // e.g. TVO_TWR
    QLineEdit* TextFrequency;            // e.g. 118.70
    QCheckBox* CheckOwners;              // "Owner in Data Blocks"
    QCheckBox* CheckControllerAirports;  // "Other Controllers' Airports"

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    bool m_released = false;
};

}  // namespace app
