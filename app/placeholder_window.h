#pragma once

// Stands where a window of a later version will be: shows its caption and says so. Closing it
// ends the program, since nothing follows it yet.

#include <QLabel>
#include <QWidget>

namespace app {

class PlaceholderWindow : public QWidget {
    Q_OBJECT
public:
    PlaceholderWindow(const QString& caption, const QString& text, QWidget* parent = nullptr);

    QLabel* Label1;

protected:
    void closeEvent(QCloseEvent* event) override;
};

}  // namespace app
