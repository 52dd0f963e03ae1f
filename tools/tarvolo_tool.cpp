// tarvolo-tool: the system's own code, headless, for scripts, tests and benchmarks.

#include <QCoreApplication>
#include <cstdio>
#include <functional>
#include <map>

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
    "                    GET AIRPORT for that airport of DIR's database: the scene as JSON\n";

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    const std::map<QString, std::function<int(const QStringList&)>> commands = {
        {"generate", tools::Generate},
        {"build", tools::Build},
        {"dump", tools::Dump},
        {"magvar", tools::Magvar},
        {"load", tools::Load}};
    if (args.isEmpty() || !commands.contains(args.first())) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const QString command = args.takeFirst();
    return commands.at(command)(args);
}
