#include "loader/airspace_decoder.h"

#include <algorithm>
#include <cstdint>

#include "builder/bgl_records.h"
#include "builder/encodings.h"
#include "model/geodesy.h"
#include "model/rounding.h"

namespace loader {
namespace {

using builder::FileBuffer;
using builder::OutOfBuffer;

using namespace builder::bgl;

constexpr std::int32_t kName = kText;
constexpr std::int32_t kFrequency = kRadio;

double Latitude(const FileBuffer& buffer, std::int64_t at) {
    return model::RoundHalfEven(builder::LatitudeOf(buffer.ReadInt32(at)), 4);
}

double Longitude(const FileBuffer& buffer, std::int64_t at) {
    return model::RoundHalfEven(builder::LongitudeOf(buffer.ReadInt32(at)), 4);
}

// The levels above a record: tag 1 records of the given type are followed, tag 1 and
// 0x30001 records stepped over, anything else ends the list.
template <typename Visit>
void WalkList(const FileBuffer& buffer, std::int64_t record, std::int32_t wantedType, Visit visit) {
    while (true) {
        const std::int32_t tag = buffer.ReadInt32(record);
        if (tag != kBoundaryRecord && tag != kGroupRecord) {
            return;
        }
        if (tag == kBoundaryRecord && buffer.ReadInt32(record + 8) == wantedType) {
            visit(record);
        }
        record = Next(record, buffer.ReadInt32(record + 4));
    }
}

model::AirspaceRecord& Last(AirspaceList out) {
    return out.airspaces[static_cast<std::size_t>(out.count) - 1];
}

void AppendRecord(AirspaceList out) {
    ++out.count;
    out.airspaces.resize(static_cast<std::size_t>(out.count) + 1);
}

void AppendVertex(model::AirspaceRecord& record, model::AirspaceVertex vertex) {
    ++record.vertexCount;
    record.vertices.resize(static_cast<std::size_t>(record.vertexCount) + 1);
    record.vertices[static_cast<std::size_t>(record.vertexCount) - 1] = vertex;
}

// The bounding box sub-record: when it holds the airport (strictly), a new record starts,
// centred half-way along the box's diagonal from its north-west corner.
bool ReadBoundingBox(const FileBuffer& buffer, std::int64_t at, AirportPosition airport,
                     AirspaceList out) {
    const double south = Latitude(buffer, at + 8);
    const double west = Longitude(buffer, at + 12);
    const double north = Latitude(buffer, at + 16);
    const double east = Longitude(buffer, at + 20);
    if (!(north > airport.latitude && south < airport.latitude && east > airport.longitude &&
          west < airport.longitude)) {
        return false;
    }
    AppendRecord(out);
    const int distance = model::Distance_NM(north, west, south, east);
    const int bearing = model::Bearing_True(north, west, south, east);
    const model::Position centre =
        model::Destination_NM(north, west, bearing, model::RoundToInt(distance / 2.0));
    Last(out).centerLatitude = centre.latitude;
    Last(out).centerLongitude = centre.longitude;
    return true;
}

}  // namespace

void ScanAirspaceFile(const FileBuffer& buffer, AirportPosition airport, AirspaceList out) {
    try {
        if (buffer.ReadInt32(144) != 1) {
            return;
        }
        const std::int32_t section = buffer.ReadInt32(164);
        if (section > 0) {
            WalkAirspaceSection(buffer, section, airport, out);
        }
    } catch (const OutOfBuffer&) {
        // A damaged file keeps the airspaces found before the damage.
    }
}

void WalkAirspaceSection(const FileBuffer& buffer, std::int64_t offset, AirportPosition airport,
                         AirspaceList out) {
    WalkList(buffer, offset, kAirspaceGroup,
             [&](std::int64_t group) { WalkAirspaceGroup(buffer, group + 16, airport, out); });
}

void WalkAirspaceGroup(const FileBuffer& buffer, std::int64_t offset, AirportPosition airport,
                       AirspaceList out) {
    WalkList(buffer, offset, kAirspace,
             [&](std::int64_t record) { ReadAirspaceRecord(buffer, record, airport, out); });
}

void ReadAirspaceRecord(const FileBuffer& buffer, std::int64_t offset, AirportPosition airport,
                        AirspaceList out) {
    bool accepted = false;
    // The sub-records run until one of a kind not known here; the record's own size does
    // not bound them.
    for (std::int64_t at = offset + 16;; at = Next(at, buffer.ReadInt32(at + 4))) {
        const std::int32_t tag = buffer.ReadInt32(at);
        switch (tag) {
            case kBoundingBox:
                accepted = ReadBoundingBox(buffer, at, airport, out) || accepted;
                break;
            case kName:
                if (accepted) {
                    const std::string name = buffer.ReadText(at + 8, buffer.ReadInt32(at + 4));
                    std::string& names = Last(out).name;
                    names = names.empty() ? name : names + "  " + name;
                }
                break;
            case kFrequency:
                if (accepted) {
                    model::AirspaceRecord& record = Last(out);
                    record.frequencyList +=
                        builder::FrequencyDigits(buffer.ReadInt32(at + 8)) + " Mhz  ";
                    record.comName = buffer.ReadText(
                        at + 16, static_cast<std::int64_t>(buffer.ReadInt32(at + 4)) - 8);
                }
                break;
            case kPolygonPoint:
                if (accepted) {
                    model::AirspaceRecord& record = Last(out);
                    AppendVertex(record,
                                 {0, Latitude(buffer, at + 12), Longitude(buffer, at + 20), 0});
                    record.lowerAltitude = buffer.ReadInt32(at + 24);
                    record.upperAltitude = buffer.ReadInt32(at + 28);
                }
                break;
            case kPoint:
            case kArcKind3:
            case kArcKind4:
            case kArcKind5:
                if (accepted) {
                    const std::uint8_t kind = tag == kPoint      ? 1
                                              : tag == kArcKind3 ? 3
                                              : tag == kArcKind4 ? 4
                                                                 : 5;
                    AppendVertex(Last(out),
                                 {kind, Latitude(buffer, at + 12), Longitude(buffer, at + 20), 0});
                }
                break;
            case kCircle:
                if (accepted) {
                    model::AirspaceRecord& record = Last(out);
                    AppendVertex(record, {2, 0, 0, buffer.ReadInt32(at + 8)});
                    record.lowerAltitude = buffer.ReadInt32(at + 16);
                    record.upperAltitude = buffer.ReadInt32(at + 20);
                }
                break;
            case kSkipped:
                break;
            default:
                return;
        }
    }
}

void ClassifyAirspaces(AirspaceList list) {
    for (std::int32_t i = 0; i < list.count; ++i) {
        model::AirspaceRecord& record = list.airspaces[static_cast<std::size_t>(i)];
        if (!record.frequencyList.empty() && !record.comName.empty()) {
            record.classLabel = "ARTCC/FIR";
            continue;
        }
        record.classLabel = "Airspace Class B";
        if (record.lowerAltitude <= 4000 && record.upperAltitude <= 4000) {
            record.classLabel = "Airspace Class C";
            if (record.lowerAltitude <= 2500 && record.upperAltitude <= 2500) {
                record.classLabel = "Airspace Class D";
            }
        }
    }
}

void AddTerminalAirspace(const model::AirportRecord& airport, AirspaceList list) {
    if (airport.departureFreq.empty() && airport.approachFreq.empty()) {
        return;
    }
    AppendRecord(list);
    model::AirspaceRecord& record = Last(list);
    record.centerLatitude = airport.latitude;
    record.centerLongitude = airport.longitude;
    record.classLabel = "TRACON (Departure/Approach)";
    record.lowerAltitude = airport.elevation;
    // A damaged database could hold any elevation: saturate rather than overflow.
    record.upperAltitude = static_cast<std::int32_t>(
        std::min<std::int64_t>(std::int64_t{airport.elevation} + 10000, INT32_MAX));
    for (const std::string* frequency : {&airport.departureFreq, &airport.approachFreq}) {
        if (!frequency->empty()) {
            record.frequencyList += *frequency + " Mhz  ";
        }
    }
    AppendVertex(record, {1, airport.latitude, airport.longitude, 0});
    AppendVertex(record, {2, 0, 0, 20});
}

}  // namespace loader
