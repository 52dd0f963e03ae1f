#include "tools/stop_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>

namespace tools {
namespace {

int g_pipe[2] = {-1, -1};
bool g_stopped = false;

void OnStopSignal(int) {
    const int saved = errno;
    const char byte = 1;
    (void)!write(g_pipe[1], &byte, 1);
    errno = saved;
}

// Empties the pipe; true when a signal had come.
bool TakeSignals() {
    bool any = false;
    char buffer[16];
    while (read(g_pipe[0], buffer, sizeof buffer) > 0)
        any = true;
    return any;
}

}  // namespace

void QuitOnStopSignals(QCoreApplication& app) {
    if (g_pipe[0] < 0 && pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;  // no pipe: the signals keep their default action and end the program
    auto* notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [] {
        if (TakeSignals())
            g_stopped = true;
        if (g_stopped)
            QCoreApplication::quit();  // does nothing outside exec(), hence the flag
    });
    struct sigaction action = {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

bool StopRequested() {
    return g_stopped;
}

}  // namespace tools
