// tarvolo-tool: the system's own code, headless, for scripts, tests and benchmarks.

#include <QGuiApplication>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <string_view>

#include "tools/commands.h"

namespace {

constexpr const char* kUsage =
    "usage: tarvolo-tool COMMAND ...\n"
    "  generate (--preset tiny|demo|world | --world FILE.json) --out DIR [--seed N]\n"
    "      write a sample simulator folder\n"
    "  build SIMDIR      build the database of SIMDIR into the current directory\n"
    "  dump DIR          the settings, airports and airspace list of DIR as JSON lines\n"
    "  magvar SIMDIR LAT LON\n"
    "                    whole degrees of magnetic variation from SIMDIR's magdec.bgl\n"
    "  load DIR INDEX [--sim SIMDIR]\n"
    "                    GET AIRPORT for that airport of DIR's database: the scene as JSON\n"
    "  render DIR INDEX --zoom N [--traffic FILE.json] [--size WxH] [--sim SIMDIR]\n"
    "         [--aids LIST] --out FILE.png\n"
    "                    the radar scope of that airport at zoom level N, as a picture\n"
    "  watch HOST[:PORT] [--nickname NAME] [--duration S] [--record FILE.tvr]\n"
    "        [--roll-call S]\n"
    "                    join the session there and print its traffic and chat each second\n"
    "                    (--seconds is the old name of --duration)\n"
    "  replay FILE.tvr [--speed N]\n"
    "                    print what watch printed, from a recording (N times as fast; 0: at "
    "once)\n"
    "  --help, --version\n"
    "\n"
    "Options take their value after a blank or an equals sign (--zoom=9). Exit status: 0 on\n"
    "success, 1 when the work fails (a file it cannot read or write, a session it cannot\n"
    "join), 2 for a command line it does not take, 3 when watch or replay ends with the\n"
    "session lost or the watcher removed.\n";

}  // namespace

int main(int argc, char* argv[]) {
    // Painting text needs the GUI side of Qt, with no screen: only render asks for it.
    const bool painting = argc > 1 && std::string_view(argv[1]) == "render";
    if (painting && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    std::unique_ptr<QCoreApplication> application =
        painting ? std::make_unique<QGuiApplication>(argc, argv)
                 : std::make_unique<QCoreApplication>(argc, argv);
    // "--opt=value" reads as "--opt value".
    QStringList args;
    for (const QString& word : QCoreApplication::arguments().mid(1)) {
        const qsizetype equals = word.indexOf('=');
        if (word.startsWith("--") && equals > 2)
            args << word.left(equals) << word.mid(equals + 1);
        else
            args << word;
    }
    if (args.value(0) == "--help" || args.value(0) == "-h" || args.value(0) == "help" ||
        (args.size() > 1 && args.contains("--help"))) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (args.value(0) == "--version") {
        std::printf("tarvolo-tool %s\n", TARVOLO_VERSION);
        return 0;
    }
    const std::map<QString, std::function<int(const QStringList&)>> commands = {
        {"generate", tools::Generate}, {"build", tools::Build},  {"dump", tools::Dump},
        {"magvar", tools::Magvar},     {"load", tools::Load},    {"render", tools::Render},
        {"watch", tools::Watch},       {"replay", tools::Replay}};
    if (args.isEmpty() || !commands.contains(args.first())) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const QString command = args.takeFirst();
    return commands.at(command)(args);
}
