#include <QApplication>
#include <cstdio>

#include "app/app_windows.h"
#include "app/replay_start.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/windows.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarvolo"));
    // The program ends only where its windows say so; between two windows of the chain none
    // is on screen for a moment.
    QApplication::setQuitOnLastWindowClosed(false);
    app::RegisterAppWindows();
    const QStringList args = QApplication::arguments();
    if (const qsizetype replay = args.indexOf(QStringLiteral("--replay")); replay > 0) {
        if (replay + 1 >= args.size()) {
            std::fputs("usage: tarvolo [--replay FILE.tvr]\n", stderr);
            return 2;
        }
        if (const auto problem = app::OpenReplay(args[replay + 1])) {
            platform::ShowMessage(nullptr, platform::MessageIcon::Exclamation,
                                  QStringLiteral("Tarvolo Message"), *problem);
            return 1;
        }
        return QApplication::exec();
    }
    platform::ShowWindow(QStringLiteral("Form8"));
    return QApplication::exec();
}
