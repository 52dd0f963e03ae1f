#include "tools/scenery/world_json.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace tools {
namespace {

std::string Text(const QJsonObject& o, const char* key) {
    return o.value(QLatin1String(key)).toString().toStdString();
}
double Real(const QJsonObject& o, const char* key) {
    return o.value(QLatin1String(key)).toDouble();
}
std::int32_t Int(const QJsonObject& o, const char* key, int fallback = 0) {
    return o.value(QLatin1String(key)).toInt(fallback);
}

template <typename T, typename Convert>
std::vector<T> List(const QJsonObject& o, const char* key, Convert convert) {
    std::vector<T> items;
    for (const QJsonValue& value : o.value(QLatin1String(key)).toArray()) {
        items.push_back(convert(value.toObject()));
    }
    return items;
}

IlsSpec Ils(const QJsonObject& o) {
    return {Text(o, "name"),       Real(o, "latitude"),     Real(o, "longitude"),
            Real(o, "courseTrue"), Real(o, "frequencyMhz"), Int(o, "type", 4)};
}

RunwaySpec Runway(const QJsonObject& o) {
    RunwaySpec r;
    r.latitude = Real(o, "latitude");
    r.longitude = Real(o, "longitude");
    r.elevationMetres = Real(o, "elevationMetres");
    r.headingTrue = Real(o, "headingTrue");
    r.lengthFeet = Int(o, "lengthFeet");
    r.widthFeet = Int(o, "widthFeet");
    r.mark = Int(o, "mark");
    r.number = Int(o, "number");
    r.ils = List<IlsSpec>(o, "ils", Ils);
    return r;
}

AirportSpec Airport(const QJsonObject& o) {
    AirportSpec a;
    a.name = Text(o, "name");
    a.ident = Text(o, "ident");
    a.latitude = Real(o, "latitude");
    a.longitude = Real(o, "longitude");
    a.elevationMetres = Real(o, "elevationMetres");
    a.radios = List<RadioSpec>(o, "radios", [](const QJsonObject& r) {
        return RadioSpec{Real(r, "frequencyMhz"), Int(r, "kind")};
    });
    a.runways = List<RunwaySpec>(o, "runways", Runway);
    a.taxiPoints = List<TaxiPointSpec>(o, "taxiPoints", [](const QJsonObject& p) {
        return TaxiPointSpec{static_cast<std::uint32_t>(Int(p, "word")),
                             static_cast<float>(Real(p, "eastMetres")),
                             static_cast<float>(Real(p, "northMetres"))};
    });
    a.taxiPaths = List<TaxiPathSpec>(o, "taxiPaths", [](const QJsonObject& p) {
        return TaxiPathSpec{static_cast<std::uint32_t>(Int(p, "type")),
                            static_cast<std::uint32_t>(Int(p, "start")),
                            static_cast<std::uint32_t>(Int(p, "end")), Int(p, "nameIndex")};
    });
    a.parkings = List<ParkingSpec>(o, "parkings", [](const QJsonObject& p) {
        return ParkingSpec{
            static_cast<float>(Real(p, "eastMetres")), static_cast<float>(Real(p, "northMetres")),
            static_cast<float>(Real(p, "radiusMetres")), Int(p, "code", 1), Int(p, "number")};
    });
    for (const QJsonValue& name : o.value(QLatin1String("taxiwayNames")).toArray()) {
        a.taxiwayNames.push_back(name.toString().toStdString());
    }
    return a;
}

AirspaceSpec Airspace(const QJsonObject& o) {
    AirspaceSpec s;
    s.south = Real(o, "south");
    s.west = Real(o, "west");
    s.north = Real(o, "north");
    s.east = Real(o, "east");
    for (const QJsonValue& name : o.value(QLatin1String("names")).toArray()) {
        s.names.push_back(name.toString().toStdString());
    }
    s.frequencies = List<AirspaceFrequencySpec>(o, "frequencies", [](const QJsonObject& f) {
        return AirspaceFrequencySpec{Real(f, "frequencyMhz"), Text(f, "comName")};
    });
    s.vertices = List<AirspaceVertexSpec>(o, "vertices", [](const QJsonObject& v) {
        return AirspaceVertexSpec{Int(v, "kind"), Real(v, "latitude"), Real(v, "longitude"),
                                  Int(v, "radiusNm")};
    });
    s.lowerAltitude = Int(o, "lowerAltitude");
    s.upperAltitude = Int(o, "upperAltitude");
    return s;
}

BglFileSpec File(const QJsonObject& o) {
    BglFileSpec f;
    f.name = Text(o, "name");
    f.marker = o.value(QLatin1String("marker")).toBool(true);
    f.airports = List<AirportSpec>(o, "airports", Airport);
    f.boundaryAirports = List<AirportSpec>(o, "boundaryAirports", Airport);
    f.airspaces = List<AirspaceSpec>(o, "airspaces", Airspace);
    f.fillerBytes = static_cast<std::uint32_t>(Int(o, "fillerBytes"));
    return f;
}

AreaSpec Area(const QJsonObject& o) {
    AreaSpec a;
    a.header = Text(o, "header");
    a.title = Text(o, "title");
    a.local = Text(o, "local");
    a.folder = Text(o, "folder");
    a.active = o.value(QLatin1String("active")).toBool(true);
    a.layer = Int(o, "layer", 1);
    a.files = List<BglFileSpec>(o, "files", File);
    return a;
}

}  // namespace

std::optional<WorldSpec> WorldFromJson(const QByteArray& json, QString& error) {
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject()) {
        error = parseError.errorString();
        return std::nullopt;
    }
    const QJsonObject root = document.object();
    WorldSpec world;
    world.magvarBase = root.value(QLatin1String("magvarBase")).toDouble(world.magvarBase);
    world.magvarWave = root.value(QLatin1String("magvarWave")).toDouble(world.magvarWave);
    world.magvarTilt = root.value(QLatin1String("magvarTilt")).toDouble(world.magvarTilt);
    world.extraGeneralSection = root.value(QLatin1String("generalSection")).toBool(true);
    world.areas = List<AreaSpec>(root, "areas", Area);
    return world;
}

}  // namespace tools
