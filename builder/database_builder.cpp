#include "builder/database_builder.h"

#include <algorithm>
#include <limits>

#include "builder/bgl_walk.h"
#include "builder/database_file.h"
#include "builder/magvar_file.h"
#include "builder/scenery_cfg.h"
#include "model/own_files.h"
#include "model/settings_record.h"
#include "model/shared_state.h"
#include "platform/ansi.h"

namespace builder {
namespace {

using model::g_airportCount;
using model::g_airports;
using model::g_airspaceFileCount;
using model::g_airspaceFiles;
using model::g_sceneryAreaCount;
using model::g_sceneryAreas;

}  // namespace

DatabaseBuilder::DatabaseBuilder(StatusSink status) : m_status(std::move(status)) {}

void DatabaseBuilder::SetStatus(const std::string& text) const {
    if (m_status) {
        m_status(text);
    }
}

void DatabaseBuilder::Discover() {
    m_files = platform::FileSystem(model::g_simPath);
    std::optional<std::string> problem;

    SetStatus("Magdec.bgl File");
    const std::string magdecPath = model::g_simPath + "\\scenery\\magdec.bgl";
    if (!ReadMagvars(m_files, magdecPath, model::g_magvarTable)) {
        problem = "Magdec.bgl File could not be read: " + magdecPath;
    }

    g_sceneryAreas.assign(1, {});
    g_sceneryAreaCount = 0;
    if (model::g_buildPending && model::g_simKind == 1 && !problem) {
        SetStatus("Scenery.cfg File");
        const std::string cfgPath = model::g_simPath + "\\scenery.cfg";
        const auto cfg = m_files.ReadAll(cfgPath);
        if (!cfg) {
            problem = "Scenery.cfg File could not be read: " + cfgPath;
        } else {
            std::vector<model::SceneryArea> areas = ParseSceneryCfg(
                std::string_view(reinterpret_cast<const char*>(cfg->data()), cfg->size()));
            if (areas.size() > static_cast<std::size_t>(std::numeric_limits<std::int16_t>::max())) {
                areas.resize(std::numeric_limits<std::int16_t>::max());
            }
            ResolveSceneryFolders(areas, model::g_simPath, m_files);
            g_sceneryAreaCount = static_cast<std::int16_t>(areas.size());
            g_sceneryAreas = std::move(areas);
            g_sceneryAreas.emplace_back();  // the spare empty element
        }
    }

    m_bglFileCount = 0;
    m_folderFiles.clear();
    for (std::int16_t i = 0; i < g_sceneryAreaCount; ++i) {
        const std::string& folder = g_sceneryAreas[static_cast<std::size_t>(i)].Local;
        if (folder.empty()) {
            continue;
        }
        auto [it, inserted] = m_folderFiles.try_emplace(folder);
        if (inserted) {
            it->second = m_files.ListFiles(folder, ".bgl");
        }
        m_bglFileCount += static_cast<std::int32_t>(it->second.size());
    }
    // Room for the airports up front: a reserve costs address space only until used, while
    // growing a large array again and again copies it into freshly faulted memory.
    g_airports.reserve(static_cast<std::size_t>(m_bglFileCount) * 16 + 1);
    SetStatus(problem ? *problem : "Done");
}

DatabaseBuilder::StepResult DatabaseBuilder::Step() {
    if (m_areaIndex >= g_sceneryAreaCount) {
        return StepResult::AllDone;
    }
    const model::SceneryArea& area = g_sceneryAreas[static_cast<std::size_t>(m_areaIndex)];
    if (area.Local.empty()) {
        ++m_areaIndex;
        return StepResult::AreaSkipped;
    }
    SetStatus(area.Title);
    // A folder named again right after itself continues the finished enumeration, so the
    // second area finds nothing left.
    if (area.Local != m_currentFolder) {
        m_currentFolder = area.Local;
        const auto folder = m_files.Resolve(m_currentFolder);
        m_folderOnDisk = folder ? std::make_unique<platform::RawFolder>(*folder) : nullptr;
        const auto counted = m_folderFiles.find(m_currentFolder);
        m_entries = counted != m_folderFiles.end() ? counted->second
                                                   : m_files.ListFiles(m_currentFolder, ".bgl");
        m_nextEntry = 0;
    }
    if (m_nextEntry >= m_entries.size() || !m_folderOnDisk || !m_folderOnDisk->IsOpen()) {
        ++m_areaIndex;
        return StepResult::AreaFinished;
    }
    const std::string& name = m_entries[m_nextEntry++];
    m_currentFile = platform::LowerAnsi(m_currentFolder + "\\" + name);
    ReadCurrentFile(platform::AnsiToUtf8(name));
    return StepResult::FileVisited;
}

void DatabaseBuilder::ReadCurrentFile(const std::string& nameOnDisk) {
    // A file that cannot be opened (removed or locked meanwhile) is passed over. A file up to
    // a megabyte is taken in one read and its marker looked at in memory; a
    // larger one is read whole only once its marker says it is ours.
    constexpr std::uint64_t kReadWholeUpTo = 1 << 20;
    const platform::RawFile file(*m_folderOnDisk, nameOnDisk);
    const auto size = file.Size();
    if (!size || *size < kMarkerOffset + 4) {
        return;
    }
    if (*size > kReadWholeUpTo) {
        const auto marker = file.ReadAt(kMarkerOffset, 4);
        if (!marker || FileBuffer(*marker).ReadInt32(0) != kBglMarker) {
            return;
        }
        // No scenery file of the simulator comes near this; a larger one is damage or not
        // scenery at all, and reading it whole would take that much memory.
        if (*size > kLargestSceneryFile) {
            SetStatus("Skipped (larger than 256 MB): " + m_currentFile);
            return;
        }
    }
    auto buffer = FileBuffer::Read(file);
    if (!buffer || buffer->ReadInt32(kMarkerOffset) != kBglMarker) {
        return;
    }
    m_fileBuffer = std::move(*buffer);
    SceneryFileContents contents{g_airports, g_airportCount};
    WalkBglHeader(m_fileBuffer, contents);
    if (contents.holdsAirspace) {
        AddAirspaceFile();
    }
}

void DatabaseBuilder::AddAirspaceFile() {
    if (g_airspaceFileCount > 0 &&
        g_airspaceFiles[static_cast<std::size_t>(g_airspaceFileCount) - 1] == m_currentFile) {
        return;
    }
    ++g_airspaceFileCount;
    g_airspaceFiles.resize(static_cast<std::size_t>(g_airspaceFileCount) + 1);
    g_airspaceFiles[static_cast<std::size_t>(g_airspaceFileCount) - 1] = m_currentFile;
}

std::optional<std::string> DatabaseBuilder::Finish() {
    m_fileBuffer.Release();
    m_folderOnDisk.reset();
    const platform::FileSystem own;

    SetStatus("Creating database");
    const std::string airportsPath = platform::OwnFilePath(model::kAirportsFileName);
    const bool airportsWritten =
        own.ReplaceFile(airportsPath, [](const platform::FileSystem::ByteSink& sink) {
            return EncodeAirportDatabase(g_airports, g_airportCount, sink);
        });
    if (!airportsWritten) {
        return "The airport database could not be written: " + airportsPath;
    }

    SetStatus("Creating Airspaces Files List");
    const std::string airspacesPath = platform::OwnFilePath(model::kAirspacesFileName);
    if (!own.ReplaceFile(airspacesPath,
                         EncodeAirspaceFileList(g_airspaceFiles, g_airspaceFileCount))) {
        return "The airspace file list could not be written: " + airspacesPath;
    }

    SetStatus("Updating Settings");
    model::g_settings.airportCount = g_airportCount;
    model::g_settings.airspaceFileCount = g_airspaceFileCount;
    const std::string settingsPath = platform::OwnFilePath(model::kSettingsFileName);
    if (!own.WriteInPlace(settingsPath, model::EncodeSettings(model::g_settings))) {
        return "The settings file could not be updated: " + settingsPath;
    }

    g_airports.assign(1, {});
    g_airspaceFiles.assign(1, {});
    model::g_buildPending = false;
    SetStatus("Done");
    return std::nullopt;
}

}  // namespace builder
