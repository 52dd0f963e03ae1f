#include <QApplication>

#include "app/app_windows.h"
#include "platform/ui/windows.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarvolo"));
    // The program ends only where its windows say so; between two windows of the chain none
    // is on screen for a moment.
    QApplication::setQuitOnLastWindowClosed(false);
    app::RegisterAppWindows();
    platform::ShowWindow(QStringLiteral("Form8"));
    return QApplication::exec();
}
