#pragma once

// A file opened for reading raw bytes at given offsets, with one system call per read: the
// builder looks at a scenery file's marker before it reads the whole file.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// A folder held open, so that the files in it are opened by name alone: the system then
// looks up one name instead of walking the whole path for every file.
class RawFolder {
public:
    explicit RawFolder(const std::filesystem::path& path);
    ~RawFolder();
    RawFolder(const RawFolder&) = delete;
    RawFolder& operator=(const RawFolder&) = delete;

    bool IsOpen() const { return m_fd >= 0; }
    int Descriptor() const { return m_fd; }

private:
    int m_fd = -1;
};

class RawFile {
public:
    explicit RawFile(const std::filesystem::path& path);
    // A file of an open folder, by its name on disk.
    RawFile(const RawFolder& folder, const std::string& name);
    ~RawFile();
    RawFile(const RawFile&) = delete;
    RawFile& operator=(const RawFile&) = delete;
    RawFile(RawFile&& other) noexcept : m_fd(other.m_fd) { other.m_fd = -1; }
    RawFile& operator=(RawFile&&) = delete;

    // A file that is not open (every read fails).
    static RawFile None() { return RawFile(); }

    bool IsOpen() const { return m_fd >= 0; }

    // Exactly `length` bytes from `offset`, or nothing when the file is shorter.
    std::optional<std::vector<std::uint8_t>> ReadAt(std::uint64_t offset, std::size_t length) const;

    // Exactly `length` bytes from `offset` into `destination`; false when the file is shorter.
    bool ReadInto(std::uint8_t* destination, std::uint64_t offset, std::size_t length) const;

    // The whole file.
    std::optional<std::vector<std::uint8_t>> ReadAll() const;

    // The file's length in bytes, or nothing when it is no regular file.
    std::optional<std::uint64_t> Size() const;

private:
    RawFile() = default;

    int m_fd = -1;
};

}  // namespace platform
