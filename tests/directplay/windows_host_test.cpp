// Joining a host that behaves as Windows does rather than as our own host layer: negative
// IDs, players created while the name table is on its way, CREATEPLAYERVERIFY by dialect.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>

#include "directplay/directplay.h"
#include "tests/support/windows_host.h"

namespace dp = directplay;
namespace wire = directplay::wire;
using testing_support::WindowsHost;

namespace {

dp::SessionOptions Options() {
    dp::SessionOptions options;
    options.bindAddress = QHostAddress(QHostAddress::LocalHost);
    options.enumTimeoutMs = 400;
    options.requestTimeoutMs = 3000;
    return options;
}

std::shared_ptr<dp::DirectPlay4> JoinHost(WindowsHost& host,
                                          dp::SessionOptions options = Options()) {
    auto play = dp::DirectX7(options).DirectPlayCreate("");
    play->InitializeConnection(
        dp::ConnectionAddress::TcpIp("127.0.0.1:" + std::to_string(host.EnumPort())));
    auto sessions = play->GetDPEnumSessions(*play->CreateSessionData(), 0, dp::kEnumAvailable);
    if (sessions->GetCount() != 1)
        return nullptr;
    play->Open(*sessions->GetItem(1), dp::kOpenJoin);
    return play;
}

wire::Bytes CreateBody(std::int32_t id, std::int32_t systemId, const std::u16string& name) {
    wire::PlayerCreate create;
    create.playerId = id;
    create.player.id = id;
    create.player.systemPlayerId = systemId;
    create.player.flags = wire::player_flag::kLocal;
    create.player.shortName = name;
    return wire::EncodeCreatePlayer(create);
}

bool HasName(dp::DirectPlay4& play, std::int32_t id, const std::string& name) {
    try {
        return play.GetPlayerFriendlyName(id) == name;
    } catch (const dp::DirectPlayError&) {
        return false;
    }
}

std::vector<std::int32_t> VerifiedIds(const WindowsHost& host) {
    std::vector<std::int32_t> ids;
    for (const auto& f : host.received)
        if (f.isSystem && f.command == wire::Command::CreatePlayerVerify)
            if (auto m = wire::DecodePlayerCreate(f.body, false))
                ids.push_back(m->playerId);
    return ids;
}

}  // namespace

TEST(WindowsHost, NegativeIdsAndAPlayerCreatedDuringTheJoin) {
    WindowsHost host(0xF00D0000);
    // A pilot on the host's machine appears between our ADDFORWARDREQUEST and the name table;
    // another appears and leaves again; then a flood of creations, more than a join keeps.
    const std::int32_t early = host.Id(9);
    const std::int32_t gone = host.Id(10);
    host.beforeNameTable = [&] {
        host.Send(wire::Command::CreatePlayer, CreateBody(early, host.systemId, u"N456"));
        host.Send(wire::Command::CreatePlayer, CreateBody(gone, host.systemId, u"GONE"));
        host.Send(wire::Command::DeletePlayer, wire::EncodeDeletePlayer(gone));
        for (std::uint32_t i = 0; i < 100; ++i)
            host.Send(wire::Command::CreatePlayer,
                      CreateBody(host.Id(100 + i), host.systemId, std::u16string(2000, u'x')));
    };
    dp::SessionOptions options = Options();
    auto play = JoinHost(host, options);
    ASSERT_TRUE(play);
    EXPECT_FALSE(HasName(*play, gone, "GONE"));  // no ghost row
    // What a join keeps is bounded: the first creations in count and bytes, the rest refused.
    std::size_t flood = 0;
    for (std::uint32_t i = 0; i < 100; ++i)
        flood += HasName(*play, host.Id(100 + i), std::string(2000, 'x'));
    EXPECT_GT(flood, 0u);
    EXPECT_LT(flood * 2 * 2000, options.maxEarlyBytes);
    EXPECT_GT(play->Engine().RefusedMessages(), 0u);
    const std::int32_t me = play->CreatePlayer("ATC Controller", "Player", 0, 0);
    EXPECT_LT(me, 0);
    EXPECT_LT(host.joinerSystemId, 0);
    EXPECT_EQ(play->GetPlayerFriendlyName(host.hostPlayerId), "FS Host");
    EXPECT_EQ(play->GetPlayerFriendlyName(early), "N456");

    // Messages both ways with negative IDs.
    host.SendPlayerMessage(host.hostPlayerId, 0, {0x03, 0x10, 0, 0, 4, 0, 0, 0});
    std::int32_t from = 0, to = 0;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            while (from == 0 && play->GetMessageCount(me) > 0)
                play->Receive(from, to, dp::kReceiveAll);  // notices come from 0
            return from != 0;
        },
        5000));
    EXPECT_EQ(from, host.hostPlayerId);
    play->Send(me, 0, dp::kSendGuaranteed, dp::DirectPlayMessage({0x07, 0x10, 0, 0, 0, 0, 0, 0}));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            for (const auto& f : host.received)
                if (!f.isSystem && f.body.size() >= 8 &&
                    wire::LoadU32(f.body.data()) == static_cast<std::uint32_t>(me))
                    return true;
            return false;
        },
        5000));
}

TEST(WindowsHost, CreatePlayerVerifyFollowsTheDialect) {
    struct Row {
        const char* name;
        std::uint16_t version;
        bool verifies;
    };
    for (const Row row : {Row{"dialect 14 verifies", 14, true}, Row{"dialect 13", 13, true},
                          Row{"dialect 12 does not", 12, false}}) {
        SCOPED_TRACE(row.name);
        WindowsHost host(0x5A5A0000, row.version);
        auto play = JoinHost(host);
        ASSERT_TRUE(play);
        const std::int32_t me = play->CreatePlayer("ATC Controller", "Player", 0, 0);
        // A player created on the host after ours: our recent player is confirmed to it.
        const std::int32_t newcomer = host.Id(20);
        host.Send(wire::Command::CreatePlayer, CreateBody(newcomer, host.systemId, u"N789"));
        ASSERT_TRUE(QTest::qWaitFor([&] { return HasName(*play, newcomer, "N789"); }, 5000));
        // A message sent after the CREATEPLAYER was handled arrives after any verification.
        play->Send(me, 0, dp::kSendGuaranteed, dp::DirectPlayMessage({1, 2, 3, 4}));
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return !host.received.empty() && !host.received.back().isSystem; }, 5000));
        EXPECT_EQ(VerifiedIds(host),
                  row.verifies ? std::vector<std::int32_t>{me} : std::vector<std::int32_t>{});

        // A verification creates a player we did not know of and is never answered by one.
        const std::size_t before = VerifiedIds(host).size();
        const std::int32_t missed = host.Id(21);
        host.Send(wire::Command::CreatePlayerVerify, CreateBody(missed, host.systemId, u"D-EFGH"));
        ASSERT_TRUE(QTest::qWaitFor([&] { return HasName(*play, missed, "D-EFGH"); }, 5000));
        play->Send(me, 0, dp::kSendGuaranteed, dp::DirectPlayMessage({5, 6, 7, 8}));
        const std::size_t frames = host.received.size();
        ASSERT_TRUE(QTest::qWaitFor([&] { return host.received.size() > frames; }, 5000));
        EXPECT_EQ(VerifiedIds(host).size(), before);
    }
}

// The host's own word ends the session: it deletes our system player, or says we are dead.
TEST(WindowsHost, TheHostCanLetUsGo) {
    for (const bool youAreDead : {false, true}) {
        SCOPED_TRACE(youAreDead ? "YOUAREDEAD" : "DELETEPLAYER of our system player");
        WindowsHost host(0x80000000);
        auto play = JoinHost(host);
        ASSERT_TRUE(play);
        play->CreatePlayer("ATC Controller", "Player", 0, 0);
        if (youAreDead)
            host.Send(wire::Command::YouAreDead, {});
        else
            host.Send(wire::Command::DeletePlayer, wire::EncodeDeletePlayer(host.joinerSystemId));
        EXPECT_TRUE(QTest::qWaitFor([&] { return !play->Engine().IsOpen(); }, 5000));
    }
}

// Leaving, our players' deletions are in the system's hands when Close returns, so a program
// that ends right after (tarvolo-tool watch) still says goodbye.
TEST(WindowsHost, OurGoodbyeIsOnTheWireWhenCloseReturns) {
    WindowsHost host(0x80000000);
    auto play = JoinHost(host);
    ASSERT_TRUE(play);
    const std::int32_t me = play->CreatePlayer("ATC Controller", "Player", 0, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return host.Got(wire::Command::CreatePlayer); }));
    play->Close();
    for (int i = 0; i < 10 && host.Count(wire::Command::DeletePlayer) < 2; ++i)
        host.ReadNow(200);
    std::vector<std::int32_t> deleted;
    for (const auto& f : host.received)
        if (f.isSystem && f.command == wire::Command::DeletePlayer)
            deleted.push_back(*wire::DecodeDeletePlayer(f.body));
    EXPECT_EQ(deleted, (std::vector<std::int32_t>{me, host.joinerSystemId}));
}

// A host that stops reading what we send is cut off once our unsent bytes pass the limit,
// rather than buffered for without end.
TEST(WindowsHost, APeerThatDoesNotReadIsCutOffAtTheWriteLimit) {
    WindowsHost host(0x12340000);
    dp::SessionOptions options = Options();
    options.maxWriteBuffer = 256 * 1024;
    auto play = JoinHost(host, options);
    ASSERT_TRUE(play);
    const std::int32_t me = play->CreatePlayer("ATC Controller", "Player", 0, 0);
    host.StopReading();
    const dp::DirectPlayMessage chunk(wire::Bytes(64 * 1024, 1));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            try {
                play->Send(me, 0, dp::kSendGuaranteed, chunk);
            } catch (const dp::DirectPlayError&) {
                return true;  // the session is gone with its host
            }
            return play->Engine().RefusedConnections() > 0;
        },
        30000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !play->Engine().IsOpen(); }, 5000));
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
