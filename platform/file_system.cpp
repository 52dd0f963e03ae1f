#include "platform/file_system.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <system_error>

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

// The entries of `folder` that match `name` ignoring case, in name order so the choice does
// not depend on the order of the directory listing.
std::vector<fs::path> MatchesIgnoringCase(const fs::path& folder, std::string_view name) {
    const std::string wanted = LowerAnsi(name);
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::string entry = it->path().filename().string();
        if (LowerAnsi(Utf8ToAnsi(entry)) == wanted) {
            names.push_back(std::move(entry));
        }
    }
    std::sort(names.begin(), names.end());
    std::vector<fs::path> matches;
    for (const std::string& entry : names) {
        matches.push_back(folder / entry);
    }
    return matches;
}

bool Exists(const fs::path& path) {
    std::error_code error;
    return fs::exists(fs::symlink_status(path, error));
}

// Walks the components from `base`, taking the exact name where it exists and a
// case-insensitive match otherwise. Where several spellings exist (a tree unpacked twice
// with different case), each is tried until the whole path is found; when none leads to it,
// the first spelling is kept and the rest appended as written.
fs::path WalkComponents(const fs::path& base, const std::vector<std::string>& parts,
                        std::size_t from, bool& found) {
    if (from == parts.size()) {
        found = Exists(base);
        return base;
    }
    const std::string& part = parts[from];
    if (part == ".") {
        return WalkComponents(base, parts, from + 1, found);
    }
    if (part == "..") {
        return WalkComponents(base.has_parent_path() ? base.parent_path() : base, parts, from + 1,
                              found);
    }
    // The exact spelling first; the directory is listed only when that does not lead on.
    const fs::path exact = base / PathOf(part);
    std::optional<fs::path> first;
    if (Exists(exact)) {
        fs::path resolved = WalkComponents(exact, parts, from + 1, found);
        if (found) {
            return resolved;
        }
        first = std::move(resolved);
    }
    for (const fs::path& candidate : MatchesIgnoringCase(base, part)) {
        if (candidate == exact) {
            continue;
        }
        fs::path resolved = WalkComponents(candidate, parts, from + 1, found);
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

fs::path WalkComponents(const fs::path& base, const std::vector<std::string>& parts) {
    bool found = false;
    return WalkComponents(base, parts, 0, found);
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

FileSystem::FileSystem(std::string_view anchorFolder) {
    const FileSystem plain;
    if (const auto resolved = plain.Resolve(anchorFolder)) {
        m_winePrefix = FindWinePrefix(*resolved);
    }
}

std::optional<fs::path> FileSystem::Resolve(std::string_view path) const {
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
        return WalkComponents(drive, rest);
    }
    const bool absolute = !path.empty() && IsSeparator(path.front());
    std::error_code error;
    fs::path base = absolute ? fs::path("/") : fs::current_path(error);
    if (error) {
        return std::nullopt;
    }
    return WalkComponents(base, parts);
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
    std::vector<std::string> names;
    const auto resolved = Resolve(folder);
    if (!resolved || !IsDirectory(*resolved)) {
        return names;
    }
    const std::string wantedExtension = LowerAnsi(extension);
    std::error_code error;
    for (fs::directory_iterator it(*resolved, error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = Utf8ToAnsi(it->path().filename().string());
        const std::string lower = LowerAnsi(name);
        if (lower.size() > wantedExtension.size() && lower.ends_with(wantedExtension) &&
            IsRegularFile(it->path())) {
            names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        const std::string lowerA = LowerAnsi(a);
        const std::string lowerB = LowerAnsi(b);
        return lowerA != lowerB ? lowerA < lowerB : a < b;
    });
    return names;
}

std::optional<std::vector<std::uint8_t>> FileSystem::ReadAll(std::string_view path) const {
    const auto resolved = Resolve(path);
    if (!resolved || !IsRegularFile(*resolved)) {
        return std::nullopt;
    }
    std::ifstream in(*resolved, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes;
    std::error_code error;
    const auto size = fs::file_size(*resolved, error);
    if (!error) {
        bytes.reserve(static_cast<std::size_t>(size));
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) {
        return std::nullopt;
    }
    return bytes;
}

bool FileSystem::WriteAll(std::string_view path, std::span<const std::uint8_t> bytes) const {
    const auto resolved = Resolve(path);
    return resolved && WriteBytes(*resolved, bytes, std::ios::binary | std::ios::trunc);
}

bool FileSystem::ReplaceFile(std::string_view path, std::span<const std::uint8_t> bytes) const {
    const auto resolved = Resolve(path);
    if (!resolved) {
        return false;
    }
    fs::path temporary = *resolved;
    temporary += ".part";
    if (!WriteBytes(temporary, bytes, std::ios::binary | std::ios::trunc)) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        return false;
    }
    std::error_code error;
    fs::rename(temporary, *resolved, error);
    if (error) {
        fs::remove(temporary, error);
        return false;
    }
    return true;
}

bool FileSystem::WriteInPlace(std::string_view path, std::span<const std::uint8_t> bytes) const {
    const auto resolved = Resolve(path);
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
