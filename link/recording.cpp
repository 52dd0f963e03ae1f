#include "link/recording.h"

#include <charconv>
#include <fstream>
#include <sstream>

#include "directplay/errors.h"

namespace mplink {
namespace {

namespace dp = directplay;

// Names in a record: "=" then the name with %, tab, CR and LF as %XX; "?" for a failed lookup.
std::string NameField(const std::optional<std::string>& name) {
    if (!name)
        return "?";
    std::string field = "=";
    for (const char c : *name) {
        if (c == '%' || c == '\t' || c == '\r' || c == '\n') {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", static_cast<unsigned char>(c));
            field += escaped;
        } else {
            field += c;
        }
    }
    return field;
}

std::optional<std::optional<std::string>> ParseName(std::string_view field) {
    if (field == "?")
        return std::optional<std::string>{};
    if (field.empty() || field[0] != '=')
        return std::nullopt;
    std::string name;
    for (std::size_t i = 1; i < field.size(); ++i) {
        if (field[i] != '%') {
            name += field[i];
            continue;
        }
        unsigned value = 0;
        if (i + 2 >= field.size())
            return std::nullopt;
        const auto [end, error] =
            std::from_chars(field.data() + i + 1, field.data() + i + 3, value, 16);
        if (error != std::errc() || end != field.data() + i + 3)
            return std::nullopt;
        name += static_cast<char>(value);
        i += 2;
    }
    return std::optional<std::string>(std::move(name));
}

std::string Hex(const Bytes& bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (const std::uint8_t b : bytes) {
        text += kDigits[b >> 4];
        text += kDigits[b & 15];
    }
    return text;
}

std::optional<Bytes> FromHex(std::string_view text) {
    if (text.size() % 2 != 0)
        return std::nullopt;
    Bytes bytes(text.size() / 2);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto [end, error] =
            std::from_chars(text.data() + 2 * i, text.data() + 2 * i + 2, bytes[i], 16);
        if (error != std::errc() || end != text.data() + 2 * i + 2)
            return std::nullopt;
    }
    return bytes;
}

template <typename T>
std::optional<T> Number(std::string_view text) {
    T value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string_view::npos ? tab : tab - start));
        if (tab == std::string_view::npos)
            return fields;
        start = tab + 1;
    }
}

}  // namespace

std::string RecordingFileName(const std::tm& local) {
    char name[40];
    std::strftime(name, sizeof name, "session-%Y%m%d-%H%M%S.tvr", &local);
    return name;
}

std::optional<Recording> ParseRecording(const std::string& text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    bool cut = false;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            cut = true;  // the last line never ended
            break;
        }
        lines.emplace_back(text.data() + start, end - start);
        start = end + 1;
    }
    if (lines.size() < 2)
        return std::nullopt;
    const auto magic = Fields(lines[0]);
    const auto airport = Fields(lines[1]);
    if (magic.size() != 2 || magic[0] != kRecordingMagic ||
        Number<int>(magic[1]) != kRecordingVersion || airport.size() != 3 ||
        airport[0] != "AIRPORT" || !Number<std::int64_t>(airport[1]))
        return std::nullopt;
    Recording recording;
    recording.airportIndex = *Number<std::int64_t>(airport[1]);
    recording.airportName = std::string(airport[2]);
    recording.damaged = cut;
    RecordedTick open;
    for (std::size_t i = 2; i < lines.size(); ++i) {
        const auto fields = Fields(lines[i]);
        bool good = false;
        if (fields[0] == "M" && fields.size() == 6) {
            const auto ms = Number<std::int64_t>(fields[1]);
            const auto from = Number<std::int32_t>(fields[2]);
            const auto to = Number<std::int32_t>(fields[3]);
            const auto name = ParseName(fields[4]);
            auto data = FromHex(fields[5]);
            if (ms && from && to && name && data) {
                open.messages.push_back({*ms, *from, *to, *name, std::move(*data), {}});
                good = true;
            }
        } else if (fields[0] == "N" && fields.size() == 3 && !open.messages.empty()) {
            const auto id = Number<std::int32_t>(fields[1]);
            const auto name = ParseName(fields[2]);
            if (id && name) {
                open.messages.back().lookups.emplace_back(*id, *name);
                good = true;
            }
        } else if (fields[0] == "T" && fields.size() == 2) {
            if (const auto ms = Number<std::int64_t>(fields[1])) {
                open.ms = *ms;
                recording.ticks.push_back(std::move(open));
                open = {};
                good = true;
            }
        }
        if (!good) {
            recording.damaged = true;
            break;  // a damaged tail: what came before stays
        }
    }
    // Messages after the last tick mark (the recording stopped inside a tick) make one more.
    if (!open.messages.empty()) {
        open.ms = open.messages.back().ms;
        recording.ticks.push_back(std::move(open));
    }
    return recording;
}

std::optional<Recording> ReadRecording(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return std::nullopt;
    std::ostringstream text;
    text << file.rdbuf();
    return ParseRecording(text.str());
}

RecordingWriter::~RecordingWriter() {
    Close();
}

bool RecordingWriter::Open(const std::string& path, std::int64_t airportIndex,
                           const std::string& airportName) {
    Close();
    m_file = std::fopen(path.c_str(), "wb");
    if (!m_file)
        return false;
    std::string name;
    for (const char c : airportName)
        name += (c == '\t' || c == '\n' || c == '\r') ? ' ' : c;
    std::fprintf(m_file, "%s\t%d\nAIRPORT\t%lld\t%s\n", kRecordingMagic, kRecordingVersion,
                 static_cast<long long>(airportIndex), name.c_str());
    std::fflush(m_file);
    return true;
}

void RecordingWriter::Message(const RecordedMessage& message) {
    if (!m_file)
        return;
    std::fprintf(m_file, "M\t%lld\t%d\t%d\t%s\t%s\n", static_cast<long long>(message.ms),
                 message.from, message.to, NameField(message.senderName).c_str(),
                 Hex(message.data).c_str());
    for (const NameLookup& lookup : message.lookups)
        Lookup(lookup);
}

void RecordingWriter::Lookup(const NameLookup& lookup) {
    if (m_file)
        std::fprintf(m_file, "N\t%d\t%s\n", lookup.first, NameField(lookup.second).c_str());
}

void RecordingWriter::Tick(std::int64_t ms) {
    if (!m_file)
        return;
    std::fprintf(m_file, "T\t%lld\n", static_cast<long long>(ms));
    std::fflush(m_file);
}

void RecordingWriter::Close() {
    if (m_file)
        std::fclose(m_file);
    m_file = nullptr;
}

std::int32_t RecordingPort::GetMessageCount(std::int32_t playerId) {
    return m_inner.GetMessageCount(playerId);
}

Bytes RecordingPort::Receive(std::int32_t& from, std::int32_t& to) {
    Bytes data = m_inner.Receive(from, to);
    std::optional<std::string> name;
    try {
        name = m_inner.GetPlayerFriendlyName(from);
    } catch (const dp::DirectPlayError&) {
    }
    m_writer.Message({m_clock(), from, to, name, data, {}});
    return data;
}

std::string RecordingPort::GetPlayerFriendlyName(std::int32_t playerId) {
    try {
        std::string name = m_inner.GetPlayerFriendlyName(playerId);
        m_writer.Lookup({playerId, name});
        return name;
    } catch (const dp::DirectPlayError&) {
        m_writer.Lookup({playerId, std::nullopt});
        throw;
    }
}

void RecordingPort::Send(std::int32_t from, std::int32_t to, const Bytes& message) {
    m_inner.Send(from, to, message);
}

void ReplayPort::Load(const RecordedTick& tick) {
    m_messages = tick.messages;
    m_next = 0;
    m_lookups.clear();
    m_nextLookup = 0;
}

std::int32_t ReplayPort::GetMessageCount(std::int32_t) {
    return static_cast<std::int32_t>(m_messages.size() - m_next);
}

Bytes ReplayPort::Receive(std::int32_t& from, std::int32_t& to) {
    if (m_next >= m_messages.size())
        throw dp::DirectPlayError(dp::hresult::kNoMessages, "no recorded message");
    const RecordedMessage& message = m_messages[m_next++];
    from = message.from;
    to = message.to;
    m_lookups = message.lookups;
    m_nextLookup = 0;
    return message.data;
}

double ReplayPort::TakenSeconds() const {
    return m_next == 0 ? 0 : static_cast<double>(m_messages[m_next - 1].ms) / 1000.0;
}

std::string ReplayPort::GetPlayerFriendlyName(std::int32_t playerId) {
    // The loop asks for the names it asked for then, in the same order.
    for (std::size_t i = m_nextLookup; i < m_lookups.size(); ++i) {
        if (m_lookups[i].first != playerId)
            continue;
        m_nextLookup = i + 1;
        if (!m_lookups[i].second)
            break;
        return *m_lookups[i].second;
    }
    throw dp::DirectPlayError(dp::hresult::kInvalidPlayer, "no such player in the recording");
}

void ReplayPort::Send(std::int32_t, std::int32_t, const Bytes&) {
    // A replay speaks to nobody.
}

}  // namespace mplink
