#pragma once

// What `tarvolo` takes on its command line: the folder its files live in, a recording to
// replay, and --help and --version, read before any window or display is needed.

#include <optional>
#include <string>
#include <vector>

namespace app {

struct CommandLine {
    bool help = false;
    bool version = false;
    std::optional<std::string> dataDir;  // --data-dir DIR, or the user's data folder
    std::optional<std::string> replay;   // --replay FILE.tvr
    std::string error;                   // a word it does not take
};

inline constexpr const char* kUsage =
    "usage: tarvolo [--data-dir DIR | --user-data] [--replay FILE.tvr]\n"
    "       tarvolo --help | --version\n"
    "\n"
    "  --data-dir DIR   keep the program's files (atc_settings.tcs, world_airports.dat,\n"
    "                   world_airspaces.lst) in DIR, creating it; without it, in the folder\n"
    "                   the program is started in\n"
    "  --user-data      the same in $XDG_DATA_HOME/tarvolo (~/.local/share/tarvolo), as the\n"
    "                   desktop menu starts it\n"
    "  --replay FILE    replay a recorded session on the main window instead of joining one\n"
    "  --help           this text\n"
    "  --version        the program's version\n"
    "\n"
    "Options take their value after a blank or an equals sign (--data-dir=DIR); Qt's own\n"
    "options (-platform NAME, -style NAME ...) are passed on. Exit status: 0 when the program\n"
    "ends normally, 1 when it cannot start (a data folder it cannot use, a recording it cannot\n"
    "replay), 2 for a command line it does not take.\n";

// `environment` looks a variable up (XDG_DATA_HOME, HOME).
CommandLine ParseCommandLine(const std::vector<std::string>& args,
                             std::optional<std::string> (*environment)(const char*));

// Creates the folder when needed and makes it the working directory; a message when it
// cannot.
std::optional<std::string> EnterDataDir(const std::string& folder);

}  // namespace app
