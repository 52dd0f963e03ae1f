#pragma once

// The Airport Area's work without its window: reading the variation grid, the database and
// the airspace file list; the search by name; and GET AIRPORT, which copies one airport into
// the scene and gathers the airspaces around it.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace loader {

// magdec.bgl of the simulator folder into g_magvarTable; false when it cannot be read (the
// table then stays as it was).
bool ReadMagvars();

// world_airports.dat of the working directory into g_airports, indices 0..g_airportCount.
// What cannot be read stays empty, and the text for the user says what went wrong.
std::optional<std::string> ReadAirports();

// world_airspaces.lst into g_airspaceFiles, indices 0..g_airspaceFileCount.
std::optional<std::string> ReadAirspaceFileList();

// The result lines for a search text: every airport whose lower-case name holds the trimmed,
// lower-case text, as its name, three blanks, "Index: " and its index, in database order.
std::vector<std::string> SearchAirport(std::string_view text);

// The index a result line names after its last "Index:", rounded to a whole number; nothing
// when the line names none.
std::optional<std::int64_t> IndexOfLine(std::string_view line);

struct LoadProgress {
    std::function<void(const std::string&)> status;
    // Called before the scan with the total, and after each listed file with the count done.
    std::function<void(int done, int total)> files;
};

// GET AIRPORT's work: g_airport becomes the airport at `index`, the database leaves memory,
// g_airspaces is rebuilt from the listed files, classified, and the terminal circle added.
// False when the index names no airport (then nothing changes).
bool LoadAirport(std::int64_t index, const LoadProgress& progress = {});
// The database index of the airport loaded last (-1 before any).
std::int64_t LoadedAirportIndex();

// Releases the database from memory: g_airports becomes one empty element.
void ReleaseDatabase();

}  // namespace loader
