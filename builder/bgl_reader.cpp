#include "builder/bgl_reader.h"

#include <algorithm>
#include <cmath>
#include <cstring>

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

std::string FileBuffer::ReadText(std::int64_t pos, std::int64_t length) const {
    std::string text;
    if (length <= 0) {
        return text;
    }
    Check(pos, length);
    const std::uint8_t* from = m_bytes.get() + pos;
    const std::uint8_t* const end = from + length;
    text.reserve(static_cast<std::size_t>(length));
    // Runs between zero bytes go in whole; the zeros themselves are dropped.
    while (from < end) {
        const auto* zero = static_cast<const std::uint8_t*>(
            std::memchr(from, 0, static_cast<std::size_t>(end - from)));
        const std::uint8_t* runEnd = zero != nullptr ? zero : end;
        text.append(reinterpret_cast<const char*>(from), static_cast<std::size_t>(runEnd - from));
        from = runEnd + (zero != nullptr ? 1 : 0);
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
