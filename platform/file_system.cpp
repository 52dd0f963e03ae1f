#include "platform/file_system.h"

#include <dirent.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <system_error>
#include <unordered_map>
#include <unordered_set>

#include "platform/ansi.h"

namespace fs = std::filesystem;

namespace platform {
namespace {

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

std::vector<std::string> SplitComponents(std::string_view path) {
    std::vector<std::string> parts;
    std::string current;
    for (const char c : path) {
        if (IsSeparator(c)) {
            if (!current.empty()) {
                parts.push_back(std::move(current));
                current.clear();
            }
        } else {
            current.push_back(c);
        }
    }
    if (!current.empty()) {
        parts.push_back(std::move(current));
    }
    return parts;
}

bool IsDriveLetter(std::string_view text) {
    return text.size() >= 2 && std::isalpha(static_cast<unsigned char>(text[0])) && text[1] == ':';
}

fs::path PathOf(std::string_view ansi) {
    return fs::path(AnsiToUtf8(ansi));
}

bool IsDirectory(const fs::path& path) {
    std::error_code error;
    return fs::is_directory(path, error);
}

bool IsRegularFile(const fs::path& path) {
    std::error_code error;
    return fs::is_regular_file(path, error);
}

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// The name of a disk entry (UTF-8), lower-cased in the code page, for comparisons.
std::string LowerName(const std::string& utf8) {
    return IsAscii(utf8) ? LowerAnsi(utf8) : LowerAnsi(Utf8ToAnsi(utf8));
}

struct DirectoryEntry {
    std::string name;  // as on disk (UTF-8)
    bool isFile;       // a regular file, as the listing says
    bool needsLook;    // a link, or a file system that does not say: stat decides
};

// The entries of a folder without . and .., straight from readdir: directory_iterator builds
// a path object per entry, which the builder's scans of large folders notice.
std::vector<DirectoryEntry> ReadDirectory(const fs::path& folder) {
    std::vector<DirectoryEntry> entries;
    DIR* directory = opendir(folder.c_str());
    if (directory == nullptr) {
        return entries;
    }
    while (const dirent* entry = readdir(directory)) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        const bool unknown = entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK;
        entries.push_back({std::string(name), entry->d_type == DT_REG, unknown});
    }
    closedir(directory);
    return entries;
}

bool WriteBytes(const fs::path& path, std::span<const std::uint8_t> bytes,
                std::ios::openmode mode) {
    std::ofstream out(path, mode);
    if (!out) {
        return false;
    }
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out.flush());
}

}  // namespace

// What one FileSystem object has looked at: folder listings, existence of paths and whole
// resolutions. Forgotten as soon as the object writes or deletes anything.
struct FileSystem::ListingCache {
    struct Folder {
        std::vector<DirectoryEntry> entries;
        // The names as they are and by their lower-case form, made on the first look-up.
        std::unordered_set<std::string> names;
        std::unordered_multimap<std::string, std::string> byLowerName;
        bool indexed = false;

        void Index() {
            if (indexed) {
                return;
            }
            for (const DirectoryEntry& entry : entries) {
                names.insert(entry.name);
                byLowerName.emplace(LowerName(entry.name), entry.name);
            }
            indexed = true;
        }
    };

    Folder& Get(const fs::path& folder) {
        auto [it, inserted] = listings.try_emplace(folder.native());
        if (inserted) {
            it->second.entries = ReadDirectory(folder);
        }
        return it->second;
    }

    const std::vector<DirectoryEntry>& Listing(const fs::path& folder) {
        return Get(folder).entries;
    }

    // The entries whose lower-case name is `lowerName`.
    std::vector<std::string> Spellings(const fs::path& folder, const std::string& lowerName) {
        Folder& listing = Get(folder);
        listing.Index();
        std::vector<std::string> names;
        const auto [first, last] = listing.byLowerName.equal_range(lowerName);
        for (auto it = first; it != last; ++it) {
            names.push_back(it->second);
        }
        return names;
    }

    // Whether `folder` holds `name` exactly: from the folder's listing when it was made
    // already, otherwise with a look at the path itself.
    bool Holds(const fs::path& folder, const fs::path& name) {
        const auto listed = listings.find(folder.native());
        if (listed != listings.end()) {
            listed->second.Index();
            return listed->second.names.contains(name.native());
        }
        return Exists(folder / name);
    }

    bool Exists(const fs::path& path) {
        const auto [it, inserted] = existing.try_emplace(path.native());
        if (inserted) {
            std::error_code error;
            it->second = fs::exists(fs::symlink_status(path, error));
        }
        return it->second;
    }

    // The folder of the last file opened, held open: files of one folder are opened by name.
    const RawFolder& OpenFolder(const fs::path& folder) {
        if (!openFolder || openFolderPath != folder.native()) {
            openFolder = std::make_unique<RawFolder>(folder);
            openFolderPath = folder.native();
        }
        return *openFolder;
    }

    void Clear() {
        listings.clear();
        existing.clear();
        resolved.clear();
        openFolder.reset();
        openFolderPath.clear();
    }

    std::unique_ptr<RawFolder> openFolder;
    std::string openFolderPath;

    std::unordered_map<std::string, Folder> listings;
    std::unordered_map<std::string, bool> existing;
    std::unordered_map<std::string, std::optional<fs::path>> resolved;  // by the path asked
};

namespace {

using ListingCache = FileSystem::ListingCache;

// The entries of `folder` that match `name` ignoring case, in name order so the choice does
// not depend on the order of the directory listing.
std::vector<fs::path> MatchesIgnoringCase(ListingCache& cache, const fs::path& folder,
                                          std::string_view name) {
    std::vector<std::string> names = cache.Spellings(folder, LowerAnsi(name));
    std::sort(names.begin(), names.end());
    std::vector<fs::path> matches;
    for (const std::string& entry : names) {
        matches.push_back(folder / entry);
    }
    return matches;
}

// Walks the components from `base`, taking the exact name where it exists and a
// case-insensitive match otherwise. Where several spellings exist (a tree unpacked twice
// with different case), each is tried until the whole path is found; when none leads to it,
// the first spelling is kept and the rest appended as written.
fs::path WalkComponents(ListingCache& cache, const fs::path& base,
                        const std::vector<std::string>& parts, std::size_t from, bool& found) {
    if (from == parts.size()) {
        // Each component was found in its folder on the way here; only a path without
        // components needs a look of its own.
        found = from > 0 || cache.Exists(base);
        return base;
    }
    const std::string& part = parts[from];
    if (part == ".") {
        return WalkComponents(cache, base, parts, from + 1, found);
    }
    if (part == "..") {
        return WalkComponents(cache, base.has_parent_path() ? base.parent_path() : base, parts,
                              from + 1, found);
    }
    // The exact spelling first; the folder is listed only when that does not lead on.
    const fs::path name = PathOf(part);
    const fs::path exact = base / name;
    std::optional<fs::path> first;
    if (cache.Holds(base, name)) {
        fs::path resolved = WalkComponents(cache, exact, parts, from + 1, found);
        if (found) {
            return resolved;
        }
        first = std::move(resolved);
    }
    for (const fs::path& candidate : MatchesIgnoringCase(cache, base, part)) {
        if (candidate == exact) {
            continue;
        }
        fs::path resolved = WalkComponents(cache, candidate, parts, from + 1, found);
        if (found) {
            return resolved;
        }
        if (!first) {
            first = std::move(resolved);
        }
    }
    if (first) {
        return *first;
    }
    // Nothing matches: the rest is appended as written.
    fs::path rest = exact;
    for (std::size_t i = from + 1; i < parts.size(); ++i) {
        rest /= PathOf(parts[i]);
    }
    found = false;
    return rest;
}

fs::path WalkComponents(ListingCache& cache, const fs::path& base,
                        const std::vector<std::string>& parts) {
    bool found = false;
    return WalkComponents(cache, base, parts, 0, found);
}

// The Wine prefix holding a folder: the nearest ancestor with a dosdevices folder.
std::optional<fs::path> FindWinePrefix(const fs::path& folder) {
    std::error_code error;
    fs::path current = fs::absolute(folder, error);
    if (error) {
        return std::nullopt;
    }
    while (true) {
        if (IsDirectory(current / "dosdevices")) {
            return current;
        }
        if (!current.has_parent_path() || current.parent_path() == current) {
            return std::nullopt;
        }
        current = current.parent_path();
    }
}

}  // namespace

FileSystem::FileSystem() : m_listings(std::make_shared<ListingCache>()) {}

FileSystem::FileSystem(std::string_view anchorFolder) : FileSystem() {
    if (const auto resolved = Resolve(anchorFolder)) {
        m_winePrefix = FindWinePrefix(*resolved);
    }
    m_listings->resolved.clear();  // resolutions made before the prefix was known
}

std::optional<fs::path> FileSystem::Resolve(std::string_view path) const {
    // A relative path is remembered with the working directory it was resolved in.
    const bool relative = (path.empty() || !IsSeparator(path.front())) && !IsDriveLetter(path);
    std::string key = relative ? CurrentDir() + "\\" + std::string(path) : std::string(path);
    const auto [it, inserted] = m_listings->resolved.try_emplace(std::move(key));
    if (inserted) {
        it->second = ResolveUncached(path);
    }
    return it->second;
}

std::optional<fs::path> FileSystem::ResolveUncached(std::string_view path) const {
    // Many paths asked share their folder (every file of a scenery area): resolve the folder
    // once, through the remembered resolutions, and only the last name here.
    const std::size_t lastSeparator = path.find_last_of("\\/");
    if (lastSeparator != std::string_view::npos && lastSeparator > 0 &&
        lastSeparator + 1 < path.size()) {
        const std::string_view name = path.substr(lastSeparator + 1);
        if (name != "." && name != "..") {
            const auto folder = Resolve(path.substr(0, lastSeparator));
            if (folder && m_listings->Exists(*folder)) {
                return WalkComponents(*m_listings, *folder, {std::string(name)});
            }
        }
    }
    const std::vector<std::string> parts = SplitComponents(path);
    if (!parts.empty() && IsDriveLetter(parts[0])) {
        if (!m_winePrefix) {
            return std::nullopt;
        }
        // "C:" names the drive root; "C:folder" a folder in it.
        const std::string letter = LowerAnsi(parts[0].substr(0, 2));
        std::vector<std::string> rest = parts;
        rest[0] = parts[0].substr(2);
        if (rest[0].empty()) {
            rest.erase(rest.begin());
        }
        const fs::path drive = *m_winePrefix / "dosdevices" / letter;
        if (!IsDirectory(drive)) {
            return std::nullopt;
        }
        return WalkComponents(*m_listings, drive, rest);
    }
    const bool absolute = !path.empty() && IsSeparator(path.front());
    std::error_code error;
    fs::path base = absolute ? fs::path("/") : fs::current_path(error);
    if (error) {
        return std::nullopt;
    }
    return WalkComponents(*m_listings, base, parts);
}

bool FileSystem::FileExists(std::string_view path) const {
    const auto resolved = Resolve(path);
    return resolved && IsRegularFile(*resolved);
}

bool FileSystem::FolderExists(std::string_view path) const {
    const auto resolved = Resolve(path);
    return resolved && IsDirectory(*resolved);
}

std::vector<std::string> FileSystem::ListFiles(std::string_view folder,
                                               std::string_view extension) const {
    const auto resolved = Resolve(folder);
    if (!resolved || !IsDirectory(*resolved)) {
        return {};
    }
    const std::string wantedExtension = LowerAnsi(extension);
    // Each name with its lower-case form, the sort key, computed once.
    std::vector<std::pair<std::string, std::string>> keyed;
    for (const DirectoryEntry& entry : m_listings->Listing(*resolved)) {
        if ((!entry.isFile && !entry.needsLook) || entry.name.size() <= wantedExtension.size()) {
            continue;
        }
        std::string name = IsAscii(entry.name) ? entry.name : Utf8ToAnsi(entry.name);
        std::string lower = LowerAnsi(name);
        if (lower.ends_with(wantedExtension) &&
            (entry.isFile || IsRegularFile(*resolved / entry.name))) {
            keyed.emplace_back(std::move(lower), std::move(name));
        }
    }
    std::sort(keyed.begin(), keyed.end());
    std::vector<std::string> names;
    names.reserve(keyed.size());
    for (auto& [lower, name] : keyed) {
        names.push_back(std::move(name));
    }
    return names;
}

RawFile FileSystem::Open(std::string_view path) const {
    // The folder resolves through the remembered resolutions and the file is opened at once:
    // its name is looked for ignoring case only when it is not there as written.
    const std::size_t lastSeparator = path.find_last_of("\\/");
    if (lastSeparator != std::string_view::npos && lastSeparator + 1 < path.size()) {
        if (const auto folder = Resolve(path.substr(0, lastSeparator == 0 ? 1 : lastSeparator))) {
            RawFile file(m_listings->OpenFolder(*folder),
                         AnsiToUtf8(path.substr(lastSeparator + 1)));
            if (file.IsOpen()) {
                return file;
            }
        }
    }
    const auto resolved = Resolve(path);
    return resolved ? RawFile(*resolved) : RawFile::None();
}

std::optional<std::vector<std::uint8_t>> FileSystem::ReadAll(std::string_view path) const {
    return Open(path).ReadAll();
}

bool FileSystem::WriteAll(std::string_view path, std::span<const std::uint8_t> bytes) const {
    const auto resolved = Resolve(path);
    m_listings->Clear();
    return resolved && WriteBytes(*resolved, bytes, std::ios::binary | std::ios::trunc);
}

bool FileSystem::ReplaceFile(std::string_view path, std::span<const std::uint8_t> bytes) const {
    return ReplaceFile(path, [bytes](const ByteSink& sink) { return sink(bytes); });
}

bool FileSystem::ReplaceFile(std::string_view path,
                             const std::function<bool(const ByteSink&)>& produce) const {
    const auto resolved = Resolve(path);
    m_listings->Clear();
    if (!resolved) {
        return false;
    }
    fs::path temporary = *resolved;
    temporary += ".part";
    bool written = false;
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        written = out && produce([&out](std::span<const std::uint8_t> piece) {
                      out.write(reinterpret_cast<const char*>(piece.data()),
                                static_cast<std::streamsize>(piece.size()));
                      return static_cast<bool>(out);
                  });
        written = written && static_cast<bool>(out.flush());
    }
    std::error_code error;
    if (written) {
        fs::rename(temporary, *resolved, error);
    }
    if (!written || error) {
        fs::remove(temporary, error);
        return false;
    }
    return true;
}

bool FileSystem::WriteInPlace(std::string_view path, std::span<const std::uint8_t> bytes) const {
    const auto resolved = Resolve(path);
    m_listings->Clear();
    if (!resolved) {
        return false;
    }
    if (!IsRegularFile(*resolved)) {
        return WriteBytes(*resolved, bytes, std::ios::binary | std::ios::trunc);
    }
    return WriteBytes(*resolved, bytes, std::ios::binary | std::ios::in | std::ios::out);
}

void FileSystem::Remove(std::string_view path) const {
    const auto resolved = Resolve(path);
    m_listings->Clear();
    if (resolved && !IsDirectory(*resolved)) {
        std::error_code ignored;
        fs::remove(*resolved, ignored);
    }
}

std::string FileSystem::CurrentDir() {
    std::error_code error;
    const fs::path current = fs::current_path(error);
    return error ? std::string(".") : Utf8ToAnsi(current.string());
}

std::string OwnFilePath(std::string_view fileName) {
    return FileSystem::CurrentDir() + "\\" + std::string(fileName);
}

}  // namespace platform
