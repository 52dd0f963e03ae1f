#pragma once

// The Traffic List window: every aircraft of the traffic table with its speeds, climb,
// distance and bearing from the airport and the seconds since it was last heard, sortable,
// refreshed by the main window each message-loop tick; the "Record" check that records the
// session. Selecting a row rings its target on the scope; a double click centres on it.

#include <QCheckBox>
#include <QPoint>
#include <QTableWidget>
#include <QTimer>
#include <QWidget>
#include <map>
#include <string>
#include <vector>

#include "radar/traffic_list.h"

namespace app {

class Form11 : public QWidget {
    Q_OBJECT
public:
    explicit Form11(QWidget* parent = nullptr);

    QTableWidget* Grid1;
    QCheckBox* Check1;  // "Record"

    // Controllers coordinating: each aircraft's owner, its strip in a line, and whether an
    // offer of it waits for our answer (its row blinks).
    struct Coordination {
        std::string owner;
        std::string strip;
        bool offeredToMe = false;
    };
    using CoordinationRows = std::map<std::string, Coordination>;
    // The Owner and Strip columns are there while coordination is on.
    void SetCoordinating(bool on);
    bool Coordinating() const { return m_coordinating; }

    // The rows as the table holds them now; the selection and the sort order stay.
    void Refresh(const std::vector<radar::TrafficListRow>& rows,
                 const CoordinationRows& coordination = {});
    // The callsign of the selected row, or empty.
    QString SelectedCallsign() const;

signals:
    void highlightChanged(const QString& callsign);
    void centreOn(double longitude, double latitude);
    void recordToggled(bool on);
    // The context menu of a row (coordination on): what may be done with that aircraft.
    void menuAsked(const QString& callsign, const QPoint& global);

protected:
    // Closed, the list no longer rings a target; a recording goes on.
    void closeEvent(QCloseEvent* event) override;

private:
    void Blink();

    std::vector<radar::TrafficListRow> m_rows;
    bool m_coordinating = false;
    QTimer m_blink;
    bool m_blinkOn = false;
};

}  // namespace app
