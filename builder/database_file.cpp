#include "builder/database_file.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>

namespace builder {
namespace {

// Appends the little-endian fields to a growing buffer of its own: the database of a world
// is written field by field, and a vector's resize per field showed in the build's profile.
class Writer {
public:
    Writer() = default;
    explicit Writer(std::size_t capacity) { Reserve(capacity); }

    std::span<const std::uint8_t> Bytes() const { return {m_data.get(), m_size}; }
    std::size_t Size() const { return m_size; }
    void Clear() { m_size = 0; }

    void U16(std::uint16_t value) { Raw<2>(value); }
    void I16(std::int16_t value) { Raw<2>(static_cast<std::uint16_t>(value)); }
    void I32(std::int32_t value) { Raw<4>(static_cast<std::uint32_t>(value)); }
    void U32(std::uint32_t value) { Raw<4>(value); }
    void Real(double value) { Raw<8>(std::bit_cast<std::uint64_t>(value)); }

    void Text(const std::string& text) {
        const std::size_t length = std::min<std::size_t>(text.size(), 0xFFFF);
        U16(static_cast<std::uint16_t>(length));
        Append(text.data(), length);
    }

    template <typename T, typename WriteElement>
    void Array(const std::vector<T>& items, WriteElement writeElement) {
        if (items.empty()) {
            U16(0);  // never sized
            return;
        }
        U16(1);
        I32(static_cast<std::int32_t>(items.size()));
        I32(0);
        for (const T& item : items) {
            writeElement(*this, item);
        }
    }

private:
    // A fixed-size field: its bytes are stored directly, with no call per field.
    template <std::size_t Bytes>
    void Raw(std::uint64_t value) {
        Reserve(Bytes);
        std::uint8_t* out = m_data.get() + m_size;
        for (std::size_t i = 0; i < Bytes; ++i) {
            out[i] = static_cast<std::uint8_t>((value >> (8 * i)) & 0xFF);
        }
        m_size += Bytes;
    }

    void Append(const void* bytes, std::size_t length) {
        Reserve(length);
        if (length > 0) {
            std::memcpy(m_data.get() + m_size, bytes, length);
            m_size += length;
        }
    }

    void Reserve(std::size_t length) {
        if (m_size + length > m_capacity) {
            const std::size_t capacity =
                std::max({m_capacity * 2, m_size + length, std::size_t{4096}});
            auto grown = std::make_unique<std::uint8_t[]>(capacity);
            if (m_size > 0) {
                std::memcpy(grown.get(), m_data.get(), m_size);
            }
            m_data = std::move(grown);
            m_capacity = capacity;
        }
    }

    std::unique_ptr<std::uint8_t[]> m_data;
    std::size_t m_size = 0;
    std::size_t m_capacity = 0;
};

struct Truncated {};

class Reader {
public:
    explicit Reader(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}

    std::size_t Remaining() const { return m_bytes.size() - m_pos; }
    std::uint16_t U16() { return static_cast<std::uint16_t>(Raw(2)); }
    std::int16_t I16() { return static_cast<std::int16_t>(Raw(2)); }
    std::int32_t I32() { return static_cast<std::int32_t>(Raw(4)); }
    std::uint32_t U32() { return static_cast<std::uint32_t>(Raw(4)); }
    double Real() { return std::bit_cast<double>(Raw(8)); }

    std::string Text() {
        const std::size_t length = U16();
        Need(length);
        std::string text(reinterpret_cast<const char*>(m_bytes.data() + m_pos), length);
        m_pos += length;
        return text;
    }

    // An array field; minimumElementBytes guards against a count no file could hold.
    template <typename T, typename ReadElement>
    std::vector<T> Array(std::size_t minimumElementBytes, ReadElement readElement) {
        std::vector<T> items;
        const std::uint16_t dimensions = U16();
        if (dimensions == 0) {
            return items;
        }
        if (dimensions != 1) {
            throw Truncated();
        }
        const std::int32_t count = I32();
        I32();  // lower bound, always 0
        if (count < 0 || static_cast<std::size_t>(count) > Remaining() / minimumElementBytes) {
            throw Truncated();
        }
        items.reserve(static_cast<std::size_t>(count));
        for (std::int32_t i = 0; i < count; ++i) {
            items.push_back(readElement(*this));
        }
        return items;
    }

private:
    void Need(std::size_t bytes) const {
        if (bytes > Remaining()) {
            throw Truncated();
        }
    }

    std::uint64_t Raw(std::size_t bytes) {
        Need(bytes);
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < bytes; ++i) {
            value |= static_cast<std::uint64_t>(m_bytes[m_pos + i]) << (8 * i);
        }
        m_pos += bytes;
        return value;
    }

    std::span<const std::uint8_t> m_bytes;
    std::size_t m_pos = 0;
};

void WriteAirport(Writer& w, const model::AirportRecord& a) {
    w.Text(a.name);
    w.Text(a.ident);
    w.Real(a.latitude);
    w.Real(a.longitude);
    w.I32(a.elevation);
    for (const std::string* frequency :
         {&a.clearanceFreq, &a.groundFreq, &a.towerFreq, &a.departureFreq, &a.approachFreq,
          &a.centerFreq, &a.atisFreq}) {
        w.Text(*frequency);
    }
    w.Array(a.runways, [](Writer& o, const model::RunwayRecord& r) {
        o.Text(r.designator);
        o.Text(r.oppositeDesignator);
        o.Real(r.end1Latitude);
        o.Real(r.end1Longitude);
        o.Real(r.end2Latitude);
        o.Real(r.end2Longitude);
        o.I32(r.elevation);
        o.I16(r.magHeading);
        o.I16(r.oppositeMagHeading);
        o.I32(r.lengthFeet);
        o.I32(r.widthFeet);
    });
    w.I32(a.runwayCount);
    w.Array(a.ilsList, [](Writer& o, const model::IlsRecord& i) {
        o.Text(i.name);
        o.Real(i.latitude);
        o.Real(i.longitude);
        o.I16(i.magCourse);
        o.Text(i.frequency);
    });
    w.I32(a.ilsCount);
    w.Array(a.taxiPoints, [](Writer& o, const model::TaxiPointRecord& p) {
        o.U32(p.pointWord);
        o.Real(p.latitude);
        o.Real(p.longitude);
    });
    w.I32(a.taxiPointCount);
    w.Array(a.parkings, [](Writer& o, const model::ParkingRecord& p) {
        o.Text(p.name);
        o.Real(p.latitude);
        o.Real(p.longitude);
        o.I32(p.radiusFeet);
    });
    w.I32(a.parkingCount);
    w.Array(a.taxiPaths, [](Writer& o, const model::TaxiPathRecord& p) {
        o.U32(p.pathType);
        o.U32(p.startPoint);
        o.U32(p.endPoint);
        o.Text(p.name);
    });
    w.I32(a.taxiPathCount);
}

model::AirportRecord ReadAirport(Reader& r) {
    model::AirportRecord a;
    a.name = r.Text();
    a.ident = r.Text();
    a.latitude = r.Real();
    a.longitude = r.Real();
    a.elevation = r.I32();
    for (std::string* frequency : {&a.clearanceFreq, &a.groundFreq, &a.towerFreq, &a.departureFreq,
                                   &a.approachFreq, &a.centerFreq, &a.atisFreq}) {
        *frequency = r.Text();
    }
    a.runways = r.Array<model::RunwayRecord>(48, [](Reader& in) {
        model::RunwayRecord x;
        x.designator = in.Text();
        x.oppositeDesignator = in.Text();
        x.end1Latitude = in.Real();
        x.end1Longitude = in.Real();
        x.end2Latitude = in.Real();
        x.end2Longitude = in.Real();
        x.elevation = in.I32();
        x.magHeading = in.I16();
        x.oppositeMagHeading = in.I16();
        x.lengthFeet = in.I32();
        x.widthFeet = in.I32();
        return x;
    });
    a.runwayCount = r.I32();
    a.ilsList = r.Array<model::IlsRecord>(22, [](Reader& in) {
        model::IlsRecord x;
        x.name = in.Text();
        x.latitude = in.Real();
        x.longitude = in.Real();
        x.magCourse = in.I16();
        x.frequency = in.Text();
        return x;
    });
    a.ilsCount = r.I32();
    a.taxiPoints = r.Array<model::TaxiPointRecord>(20, [](Reader& in) {
        model::TaxiPointRecord x;
        x.pointWord = in.U32();
        x.latitude = in.Real();
        x.longitude = in.Real();
        return x;
    });
    a.taxiPointCount = r.I32();
    a.parkings = r.Array<model::ParkingRecord>(22, [](Reader& in) {
        model::ParkingRecord x;
        x.name = in.Text();
        x.latitude = in.Real();
        x.longitude = in.Real();
        x.radiusFeet = in.I32();
        return x;
    });
    a.parkingCount = r.I32();
    a.taxiPaths = r.Array<model::TaxiPathRecord>(14, [](Reader& in) {
        model::TaxiPathRecord x;
        x.pathType = in.U32();
        x.startPoint = in.U32();
        x.endPoint = in.U32();
        x.name = in.Text();
        return x;
    });
    a.taxiPathCount = r.I32();
    return a;
}

template <typename T, typename ReadOne>
DecodedArray<T> DecodeAll(std::span<const std::uint8_t> bytes, std::int32_t count,
                          ReadOne readOne) {
    DecodedArray<T> result;
    if (count < 0) {
        return result;
    }
    Reader reader(bytes);
    try {
        for (std::int64_t i = 0; i <= count; ++i) {
            result.items.push_back(readOne(reader));
        }
        result.complete = true;
    } catch (const Truncated&) {
        // Keep the records read whole before the damage.
    }
    return result;
}

}  // namespace

bool EncodeAirportDatabase(const std::vector<model::AirportRecord>& airports,
                           std::int32_t airportCount,
                           const std::function<bool(std::span<const std::uint8_t>)>& sink) {
    // Pieces below the allocator's mapping threshold, so the buffer is plain heap memory that
    // is used again rather than fresh pages from the system each time.
    constexpr std::size_t kPiece = 64 * 1024;
    Writer writer(kPiece + 16 * 1024);
    const model::AirportRecord empty;
    for (std::int64_t i = 0; i <= std::max(airportCount, 0); ++i) {
        const auto index = static_cast<std::size_t>(i);
        WriteAirport(writer, index < airports.size() ? airports[index] : empty);
        if (writer.Size() >= kPiece) {
            if (!sink(writer.Bytes())) {
                return false;
            }
            writer.Clear();
        }
    }
    return writer.Size() == 0 || sink(writer.Bytes());
}

std::vector<std::uint8_t> EncodeAirportDatabase(const std::vector<model::AirportRecord>& airports,
                                                std::int32_t airportCount) {
    std::vector<std::uint8_t> out;
    EncodeAirportDatabase(airports, airportCount, [&out](std::span<const std::uint8_t> piece) {
        out.insert(out.end(), piece.begin(), piece.end());
        return true;
    });
    return out;
}

std::vector<std::uint8_t> EncodeAirspaceFileList(const std::vector<std::string>& files,
                                                 std::int32_t fileCount) {
    Writer writer;
    for (std::int64_t i = 0; i <= std::max(fileCount, 0); ++i) {
        const auto index = static_cast<std::size_t>(i);
        writer.Text(index < files.size() ? files[index] : std::string());
    }
    const auto bytes = writer.Bytes();
    return {bytes.begin(), bytes.end()};
}

DecodedArray<model::AirportRecord> DecodeAirportDatabase(std::span<const std::uint8_t> bytes,
                                                         std::int32_t airportCount) {
    return DecodeAll<model::AirportRecord>(bytes, airportCount, ReadAirport);
}

DecodedArray<std::string> DecodeAirspaceFileList(std::span<const std::uint8_t> bytes,
                                                 std::int32_t fileCount) {
    return DecodeAll<std::string>(bytes, fileCount, [](Reader& r) { return r.Text(); });
}

}  // namespace builder
