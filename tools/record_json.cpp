#include "tools/record_json.h"

namespace tools {

void WriteSettings(JsonWriter& out, const model::SettingsRecord& s) {
    out.BeginObject()
        .Field("version", s.version)
        .Field("recordFlag", s.recordFlag)
        .Field("simKind", s.simKind)
        .Field("simPath", s.simPath)
        .Field("airportCount", s.airportCount)
        .Field("airspaceFileCount", s.airspaceFileCount)
        .EndObject();
}

void WriteAirport(JsonWriter& out, const model::AirportRecord& a) {
    out.BeginObject()
        .Field("name", a.name)
        .Field("ident", a.ident)
        .Field("latitude", a.latitude)
        .Field("longitude", a.longitude)
        .Field("elevation", a.elevation)
        .Field("clearanceFreq", a.clearanceFreq)
        .Field("groundFreq", a.groundFreq)
        .Field("towerFreq", a.towerFreq)
        .Field("departureFreq", a.departureFreq)
        .Field("approachFreq", a.approachFreq)
        .Field("centerFreq", a.centerFreq)
        .Field("atisFreq", a.atisFreq);
    out.Key("runways").BeginArray();
    for (const model::RunwayRecord& r : a.runways) {
        out.BeginObject()
            .Field("designator", r.designator)
            .Field("oppositeDesignator", r.oppositeDesignator)
            .Field("end1Latitude", r.end1Latitude)
            .Field("end1Longitude", r.end1Longitude)
            .Field("end2Latitude", r.end2Latitude)
            .Field("end2Longitude", r.end2Longitude)
            .Field("elevation", r.elevation)
            .Field("magHeading", r.magHeading)
            .Field("oppositeMagHeading", r.oppositeMagHeading)
            .Field("lengthFeet", r.lengthFeet)
            .Field("widthFeet", r.widthFeet)
            .EndObject();
    }
    out.EndArray().Field("runwayCount", a.runwayCount);
    out.Key("ilsList").BeginArray();
    for (const model::IlsRecord& i : a.ilsList) {
        out.BeginObject()
            .Field("name", i.name)
            .Field("latitude", i.latitude)
            .Field("longitude", i.longitude)
            .Field("magCourse", i.magCourse)
            .Field("frequency", i.frequency)
            .EndObject();
    }
    out.EndArray().Field("ilsCount", a.ilsCount);
    out.Key("taxiPoints").BeginArray();
    for (const model::TaxiPointRecord& p : a.taxiPoints) {
        out.BeginObject()
            .Field("pointWord", p.pointWord)
            .Field("latitude", p.latitude)
            .Field("longitude", p.longitude)
            .EndObject();
    }
    out.EndArray().Field("taxiPointCount", a.taxiPointCount);
    out.Key("parkings").BeginArray();
    for (const model::ParkingRecord& p : a.parkings) {
        out.BeginObject()
            .Field("name", p.name)
            .Field("latitude", p.latitude)
            .Field("longitude", p.longitude)
            .Field("radiusFeet", p.radiusFeet)
            .EndObject();
    }
    out.EndArray().Field("parkingCount", a.parkingCount);
    out.Key("taxiPaths").BeginArray();
    for (const model::TaxiPathRecord& p : a.taxiPaths) {
        out.BeginObject()
            .Field("pathType", p.pathType)
            .Field("startPoint", p.startPoint)
            .Field("endPoint", p.endPoint)
            .Field("name", p.name)
            .EndObject();
    }
    out.EndArray().Field("taxiPathCount", a.taxiPathCount).EndObject();
}

}  // namespace tools
