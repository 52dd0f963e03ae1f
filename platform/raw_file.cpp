#include "platform/raw_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

RawFolder::RawFolder(const std::filesystem::path& path)
    : m_fd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {}

RawFolder::~RawFolder() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

RawFile::RawFile(const RawFolder& folder, const std::string& name)
    : m_fd(folder.IsOpen() ? ::openat(folder.Descriptor(), name.c_str(), O_RDONLY | O_CLOEXEC)
                           : -1) {}

RawFile::RawFile(const std::filesystem::path& path)
    : m_fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}

RawFile::~RawFile() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

bool RawFile::ReadInto(std::uint8_t* destination, std::uint64_t offset, std::size_t length) const {
    if (m_fd < 0) {
        return false;
    }
    std::size_t done = 0;
    while (done < length) {
        const ssize_t got =
            ::pread(m_fd, destination + done, length - done, static_cast<off_t>(offset + done));
        if (got <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(got);
    }
    return true;
}

std::optional<std::vector<std::uint8_t>> RawFile::ReadAt(std::uint64_t offset,
                                                         std::size_t length) const {
    std::vector<std::uint8_t> bytes(length);
    if (!ReadInto(bytes.data(), offset, length)) {
        return std::nullopt;
    }
    return bytes;
}

std::optional<std::uint64_t> RawFile::Size() const {
    struct stat status {};
    if (m_fd < 0 || ::fstat(m_fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(status.st_size);
}

std::optional<std::vector<std::uint8_t>> RawFile::ReadAll() const {
    const auto size = Size();
    if (!size) {
        return std::nullopt;
    }
    return ReadAt(0, static_cast<std::size_t>(*size));
}

}  // namespace platform
