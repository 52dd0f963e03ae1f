// Recordings: the file written and read back, damaged tails, and the replay port.

#include "link/recording.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "directplay/errors.h"
#include "tests/support/scratch_folder.h"

namespace mplink {
namespace {

std::string WriteSample(const std::string& path) {
    RecordingWriter writer;
    EXPECT_TRUE(writer.Open(path, 4, "Tarvolo International"));
    writer.Message({100, 7, 0, "N1\t%odd", {1, 2, 0xFF}, {{7, "N1\t%odd"}, {9, std::nullopt}}});
    writer.Message({150, 8, 0, std::nullopt, {}, {}});
    writer.Tick(1000);
    writer.Message({1100, 7, 3, "N1\t%odd", {0x10}, {}});
    writer.Tick(2000);
    writer.Close();
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

TEST(Recording, WrittenAndReadBack) {
    testing_support::ScratchFolder scratch;
    const std::string text = WriteSample("a.tvr");
    EXPECT_EQ(text.substr(0, 52), "TARVOLO-RECORDING\t1\nAIRPORT\t4\tTarvolo International\n");
    const auto recording = ReadRecording("a.tvr");
    ASSERT_TRUE(recording);
    EXPECT_FALSE(recording->damaged);
    EXPECT_EQ(recording->airportIndex, 4);
    EXPECT_EQ(recording->airportName, "Tarvolo International");
    ASSERT_EQ(recording->ticks.size(), 2u);
    EXPECT_EQ(recording->ticks[0].ms, 1000);
    const RecordedMessage& first = recording->ticks[0].messages[0];
    EXPECT_EQ(first.senderName, std::optional<std::string>("N1\t%odd"));
    EXPECT_EQ(first.data, (Bytes{1, 2, 0xFF}));
    ASSERT_EQ(first.lookups.size(), 2u);
    EXPECT_EQ(first.lookups[1], NameLookup(9, std::nullopt));
    EXPECT_EQ(recording->ticks[0].messages[1].senderName, std::nullopt);
    EXPECT_EQ(recording->ticks[1].messages[0].to, 3);
}

TEST(Recording, ADamagedTailIsLeftOutAndWhatCameBeforeStays) {
    testing_support::ScratchFolder scratch;
    const std::string text = WriteSample("a.tvr");
    // Every cut keeps the whole ticks before it and never invents a record.
    const std::size_t secondTick = text.find("M\t1100");
    for (std::size_t length = text.find("M\t100"); length < text.size(); length += 3) {
        const auto cut = ParseRecording(text.substr(0, length));
        ASSERT_TRUE(cut);
        EXPECT_TRUE(cut->damaged || text[length - 1] == '\n');
        EXPECT_LE(cut->ticks.size(), 2u);
        if (length > secondTick) {
            EXPECT_GE(cut->ticks.size(), 1u);
        }
    }
    // A line that cannot be read ends the recording there.
    std::string broken = text;
    broken.replace(broken.find("M\t1100"), 6, "M\tx100");
    const auto damaged = ParseRecording(broken);
    ASSERT_TRUE(damaged);
    EXPECT_TRUE(damaged->damaged);
    EXPECT_EQ(damaged->ticks.size(), 1u);
    EXPECT_FALSE(ParseRecording("NOT-A-RECORDING\t1\nAIRPORT\t1\tx\n"));
    EXPECT_FALSE(ParseRecording("TARVOLO-RECORDING\t2\nAIRPORT\t1\tx\n"));
}

TEST(Recording, TheReplayPortAnswersAsTheSessionDid) {
    RecordedTick tick;
    tick.messages = {{0, 7, 0, "N1", {1}, {{7, "N1"}, {9, std::nullopt}}}, {0, 8, 0, "B", {2}, {}}};
    ReplayPort port;
    port.Load(tick);
    EXPECT_EQ(port.GetMessageCount(1), 2);
    std::int32_t from = 0;
    std::int32_t to = 0;
    EXPECT_EQ(port.Receive(from, to), Bytes{1});
    EXPECT_EQ(from, 7);
    EXPECT_EQ(port.GetPlayerFriendlyName(7), "N1");
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
