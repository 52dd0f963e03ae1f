#pragma once

// The Traffic List window: every aircraft of the traffic table with its speeds, climb,
// distance and bearing from the airport and the seconds since it was last heard, sortable,
// refreshed by the main window each message-loop tick; the "Record" check that records the
// session. Selecting a row rings its target on the scope; a double click centres on it.

#include <QCheckBox>
#include <QTableWidget>
#include <QWidget>
#include <vector>

#include "radar/traffic_list.h"

namespace app {

class Form11 : public QWidget {
    Q_OBJECT
public:
    explicit Form11(QWidget* parent = nullptr);

    QTableWidget* Grid1;
    QCheckBox* Check1;  // "Record"

    // The rows as the table holds them now; the selection and the sort order stay.
    void Refresh(const std::vector<radar::TrafficListRow>& rows);
    // The callsign of the selected row, or empty.
    QString SelectedCallsign() const;

signals:
    void highlightChanged(const QString& callsign);
    void centreOn(double longitude, double latitude);
    void recordToggled(bool on);

protected:
    // Closed, the list no longer rings a target; a recording goes on.
    void closeEvent(QCloseEvent* event) override;

private:
    std::vector<radar::TrafficListRow> m_rows;
};

}  // namespace app
