// build, dump and magvar: the database builder and its files, headless.

#include <QDir>
#include <cstdio>
#include <filesystem>

#include "builder/database_builder.h"
#include "builder/database_file.h"
#include "builder/magvar_file.h"
#include "model/geodesy.h"
#include "model/own_files.h"
#include "model/settings_record.h"
#include "model/shared_state.h"
#include "platform/ansi.h"
#include "platform/file_system.h"
#include "tools/commands.h"
#include "tools/record_json.h"

namespace tools {
namespace {

std::string Ansi(const QString& text) {
    return platform::Utf8ToAnsi(text.toStdString());
}

// The folder as the setup window would yield it: absolute, no trailing separator.
std::string SetupPath(const QString& folder) {
    std::string path = std::filesystem::absolute(folder.toStdString()).lexically_normal().string();
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return platform::Utf8ToAnsi(path);
}

}  // namespace

int Build(const QStringList& args) {
    if (args.size() != 1) {
        std::fputs("usage: tarvolo-tool build SIMDIR\n", stderr);
        return 2;
    }
    model::ResetSharedState();
    const platform::FileSystem files;
    // As the start-up check and setup leave it: the three files removed, then the settings.
    for (const char* name :
         {model::kSettingsFileName, model::kAirportsFileName, model::kAirspacesFileName}) {
        files.Remove(platform::OwnFilePath(name));
    }
    model::g_buildPending = true;
    model::g_simKind = 1;
    model::g_simPath = SetupPath(args.first());
    model::g_settings = {model::kSettingsVersion, 1, 1, model::g_simPath, 0, 0};
    if (!files.FileExists(model::g_simPath + "\\fs2002.exe")) {
        std::fprintf(stderr, "no fs2002.exe in %s\n", model::g_simPath.c_str());
        return 1;
    }
    if (!files.WriteInPlace(platform::OwnFilePath(model::kSettingsFileName),
                            model::EncodeSettings(model::g_settings))) {
        std::fputs("cannot write the settings file here\n", stderr);
        return 1;
    }

    builder::DatabaseBuilder databaseBuilder;
    databaseBuilder.Discover();
    std::int64_t visited = 0;
    for (auto step = databaseBuilder.Step(); step != builder::DatabaseBuilder::StepResult::AllDone;
         step = databaseBuilder.Step()) {
        visited += step == builder::DatabaseBuilder::StepResult::FileVisited ? 1 : 0;
    }
    if (const auto problem = databaseBuilder.Finish()) {
        std::fprintf(stderr, "%s\n", problem->c_str());
        return 1;
    }
    std::printf("{\"airportCount\":%d,\"airspaceFileCount\":%d,\"areas\":%d,\"dataFiles\":%lld}\n",
                model::g_airportCount, model::g_airspaceFileCount, model::g_sceneryAreaCount,
                static_cast<long long>(visited));
    return 0;
}

int Dump(const QStringList& args) {
    if (args.size() != 1) {
        std::fputs("usage: tarvolo-tool dump DIR\n", stderr);
        return 2;
    }
    const std::string dir = Ansi(QDir(args.first()).absolutePath());
    const platform::FileSystem files;
    const auto settingsBytes = files.ReadAll(dir + "\\" + model::kSettingsFileName);
    const auto airportBytes = files.ReadAll(dir + "\\" + model::kAirportsFileName);
    const auto listBytes = files.ReadAll(dir + "\\" + model::kAirspacesFileName);
    if (!settingsBytes || !airportBytes || !listBytes) {
        std::fprintf(stderr, "%s does not hold the three database files\n", dir.c_str());
        return 1;
    }
    const model::SettingsRecord settings = model::DecodeSettings(*settingsBytes);
    JsonWriter head;
    WriteSettings(head, settings);
    std::printf("%s\n", head.Str().c_str());

    const auto airports = builder::DecodeAirportDatabase(*airportBytes, settings.airportCount);
    const auto count = static_cast<std::size_t>(std::max(settings.airportCount, 0));
    for (std::size_t i = 0; i < airports.items.size() && i < count; ++i) {
        JsonWriter line;
        WriteAirport(line, airports.items[i]);
        std::printf("%s\n", line.Str().c_str());
    }
    const auto list = builder::DecodeAirspaceFileList(*listBytes, settings.airspaceFileCount);
    JsonWriter tail;
    tail.BeginObject().Key("airspaceFiles").BeginArray();
    for (std::size_t i = 0; i < list.items.size() &&
                            i < static_cast<std::size_t>(std::max(settings.airspaceFileCount, 0));
         ++i) {
        tail.Text(list.items[i]);
    }
    tail.EndArray().EndObject();
    std::printf("%s\n", tail.Str().c_str());
    if (!airports.complete || !list.complete) {
        std::fputs("the database files end before the counts of the settings file\n", stderr);
        return 1;
    }
    return 0;
}

int Magvar(const QStringList& args) {
    bool latOk = false;
    bool lonOk = false;
    const double lat = args.value(1).toDouble(&latOk);
    const double lon = args.value(2).toDouble(&lonOk);
    if (args.size() != 3 || !latOk || !lonOk) {
        std::fputs("usage: tarvolo-tool magvar SIMDIR LAT LON\n", stderr);
        return 2;
    }
    const std::string simPath = SetupPath(args.first());
    if (!builder::ReadMagvars(platform::FileSystem(simPath), simPath + "\\scenery\\magdec.bgl",
                              model::g_magvarTable)) {
        std::fprintf(stderr, "cannot read %s\\scenery\\magdec.bgl\n", simPath.c_str());
        return 1;
    }
    std::printf("%d\n", model::Magvar_At(lat, lon));
    return 0;
}

}  // namespace tools
