#include "platform/raw_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

RawFile::RawFile(const std::filesystem::path& path)
    : m_fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}

RawFile::~RawFile() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

std::optional<std::vector<std::uint8_t>> RawFile::ReadAt(std::uint64_t offset,
                                                         std::size_t length) const {
    if (m_fd < 0) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes;
    // One byte of room more than asked: a scenery buffer appends its zero byte without a copy.
    bytes.reserve(length + 1);
    bytes.resize(length);
    std::size_t done = 0;
    while (done < length) {
        const ssize_t got =
            ::pread(m_fd, bytes.data() + done, length - done, static_cast<off_t>(offset + done));
        if (got <= 0) {
            return std::nullopt;
        }
        done += static_cast<std::size_t>(got);
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
