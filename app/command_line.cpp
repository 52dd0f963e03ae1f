#include "app/command_line.h"

#include <filesystem>

namespace app {

CommandLine ParseCommandLine(const std::vector<std::string>& args,
                             std::optional<std::string> (*environment)(const char*)) {
    CommandLine line;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& word = args[i];
        if (word == "--help" || word == "-h") {
            line.help = true;
        } else if (word == "--version") {
            line.version = true;
        } else if (word == "--data-dir" && i + 1 < args.size()) {
            line.dataDir = args[++i];
        } else if (word == "--user-data") {
            std::optional<std::string> base = environment("XDG_DATA_HOME");
            if (!base || base->empty()) {
                const auto home = environment("HOME");
                base = (home ? *home : std::string(".")) + "/.local/share";
            }
            line.dataDir = *base + "/tarvolo";
        } else if (word == "--replay" && i + 1 < args.size()) {
            line.replay = args[++i];
        } else {
            line.error = "tarvolo: cannot take \"" + word + "\"";
            return line;
        }
    }
    return line;
}

std::optional<std::string> EnterDataDir(const std::string& folder) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (!error)
        std::filesystem::current_path(folder, error);
    if (error)
        return "tarvolo: cannot use " + folder + " for the program's files: " + error.message();
    return std::nullopt;
}

}  // namespace app
