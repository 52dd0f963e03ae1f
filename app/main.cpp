#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "app/app_windows.h"
#include "app/command_line.h"
#include "app/replay_start.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/windows.h"

namespace {

std::optional<std::string> Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::optional<std::string>(value) : std::nullopt;
}

}  // namespace

int main(int argc, char* argv[]) {
    // The command line first: --help and --version need no window, nor a display.
    const app::CommandLine line =
        app::ParseCommandLine(std::vector<std::string>(argv, argv + argc), Environment);
    if (!line.error.empty()) {
        std::fprintf(stderr, "%s\n%s", line.error.c_str(), app::kUsage);
        return 2;
    }
    if (line.help) {
        std::fputs(app::kUsage, stdout);
        return 0;
    }
    if (line.version) {
        std::printf("tarvolo %s\n", TARVOLO_VERSION);
        return 0;
    }
    const std::optional<std::string> replay = line.replay;  // already absolute
    // The program keeps its files in the folder it runs in: the one asked for, if any.
    if (line.dataDir) {
        if (const auto problem = app::EnterDataDir(*line.dataDir)) {
            std::fprintf(stderr, "%s\n", problem->c_str());
            return 1;
        }
    }

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarvolo"));
    // The program ends only where its windows say so; between two windows of the chain none
    // is on screen for a moment.
    QApplication::setQuitOnLastWindowClosed(false);
    app::RegisterAppWindows();
    if (replay) {
        if (const auto problem = app::OpenReplay(QString::fromStdString(*replay))) {
            platform::ShowMessage(nullptr, platform::MessageIcon::Exclamation,
                                  QStringLiteral("Tarvolo Message"), *problem);
            return 1;
        }
        return QApplication::exec();
    }
    platform::ShowWindow(QStringLiteral("Form8"));
    return QApplication::exec();
}
