#include "app/command_line.h"

#include <filesystem>

namespace app {

namespace {

// Qt's own options, which QApplication takes from the same command line: with the number of
// values after each.
struct QtOption {
    const char* name;
    int values;
};
constexpr QtOption kQtOptions[] = {{"-platform", 1},        {"-platformpluginpath", 1},
                                   {"-platformtheme", 1},   {"-plugin", 1},
                                   {"-qwindowgeometry", 1}, {"-qwindowicon", 1},
                                   {"-qwindowtitle", 1},    {"-reverse", 0},
                                   {"-session", 1},         {"-display", 1},
                                   {"-geometry", 1},        {"-style", 1},
                                   {"-stylesheet", 1},      {"-widgetcount", 0},
                                   {"-nograb", 0},          {"-dograb", 0}};

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& given,
                             std::optional<std::string> (*environment)(const char*)) {
    CommandLine line;
    // "--opt=value" reads as "--opt value".
    std::vector<std::string> args;
    for (const std::string& word : given) {
        const std::size_t equals = word.find('=');
        if (word.rfind("--", 0) == 0 && equals != std::string::npos) {
            args.push_back(word.substr(0, equals));
            args.push_back(word.substr(equals + 1));
        } else {
            args.push_back(word);
        }
    }
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& word = args[i];
        const QtOption* qt = nullptr;
        for (const QtOption& option : kQtOptions)
            if (word == option.name || word == std::string("-") + option.name)
                qt = &option;
        if (qt) {
            i += static_cast<std::size_t>(qt->values);  // for QApplication
            continue;
        }
        if (word == "--help" || word == "-h") {
            line.help = true;
        } else if (word == "--version") {
            line.version = true;
        } else if (word == "--data-dir" && i + 1 < args.size()) {
            line.dataDir = args[++i];
        } else if (word == "--user-data") {
            // A relative XDG_DATA_HOME is invalid and ignored, as the XDG rules say.
            std::optional<std::string> base = environment("XDG_DATA_HOME");
            if (!base || base->empty() || base->front() != '/') {
                const auto home = environment("HOME");
                base = (home ? *home : std::string(".")) + "/.local/share";
            }
            line.dataDir = *base + "/tarvolo";
        } else if (word == "--replay" && i + 1 < args.size()) {
            // Named from where the program was started, before any data folder is entered.
            std::error_code error;
            const auto absolute = std::filesystem::absolute(args[++i], error);
            line.replay = error ? args[i] : absolute.string();
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
