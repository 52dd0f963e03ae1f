#pragma once

// The Controllers window: the other controllers of the session with their positions,
// nicknames, frequencies, airports and when they came on, refreshed by the main window each
// message-loop tick while coordination is on.

#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QWidget>
#include <string>
#include <vector>

namespace app {

class Form12 : public QWidget {
    Q_OBJECT
public:
    struct Row {
        std::string position;
        std::string nickname;
        std::string frequency;
        std::string airport;
        std::string since;  // local time, HH:MM
    };

    explicit Form12(QWidget* parent = nullptr);
    void Refresh(const std::vector<Row>& rows);

    QTableWidget* Grid1;
};

// Edits an aircraft's strip: assigned altitude, heading, runway, squawk and remarks.
class Form13 : public QWidget {
    Q_OBJECT
public:
    explicit Form13(QWidget* parent = nullptr);
    // The strip of `callsign` as it stands.
    void Edit(const QString& callsign, const QStringList& fields);

    QLineEdit* Text1;       // altitude
    QLineEdit* Text2;       // heading
    QLineEdit* Text3;       // runway
    QLineEdit* Text4;       // squawk
    QLineEdit* Text5;       // remarks
    QPushButton* Command1;  // "OK"
    QPushButton* Command2;  // "Cancel"

signals:
    void stripChosen(const QString& callsign, const QStringList& fields);

private:
    QString m_callsign;
};

}  // namespace app
