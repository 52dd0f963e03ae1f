#include "loader/airport_area.h"

#include "model/airfields.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>

#include "builder/bgl_reader.h"
#include "builder/bgl_walk.h"
#include "builder/database_builder.h"
#include "builder/database_file.h"
#include "builder/magvar_file.h"
#include "loader/airspace_decoder.h"
#include "model/own_files.h"
#include "model/rounding.h"
#include "model/shared_state.h"
#include "platform/ansi.h"
#include "platform/file_system.h"

namespace loader {
namespace {

using model::g_airportCount;
using model::g_airports;
using model::g_airspaceFileCount;
using model::g_airspaceFiles;

std::string Advice(const std::string& fileName, const std::string& problem) {
    return "The database file " + fileName + " " + problem +
           ".\n\nUse \"Create New Database\" to build the database again.";
}

// Sizes `target` to indices 0..count and fills it with what the file holds; says what went
// wrong when the file is missing or ends early.
// The fewest bytes a record can take in each file: an airport whose every text and list is
// empty, and an empty file name.
constexpr std::size_t kSmallestAirportRecord = 68;
constexpr std::size_t kSmallestListEntry = 2;

template <typename T, typename Decode>
std::optional<std::string> ReadArray(const char* fileName, std::int32_t count,
                                     std::vector<T>& target, Decode decode,
                                     std::size_t smallestRecord) {
    const std::size_t size = static_cast<std::size_t>(std::max(count, 0)) + 1;
    const auto bytes = platform::FileSystem().ReadAll(platform::OwnFilePath(fileName));
    // The array has the announced size, as the program always gave it, but never more than
    // the file could hold (every whole record takes at least `smallestRecord` bytes; one more
    // for a record cut short, one for the empty record at the end): a count from a damaged or
    // edited settings file must not ask for two billion records.
    const std::size_t fits = (bytes ? bytes->size() : 0) / smallestRecord + 2;
    target.assign(std::min(size, fits), T{});
    if (!bytes) {
        return Advice(fileName, "is missing or cannot be read");
    }
    // A database built from a scenery without airports is an empty file with a count of 0.
    if (bytes->empty() && count <= 0) {
        return std::nullopt;
    }
    auto decoded = decode(*bytes, count);
    const std::size_t read = std::min(decoded.items.size(), target.size());
    std::move(decoded.items.begin(), decoded.items.begin() + static_cast<std::ptrdiff_t>(read),
              target.begin());
    if (!decoded.complete) {
        return Advice(fileName, "holds " + std::to_string(read) + " of the " +
                                    std::to_string(size) + " records the settings file announces");
    }
    return std::nullopt;
}

}  // namespace

bool ReadMagvars() {
    return builder::ReadMagvars(platform::FileSystem(model::g_simPath),
                                model::g_simPath + "\\scenery\\magdec.bgl", model::g_magvarTable);
}

std::optional<std::string> ReadAirports() {
    return ReadArray(
        model::kAirportsFileName, g_airportCount, g_airports,
        [](const std::vector<std::uint8_t>& bytes, std::int32_t count) {
            return builder::DecodeAirportDatabase(bytes, count);
        },
        kSmallestAirportRecord);
}

std::optional<std::string> ReadAirspaceFileList() {
    return ReadArray(
        model::kAirspacesFileName, g_airspaceFileCount, g_airspaceFiles,
        [](const std::vector<std::uint8_t>& bytes, std::int32_t count) {
            return builder::DecodeAirspaceFileList(bytes, count);
        },
        kSmallestListEntry);
}

std::vector<std::string> SearchAirport(std::string_view text) {
    const std::string key = platform::LowerAnsi(platform::TrimSpaces(text));
    std::vector<std::string> lines;
    const std::size_t last =
        std::min(static_cast<std::size_t>(std::max(g_airportCount, 0)) + 1, g_airports.size());
    for (std::size_t i = 0; i < last; ++i) {
        const std::string& name = g_airports[i].name;
        // An empty key is found in every name that is not empty, as a substring test does.
        if (!name.empty() && platform::LowerAnsi(name).find(key) != std::string::npos) {
            lines.push_back(name + "   Index: " + std::to_string(i));
        }
    }
    return lines;
}

std::optional<std::int64_t> IndexOfLine(std::string_view line) {
    // The search appends the index last: an airport whose own name holds "Index:" must not
    // send GET AIRPORT to another airport, so the last occurrence counts.
    const std::size_t found = line.rfind("Index:");
    if (found == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string number = platform::TrimSpaces(line.substr(found + 6));
    double value = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error != std::errc() || end == number.data() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(model::RoundHalfEven(value));
}

void ReleaseDatabase() {
    g_airports.assign(1, {});
}

namespace {
std::int64_t loadedIndex = -1;
}  // namespace

std::int64_t LoadedAirportIndex() {
    return loadedIndex;
}

bool LoadAirport(std::int64_t index, const LoadProgress& progress) {
    auto status = [&progress](const std::string& text) {
        if (progress.status) {
            progress.status(text);
        }
    };
    if (index < 0 || static_cast<std::size_t>(index) >= g_airports.size() ||
        index > g_airportCount) {
        return false;
    }
    model::g_airport = g_airports[static_cast<std::size_t>(index)];
    loadedIndex = index;
    // Where each field is and how high stays when the database goes: the conflict alert asks
    // which field an aircraft is over.
    std::vector<model::Airfield> fields;
    const std::size_t used =
        std::min(static_cast<std::size_t>(std::max(g_airportCount, 0)) + 1, g_airports.size());
    fields.reserve(used);
    for (std::size_t i = 0; i < used; ++i)
        if (!g_airports[i].name.empty())
            fields.push_back({g_airports[i].latitude, g_airports[i].longitude,
                              g_airports[i].elevation, g_airports[i].ident});
    model::g_airfields = model::AirfieldIndex(std::move(fields));
    ReleaseDatabase();

    status("Looking for Airspace...");
    model::g_airspaces.assign(1, {});
    model::g_airspaceCount = 0;
    const int total = std::max(g_airspaceFileCount, 0);
    if (progress.files) {
        progress.files(0, total);
    }
    const platform::FileSystem files(model::g_simPath);
    const AirportPosition airport{model::g_airport.latitude, model::g_airport.longitude};
    const AirspaceList list{model::g_airspaces, model::g_airspaceCount};
    for (int i = 0; i < total && static_cast<std::size_t>(i) < g_airspaceFiles.size(); ++i) {
        // A listed file that is gone, too short for the mark or larger than any scenery file
        // is passed over.
        const platform::RawFile file = files.Open(g_airspaceFiles[static_cast<std::size_t>(i)]);
        const auto size = file.Size();
        const auto buffer = size && *size <= builder::kLargestSceneryFile
                                ? builder::FileBuffer::Read(file)
                                : std::nullopt;
        if (buffer && buffer->Size() > builder::kMarkerOffset + 4 &&
            buffer->ReadInt32(builder::kMarkerOffset) == builder::kBglMarker) {
            ScanAirspaceFile(*buffer, airport, list);
        }
        if (progress.files) {
            progress.files(i + 1, total);
        }
    }
    g_airspaceFiles.assign(1, {});
    ClassifyAirspaces(list);
    AddTerminalAirspace(model::g_airport, list);
    status("Done");
    return true;
}

}  // namespace loader
