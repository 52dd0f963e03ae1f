// generate: a sample simulator folder from a preset or a JSON world description.

#include <QFile>
#include <cstdio>

#include "tools/commands.h"
#include "tools/scenery/presets.h"
#include "tools/scenery/sim_folder.h"
#include "tools/scenery/world_json.h"

namespace tools {

int Generate(const QStringList& args) {
    QString preset;
    QString worldFile;
    QString out;
    std::uint32_t seed = 1;
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        const QString value = args.value(i + 1);
        if (arg == "--preset") {
            preset = value;
        } else if (arg == "--world") {
            worldFile = value;
        } else if (arg == "--out") {
            out = value;
        } else if (arg == "--seed") {
            seed = value.toUInt();
        } else {
            std::fprintf(stderr, "unknown argument %s\n", qPrintable(arg));
            return 2;
        }
        ++i;
    }
    if (out.isEmpty() || preset.isEmpty() == worldFile.isEmpty()) {
        std::fputs(
            "usage: tarvolo-tool generate (--preset NAME | --world FILE) --out DIR [--seed N]\n",
            stderr);
        return 2;
    }
    std::optional<WorldSpec> world;
    if (!preset.isEmpty()) {
        world = PresetWorld(preset.toStdString(), seed);
        if (!world) {
            std::fprintf(stderr, "no preset %s (tiny, demo, world)\n", qPrintable(preset));
            return 2;
        }
    } else {
        QFile file(worldFile);
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "cannot read %s\n", qPrintable(worldFile));
            return 1;
        }
        QString error;
        world = WorldFromJson(file.readAll(), error);
        if (!world) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(worldFile), qPrintable(error));
            return 1;
        }
    }
    if (const auto problem = WriteSimulatorFolder(*world, out.toStdString())) {
        std::fprintf(stderr, "%s\n", problem->c_str());
        return 1;
    }
    return 0;
}

}  // namespace tools
