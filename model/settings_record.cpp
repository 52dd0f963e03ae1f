#include "model/settings_record.h"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <optional>
#include <string>

namespace model {
namespace {

void PutU16(std::vector<std::uint8_t>& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void PutI32(std::vector<std::uint8_t>& out, std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<std::uint8_t>((bits >> shift) & 0xFF));
    }
}

void PutText(std::vector<std::uint8_t>& out, const std::string& text) {
    // The length word holds at most 65535; a longer text is cut rather than corrupting
    // every field after it.
    const std::size_t length = std::min<std::size_t>(text.size(), 0xFFFF);
    PutU16(out, static_cast<std::uint16_t>(length));
    out.insert(out.end(), text.begin(), text.begin() + static_cast<std::ptrdiff_t>(length));
}

class Cursor {
public:
    explicit Cursor(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}

    std::optional<std::uint8_t> U8() {
        if (m_pos + 1 > m_bytes.size()) {
            return std::nullopt;
        }
        return m_bytes[m_pos++];
    }

    std::optional<std::uint16_t> U16() {
        if (m_pos + 2 > m_bytes.size()) {
            return std::nullopt;
        }
        const auto value = static_cast<std::uint16_t>(m_bytes[m_pos] | (m_bytes[m_pos + 1] << 8));
        m_pos += 2;
        return value;
    }

    std::optional<std::int32_t> I32() {
        if (m_pos + 4 > m_bytes.size()) {
            return std::nullopt;
        }
        std::uint32_t bits = 0;
        for (std::size_t i = 0; i < 4; ++i) {
            bits |= static_cast<std::uint32_t>(m_bytes[m_pos + i]) << (8 * i);
        }
        m_pos += 4;
        return static_cast<std::int32_t>(bits);
    }

    std::optional<std::string> Text() {
        const auto length = U16();
        if (!length || m_pos + *length > m_bytes.size()) {
            return std::nullopt;
        }
        std::string text(m_bytes.begin() + static_cast<std::ptrdiff_t>(m_pos),
                         m_bytes.begin() + static_cast<std::ptrdiff_t>(m_pos + *length));
        m_pos += *length;
        return text;
    }

private:
    std::span<const std::uint8_t> m_bytes;
    std::size_t m_pos = 0;
};

}  // namespace

std::vector<std::uint8_t> EncodeSettings(const SettingsRecord& settings) {
    std::vector<std::uint8_t> out;
    out.reserve(14 + settings.version.size() + settings.simPath.size());
    PutText(out, settings.version);
    out.push_back(settings.recordFlag);
    out.push_back(settings.simKind);
    PutText(out, settings.simPath);
    PutI32(out, settings.airportCount);
    PutI32(out, settings.airspaceFileCount);
    return out;
}

SettingsRecord DecodeSettings(std::span<const std::uint8_t> bytes) {
    SettingsRecord settings;
    Cursor cursor(bytes);
    auto version = cursor.Text();
    if (!version) {
        return settings;
    }
    settings.version = std::move(*version);
    const auto flag = cursor.U8();
    if (!flag) {
        return settings;
    }
    settings.recordFlag = *flag;
    const auto kind = cursor.U8();
    if (!kind) {
        return settings;
    }
    settings.simKind = *kind;
    auto path = cursor.Text();
    if (!path) {
        return settings;
    }
    settings.simPath = std::move(*path);
    const auto airports = cursor.I32();
    if (!airports) {
        return settings;
    }
    settings.airportCount = *airports;
    const auto airspaceFiles = cursor.I32();
    if (airspaceFiles) {
        settings.airspaceFileCount = *airspaceFiles;
    }
    return settings;
}

}  // namespace model
