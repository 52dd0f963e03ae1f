#include "model/settings_record.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace model {
namespace {

SettingsRecord SetupRecord(const std::string& path) {
    SettingsRecord settings;
    settings.version = kSettingsVersion;
    settings.recordFlag = 1;
    settings.simKind = 1;
    settings.simPath = path;
    return settings;
}

TEST(SettingsRecordCodec, SetupRecordHasTheDocumentedBytes) {
    const std::string path = "C:\\FS2002";
    const std::vector<std::uint8_t> bytes = EncodeSettings(SetupRecord(path));
    ASSERT_EQ(bytes.size(), 14u + 19u + path.size());
    EXPECT_EQ(bytes[0], 19);
    EXPECT_EQ(bytes[1], 0);
    EXPECT_EQ(std::string(bytes.begin() + 2, bytes.begin() + 21), "Tarvolo Version 1.1");
    EXPECT_EQ(bytes[21], 1);  // record flag
    EXPECT_EQ(bytes[22], 1);  // simulator kind
    EXPECT_EQ(bytes[23], path.size());
    EXPECT_EQ(bytes[24], 0);
    EXPECT_EQ(std::string(bytes.begin() + 25, bytes.begin() + 25 + 9), path);
    for (std::size_t i = 34; i < bytes.size(); ++i) {
        EXPECT_EQ(bytes[i], 0) << "count byte " << i;
    }
}

TEST(SettingsRecordCodec, CountsAreLittleEndianAndSigned) {
    SettingsRecord settings = SetupRecord("/sim");
    settings.airportCount = 0x01020304;
    settings.airspaceFileCount = -2;
    const std::vector<std::uint8_t> bytes = EncodeSettings(settings);
    const std::size_t counts = bytes.size() - 8;
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin() + static_cast<long>(counts), bytes.end()),
              (std::vector<std::uint8_t>{4, 3, 2, 1, 0xFE, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(DecodeSettings(bytes), settings);
}

TEST(SettingsRecordCodec, WindowsBytesSurviveTheRoundTrip) {
    SettingsRecord settings = SetupRecord(
        "D:\\Jeux\\Fran\xE7"
        "ais\\FS2002");
    settings.airportCount = 21000;
    settings.airspaceFileCount = 312;
    EXPECT_EQ(DecodeSettings(EncodeSettings(settings)), settings);
}

TEST(SettingsRecordCodec, AFileCutAnywhereKeepsWhatIsWholeAndZeroesTheRest) {
    SettingsRecord full = SetupRecord("/opt/fs2002");
    full.airportCount = 77;
    full.airspaceFileCount = 5;
    const std::vector<std::uint8_t> bytes = EncodeSettings(full);
    const std::size_t pathEnd = 2 + 19 + 2 + 2 + full.simPath.size();
    for (std::size_t length = 0; length <= bytes.size(); ++length) {
        SCOPED_TRACE(length);
        const SettingsRecord read =
            DecodeSettings(std::span<const std::uint8_t>(bytes.data(), length));
        EXPECT_EQ(read.version, length >= 21 ? full.version : "");
        EXPECT_EQ(read.recordFlag, length >= 22 ? 1 : 0);
        EXPECT_EQ(read.simKind, length >= 23 ? 1 : 0);
        EXPECT_EQ(read.simPath, length >= pathEnd ? full.simPath : "");
        EXPECT_EQ(read.airportCount, length >= pathEnd + 4 ? 77 : 0);
        EXPECT_EQ(read.airspaceFileCount, length == bytes.size() ? 5 : 0);
    }
}

TEST(SettingsRecordCodec, ALengthWordPointingPastTheEndReadsAsEmpty) {
    const std::vector<std::uint8_t> bytes = {0xFF, 0xFF, 'T', 'a', 'r'};
    EXPECT_EQ(DecodeSettings(bytes), SettingsRecord{});
}

TEST(SettingsRecordCodec, ATextLongerThanItsLengthWordIsCutNotCorrupted) {
    SettingsRecord settings = SetupRecord(std::string(70000, 'x'));
    settings.airportCount = 9;
    const SettingsRecord read = DecodeSettings(EncodeSettings(settings));
    EXPECT_EQ(read.simPath.size(), 0xFFFFu);
    EXPECT_EQ(read.airportCount, 9);
}

}  // namespace
}  // namespace model
