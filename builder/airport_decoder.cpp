#include "builder/airport_decoder.h"

#include <charconv>
#include <cmath>
#include <string>

#include "builder/bgl_records.h"
#include "builder/encodings.h"
#include "model/geodesy.h"
#include "model/rounding.h"
#include "platform/ansi.h"

namespace builder {
namespace {

using model::AirportRecord;

using namespace bgl;

constexpr std::int32_t kHeader = kAirportHeader;
constexpr std::int32_t kIdent = kText;
constexpr std::int32_t kIlsType = 4;

// Earth circumference in metres, as the runway end computation has always used it.
constexpr double kCircumferenceMetres = 40007000;

struct Reference {
    double latitude = 0;
    double longitude = 0;
};

int WrapDegrees(int degrees) {
    return ((degrees % 360) + 360) % 360;
}

double WrapLongitude(double longitude) {
    if (longitude > 180) {
        return longitude - 360;
    }
    if (longitude < -180) {
        return longitude + 360;
    }
    return longitude;
}

void ReadRadio(const FileBuffer& buffer, std::int64_t r, AirportRecord& airport) {
    const std::string frequency = FrequencyText(buffer.ReadInt32(r + 8));
    std::string* field = nullptr;
    switch (buffer.ReadInt32(r + 12)) {
        case 1:
            field = &airport.atisFreq;
            break;
        case 5:
            field = &airport.groundFreq;
            break;
        case 6:
            field = &airport.towerFreq;
            break;
        case 7:
            field = &airport.clearanceFreq;
            break;
        case 8:
            field = &airport.approachFreq;
            break;
        case 9:
            field = &airport.departureFreq;
            break;
        case 10:
            field = &airport.centerFreq;
            break;
        default:
            return;
    }
    if (field->empty()) {
        *field = frequency;
    }
}

void ReadHeader(const FileBuffer& buffer, std::int64_t r, AirportRecord& airport,
                Reference& reference) {
    reference.latitude = LatitudeOf(buffer.ReadInt32(r + 12));
    reference.longitude = AirportLongitudeOf(buffer.ReadInt32(r + 20));
    airport.latitude = reference.latitude;
    airport.longitude = reference.longitude;
    airport.elevation = MetresToFeet(buffer.ReadInt32(r + 28));
}

std::string Suffix(std::int32_t mark, bool opposite) {
    switch (mark) {
        case 1:
            return opposite ? "R" : "L";
        case 2:
            return opposite ? "L" : "R";
        case 3:
            return "C";
        case 4:
            return "H";
        default:
            return "";
    }
}

// A runway and the ILS records that follow it; returns the offset of the first record after
// them.
std::int64_t ReadRunway(const FileBuffer& buffer, std::int64_t r, AirportRecord& airport) {
    const double lat = LatitudeOf(buffer.ReadInt32(r + 12));
    const double lon = LongitudeOf(buffer.ReadInt32(r + 20));
    const double elevationFeet = buffer.ReadInt32(r + 28) / 0.3048;
    const std::int32_t h = buffer.ReadInt32(r + 32);
    const double hdg = HeadingOf(h);
    const double opp = (h / 65536.0 - 32768) * 360.0 / 65536.0;  // hdg - 180, not wrapped
    const std::int32_t lengthFeet = buffer.ReadInt32(r + 40);
    const std::int32_t widthFeet = buffer.ReadInt32(r + 44);
    const std::int32_t mark = buffer.ReadInt32(r + 48);
    const std::int32_t number = buffer.ReadInt32(r + 52);

    const double k = model::kPi / 180;
    const double lengthMetres = lengthFeet * 0.3048;
    const double dNorth = std::cos(hdg * k) * lengthMetres;
    const double dEast = std::sin(hdg * k) * lengthMetres;
    const double halfLat = (dNorth * 360 * 0.5) / kCircumferenceMetres;
    const double halfLon = (dEast * 360 * 0.5) / (std::cos(lat * k) * kCircumferenceMetres);

    model::RunwayRecord runway;
    runway.end1Latitude = lat - halfLat;
    runway.end1Longitude = WrapLongitude(lon - halfLon);
    runway.end2Latitude = lat + halfLat;
    runway.end2Longitude = WrapLongitude(lon + halfLon);
    if (number >= 0 && number < 37 && mark >= 0 && mark <= 4) {
        int oppositeNumber = number + 18;
        if (oppositeNumber > 36) {
            oppositeNumber -= 36;
        }
        runway.designator = std::to_string(number) + Suffix(mark, false);
        runway.oppositeDesignator = std::to_string(oppositeNumber) + Suffix(mark, true);
    }
    runway.elevation = model::RoundToInt(elevationFeet);
    const int hdgRounded = model::RoundToInt(hdg);
    const int oppRounded = model::RoundToInt(opp);
    runway.magHeading = static_cast<std::int16_t>(
        model::True_To_Magnetic(hdgRounded, runway.end1Latitude, runway.end1Longitude));
    runway.oppositeMagHeading = static_cast<std::int16_t>(
        model::True_To_Magnetic(oppRounded, runway.end2Latitude, runway.end2Longitude));
    runway.lengthFeet = lengthFeet;
    runway.widthFeet = widthFeet;

    ++airport.runwayCount;
    airport.runways.resize(static_cast<std::size_t>(airport.runwayCount) + 1);
    airport.runways[static_cast<std::size_t>(airport.runwayCount) - 1] = runway;

    // The ILS records that follow the runway. Each is placed on the threshold whose heading
    // it flies, compared in 0..359 so either end of any runway can match.
    std::int64_t s = Next(r, buffer.ReadInt32(r + 4));
    while (buffer.ReadInt32(s) == kIls) {
        const std::int32_t ilsSize = buffer.ReadInt32(s + 4);
        if (buffer.ReadInt32(s + 40) == kIlsType) {
            model::IlsRecord ils;
            ils.latitude = LatitudeOf(buffer.ReadInt32(s + 12));
            ils.longitude = LongitudeOf(buffer.ReadInt32(s + 20));
            if (ils.longitude > 180) {
                ils.longitude -= 360;
            }
            const int course = model::RoundToInt(HeadingOf(buffer.ReadInt32(s + 32)));
            ils.frequency = FrequencyText(buffer.ReadInt32(s + 36));
            ils.name = buffer.ReadText(s + 56, static_cast<std::int64_t>(ilsSize) - 48);
            ils.magCourse = static_cast<std::int16_t>(
                model::True_To_Magnetic(course, ils.latitude, ils.longitude));
            if (WrapDegrees(course) == WrapDegrees(hdgRounded)) {
                ils.latitude = runway.end1Latitude;
                ils.longitude = runway.end1Longitude;
            } else if (WrapDegrees(course) == WrapDegrees(oppRounded)) {
                ils.latitude = runway.end2Latitude;
                ils.longitude = runway.end2Longitude;
            }
            ++airport.ilsCount;
            airport.ilsList.resize(static_cast<std::size_t>(airport.ilsCount) + 1);
            airport.ilsList[static_cast<std::size_t>(airport.ilsCount) - 1] = std::move(ils);
        }
        s = Next(s, ilsSize);
    }
    return s;
}

// A point east (x) and north (y) of the reference point, in metres; the two moves are made
// separately and each gives one coordinate.
model::Position Offset(const Reference& reference, float x, float y) {
    model::Position position{reference.latitude, reference.longitude};
    if (y != 0) {
        position.latitude =
            model::Destination_Meters(reference.latitude, reference.longitude, y > 0 ? 0 : 180, y)
                .latitude;
    }
    if (x != 0) {
        position.longitude =
            model::Destination_Meters(reference.latitude, reference.longitude, x > 0 ? 90 : 270, x)
                .longitude;
    }
    return position;
}

float SingleAt(const FileBuffer& buffer, std::int64_t pos) {
    return BitsToSingle(static_cast<std::uint32_t>(buffer.ReadInt32(pos)));
}

bool IndexOf(const std::string& text, std::int32_t& index) {
    const char* end = text.data() + text.size();
    const auto [ptr, error] = std::from_chars(text.data(), end, index);
    return error == std::errc() && ptr == end;
}

void ApplyTaxiwayNames(const FileBuffer& buffer, std::int64_t q, std::int32_t count,
                       AirportRecord& airport) {
    for (std::int32_t k = 0; k < count; ++k) {
        const std::string text = buffer.ReadText(q + 8 + 8 * static_cast<std::int64_t>(k), 8);
        const std::string key = std::to_string(k);
        for (model::TaxiPathRecord& path : airport.taxiPaths) {
            if (path.pathType == 0 && path.name == key) {
                path.name = text;
            }
        }
    }
    for (model::TaxiPathRecord& path : airport.taxiPaths) {
        std::int32_t runway = 0;
        if (path.pathType == 1 && IndexOf(path.name, runway) && runway >= 0 &&
            runway < airport.runwayCount) {
            path.name = "Runway " + airport.runways[static_cast<std::size_t>(runway)].designator;
        }
    }
}

void ReadGroundNetwork(const FileBuffer& buffer, std::int64_t r, const Reference& reference,
                       AirportRecord& airport) {
    bool pathsRead = false;
    std::int64_t q = r + 8;
    while (true) {
        const std::int32_t count = buffer.ReadInt32(q);
        const std::int32_t elementSize = buffer.ReadInt32(q + 4);
        if (elementSize != 32 && elementSize != 20 && elementSize != 12 && elementSize != 8) {
            return;
        }
        // The whole list must lie in the file before anything is sized from its count.
        const std::int64_t listBytes = static_cast<std::int64_t>(count) * elementSize;
        if (count < 0 || listBytes > buffer.Size() - (q + 8)) {
            throw OutOfBuffer();
        }
        const auto n = static_cast<std::size_t>(count);
        auto element = [&](std::size_t j) {
            return q + 8 + static_cast<std::int64_t>(j) * elementSize;
        };
        switch (elementSize) {
            case 32:
                airport.taxiPaths.assign(n, {});
                airport.taxiPathCount = count;
                for (std::size_t j = 0; j < n; ++j) {
                    const std::int64_t e = element(j);
                    model::TaxiPathRecord& path = airport.taxiPaths[j];
                    path.pathType = static_cast<std::uint32_t>(buffer.ReadInt32(e));
                    path.startPoint = static_cast<std::uint32_t>(buffer.ReadInt32(e + 12));
                    path.endPoint = static_cast<std::uint32_t>(buffer.ReadInt32(e + 16));
                    path.name = std::to_string(buffer.ReadInt32(e + 28));
                }
                pathsRead = true;
                break;
            case 20:
                airport.parkings.assign(n, {});
                airport.parkingCount = count;
                for (std::size_t j = 0; j < n; ++j) {
                    const std::int64_t e = element(j);
                    model::ParkingRecord& parking = airport.parkings[j];
                    const model::Position at =
                        Offset(reference, SingleAt(buffer, e), SingleAt(buffer, e + 4));
                    parking.latitude = at.latitude;
                    parking.longitude = at.longitude;
                    parking.radiusFeet = MetresToFeet(SingleAt(buffer, e + 8));
                    parking.name = ParkingName(buffer.ReadInt32(e + 16));
                }
                break;
            case 12:
                airport.taxiPoints.assign(n, {});
                airport.taxiPointCount = count;
                for (std::size_t j = 0; j < n; ++j) {
                    const std::int64_t e = element(j);
                    model::TaxiPointRecord& point = airport.taxiPoints[j];
                    point.pointWord = static_cast<std::uint32_t>(buffer.ReadInt32(e));
                    const model::Position at =
                        Offset(reference, SingleAt(buffer, e + 4), SingleAt(buffer, e + 8));
                    point.latitude = at.latitude;
                    point.longitude = at.longitude;
                }
                break;
            default:  // 8: the taxiway names, always the last list
                if (pathsRead) {
                    ApplyTaxiwayNames(buffer, q, count, airport);
                }
                return;
        }
        q += 8 + listBytes;
    }
}

}  // namespace

void ReadAirportData(const FileBuffer& buffer, std::int64_t blockOffset, AirportRecord& airport) {
    Reference reference;
    std::int64_t r = blockOffset + 16;
    while (true) {
        const std::int32_t id = buffer.ReadInt32(r);
        const std::int32_t size = buffer.ReadInt32(r + 4);
        switch (id) {
            case kRadio:
                ReadRadio(buffer, r, airport);
                break;
            case kGroundNetwork:
                ReadGroundNetwork(buffer, r, reference, airport);
                break;
            case kHeader:
                ReadHeader(buffer, r, airport, reference);
                break;
            case kRunway:
                r = ReadRunway(buffer, r, airport);
                continue;
            case 0x10003:
            case kIls:
            case 0x10005:
                break;
            case kIdent: {
                airport.ident = platform::UpperAnsi(buffer.ReadText(r + 8, size));
                break;
            }
            default:
                return;  // any other record ends the airport
        }
        r = Next(r, size);
    }
}

}  // namespace builder
