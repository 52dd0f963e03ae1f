#pragma once

// Generated simulator folders, and the shared state as setup and the build leave it.

#include <filesystem>
#include <fstream>
#include <string>

#include "builder/database_builder.h"
#include "model/settings_record.h"
#include "model/shared_state.h"
#include "platform/ansi.h"
#include "tools/scenery/sim_folder.h"

namespace testing_support {

// Writes the world as a simulator folder and leaves what setup leaves: the settings in
// memory and in the working directory, the build flagged. False when the folder could not
// be written.
inline bool SetUpSimulator(const tools::WorldSpec& world, const std::filesystem::path& folder) {
    if (tools::WriteSimulatorFolder(world, folder)) {
        return false;
    }
    model::g_simPath = platform::Utf8ToAnsi(std::filesystem::absolute(folder).string());
    model::g_simKind = 1;
    model::g_buildPending = true;
    model::g_settings = {model::kSettingsVersion, 1, 1, model::g_simPath, 0, 0};
    const auto bytes = model::EncodeSettings(model::g_settings);
    std::ofstream("atc_settings.tcs", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return true;
}

// The whole build, as the builder window runs it, into the working directory. False when the
// files could not be written.
inline bool BuildDatabase() {
    builder::DatabaseBuilder databaseBuilder;
    databaseBuilder.Discover();
    while (databaseBuilder.Step() != builder::DatabaseBuilder::StepResult::AllDone) {
    }
    return !databaseBuilder.Finish();
}

// After a build: the shared state as the start-up check leaves it for the Airport Area.
inline void RestartAfterBuild() {
    const std::int32_t airports = model::g_airportCount;
    const std::int32_t files = model::g_airspaceFileCount;
    const std::string simPath = model::g_simPath;
    model::ResetSharedState();
    model::g_simPath = simPath;
    model::g_simKind = 1;
    model::g_airportCount = airports;
    model::g_airspaceFileCount = files;
}

}  // namespace testing_support
