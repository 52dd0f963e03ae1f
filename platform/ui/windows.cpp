#include "platform/ui/windows.h"

#include <QHash>
#include <QPointer>
#include <QWidget>

namespace platform {
namespace {

struct Entry {
    WindowFactory factory;
    QPointer<QWidget> instance;
};

QHash<QString, Entry>& Registry() {
    static QHash<QString, Entry> registry;
    return registry;
}

}  // namespace

void RegisterWindow(const QString& name, WindowFactory factory) {
    Registry()[name].factory = std::move(factory);
}

QWidget* Window(const QString& name) {
    auto it = Registry().find(name);
    if (it == Registry().end() || !it->factory) {
        return nullptr;
    }
    // A closed window is already on its way out (Qt clears the delete-on-close mark as it
    // schedules the deletion): a reference from then on gets a fresh one.
    if (!it->instance || !it->instance->testAttribute(Qt::WA_DeleteOnClose)) {
        QWidget* window = it->factory();
        // Closing a window ends it; its m_ state goes with it.
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->setObjectName(name);
        it->instance = window;
    }
    return it->instance;
}

QWidget* ExistingWindow(const QString& name) {
    const auto it = Registry().constFind(name);
    if (it == Registry().constEnd() || !it->instance ||
        !it->instance->testAttribute(Qt::WA_DeleteOnClose)) {
        return nullptr;
    }
    return it->instance.data();
}

QWidget* ShowWindow(const QString& name) {
    QWidget* window = Window(name);
    if (window) {
        window->show();
        window->raise();
        window->activateWindow();
    }
    return window;
}

void ClearWindowRegistry() {
    Registry().clear();
}

}  // namespace platform
