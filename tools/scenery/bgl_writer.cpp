#include "tools/scenery/bgl_writer.h"

#include <bit>
#include <cmath>
#include <string>

namespace tools {
namespace {

constexpr std::int32_t kGroupRecord = 0x30001;
constexpr std::int32_t kAirportEntry = 0x30002;
constexpr std::int32_t kAirportKind = 0x50001;
constexpr std::size_t kHeaderSize = 256;

class Bytes {
public:
    std::size_t Size() const { return m_data.size(); }
    std::vector<std::uint8_t> Take() { return std::move(m_data); }

    void I32(std::int32_t value) { U32(static_cast<std::uint32_t>(value)); }
    void U32(std::uint32_t value) {
        for (int i = 0; i < 4; ++i) {
            m_data.push_back(static_cast<std::uint8_t>((value >> (8 * i)) & 0xFF));
        }
    }
    void I16(std::int16_t value) {
        const auto bits = static_cast<std::uint16_t>(value);
        m_data.push_back(static_cast<std::uint8_t>(bits & 0xFF));
        m_data.push_back(static_cast<std::uint8_t>(bits >> 8));
    }
    void Single(float value) { U32(std::bit_cast<std::uint32_t>(value)); }
    void Text(const std::string& text) { m_data.insert(m_data.end(), text.begin(), text.end()); }
    void Zeros(std::size_t count) { m_data.insert(m_data.end(), count, 0); }
    // A 64-bit fixed-point value whose upper 32 bits are what the readers take.
    void Upper(std::int32_t value) {
        I32(0);
        I32(value);
    }

    void PutI32(std::size_t at, std::int32_t value) {
        for (int i = 0; i < 4; ++i) {
            m_data[at + static_cast<std::size_t>(i)] =
                static_cast<std::uint8_t>((static_cast<std::uint32_t>(value) >> (8 * i)) & 0xFF);
        }
    }

    // Starts a record with its id and a size to be set by End.
    std::size_t Begin(std::int32_t id) {
        const std::size_t start = Size();
        I32(id);
        I32(0);
        return start;
    }
    void End(std::size_t start) {
        PutI32(start + 4, static_cast<std::int32_t>(Size() - start - 8));
    }
    void Terminator() {
        I32(0);
        I32(0);
    }

private:
    std::vector<std::uint8_t> m_data;
};

std::int32_t Saturate(double value) {
    const double rounded = std::nearbyint(value);
    if (rounded >= 2147483647.0) {
        return 2147483647;
    }
    if (rounded <= -2147483648.0) {
        return static_cast<std::int32_t>(-2147483647 - 1);
    }
    return static_cast<std::int32_t>(rounded);
}

void WriteIls(Bytes& out, const IlsSpec& ils) {
    const std::size_t start = out.Begin(0x10004);
    out.Upper(EncodeLatitude(ils.latitude));
    out.Upper(EncodeLongitude(ils.longitude));
    out.Upper(0);  // altitude
    out.I32(EncodeHeading(ils.courseTrue));
    out.I32(EncodeFrequency(ils.frequencyMhz));
    out.I32(ils.type);
    out.Zeros(12);
    out.Text(ils.name);
    out.End(start);
}

void WriteRunway(Bytes& out, const RunwaySpec& runway) {
    const std::size_t start = out.Begin(0x10002);
    out.Upper(EncodeLatitude(runway.latitude));
    out.Upper(EncodeLongitude(runway.longitude));
    out.Upper(Saturate(runway.elevationMetres));
    out.I32(EncodeHeading(runway.headingTrue));
    out.I32(0);
    out.I32(runway.lengthFeet);
    out.I32(runway.widthFeet);
    out.I32(runway.mark);
    out.I32(runway.number);
    out.End(start);
    for (const IlsSpec& ils : runway.ils) {
        WriteIls(out, ils);
    }
}

void WriteGroundNetwork(Bytes& out, const AirportSpec& airport) {
    const std::size_t start = out.Begin(0x11001);
    out.I32(static_cast<std::int32_t>(airport.taxiPoints.size()));
    out.I32(12);
    for (const TaxiPointSpec& point : airport.taxiPoints) {
        out.U32(point.word);
        out.Single(point.eastMetres);
        out.Single(point.northMetres);
    }
    out.I32(static_cast<std::int32_t>(airport.taxiPaths.size()));
    out.I32(32);
    for (const TaxiPathSpec& path : airport.taxiPaths) {
        out.U32(path.type);
        out.Zeros(8);
        out.U32(path.start);
        out.U32(path.end);
        out.Zeros(8);
        out.I32(path.nameIndex);
    }
    out.I32(static_cast<std::int32_t>(airport.parkings.size()));
    out.I32(20);
    for (const ParkingSpec& parking : airport.parkings) {
        out.Single(parking.eastMetres);
        out.Single(parking.northMetres);
        out.Single(parking.radiusMetres);
        out.I32(0);
        out.I32(ParkingWord(parking.code, parking.number));
    }
    out.I32(static_cast<std::int32_t>(airport.taxiwayNames.size()));
    out.I32(8);
    for (const std::string& name : airport.taxiwayNames) {
        std::string padded = name.substr(0, 8);
        padded.resize(8, '\0');
        out.Text(padded);
    }
    out.End(start);
}

void WriteAirportBlock(Bytes& out, const AirportSpec& airport) {
    out.I32(1);
    out.I32(0);
    out.I32(1);
    out.I32(0);
    std::size_t start = out.Begin(0x10001);
    out.Upper(EncodeLatitude(airport.latitude));
    out.Upper(EncodeAirportLongitude(airport.longitude));
    out.Upper(Saturate(airport.elevationMetres));
    out.End(start);
    start = out.Begin(0x10006);
    out.Text(airport.ident);
    out.End(start);
    for (const RadioSpec& radio : airport.radios) {
        start = out.Begin(0x20001);
        out.I32(EncodeFrequency(radio.frequencyMhz));
        out.I32(radio.kind);
        out.End(start);
    }
    for (const RunwaySpec& runway : airport.runways) {
        WriteRunway(out, runway);
    }
    if (!airport.taxiPoints.empty() || !airport.parkings.empty() || !airport.taxiPaths.empty()) {
        WriteGroundNetwork(out, airport);
    }
    out.Terminator();
}

// One group record listing the airports, followed by their data blocks (whose offsets the
// entries name) and a terminator ending the run of groups.
void WriteAirportGroup(Bytes& out, const std::vector<AirportSpec>& airports,
                       std::vector<std::size_t>& blockOffsetSlots) {
    const std::size_t group = out.Begin(kGroupRecord);
    out.Zeros(12);
    out.I32(static_cast<std::int32_t>(airports.size()));
    for (const AirportSpec& airport : airports) {
        const std::size_t entry = out.Begin(kAirportEntry);
        out.I32(kAirportKind);
        blockOffsetSlots.push_back(out.Size());
        out.I32(0);
        out.Text(airport.name);
        out.End(entry);
    }
    out.End(group);
}

void WriteAirspace(Bytes& out, const AirspaceSpec& airspace) {
    const std::size_t record = out.Begin(1);
    out.I32(5);
    out.I32(0);
    std::size_t start = out.Begin(0x1000B);
    out.I32(EncodeLatitude(airspace.south));
    out.I32(EncodeLongitude(airspace.west));
    out.I32(EncodeLatitude(airspace.north));
    out.I32(EncodeLongitude(airspace.east));
    out.End(start);
    for (const std::string& name : airspace.names) {
        start = out.Begin(0x10006);
        out.Text(name);
        out.End(start);
    }
    for (const AirspaceFrequencySpec& frequency : airspace.frequencies) {
        start = out.Begin(0x20001);
        out.I32(EncodeFrequency(frequency.frequencyMhz));
        out.I32(0);
        out.Text(frequency.comName);
        out.End(start);
    }
    for (const AirspaceVertexSpec& vertex : airspace.vertices) {
        switch (vertex.kind) {
            case 0:
                start = out.Begin(0x12002);
                out.I32(0);
                out.I32(EncodeLatitude(vertex.latitude));
                out.I32(0);
                out.I32(EncodeLongitude(vertex.longitude));
                out.I32(airspace.lowerAltitude);
                out.I32(airspace.upperAltitude);
                break;
            case 2:
                start = out.Begin(0x12008);
                out.I32(vertex.radiusNm);
                out.I32(0);
                out.I32(airspace.lowerAltitude);
                out.I32(airspace.upperAltitude);
                break;
            default: {
                static constexpr std::int32_t kTags[] = {0, 0x12001, 0, 0x12006, 0x12007, 0x12005};
                start = out.Begin(kTags[vertex.kind >= 1 && vertex.kind <= 5 ? vertex.kind : 1]);
                out.I32(0);
                out.I32(EncodeLatitude(vertex.latitude));
                out.I32(0);
                out.I32(EncodeLongitude(vertex.longitude));
                break;
            }
        }
        out.End(start);
    }
    out.Terminator();  // ends the sub-records
    out.End(record);
}

}  // namespace

std::int32_t EncodeLatitude(double degrees) {
    return Saturate(degrees * 10001750.0 / 90.0);
}
std::int32_t EncodeLongitude(double degrees) {
    return Saturate(degrees * 4294967296.0 / 360.0);
}
std::int32_t EncodeAirportLongitude(double degrees) {
    return Saturate(degrees * 4294967297.0 / 360.0);
}

std::int32_t EncodeHeading(double degrees) {
    // The word holds 0..360 degrees as 0..2^32; from 180 up it reads back negative.
    const double wrapped = std::fmod(std::fmod(degrees, 360.0) + 360.0, 360.0);
    const auto bits = static_cast<std::uint32_t>(
        static_cast<std::uint64_t>(std::nearbyint(wrapped * 65536.0 * 65536.0 / 360.0)) &
        0xFFFFFFFFu);
    return static_cast<std::int32_t>(bits);
}

std::int32_t EncodeFrequency(double mhz) {
    auto decimal = static_cast<std::uint64_t>(std::nearbyint(mhz * 10000.0));
    std::uint32_t bcd = 0;
    for (int shift = 0; decimal != 0 && shift < 32; shift += 4) {
        bcd |= static_cast<std::uint32_t>(decimal % 10) << shift;
        decimal /= 10;
    }
    return static_cast<std::int32_t>(bcd);
}

std::int32_t ParkingWord(std::int32_t code, std::int32_t number) {
    return (number * 128 + code) & 0xFFFFF;
}

std::vector<std::uint8_t> WriteBgl(const BglFileSpec& file) {
    Bytes out;
    if (!file.marker) {
        // A file of another kind: some header bytes, never the marker.
        for (std::uint32_t i = 0; i < std::max<std::uint32_t>(file.fillerBytes, 160); ++i) {
            out.Text(std::string(1, static_cast<char>('A' + i % 26)));
        }
        return out.Take();
    }
    out.Zeros(kHeaderSize);
    out.PutI32(118, static_cast<std::int32_t>(0x87654321u));
    out.PutI32(144, 1);

    std::vector<std::size_t> slots;
    if (!file.airports.empty()) {
        out.PutI32(156, static_cast<std::int32_t>(out.Size()));
        WriteAirportGroup(out, file.airports, slots);
        out.Terminator();
    }
    std::vector<std::size_t> boundarySlots;
    if (!file.airspaces.empty() || !file.boundaryAirports.empty()) {
        out.PutI32(164, static_cast<std::int32_t>(out.Size()));
        if (!file.boundaryAirports.empty()) {
            WriteAirportGroup(out, file.boundaryAirports, boundarySlots);
        }
        if (!file.airspaces.empty()) {
            const std::size_t group = out.Begin(1);
            out.I32(4);
            out.I32(0);
            for (const AirspaceSpec& airspace : file.airspaces) {
                WriteAirspace(out, airspace);
            }
            out.Terminator();  // ends the group list
            out.End(group);
        }
        out.Terminator();  // ends the section
    }
    for (std::size_t i = 0; i < file.airports.size(); ++i) {
        out.PutI32(slots[i], static_cast<std::int32_t>(out.Size()));
        WriteAirportBlock(out, file.airports[i]);
    }
    for (std::size_t i = 0; i < file.boundaryAirports.size(); ++i) {
        out.PutI32(boundarySlots[i], static_cast<std::int32_t>(out.Size()));
        WriteAirportBlock(out, file.boundaryAirports[i]);
    }
    out.Zeros(file.fillerBytes);
    return out.Take();
}

std::vector<std::uint8_t> WriteMagdec(const WorldSpec& world) {
    Bytes out;
    out.Zeros(128);
    const std::size_t grid = 128;
    out.PutI32(110, static_cast<std::int32_t>(grid));
    out.Zeros(8);
    constexpr double kDegToRad = 3.14159265358979 / 180;
    for (int longitude = 0; longitude < 360; ++longitude) {
        for (int latitude = -90; latitude <= 90; ++latitude) {
            const double degrees = world.magvarBase +
                                   world.magvarWave * std::sin(longitude * kDegToRad) *
                                       std::cos(latitude * kDegToRad) +
                                   world.magvarTilt * latitude / 90.0;
            out.I16(static_cast<std::int16_t>(std::nearbyint(degrees * 65536.0 / 360.0)));
        }
    }
    out.I16(0);  // the table's one entry past the grid
    return out.Take();
}

}  // namespace tools
