#pragma once

// What the benchmarks share: the world-sized simulator folder, a working directory in
// memory-backed storage, and the medians the summary prints.

#include <filesystem>
#include <map>
#include <string>

namespace bench {

// The generated world (TARVOLO_BENCH_SIM).
std::filesystem::path SimFolder();

// A scratch folder, in /dev/shm where there is one: writing there starts no write-back to
// disk that would fall on the next measurement.
std::filesystem::path ScratchFolder(const std::string& name);

// Milliseconds spent in each stage of a build.
struct BuildStages {
    double discover = 0;
    double steps = 0;
    double finish = 0;
};

// Runs a full build of the world into `folder` and leaves the state as the start-up check
// would for the Airport Area (counts and simulator folder set, database not yet read).
BuildStages BuildWorldDatabase(const std::filesystem::path& folder);

// Medians in milliseconds of the benchmarks run, by function name.
std::map<std::string, double>& Medians();

}  // namespace bench
