#pragma once

// The database build as a step machine. Discovery loads the variation grid, reads
// scenery.cfg and counts the data files; each step then reads one data file (one tick of the
// builder window); the finish writes the airport database, the airspace file list and the
// settings counts. The builder window and `tarvolo-tool build` drive the same object.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "builder/bgl_reader.h"
#include "platform/file_system.h"
#include "platform/raw_file.h"

namespace builder {

// The largest scenery file the builder reads.
inline constexpr std::uint64_t kLargestSceneryFile = std::uint64_t{256} << 20;

class DatabaseBuilder {
public:
    // Receives every status text as it changes, so a window can repaint it at once.
    using StatusSink = std::function<void(const std::string&)>;

    enum class StepResult {
        AreaSkipped,   // the area has no folder
        AreaFinished,  // no data file left in the area; the next step starts the next one
        FileVisited,   // one data file read (or skipped for its kind); the progress moves
        AllDone,       // every area visited: time to finish
    };

    explicit DatabaseBuilder(StatusSink status = {});

    // Reads magdec.bgl into g_magvarTable, the areas of scenery.cfg into g_sceneryAreas with
    // their folders resolved, and counts the data files. A simulator file that cannot be read
    // is reported in the status text and leaves the area list empty.
    void Discover();
    std::int32_t BglFileCount() const { return m_bglFileCount; }

    StepResult Step();

    // Writes world_airports.dat, world_airspaces.lst and the settings counts in the working
    // directory, then releases the database arrays and clears g_buildPending. Returns what
    // went wrong, or nothing.
    std::optional<std::string> Finish();

private:
    void SetStatus(const std::string& text) const;
    void ReadCurrentFile(const std::string& nameOnDisk);
    void AddAirspaceFile();

    StatusSink m_status;
    platform::FileSystem m_files;
    std::int32_t m_bglFileCount = 0;

    // The data files of each folder as discovery counted them, in name order.
    std::unordered_map<std::string, std::vector<std::string>> m_folderFiles;

    std::int16_t m_areaIndex = 0;
    std::string m_currentFolder;
    std::unique_ptr<platform::RawFolder> m_folderOnDisk;
    std::vector<std::string> m_entries;
    std::size_t m_nextEntry = 0;
    std::string m_currentFile;
    FileBuffer m_fileBuffer;
};

}  // namespace builder
