#pragma once

// Sessions recorded and replayed. A recording holds every message the message loop took from
// DirectPlay, with its sender's friendly name and the time it was taken, a mark for each tick
// of the loop, and what else changes the traffic table or the log between ticks (the roll
// call's emptying, the controller's own chat lines, a change of airport), so that a replay
// runs the same ticks on the same messages and shows what was shown. The format is Tarvolo's
// own text format (docs/recording.md): a header line with the format's name and version, a
// line with the airport's index and name, then one line per record. A writer never writes
// over an existing file, checks every write, flushes at every tick and syncs when it stops. A
// reader reads record by record in bounded memory, skips kinds it does not know, and stops at
// the first line that is cut short or damaged, keeping everything before it.

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <functional>
#include <istream>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "link/coordinator.h"
#include "link/link.h"

namespace mplink {

inline constexpr const char* kRecordingMagic = "TARVOLO-RECORDING";
inline constexpr int kRecordingVersion = 2;             // written; 1 and 2 are read
inline constexpr std::size_t kLongestRecord = 1 << 20;  // bytes in a line, beyond: damage

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

struct AirportChange {
    std::int64_t index = -1;
    std::string name;  // in the program's code page
};

// A tick of the loop: what happened since the tick before, then the messages it took.
struct RecordedTick {
    std::int64_t ms = 0;
    int rollCalls = 0;                     // the roll call emptied the table before the messages
    std::vector<std::string> ownChat;      // the controller's chat lines, as the log showed them
    std::optional<AirportChange> airport;  // the controller loaded another airport
    std::vector<RecordedMessage> messages;
    // The controllers' messages the board took during the tick, after its messages.
    std::vector<coord::Coordinator::Applied> coordination;
};

struct RecordingHeader {
    int version = kRecordingVersion;
    std::int64_t airportIndex = -1;  // -1 and no name: watched without an airport
    std::string airportName;
    std::optional<std::int64_t> startUnixMs;  // when the recording began
    std::optional<std::int32_t> localPlayer;  // the recorder's own player ID
};

struct Recording {
    std::int64_t airportIndex = -1;
    std::string airportName;  // in the program's code page
    RecordingHeader header;
    std::vector<RecordedTick> ticks;
    bool damaged = false;  // the file ended inside a record, or with one that cannot be read
};

// "session-YYYYMMDD-HHMMSS.tvr" for a local time.
std::string RecordingFileName(const std::tm& local);

// Reads a recording tick by tick, holding one line at a time.
class RecordingReader {
public:
    enum class Status { Reading, Ended, Missing, NotARecording, Newer, Damaged };
    // Where a tick begins in the file, to come back to it.
    struct Place {
        std::streamoff offset = 0;
        std::int64_t line = 0;
    };

    explicit RecordingReader(const std::string& path);
    explicit RecordingReader(std::unique_ptr<std::istream> text);
    RecordingReader(const RecordingReader&) = delete;
    RecordingReader& operator=(const RecordingReader&) = delete;

    Status GetStatus() const { return m_status; }
    bool Usable() const {
        return m_status == Status::Reading || m_status == Status::Ended ||
               m_status == Status::Damaged;
    }
    const RecordingHeader& Header() const { return m_header; }
    // The next tick; none at the end or at a damaged line (the status tells which).
    std::optional<RecordedTick> Next();
    // Where the next tick begins.
    Place Tell();
    void Seek(const Place& place);
    std::int64_t DamagedLine() const { return m_damagedLine; }
    // What is wrong, for the user: the file missing, not a recording, of a newer format, or
    // damaged at a line; empty while all is well.
    std::string Problem(const std::string& shown) const;

private:
    enum class Line { Read, End, Damaged };
    Line ReadLine(std::string& line);
    void ReadHeader();
    std::istream& Stream();

    std::ifstream m_file;
    std::unique_ptr<std::istream> m_text;  // instead of the file
    std::vector<char> m_buffer;            // one line, at most kLongestRecord
    Status m_status = Status::Reading;
    std::string m_openError;
    RecordingHeader m_header;
    Place m_place;
    std::int64_t m_line = 0;  // lines read so far
    std::int64_t m_damagedLine = 0;
};

// Reads a whole recording; nothing when the file is not one (or cannot be read).
std::optional<Recording> ReadRecording(const std::string& path);
std::optional<Recording> ParseRecording(const std::string& text);

class RecordingWriter {
public:
    RecordingWriter() = default;
    ~RecordingWriter();
    RecordingWriter(const RecordingWriter&) = delete;
    RecordingWriter& operator=(const RecordingWriter&) = delete;

    // Creates the file with its header, never over an existing one: where `path` is taken,
    // "name-2.tvr", "name-3.tvr" … (a device such as /dev/full is written as it is). False,
    // with the reason in Error(), when it cannot be written.
    bool Open(const std::string& path, const RecordingHeader& header);
    bool Open(const std::string& path, std::int64_t airportIndex, const std::string& airportName);
    bool IsOpen() const { return m_file != nullptr; }
    // A write failed: nothing more is written; Error() says why.
    bool Failed() const { return m_failed; }
    const std::string& Error() const { return m_error; }
    const std::string& Path() const { return m_path; }  // the file written

    void Message(const RecordedMessage& message);
    void Lookup(const NameLookup& lookup);
    void RollCall(std::int64_t ms);
    void OwnChat(std::int64_t ms, const std::string& line);
    void Airport(std::int64_t ms, std::int64_t index, const std::string& name);
    void Coordination(std::int64_t ms, const coord::Coordinator::Applied& message);
    // The end of a tick: its mark, and everything so far on disk.
    void Tick(std::int64_t ms);
    // Flushes, syncs and closes; false when something could not be written.
    bool Close();

private:
    void Write(const std::string& text, bool flush = false);

    std::FILE* m_file = nullptr;
    bool m_failed = false;
    std::string m_error;
    std::string m_path;
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
