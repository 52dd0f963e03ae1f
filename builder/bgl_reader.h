#pragma once

// Readers for the simulator's binary scenery files. A file is held whole in a buffer with one
// extra zero byte after its last byte; every read is checked against the buffer, and a read
// outside it throws OutOfBuffer, which the walkers catch at the file level so that a damaged
// file keeps what was decoded before the damage. All values are little-endian.

#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/raw_file.h"

namespace builder {

// A position or length outside the buffer, or a record that would not advance a walk.
struct OutOfBuffer : std::exception {
    const char* what() const noexcept override { return "read outside the scenery file"; }
};

// The file's bytes followed by one zero byte: index L (the file's length) reads as 0.
class FileBuffer {
public:
    FileBuffer() = default;
    explicit FileBuffer(std::span<const std::uint8_t> fileBytes);

    // The whole of an open file in one read, straight into the buffer; nothing when it cannot
    // be read.
    static std::optional<FileBuffer> Read(const platform::RawFile& file);

    std::span<const std::uint8_t> Bytes() const { return {m_bytes.get(), m_size}; }
    std::int64_t Size() const { return static_cast<std::int64_t>(m_size); }
    bool Empty() const { return m_size == 0; }
    void Release() {
        m_bytes.reset();
        m_size = 0;
    }

    // Defined here so the walks, which read millions of words in a world build, inline them.
    std::uint8_t ReadUInt8(std::int64_t pos) const {
        Check(pos, 1);
        return m_bytes[static_cast<std::size_t>(pos)];
    }

    std::int16_t ReadInt16(std::int64_t pos) const {
        Check(pos, 2);
        const std::uint8_t* p = m_bytes.get() + pos;
        return static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | (p[1] << 8)));
    }

    std::int32_t ReadInt24(std::int64_t pos) const {
        Check(pos, 3);
        const std::uint8_t* p = m_bytes.get() + pos;
        const std::int32_t high = p[2] > 127 ? p[2] - 256 : p[2];
        return p[0] + 256 * p[1] + 65536 * high;
    }

    std::int32_t ReadInt32(std::int64_t pos) const {
        Check(pos, 4);
        const std::uint8_t* p = m_bytes.get() + pos;
        const std::uint32_t bits =
            static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
            (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
        return static_cast<std::int32_t>(bits);
    }
    // Bytes pos .. pos + length - 1 as text, one character per byte; zero bytes are dropped,
    // not taken as an end. A length of 0 or less gives an empty text.
    std::string ReadText(std::int64_t pos, std::int64_t length) const;

private:
    void Check(std::int64_t pos, std::int64_t length) const {
        if (pos < 0 || length < 0 || pos > Size() || length > Size() - pos) {
            throw OutOfBuffer();
        }
    }

    // Not a vector: a scenery file is read straight into memory that need not be zeroed first.
    std::unique_ptr<std::uint8_t[]> m_bytes;
    std::size_t m_size = 0;
};

// The IEEE single whose 32 bits are given, with the old decoder's quirks: 0 for 0, no special
// case for a zero exponent, and 0 where the exponent is 255.
float BitsToSingle(std::uint32_t bits);

// n in upper-case hexadecimal, at least two digits ("0A", "FF").
std::string HexByte(std::uint32_t n);

}  // namespace builder
