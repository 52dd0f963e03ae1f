#pragma once

#include <QApplication>
#include <QWidget>

namespace testing_support {

// Ends every window a test left open, at once, so the next test starts with none.
inline void CloseEveryWindow() {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        window->hide();
        window->deleteLater();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

}  // namespace testing_support
