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

// A new window, shown and deleted when closed, as the program opens its windows.
template <class Window>
Window* OpenNew() {
    auto* window = new Window;
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    return window;
}

}  // namespace testing_support
