#include "builder/bgl_walk.h"

#include "builder/airport_decoder.h"
#include "builder/bgl_records.h"

namespace builder {
namespace {

using namespace bgl;

void AppendAirport(const FileBuffer& buffer, std::int64_t blockOffset, std::string name,
                   SceneryFileContents& contents) {
    ++contents.airportCount;
    contents.airports.resize(static_cast<std::size_t>(contents.airportCount) + 1);
    model::AirportRecord& airport =
        contents.airports[static_cast<std::size_t>(contents.airportCount) - 1];
    airport.name = std::move(name);
    // The airport exists even when its block yields nothing else.
    ReadAirportData(buffer, blockOffset, airport);
}

}  // namespace

void WalkBglHeader(const FileBuffer& buffer, SceneryFileContents& contents) {
    try {
        if (buffer.ReadInt32(144) != 1) {
            return;
        }
        const std::int32_t airports = buffer.ReadInt32(156);
        if (airports > 0) {
            WalkAirportSection(buffer, airports, buffer.ReadInt32(airports),
                               buffer.ReadInt32(airports + 4), contents);
        }
        const std::int32_t boundaries = buffer.ReadInt32(164);
        if (boundaries > 0) {
            WalkBoundarySection(buffer, boundaries, buffer.ReadInt32(boundaries),
                                buffer.ReadInt32(boundaries + 4), contents);
        }
    } catch (const OutOfBuffer&) {
        // A damaged file keeps what was decoded before the damage.
    }
}

std::int64_t WalkAirportSection(const FileBuffer& buffer, std::int64_t start, std::int32_t id,
                                std::int32_t size, SceneryFileContents& contents) {
    std::int64_t offset = 0;
    while (id == kGroupRecord) {
        const std::int64_t group = start + offset;
        const std::int32_t entries = buffer.ReadInt32(group + 20);
        std::int64_t e = 0;
        for (std::int32_t i = 0; i < entries; ++i) {
            const std::int64_t p = group + 24 + e;
            const std::int32_t entryId = buffer.ReadInt32(p);
            const std::int32_t entrySize = buffer.ReadInt32(p + 4);
            if (entryId == kAirportEntry) {
                std::string name =
                    buffer.ReadText(p + 16, static_cast<std::int64_t>(entrySize) - 8);
                const std::int32_t kind = buffer.ReadInt32(p + 8);
                const std::int32_t block = buffer.ReadInt32(p + 12);
                if (kind == kAirportKind && block > 0 && buffer.ReadInt32(block) == 1 &&
                    buffer.ReadInt32(block + 8) == 1) {
                    AppendAirport(buffer, block, std::move(name), contents);
                }
            }
            e = Next(e, entrySize);
        }
        offset = Next(offset, size);
        id = buffer.ReadInt32(start + offset);
        size = buffer.ReadInt32(start + offset + 4);
    }
    return start + offset;
}

void WalkBoundarySection(const FileBuffer& buffer, std::int64_t start, std::int32_t id,
                         std::int32_t size, SceneryFileContents& contents) {
    std::int64_t record = start;
    while (true) {
        if (id == kBoundaryRecord) {
            if (buffer.ReadInt32(record + 8) == kAirspaceGroup) {
                contents.holdsAirspace = true;
            }
            record = Next(record, size);
        } else if (id == kGroupRecord) {
            // Airports placed among the boundaries are extracted too; the walk resumes after
            // their run of group records.
            record = WalkAirportSection(buffer, record, id, size, contents);
        } else {
            return;
        }
        id = buffer.ReadInt32(record);
        size = buffer.ReadInt32(record + 4);
    }
}

}  // namespace builder
