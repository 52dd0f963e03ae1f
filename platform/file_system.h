#pragma once

// The file layer. The simulator was a Windows program and its files name Windows paths, so
// every path here is a text as the system writes it (Windows-1252 bytes, '\' or '/' between
// components) and is resolved against the real file system:
//  - a leading separator is the root; otherwise a path without drive is relative to the
//    current working directory;
//  - a component that does not exist exactly is matched case-insensitively (installs copied
//    from Windows, or living in a Wine prefix, have mixed case);
//  - a drive letter (C:) is a folder of the dosdevices folder of the Wine prefix that holds
//    the anchor folder, when there is one.
// An object remembers the folder listings and resolutions it made, until it writes or deletes
// something itself: keep one for a task (a build), not for the program's life.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/raw_file.h"

namespace platform {

class FileSystem {
public:
    FileSystem();

    // anchorFolder: a folder (usually the simulator folder) whose Wine prefix, if any, gives
    // the drive letters.
    explicit FileSystem(std::string_view anchorFolder);

    // The real path a system path names, matching case where the exact name is missing;
    // components that match nothing are kept as written. Empty for a drive letter that no
    // Wine prefix provides.
    std::optional<std::filesystem::path> Resolve(std::string_view path) const;

    // Existence as a directory listing would show it.
    bool FileExists(std::string_view path) const;
    bool FolderExists(std::string_view path) const;

    // Names (not paths) of the regular files in a folder whose name ends with the given
    // extension (".bgl"), ignoring case, in case-insensitive name order so that every run
    // lists them alike. Empty when the folder does not exist.
    std::vector<std::string> ListFiles(std::string_view folder, std::string_view extension) const;

    // The file opened for reading: the name as written first, then matched ignoring case.
    RawFile Open(std::string_view path) const;

    // The whole file, or nothing when it cannot be read.
    std::optional<std::vector<std::uint8_t>> ReadAll(std::string_view path) const;

    // Replaces the file with exactly these bytes.
    bool WriteAll(std::string_view path, std::span<const std::uint8_t> bytes) const;

    // Replaces the file as a whole: the bytes go to a temporary file beside it, which is then
    // renamed over it, so an interrupted write never leaves a half-written file under the
    // file's name.
    bool ReplaceFile(std::string_view path, std::span<const std::uint8_t> bytes) const;

    // The same, for content produced piece by piece: `produce` hands each piece to the sink
    // it is given, and says whether it finished. A large file need not be held whole.
    using ByteSink = std::function<bool(std::span<const std::uint8_t>)>;
    bool ReplaceFile(std::string_view path,
                     const std::function<bool(const ByteSink&)>& produce) const;

    // Writes from the first byte without truncating, creating the file when absent: bytes
    // past the written ones stay as they were.
    bool WriteInPlace(std::string_view path, std::span<const std::uint8_t> bytes) const;

    // Deletes a file; any error is ignored.
    void Remove(std::string_view path) const;

    // The Wine prefix found for the anchor folder, if any.
    const std::optional<std::filesystem::path>& WinePrefix() const { return m_winePrefix; }

    // The current working directory as a system path text.
    static std::string CurrentDir();

    struct ListingCache;  // the listings and resolutions remembered, shared by copies

private:
    std::optional<std::filesystem::path> ResolveUncached(std::string_view path) const;

    std::optional<std::filesystem::path> m_winePrefix;
    std::shared_ptr<ListingCache> m_listings;
};

// The program's own files live in the current working directory: its path, a backslash and
// the file name.
std::string OwnFilePath(std::string_view fileName);

}  // namespace platform
