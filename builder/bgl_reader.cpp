#include "builder/bgl_reader.h"

#include <algorithm>
#include <cmath>

namespace builder {

FileBuffer::FileBuffer(std::span<const std::uint8_t> fileBytes)
    : m_bytes(std::make_unique_for_overwrite<std::uint8_t[]>(fileBytes.size() + 1)),
      m_size(fileBytes.size() + 1) {
    std::copy(fileBytes.begin(), fileBytes.end(), m_bytes.get());
    m_bytes[fileBytes.size()] = 0;
}

std::optional<FileBuffer> FileBuffer::Read(const platform::RawFile& file) {
    const auto size = file.Size();
    if (!size) {
        return std::nullopt;
    }
    FileBuffer buffer;
    buffer.m_bytes =
        std::make_unique_for_overwrite<std::uint8_t[]>(static_cast<std::size_t>(*size) + 1);
    buffer.m_size = static_cast<std::size_t>(*size) + 1;
    if (!file.ReadInto(buffer.m_bytes.get(), 0, static_cast<std::size_t>(*size))) {
        return std::nullopt;
    }
    buffer.m_bytes[buffer.m_size - 1] = 0;
    return buffer;
}

void FileBuffer::Check(std::int64_t pos, std::int64_t length) const {
    if (pos < 0 || length < 0 || pos > Size() || length > Size() - pos) {
        throw OutOfBuffer();
    }
}

std::uint8_t FileBuffer::ReadUInt8(std::int64_t pos) const {
    Check(pos, 1);
    return m_bytes[static_cast<std::size_t>(pos)];
}

std::int16_t FileBuffer::ReadInt16(std::int64_t pos) const {
    Check(pos, 2);
    const auto* p = m_bytes.get() + pos;
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | (p[1] << 8)));
}

std::int32_t FileBuffer::ReadInt24(std::int64_t pos) const {
    Check(pos, 3);
    const auto* p = m_bytes.get() + pos;
    const std::int32_t high = p[2] > 127 ? p[2] - 256 : p[2];
    return p[0] + 256 * p[1] + 65536 * high;
}

std::int32_t FileBuffer::ReadInt32(std::int64_t pos) const {
    Check(pos, 4);
    const auto* p = m_bytes.get() + pos;
    const std::uint32_t bits =
        static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
        (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
    return static_cast<std::int32_t>(bits);
}

std::string FileBuffer::ReadText(std::int64_t pos, std::int64_t length) const {
    std::string text;
    if (length <= 0) {
        return text;
    }
    Check(pos, length);
    text.reserve(static_cast<std::size_t>(length));
    for (std::int64_t i = pos; i < pos + length; ++i) {
        const auto byte = m_bytes[static_cast<std::size_t>(i)];
        if (byte != 0) {
            text.push_back(static_cast<char>(byte));
        }
    }
    return text;
}

float BitsToSingle(std::uint32_t bits) {
    if (bits == 0) {
        return 0;
    }
    const float sign = (bits & 0x80000000u) != 0 ? -1.0f : 1.0f;
    const int exponent = static_cast<int>((bits >> 23) & 0xFF);
    const std::uint32_t mantissa = bits & 0x7FFFFF;
    if (exponent == 255) {
        return 0;  // the old decoder overflowed here and gave 0
    }
    const double value = (1.0 + mantissa / 8388608.0) * std::ldexp(1.0, exponent - 127);
    return static_cast<float>(sign * value);
}

std::string HexByte(std::uint32_t n) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    do {
        text.insert(text.begin(), kDigits[n & 0xF]);
        n >>= 4;
    } while (n != 0);
    if (text.size() < 2) {
        text.insert(text.begin(), '0');
    }
    return text;
}

}  // namespace builder
