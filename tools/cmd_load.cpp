// load: GET AIRPORT for one airport of a database, headless; prints the scene.

#include <QDir>
#include <cstdio>
#include <filesystem>

#include "loader/airport_area.h"
#include "model/own_files.h"
#include "model/settings_record.h"
#include "model/shared_state.h"
#include "platform/ansi.h"
#include "platform/file_system.h"
#include "tools/commands.h"
#include "tools/record_json.h"

namespace tools {
namespace {

void WriteAirspace(JsonWriter& out, const model::AirspaceRecord& a) {
    out.BeginObject().Key("vertices").BeginArray();
    for (std::int32_t i = 0; i < a.vertexCount && static_cast<std::size_t>(i) < a.vertices.size();
         ++i) {
        const model::AirspaceVertex& v = a.vertices[static_cast<std::size_t>(i)];
        out.BeginObject()
            .Field("kind", v.kind)
            .Field("latitude", v.latitude)
            .Field("longitude", v.longitude)
            .Field("radius", v.radius)
            .EndObject();
    }
    out.EndArray()
        .Field("vertexCount", a.vertexCount)
        .Field("centerLatitude", a.centerLatitude)
        .Field("centerLongitude", a.centerLongitude)
        .Field("lowerAltitude", a.lowerAltitude)
        .Field("upperAltitude", a.upperAltitude)
        .Field("frequencyList", a.frequencyList)
        .Field("classLabel", a.classLabel)
        .Field("name", a.name)
        .Field("comName", a.comName)
        .EndObject();
}

}  // namespace

int LoadScene(const QString& dir, qlonglong index, const QString& simFolder) {
    const std::string sim =
        simFolder.isEmpty()
            ? std::string()
            : platform::Utf8ToAnsi(
                  std::filesystem::absolute(simFolder.toStdString()).lexically_normal().string());
    if (!QDir::setCurrent(dir)) {
        std::fprintf(stderr, "no folder %s\n", qPrintable(dir));
        return 1;
    }
    model::ResetSharedState();
    const auto settingsBytes =
        platform::FileSystem().ReadAll(platform::OwnFilePath(model::kSettingsFileName));
    if (!settingsBytes) {
        std::fputs("no settings file in that folder\n", stderr);
        return 1;
    }
    model::g_settings = model::DecodeSettings(*settingsBytes);
    model::g_simPath = model::g_settings.simPath;
    model::g_airportCount = model::g_settings.airportCount;
    model::g_airspaceFileCount = model::g_settings.airspaceFileCount;

    int status = 0;
    auto report = [&status](const std::optional<std::string>& problem) {
        if (problem) {
            std::fprintf(stderr, "%s\n", problem->c_str());
            status = 1;
        }
    };
    report(loader::ReadAirports());
    report(loader::ReadAirspaceFileList());
    if (!sim.empty()) {
        // The database names the airspace files of the folder it was built from: read them
        // from the folder given instead.
        const std::string oldPrefix = platform::LowerAnsi(model::g_simPath);
        for (std::string& file : model::g_airspaceFiles) {
            if (platform::LowerAnsi(file).starts_with(oldPrefix)) {
                file = sim + file.substr(oldPrefix.size());
            }
        }
        model::g_simPath = sim;
    }
    if (!loader::ReadMagvars()) {
        std::fprintf(stderr, "magdec.bgl of %s could not be read\n", model::g_simPath.c_str());
    }
    if (!loader::LoadAirport(index)) {
        std::fprintf(stderr, "no airport at index %lld\n", index);
        return 1;
    }
    return status;
}

int Load(const QStringList& args) {
    bool indexOk = false;
    const qlonglong index = args.value(1).toLongLong(&indexOk);
    QString simFolder;
    if (args.size() == 4 && args[2] == "--sim") {
        simFolder = args[3];
    }
    if (!indexOk || (args.size() != 2 && simFolder.isEmpty())) {
        std::fputs("usage: tarvolo-tool load DIR INDEX [--sim SIMDIR]\n", stderr);
        return 2;
    }
    const int status = LoadScene(args[0], index, simFolder);
    if (model::g_airport.name.empty() && status != 0) {
        return status;
    }
    JsonWriter out;
    out.BeginObject().Key("airport");
    WriteAirport(out, model::g_airport);
    out.Key("airspaces").BeginArray();
    for (std::int32_t i = 0; i < model::g_airspaceCount; ++i) {
        WriteAirspace(out, model::g_airspaces[static_cast<std::size_t>(i)]);
    }
    out.EndArray().Field("airspaceCount", model::g_airspaceCount).EndObject();
    std::printf("%s\n", out.Str().c_str());
    return status;
}

}  // namespace tools
