// Recordings: the file written and read back, damaged tails, and the replay port.

#include "link/recording.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "directplay/errors.h"
#include "tests/support/scratch_folder.h"

namespace mplink {
namespace {

std::string Slurp(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::string WriteSample(const std::string& path) {
    RecordingWriter writer;
    RecordingHeader header;
    header.airportIndex = 4;
    header.airportName = "Tarvolo International";
    header.startUnixMs = 1796634000000;
    header.localPlayer = -12;
    EXPECT_TRUE(writer.Open(path, header));
    writer.Message({100, 7, 0, "N1\t%odd", {1, 2, 0xFF}, {{7, "N1\t%odd"}, {9, std::nullopt}}});
    writer.Message({150, 8, 0, std::nullopt, {}, {}});
    writer.Tick(1000);
    writer.RollCall(1500);
    writer.OwnChat(1600, "ATC: cleared\tto land");
    writer.Airport(1700, 9, "Renton Valley");
    writer.Message({1100, 7, 3, "N1\t%odd", {0x10}, {}});
    writer.Tick(2000);
    EXPECT_TRUE(writer.Close());
    return Slurp(path);
}

TEST(Recording, WrittenAndReadBack) {
    testing_support::ScratchFolder scratch;
    const std::string text = WriteSample("a.tvr");
    EXPECT_EQ(text.substr(0, 52), "TARVOLO-RECORDING\t2\nAIRPORT\t4\tTarvolo International\n");
    const auto recording = ReadRecording("a.tvr");
    ASSERT_TRUE(recording);
    EXPECT_FALSE(recording->damaged);
    EXPECT_EQ(recording->airportIndex, 4);
    EXPECT_EQ(recording->airportName, "Tarvolo International");
    EXPECT_EQ(recording->header.startUnixMs, 1796634000000);
    EXPECT_EQ(recording->header.localPlayer, -12);
    ASSERT_EQ(recording->ticks.size(), 2u);
    EXPECT_EQ(recording->ticks[0].ms, 1000);
    const RecordedMessage& first = recording->ticks[0].messages[0];
    EXPECT_EQ(first.senderName, std::optional<std::string>("N1\t%odd"));
    EXPECT_EQ(first.data, (Bytes{1, 2, 0xFF}));
    ASSERT_EQ(first.lookups.size(), 2u);
    EXPECT_EQ(first.lookups[1], NameLookup(9, std::nullopt));
    EXPECT_EQ(recording->ticks[0].messages[1].senderName, std::nullopt);
    const RecordedTick& second = recording->ticks[1];
    EXPECT_EQ(second.messages[0].to, 3);
    EXPECT_EQ(second.rollCalls, 1);
    EXPECT_EQ(second.ownChat, std::vector<std::string>{"ATC: cleared\tto land"});
    ASSERT_TRUE(second.airport);
    EXPECT_EQ(second.airport->index, 9);
    EXPECT_EQ(second.airport->name, "Renton Valley");
    EXPECT_EQ(recording->ticks[0].rollCalls, 0);
}

TEST(Recording, ADamagedTailIsLeftOutAndWhatCameBeforeStays) {
    testing_support::ScratchFolder scratch;
    const std::string text = WriteSample("a.tvr");
    // Every cut keeps the whole ticks before it and never invents a record.
    const std::size_t secondTick = text.find("R\t1500");
    for (std::size_t length = text.find("M\t100"); length < text.size(); length += 3) {
        const auto cut = ParseRecording(text.substr(0, length));
        ASSERT_TRUE(cut);
        EXPECT_TRUE(cut->damaged || text[length - 1] == '\n');
        EXPECT_LE(cut->ticks.size(), 2u);
        if (length > secondTick) {
            EXPECT_GE(cut->ticks.size(), 1u);
        }
    }
    // A line that cannot be read ends the recording there, and says where.
    std::string broken = text;
    broken.replace(broken.find("M\t1100"), 6, "M\tx100");
    const auto damaged = ParseRecording(broken);
    ASSERT_TRUE(damaged);
    EXPECT_TRUE(damaged->damaged);
    EXPECT_EQ(damaged->ticks.size(), 2u);  // the events before the damaged message
    EXPECT_TRUE(damaged->ticks[1].messages.empty());
    {
        std::ofstream file("broken.tvr", std::ios::binary);
        file << broken;
    }
    RecordingReader reader("broken.tvr");
    while (reader.Next()) {
    }
    EXPECT_EQ(reader.Problem("broken.tvr"),
              "The file broken.tvr is damaged at line 12; what comes before it is replayed.");
    // A recording stopped inside a tick: what came after the last tick mark is one more tick,
    // at the time of its last record.
    const auto unfinished = ParseRecording(text + "K\t2500\t7\t=N1\t0102\n");
    ASSERT_TRUE(unfinished);
    ASSERT_EQ(unfinished->ticks.size(), 3u);
    EXPECT_EQ(unfinished->ticks[2].ms, 2500);
    EXPECT_EQ(unfinished->ticks[2].coordination.size(), 1u);
}

TEST(Recording, LaterKindsAreSkippedAndCarriageReturnsTaken) {
    testing_support::ScratchFolder scratch;
    std::string text = WriteSample("a.tvr");
    text.insert(text.find("T\t1000"), "W\t1200\tweather from a later version\n");
    const auto later = ParseRecording(text);
    ASSERT_TRUE(later);
    EXPECT_FALSE(later->damaged);
    EXPECT_EQ(later->ticks.size(), 2u);
    // A lower-case or empty kind is damage, not a later kind.
    std::string junk = text;
    junk.insert(junk.find("T\t1000"), "w\tjunk\n");
    EXPECT_TRUE(ParseRecording(junk)->damaged);
    // Lines ended by carriage return and line feed read the same.
    std::string crlf;
    for (const char c : WriteSample("b.tvr")) {
        if (c == '\n')
            crlf += '\r';
        crlf += c;
    }
    const auto windows = ParseRecording(crlf);
    ASSERT_TRUE(windows);
    EXPECT_FALSE(windows->damaged);
    EXPECT_EQ(windows->ticks.size(), 2u);
    EXPECT_EQ(windows->airportName, "Tarvolo International");
    // A version 1 recording (no START, no events) still plays.
    const auto old =
        ParseRecording("TARVOLO-RECORDING\t1\nAIRPORT\t-1\t\nM\t5\t7\t0\t=N1\t0110\nT\t1000\n");
    ASSERT_TRUE(old);
    EXPECT_EQ(old->airportIndex, -1);
    EXPECT_FALSE(old->header.localPlayer);
    ASSERT_EQ(old->ticks.size(), 1u);
    EXPECT_EQ(old->ticks[0].messages[0].data, (Bytes{1, 0x10}));
}

struct ProblemRow {
    const char* name;
    const char* content;  // nullptr: no file
    RecordingReader::Status status;
    const char* says;
};

class RecordingProblems : public testing::TestWithParam<ProblemRow> {};

TEST_P(RecordingProblems, EachIsToldApart) {
    testing_support::ScratchFolder scratch;
    if (GetParam().content) {
        std::ofstream file("x.tvr", std::ios::binary);
        file << GetParam().content;
    }
    RecordingReader reader("x.tvr");
    EXPECT_EQ(reader.GetStatus(), GetParam().status);
    EXPECT_FALSE(reader.Usable());
    EXPECT_NE(reader.Problem("x.tvr").find(GetParam().says), std::string::npos)
        << reader.Problem("x.tvr");
}

INSTANTIATE_TEST_SUITE_P(
    Files, RecordingProblems,
    testing::Values(
        ProblemRow{"Missing", nullptr, RecordingReader::Status::Missing,
                   "x.tvr cannot be opened: No such file or directory"},
        ProblemRow{"NotARecording", "NOT-A-RECORDING\t1\nAIRPORT\t1\tx\n",
                   RecordingReader::Status::NotARecording, "is not a Tarvolo session recording"},
        ProblemRow{"Newer", "TARVOLO-RECORDING\t3\nAIRPORT\t1\tx\n", RecordingReader::Status::Newer,
                   "newer Tarvolo (format version 3); this one plays versions up to 2"},
        ProblemRow{"NoAirportLine", "TARVOLO-RECORDING\t2\n",
                   RecordingReader::Status::NotARecording, "is not a Tarvolo session recording"}),
    [](const auto& row) { return std::string(row.param.name); });

// Under AddressSanitizer freed memory waits in a quarantine of up to 256 MB, so the resident
// size says nothing of what the reader holds; the plain build measures it.
#if defined(__SANITIZE_ADDRESS__)
constexpr long kMemorySlackKb = 512 * 1024;
#else
constexpr long kMemorySlackKb = 16 * 1024;
#endif

long ResidentKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return 0;
}

TEST(Recording, ReadAsAStreamInBoundedMemory) {
    testing_support::ScratchFolder scratch;
    {
        // About 100 MB: a thousand ticks of a hundred 500-byte messages.
        std::ofstream file("big.tvr", std::ios::binary);
        file << "TARVOLO-RECORDING\t2\nAIRPORT\t1\tBig\n";
        std::string tick;
        for (int m = 0; m < 100; ++m)
            tick += "M\t5\t7\t0\t=N1\t" + std::string(1000, 'a') + "\nN\t7\t=N1\n";
        tick += "T\t999\n";
        for (int t = 0; t < 1000; ++t)
            file << tick;
    }
    const long before = ResidentKb();
    RecordingReader reader("big.tvr");
    std::size_t ticks = 0;
    long peak = before;
    while (auto tick = reader.Next()) {
        ++ticks;
        peak = std::max(peak, ResidentKb());
    }
    EXPECT_EQ(ticks, 1000u);
    EXPECT_EQ(reader.GetStatus(), RecordingReader::Status::Ended);
    EXPECT_LT(peak - before, kMemorySlackKb) << "kB more while reading 100 MB";
    // An endless line of zeros is no recording, and costs no more than one line's room.
    RecordingReader zeros("/dev/zero");
    EXPECT_EQ(zeros.GetStatus(), RecordingReader::Status::NotARecording);
    EXPECT_LT(ResidentKb() - before, kMemorySlackKb);
}

TEST(Recording, ATickFoundAgainWhereItBegan) {
    testing_support::ScratchFolder scratch;
    WriteSample("a.tvr");
    RecordingReader reader("a.tvr");
    ASSERT_TRUE(reader.Next());
    const RecordingReader::Place second = reader.Tell();
    const auto once = reader.Next();
    ASSERT_TRUE(once);
    EXPECT_FALSE(reader.Next());
    reader.Seek(second);
    const auto again = reader.Next();
    ASSERT_TRUE(again);
    EXPECT_EQ(again->ms, once->ms);
    EXPECT_EQ(again->ownChat, once->ownChat);
}

TEST(Recording, NothingIsWrittenOverAndAFullDiskIsReported) {
    testing_support::ScratchFolder scratch;
    WriteSample("a.tvr");
    const std::string first = Slurp("a.tvr");
    RecordingWriter writer;
    ASSERT_TRUE(writer.Open("a.tvr", 1, "Other"));
    EXPECT_EQ(writer.Path(), "a-2.tvr");
    writer.Tick(5);
    EXPECT_TRUE(writer.Close());
    RecordingWriter third;
    ASSERT_TRUE(third.Open("a.tvr", 1, "Other"));
    EXPECT_EQ(third.Path(), "a-3.tvr");
    third.Close();
    EXPECT_EQ(Slurp("a.tvr"), first);
    // A disk that takes nothing: refused at once, with the reason.
    RecordingWriter full;
    EXPECT_FALSE(full.Open("/dev/full", 1, "Full"));
    EXPECT_TRUE(full.Failed());
    EXPECT_EQ(full.Error(), "No space left on device");
    // A folder that cannot be written.
    RecordingWriter nowhere;
    EXPECT_FALSE(nowhere.Open("no-such-folder/a.tvr", 1, "x"));
    EXPECT_EQ(nowhere.Error(), "No such file or directory");
}

TEST(Recording, TheReplayPortAnswersAsTheSessionDid) {
    RecordedTick tick;
    // The loop asked for 7's name twice in the first message, and 7 was renamed between.
    tick.messages = {{0, 7, 0, "N1", {1}, {{7, "N1"}, {7, "N2"}, {9, std::nullopt}}},
                     {0, 8, 0, "B", {2}, {}}};
    ReplayPort port;
    port.Load(tick);
    EXPECT_EQ(port.GetMessageCount(1), 2);
    std::int32_t from = 0;
    std::int32_t to = 0;
    EXPECT_EQ(port.Receive(from, to), Bytes{1});
    EXPECT_EQ(from, 7);
    EXPECT_EQ(port.GetPlayerFriendlyName(7), "N1");
    EXPECT_EQ(port.GetPlayerFriendlyName(7), "N2");
    EXPECT_THROW(port.GetPlayerFriendlyName(9), directplay::DirectPlayError);
    EXPECT_NO_THROW(port.Send(1, 0, {1, 2}));
    EXPECT_EQ(port.Receive(from, to), Bytes{2});
    EXPECT_THROW(port.GetPlayerFriendlyName(8), directplay::DirectPlayError);
    EXPECT_EQ(port.GetMessageCount(1), 0);
    EXPECT_THROW(port.Receive(from, to), directplay::DirectPlayError);
}

TEST(Recording, FileNamedAfterTheDateAndTime) {
    std::tm local{};
    local.tm_year = 126;
    local.tm_mon = 11;
    local.tm_mday = 7;
    local.tm_hour = 9;
    local.tm_min = 5;
    local.tm_sec = 3;
    EXPECT_EQ(RecordingFileName(local), "session-20261207-090503.tvr");
}

}  // namespace
}  // namespace mplink
