// Players' game data ("remote data"): carried with a new player to every machine, changed by
// its own machine with DPSP_MSG_PLAYERDATACHANGED and told as DPSYS_SETPLAYERORGROUPDATA;
// nobody else may change it.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>

#include "directplay/directplay.h"
#include "directplay/errors.h"
#include "tests/directplay/session_support.h"

namespace dp = directplay;
namespace wire = directplay::wire;
using namespace session_support;

namespace {

TEST(PlayerDataWire, TheChangeReadsBackAndBadOffsetsAreRefused) {
    const wire::PlayerDataChange change{-1645543423, {'T', 'V', 'O', 1, 0, 2}};
    const wire::Bytes body = wire::EncodePlayerDataChanged(change);
    ASSERT_EQ(body.size(), 16u + 6);
    EXPECT_EQ(wire::DecodePlayerDataChanged(body), change);
    // The data offset counts from the signature: 8 bytes before the body.
    EXPECT_EQ(body[12], 24);
    wire::Bytes longer = body;
    longer[8] = 7;  // one byte more than there is
    EXPECT_FALSE(wire::DecodePlayerDataChanged(longer));
    wire::Bytes before = body;
    before[12] = 4;  // inside the header
    EXPECT_FALSE(wire::DecodePlayerDataChanged(before));
    EXPECT_FALSE(wire::DecodePlayerDataChanged(wire::Bytes(body.begin(), body.begin() + 10)));
}

const std::vector<std::uint8_t> kMark{'T', 'A', 'R', 'V', 1};

TEST(PlayerData, TravelsWithThePlayerAndChangesOnlyByItsMachine) {
    for (const std::uint32_t flags : {0u, wire::session_flag::kReliableProtocol}) {
        SCOPED_TRACE(flags);
        Hosted host = StartHost(flags);
        // A marked player, and a machine that joins after it: both learn the mark.
        Joined marked = Join(host.enumPort, "Plain");
        const std::int32_t controller = marked.play->CreatePlayer("TVO_TWR", "Controller", kMark);
        Joined later = Join(host.enumPort, "Later");
        for (dp::DirectPlay4* play : {host.play.get(), later.play.get()}) {
            ASSERT_TRUE(QTest::qWaitFor([&] { return HasPlayer(*play, controller); }));
            EXPECT_EQ(play->GetPlayerData(controller), kMark);
            EXPECT_TRUE(play->GetPlayerData(marked.player).empty());
        }
        // Changed by its own machine: everybody knows, and is told.
        const std::vector<std::uint8_t> changed{'T', 'A', 'R', 'V', 2, 9};
        marked.play->SetPlayerData(controller, changed);
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return later.play->GetPlayerData(controller) == changed; }));
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return host.play->GetPlayerData(controller) == changed; }));
        EXPECT_TRUE(SawNotice(*later.play, later.player, dp::system_message::kSetPlayerData));
        // Another machine's player, or one of somebody else's: refused.
        EXPECT_THROW(later.play->SetPlayerData(controller, kMark), dp::DirectPlayError);
        auto& engine = host.play->Engine();
        const std::uint64_t refused = engine.RefusedMessages();
        engine.FeedFrame(
            wire::EncodeFrame({0, later.play->Engine().TcpPort()}, wire::Command::PlayerDataChanged,
                              14, wire::EncodePlayerDataChanged({controller, kMark})),
            0x7F000001);
        EXPECT_GT(engine.RefusedMessages(), refused);
        EXPECT_EQ(host.play->GetPlayerData(controller), changed);
        // More than a player may carry is refused where it is set.
        EXPECT_THROW(marked.play->SetPlayerData(controller, std::vector<std::uint8_t>(5000, 1)),
                     dp::DirectPlayError);
        EXPECT_THROW(host.play->GetPlayerData(0x12345), dp::DirectPlayError);
    }
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
