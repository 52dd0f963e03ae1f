#pragma once

// SIGTERM and SIGINT for the command-line programs: the handler only writes a byte to a pipe
// (all a signal handler may safely do while the event loop could be anywhere); the byte is
// read in the event loop, which then ends. A signal that comes before the loop runs is not
// lost: it ends the loop as soon as the loop starts, and StopRequested() tells the waits
// before it to give up.

class QCoreApplication;

namespace tools {

void QuitOnStopSignals(QCoreApplication& app);

// True once an event loop (exec() or a wait of its own) has taken a stop signal. A signal that
// no loop has taken yet ends exec() as soon as it starts.
bool StopRequested();

}  // namespace tools
