#include "link/recording.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
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

namespace {

bool IsKind(std::string_view field) {
    if (field.empty() || field.size() > 32 || field[0] < 'A' || field[0] > 'Z')
        return false;
    return std::all_of(field.begin(), field.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
    });
}

}  // namespace

RecordingReader::RecordingReader(const std::string& path) : m_file(path, std::ios::binary) {
    if (!m_file) {
        m_status = Status::Missing;
        m_openError = std::strerror(errno);
        return;
    }
    ReadHeader();
}

RecordingReader::RecordingReader(std::unique_ptr<std::istream> text) : m_text(std::move(text)) {
    ReadHeader();
}

std::istream& RecordingReader::Stream() {
    return m_text ? *m_text : m_file;
}

void RecordingReader::ReadHeader() {
    std::string line;
    if (ReadLine(line) != Line::Read) {
        m_status = Status::NotARecording;
        return;
    }
    const auto magic = Fields(line);
    const auto version = magic.size() == 2 ? Number<int>(magic[1]) : std::nullopt;
    if (magic.size() != 2 || magic[0] != kRecordingMagic || !version || *version < 1) {
        m_status = Status::NotARecording;
        return;
    }
    m_header.version = *version;
    if (*version > kRecordingVersion) {
        m_status = Status::Newer;
        return;
    }
    if (ReadLine(line) != Line::Read) {
        m_status = Status::NotARecording;
        return;
    }
    const auto airport = Fields(line);
    const auto index = airport.size() == 3 ? Number<std::int64_t>(airport[1]) : std::nullopt;
    if (airport.size() != 3 || airport[0] != "AIRPORT" || !index) {
        m_status = Status::NotARecording;
        return;
    }
    m_header.airportIndex = *index;
    m_header.airportName = std::string(airport[2]);
    // When it began and who recorded it, on a line of its own where the recorder wrote it.
    const Place before{Stream().tellg(), m_line};
    if (ReadLine(line) == Line::Read) {
        const auto start = Fields(line);
        if (start.size() == 3 && start[0] == "START") {
            m_header.startUnixMs = Number<std::int64_t>(start[1]);
            m_header.localPlayer = Number<std::int32_t>(start[2]);
            m_place = {Stream().tellg(), m_line};
            return;
        }
    }
    Seek(before);
}

RecordingReader::Line RecordingReader::ReadLine(std::string& line) {
    std::istream& in = Stream();
    if (!in.good())
        return Line::End;
    m_buffer.resize(kLongestRecord + 2);
    in.getline(m_buffer.data(), static_cast<std::streamsize>(m_buffer.size()));
    const auto count = static_cast<std::size_t>(in.gcount());
    if (count == 0 && in.eof())
        return Line::End;
    ++m_line;
    if (in.eof())
        return Line::Damaged;  // the last line never ended
    if (in.fail())
        return Line::Damaged;  // longer than any record
    line.assign(m_buffer.data(), count - 1);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();  // written on a system that ends lines so
    return Line::Read;
}

RecordingReader::Place RecordingReader::Tell() {
    const std::streamoff at = Stream().tellg();
    return at < 0 ? m_place : Place{at, m_line};
}

void RecordingReader::Seek(const Place& place) {
    std::istream& in = Stream();
    in.clear();
    in.seekg(place.offset);
    m_line = place.line;
    m_place = place;
    if (m_status == Status::Ended || m_status == Status::Damaged)
        m_status = Status::Reading;
}

std::optional<RecordedTick> RecordingReader::Next() {
    if (m_status != Status::Reading)
        return std::nullopt;
    m_place = {Stream().tellg(), m_line};
    RecordedTick open;
    bool any = false;
    std::int64_t lastMs = 0;
    std::string line;
    for (;;) {
        const Line read = ReadLine(line);
        if (read == Line::End) {
            m_status = Status::Ended;
            break;
        }
        bool good = read == Line::Read;
        const auto fields = good ? Fields(line) : std::vector<std::string_view>{};
        const std::string_view kind = good ? fields[0] : std::string_view();
        if (!good) {
        } else if (kind == "M") {
            const auto ms = fields.size() == 6 ? Number<std::int64_t>(fields[1]) : std::nullopt;
            const auto from = fields.size() == 6 ? Number<std::int32_t>(fields[2]) : std::nullopt;
            const auto to = fields.size() == 6 ? Number<std::int32_t>(fields[3]) : std::nullopt;
            const auto name = fields.size() == 6 ? ParseName(fields[4]) : std::nullopt;
            auto data = fields.size() == 6 ? FromHex(fields[5]) : std::nullopt;
            good = ms && from && to && name && data;
            if (good) {
                open.messages.push_back({*ms, *from, *to, *name, std::move(*data), {}});
                lastMs = *ms;
            }
        } else if (kind == "N") {
            const auto id = fields.size() == 3 ? Number<std::int32_t>(fields[1]) : std::nullopt;
            const auto name = fields.size() == 3 ? ParseName(fields[2]) : std::nullopt;
            good = id && name && !open.messages.empty();
            if (good)
                open.messages.back().lookups.emplace_back(*id, *name);
        } else if (kind == "T") {
            const auto ms = fields.size() == 2 ? Number<std::int64_t>(fields[1]) : std::nullopt;
            if (ms) {
                open.ms = *ms;
                return open;
            }
            good = false;
        } else if (kind == "R") {
            const auto ms = fields.size() == 2 ? Number<std::int64_t>(fields[1]) : std::nullopt;
            good = ms && open.messages.empty();
            if (good) {
                ++open.rollCalls;
                lastMs = *ms;
            }
        } else if (kind == "C") {
            const auto ms = fields.size() == 3 ? Number<std::int64_t>(fields[1]) : std::nullopt;
            const auto text = fields.size() == 3 ? ParseName(fields[2]) : std::nullopt;
            good = ms && text && *text && open.messages.empty();
            if (good) {
                open.ownChat.push_back(**text);
                lastMs = *ms;
            }
        } else if (kind == "K") {
            const auto ms = fields.size() == 5 ? Number<std::int64_t>(fields[1]) : std::nullopt;
            const auto from = fields.size() == 5 ? Number<std::int32_t>(fields[2]) : std::nullopt;
            const auto name = fields.size() == 5 ? ParseName(fields[3]) : std::nullopt;
            auto data = fields.size() == 5 ? FromHex(fields[4]) : std::nullopt;
            good = ms && from && name && data;
            if (good) {
                open.coordination.push_back({*from, name->value_or(""), std::move(*data)});
                lastMs = *ms;
            }
        } else if (kind == "A") {
            const auto ms = fields.size() == 4 ? Number<std::int64_t>(fields[1]) : std::nullopt;
            const auto index = fields.size() == 4 ? Number<std::int64_t>(fields[2]) : std::nullopt;
            const auto name = fields.size() == 4 ? ParseName(fields[3]) : std::nullopt;
            good = ms && index && name && *name && open.messages.empty();
            if (good) {
                open.airport = AirportChange{*index, **name};
                lastMs = *ms;
            }
        } else {
            good = IsKind(kind);  // a kind of a later version: passed over
        }
        if (!good) {
            m_status = Status::Damaged;
            m_damagedLine = m_line;
            break;
        }
        any = true;
    }
    // What came after the last tick mark (the recording stopped inside a tick) makes one more.
    if (!any || (open.messages.empty() && !open.rollCalls && open.ownChat.empty() &&
                 !open.airport && open.coordination.empty()))
        return std::nullopt;
    open.ms = lastMs;
    return open;
}

std::string RecordingReader::Problem(const std::string& shown) const {
    switch (m_status) {
        case Status::Missing:
            return "The file " + shown + " cannot be opened: " + m_openError + ".";
        case Status::NotARecording:
            return "The file " + shown + " is not a Tarvolo session recording.";
        case Status::Newer:
            return "The file " + shown + " was recorded by a newer Tarvolo (format version " +
                   std::to_string(m_header.version) + "); this one plays versions up to " +
                   std::to_string(kRecordingVersion) + ".";
        case Status::Damaged:
            return "The file " + shown + " is damaged at line " + std::to_string(m_damagedLine) +
                   "; what comes before it is replayed.";
        default:
            return {};
    }
}

namespace {

std::optional<Recording> ReadAll(RecordingReader& reader) {
    if (!reader.Usable())
        return std::nullopt;
    Recording recording;
    recording.header = reader.Header();
    recording.airportIndex = reader.Header().airportIndex;
    recording.airportName = reader.Header().airportName;
    while (auto tick = reader.Next())
        recording.ticks.push_back(std::move(*tick));
    recording.damaged = reader.GetStatus() == RecordingReader::Status::Damaged;
    return recording;
}

}  // namespace

std::optional<Recording> ParseRecording(const std::string& text) {
    RecordingReader reader(std::make_unique<std::istringstream>(text));
    return ReadAll(reader);
}

std::optional<Recording> ReadRecording(const std::string& path) {
    RecordingReader reader(path);
    return ReadAll(reader);
}

RecordingWriter::~RecordingWriter() {
    Close();
}

bool RecordingWriter::Open(const std::string& path, std::int64_t airportIndex,
                           const std::string& airportName) {
    RecordingHeader header;
    header.airportIndex = airportIndex;
    header.airportName = airportName;
    return Open(path, header);
}

bool RecordingWriter::Open(const std::string& path, const RecordingHeader& header) {
    Close();
    m_failed = false;
    m_error.clear();
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (fs::exists(status) && !fs::is_regular_file(status) && !fs::is_directory(status)) {
        // A device or a pipe: nothing there to lose.
        m_path = path;
        m_file = std::fopen(path.c_str(), "wb");
    } else {
        // Never over an existing recording: the next free "-2", "-3" … instead.
        const fs::path wanted(path);
        for (int n = 1; n <= 9999 && !m_file; ++n) {
            m_path =
                n == 1 ? path
                       : (wanted.parent_path() / (wanted.stem().string() + "-" + std::to_string(n) +
                                                  wanted.extension().string()))
                             .string();
            m_file = std::fopen(m_path.c_str(), "wbx");
            if (!m_file && errno != EEXIST)
                break;
        }
    }
    if (!m_file) {
        m_failed = true;
        m_error = std::strerror(errno);
        return false;
    }
    std::string name;
    for (const char c : header.airportName)
        name += (c == '\t' || c == '\n' || c == '\r') ? ' ' : c;
    Write(std::string(kRecordingMagic) + "\t" + std::to_string(kRecordingVersion) + "\nAIRPORT\t" +
          std::to_string(header.airportIndex) + "\t" + name + "\n");
    if (header.startUnixMs || header.localPlayer)
        Write("START\t" + std::to_string(header.startUnixMs.value_or(0)) + "\t" +
              std::to_string(header.localPlayer.value_or(0)) + "\n");
    Write({}, true);
    if (m_failed) {
        std::fclose(m_file);
        m_file = nullptr;
        return false;
    }
    return true;
}

void RecordingWriter::Write(const std::string& text, bool flush) {
    if (!m_file || m_failed)
        return;
    if ((!text.empty() && std::fwrite(text.data(), 1, text.size(), m_file) != text.size()) ||
        (flush && std::fflush(m_file) != 0)) {
        m_failed = true;
        m_error = std::strerror(errno);
    }
}

void RecordingWriter::Message(const RecordedMessage& message) {
    Write("M\t" + std::to_string(message.ms) + "\t" + std::to_string(message.from) + "\t" +
          std::to_string(message.to) + "\t" + NameField(message.senderName) + "\t" +
          Hex(message.data) + "\n");
    for (const NameLookup& lookup : message.lookups)
        Lookup(lookup);
}

void RecordingWriter::Lookup(const NameLookup& lookup) {
    Write("N\t" + std::to_string(lookup.first) + "\t" + NameField(lookup.second) + "\n");
}

void RecordingWriter::RollCall(std::int64_t ms) {
    Write("R\t" + std::to_string(ms) + "\n");
}

void RecordingWriter::OwnChat(std::int64_t ms, const std::string& line) {
    Write("C\t" + std::to_string(ms) + "\t" + NameField(line) + "\n");
}

void RecordingWriter::Airport(std::int64_t ms, std::int64_t index, const std::string& name) {
    Write("A\t" + std::to_string(ms) + "\t" + std::to_string(index) + "\t" + NameField(name) +
          "\n");
}

void RecordingWriter::Coordination(std::int64_t ms, const coord::Coordinator::Applied& message) {
    Write("K\t" + std::to_string(ms) + "\t" + std::to_string(message.from) + "\t" +
          NameField(message.nickname) + "\t" + Hex(message.bytes) + "\n");
}

void RecordingWriter::Tick(std::int64_t ms) {
    Write("T\t" + std::to_string(ms) + "\n", true);
}

bool RecordingWriter::Close() {
    if (!m_file)
        return !m_failed;
    Write({}, true);
    if (!m_failed && ::fsync(::fileno(m_file)) != 0 && errno != EINVAL && errno != EROFS) {
        m_failed = true;  // a device or pipe cannot be synced, and need not be
        m_error = std::strerror(errno);
    }
    if (std::fclose(m_file) != 0 && !m_failed) {
        m_failed = true;
        m_error = std::strerror(errno);
    }
    m_file = nullptr;
    return !m_failed;
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
