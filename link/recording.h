#pragma once

// Sessions recorded and replayed. A recording holds every message the message loop took from
// DirectPlay, with its sender's friendly name and the time it was taken, and a mark for each
// tick of the loop, so that a replay runs the same ticks on the same messages. The format is
// Tarvolo's own text format (docs/recording.md): a header line with the format's name and
// version, a line with the airport's index and name, then one line per record. A writer
// flushes at every tick; a reader stops at the first line that is cut short or damaged and
// keeps everything before it.

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "link/link.h"

namespace mplink {

inline constexpr const char* kRecordingMagic = "TARVOLO-RECORDING";
inline constexpr int kRecordingVersion = 1;

// A friendly name as the loop looked it up; none when the lookup failed.
using NameLookup = std::pair<std::int32_t, std::optional<std::string>>;

struct RecordedMessage {
    std::int64_t ms = 0;  // since the recording began
    std::int32_t from = 0;
    std::int32_t to = 0;
    std::optional<std::string> senderName;  // none: the name lookup failed
    Bytes data;
    // The names the loop looked up while it handled this message, in their order.
    std::vector<NameLookup> lookups;
};

// The messages a tick of the loop took, and when the tick ran.
struct RecordedTick {
    std::int64_t ms = 0;
    std::vector<RecordedMessage> messages;
};

struct Recording {
    std::int64_t airportIndex = 0;
    std::string airportName;  // in the program's code page
    std::vector<RecordedTick> ticks;
    bool damaged = false;  // the file ended inside a record, or with one that cannot be read
};

// "session-YYYYMMDD-HHMMSS.tvr" for a local time.
std::string RecordingFileName(const std::tm& local);

// Reads a recording; nothing when the file is not one (or cannot be read).
std::optional<Recording> ReadRecording(const std::string& path);
std::optional<Recording> ParseRecording(const std::string& text);

class RecordingWriter {
public:
    RecordingWriter() = default;
    ~RecordingWriter();
    RecordingWriter(const RecordingWriter&) = delete;
    RecordingWriter& operator=(const RecordingWriter&) = delete;

    // Creates the file with its header; false when it cannot be written.
    bool Open(const std::string& path, std::int64_t airportIndex, const std::string& airportName);
    bool IsOpen() const { return m_file != nullptr; }
    void Message(const RecordedMessage& message);
    void Lookup(const NameLookup& lookup);
    // The end of a tick: its mark, and everything so far on disk.
    void Tick(std::int64_t ms);
    void Close();

private:
    std::FILE* m_file = nullptr;
};

// A port that passes everything to another and records each message taken, with the name of
// its sender, as the loop takes it.
class RecordingPort : public LinkPort {
public:
    RecordingPort(LinkPort& inner, RecordingWriter& writer, std::function<std::int64_t()> clock)
        : m_inner(inner), m_writer(writer), m_clock(std::move(clock)) {}
    std::int32_t GetMessageCount(std::int32_t playerId) override;
    Bytes Receive(std::int32_t& from, std::int32_t& to) override;
    std::string GetPlayerFriendlyName(std::int32_t playerId) override;
    void Send(std::int32_t from, std::int32_t to, const Bytes& message) override;

private:
    LinkPort& m_inner;
    RecordingWriter& m_writer;
    std::function<std::int64_t()> m_clock;
};

// A port that serves one recorded tick at a time: its messages in order, their senders' names
// as they were, and nothing sent anywhere.
class ReplayPort : public LinkPort {
public:
    void Load(const RecordedTick& tick);
    std::int32_t GetMessageCount(std::int32_t playerId) override;
    Bytes Receive(std::int32_t& from, std::int32_t& to) override;
    std::string GetPlayerFriendlyName(std::int32_t playerId) override;
    void Send(std::int32_t from, std::int32_t to, const Bytes& message) override;
    // When the message served last was taken in the recorded session, seconds.
    double TakenSeconds() const;

private:
    std::vector<RecordedMessage> m_messages;
    std::size_t m_next = 0;
    std::vector<NameLookup> m_lookups;  // of the message taken last, answered in order
    std::size_t m_nextLookup = 0;
};

}  // namespace mplink
