#pragma once

// Hand-made scenery bytes for tests: little-endian 32-bit words put at offsets or appended.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace testing_support {

class WordBytes {
public:
    void Put(std::size_t at, std::int32_t word) {
        if (m_bytes.size() < at + 4) {
            m_bytes.resize(at + 4, 0);
        }
        for (std::size_t i = 0; i < 4; ++i) {
            m_bytes[at + i] =
                static_cast<std::uint8_t>((static_cast<std::uint32_t>(word) >> (8 * i)) & 0xFF);
        }
    }

    void Append(std::initializer_list<std::int32_t> words) {
        for (const std::int32_t word : words) {
            Put(m_bytes.size(), word);
        }
    }

    void AppendText(const std::string& text) {
        m_bytes.insert(m_bytes.end(), text.begin(), text.end());
    }
    void PadTo(std::size_t size) { m_bytes.resize(size, 0); }
    const std::vector<std::uint8_t>& Bytes() const { return m_bytes; }

    // A scenery file header: the marker, the header value 1, and the section offsets.
    static WordBytes SceneryHeader(std::int32_t airportSection, std::int32_t boundarySection) {
        WordBytes bytes;
        bytes.PadTo(256);
        bytes.Put(118, static_cast<std::int32_t>(0x87654321u));
        bytes.Put(144, 1);
        bytes.Put(156, airportSection);
        bytes.Put(164, boundarySection);
        return bytes;
    }

private:
    std::vector<std::uint8_t> m_bytes;
};

}  // namespace testing_support
