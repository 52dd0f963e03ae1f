// A host and joiners of this DirectPlay layer talking over 127.0.0.1 with ports chosen at run
// time: the connection types, enumeration, joining, names, messages both ways, peers, pings,
// sessions that cannot be joined, blocking calls that come again, and the reliable protocol
// through a lossy network.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>
#include <functional>
#include <numeric>

#include "directplay/directplay.h"
#include "tests/directplay/session_support.h"

namespace dp = directplay;
using namespace session_support;

namespace {

TEST(DirectPlaySession, ConnectionTypesAreListedAsDirectX7Does) {
    auto play = dp::DirectX7(TestOptions()).DirectPlayCreate("");
    auto list = play->GetDPEnumConnections("", dp::kConnectionsDirectPlay);
    ASSERT_EQ(list->GetCount(), 4);
    EXPECT_EQ(list->GetName(1), "IPX Connection For DirectPlay");
    EXPECT_EQ(list->GetName(2), "Internet TCP/IP Connection For DirectPlay");
    EXPECT_EQ(list->GetName(3), "Modem Connection For DirectPlay");
    EXPECT_EQ(list->GetName(4), "Serial Connection For DirectPlay");
    EXPECT_THROW(list->GetName(5), dp::DirectPlayError);

    for (int unavailable : {1, 3, 4}) {
        auto fresh = dp::DirectX7(TestOptions()).DirectPlayCreate("");
        EXPECT_THROW(fresh->InitializeConnection(list->GetAddress(unavailable)),
                     dp::DirectPlayError)
            << unavailable;
    }
    // The TCP/IP provider asks for the host; Cancel is the failure.
    dp::SetAddressPrompt([] { return std::nullopt; });
    try {
        play->InitializeConnection(list->GetAddress(2));
        ADD_FAILURE() << "a cancelled dialog must fail";
    } catch (const dp::DirectPlayError& e) {
        EXPECT_EQ(e.Code(), dp::hresult::kUserCancel);
    }
    int asked = 0;
    dp::SetAddressPrompt([&]() -> std::optional<std::string> {
        ++asked;
        return "127.0.0.1:1";
    });
    EXPECT_NO_THROW(play->InitializeConnection(list->GetAddress(2)));
    EXPECT_EQ(asked, 1);
    dp::SetAddressPrompt(nullptr);
}

TEST(DirectPlaySession, JoinerEnumeratesJoinsAndTalksWithTheHost) {
    Hosted host = StartHost();
    auto joinerPlay = dp::DirectX7(TestOptions()).DirectPlayCreate("");
    auto sessions = Enumerate(*joinerPlay, host.enumPort);
    ASSERT_EQ(sessions->GetCount(), 1);
    EXPECT_EQ(sessions->GetItem(1)->GetSessionName(), "Sunday Flight");
    EXPECT_EQ(sessions->GetItem(1)->GetCurrentPlayers(), 1);
    EXPECT_EQ(sessions->GetItem(1)->GetMaxPlayers(), 8);

    joinerPlay->Open(*sessions->GetItem(1), dp::kOpenJoin);
    const std::int32_t me = joinerPlay->CreatePlayer("ATC Controller", "Player", 0, 0);
    EXPECT_LT(me, 0);  // the mask makes every ID negative
    EXPECT_EQ(joinerPlay->GetPlayerFriendlyName(me), "ATC Controller");
    EXPECT_EQ(joinerPlay->GetPlayerFriendlyName(host.player), "FS Host");  // from the name table
    ASSERT_TRUE(SawNotice(*host.play, host.player, dp::system_message::kCreatePlayer));
    EXPECT_EQ(host.play->GetPlayerFriendlyName(me), "ATC Controller");

    auto join = joinerPlay->CreateMessage();
    join->WriteLong(4097);
    join->WriteLong(0);
    joinerPlay->Send(me, 0, dp::kSendGuaranteed, *join);
    auto atHost = NextFromPlayer(*host.play, host.player);
    ASSERT_TRUE(atHost);
    EXPECT_EQ(atHost->first, me);
    EXPECT_EQ(atHost->second, Bytes({4097, 0}));

    host.play->Send(host.player, 0, dp::kSendGuaranteed,
                    dp::DirectPlayMessage(Bytes({4099, 4, me})));
    auto atJoiner = NextFromPlayer(*joinerPlay, me);
    ASSERT_TRUE(atJoiner);
    EXPECT_EQ(atJoiner->first, host.player);
    dp::DirectPlayMessage reading(atJoiner->second);
    EXPECT_EQ(reading.ReadLong(), 4099);
    EXPECT_EQ(reading.ReadLong(), 4);
    EXPECT_EQ(reading.ReadLong(), me);
    EXPECT_THROW(reading.ReadByte(), dp::DirectPlayError);  // past the end
}

TEST(DirectPlaySession, SecondJoinerSeesTheFirstAndHearsItDirectly) {
    Hosted host = StartHost();
    Joined first = Join(host.enumPort, "Tower");
    Joined second = Join(host.enumPort, "Ground");
    EXPECT_EQ(second.play->GetPlayerFriendlyName(first.player), "Tower");
    ASSERT_TRUE(QTest::qWaitFor([&] {
        try {
            return first.play->GetPlayerFriendlyName(second.player) == "Ground";
        } catch (const dp::DirectPlayError&) {
            return false;
        }
    }));
    first.play->Send(first.player, 0, dp::kSendGuaranteed, dp::DirectPlayMessage(Bytes({4131, 3})));
    auto heard = NextFromPlayer(*second.play, second.player);
    ASSERT_TRUE(heard);
    EXPECT_EQ(heard->first, first.player);
    auto atHost = NextFromPlayer(*host.play, host.player);
    ASSERT_TRUE(atHost);
    EXPECT_EQ(atHost->first, first.player);
}

TEST(DirectPlaySession, PingsKeepAQuietSessionAlive) {
    dp::SessionOptions fast = TestOptions();
    fast.pingIntervalMs = 50;
    Hosted host = StartHost(0, 8, fast);
    Joined joiner = Join(host.enumPort, "Quiet", fast);
    // Far beyond eight ping periods without application traffic.
    QTest::qWait(1200);
    EXPECT_EQ(host.play->Engine().MachineCount(), 1u);
    EXPECT_TRUE(joiner.play->Engine().IsOpen());
    EXPECT_EQ(joiner.play->GetPlayerFriendlyName(host.player), "FS Host");
}

TEST(DirectPlaySession, EnumerationWaitsWindowsDefaultUnlessTheNamedHostAnswered) {
    dp::SessionOptions options = TestOptions();
    options.enumTimeoutMs = dp::SessionOptions{}.enumTimeoutMs;
    EXPECT_EQ(options.enumTimeoutMs, 5000);
    QUdpSocket silent;  // a port where nobody answers
    ASSERT_TRUE(silent.bind(QHostAddress::LocalHost, 0));
    auto nobody = dp::DirectX7(options).DirectPlayCreate("");
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(Enumerate(*nobody, silent.localPort())->GetCount(), 0);
    EXPECT_GE(clock.elapsed(), 5000);

    Hosted host = StartHost();
    auto joiner = dp::DirectX7(options).DirectPlayCreate("");
    clock.restart();
    EXPECT_EQ(Enumerate(*joiner, host.enumPort)->GetCount(), 1);
    EXPECT_LT(clock.elapsed(), 4500);
}

// A session with the reliable protocol, its datagrams dropped, duplicated and reordered on the
// way in both directions: every guaranteed message arrives once and in order.
TEST(DirectPlaySession, TheReliableProtocolCarriesEveryMessageOnceAndInOrderThroughLoss) {
    struct Row {
        const char* name;
        int drop, duplicate, reorder;
    };
    for (const Row row :
         {Row{"clean", 0, 0, 0}, Row{"20 % lost, duplicated, reordered", 20, 10, 20}}) {
        SCOPED_TRACE(row.name);
        dp::SessionOptions options = TestOptions();
        options.impairment = {row.drop, row.duplicate, row.reorder, 11};
        Hosted host = StartHost(dp::wire::session_flag::kReliableProtocol, 8, options);
        options.impairment.seed = 12;
        Joined joiner = Join(host.enumPort, "ATC Controller", options);
        EXPECT_EQ(joiner.play->GetPlayerFriendlyName(host.player), "FS Host");
        ASSERT_TRUE(SawNotice(*host.play, host.player, dp::system_message::kCreatePlayer));

        constexpr int kCount = 300;
        for (int n = 0; n < kCount; ++n) {
            host.play->Send(host.player, 0, dp::kSendGuaranteed,
                            dp::DirectPlayMessage(Bytes({4120, 34, n})));
            joiner.play->Send(joiner.player, 0, dp::kSendGuaranteed,
                              dp::DirectPlayMessage(Bytes({4131, 4, n})));
        }
        auto collect = [](dp::DirectPlay4& play, std::int32_t local, std::int32_t sender,
                          std::vector<std::int32_t>& numbers) {
            return QTest::qWaitFor(
                [&] {
                    while (play.GetMessageCount(local) > 0) {
                        std::int32_t from = 0, to = 0;
                        auto m = play.Receive(from, to, dp::kReceiveAll);
                        if (from != sender)
                            continue;
                        m->ReadLong();
                        m->ReadLong();
                        numbers.push_back(m->ReadLong());
                    }
                    return numbers.size() >= static_cast<std::size_t>(kCount);
                },
                30000);
        };
        std::vector<std::int32_t> atJoiner, atHost;
        ASSERT_TRUE(collect(*joiner.play, joiner.player, host.player, atJoiner));
        ASSERT_TRUE(collect(*host.play, host.player, joiner.player, atHost));
        std::vector<std::int32_t> expected(kCount);
        std::iota(expected.begin(), expected.end(), 0);
        EXPECT_EQ(atJoiner, expected);
        EXPECT_EQ(atHost, expected);
        const auto* link = joiner.play->Engine().LinkOf(host.play->Engine().SystemPlayerId());
        ASSERT_TRUE(link);
        if (row.drop) {
            EXPECT_GT(link->Stats().retransmissions, 0u);
        }
    }
}

// The waits spin an event loop, so a window's handler can call in again; a second blocking
// operation fails at once and the first one completes.
TEST(DirectPlaySession, ASecondBlockingCallDuringAJoinIsTurnedAway) {
    Hosted host = StartHost();
    auto play = dp::DirectX7(TestOptions()).DirectPlayCreate("");
    auto sessions = Enumerate(*play, host.enumPort);
    ASSERT_EQ(sessions->GetCount(), 1);
    std::vector<std::int32_t> codes;
    auto again = [&] {
        for (auto call :
             {std::function<void()>([&] { play->Open(*sessions->GetItem(1), dp::kOpenJoin); }),
              std::function<void()>([&] {
                  play->GetDPEnumSessions(*play->CreateSessionData(), 0, dp::kEnumAvailable);
              }),
              std::function<void()>([&] { play->CreatePlayer("Twice", "Player", 0, 0); })}) {
            try {
                call();
                codes.push_back(0);
            } catch (const dp::DirectPlayError& e) {
                codes.push_back(e.Code());
            }
        }
    };
    QTimer::singleShot(0, again);
    play->Open(*sessions->GetItem(1), dp::kOpenJoin);
    ASSERT_EQ(codes.size(), 3u) << "the second calls came while the join waited";
    for (std::int32_t code : codes)
        EXPECT_EQ(static_cast<std::uint32_t>(code), 0x8877015Eu);  // DPERR_CONNECTING
    EXPECT_TRUE(play->Engine().IsOpen());
    const std::int32_t me = play->CreatePlayer("ATC Controller", "Player", 0, 0);
    EXPECT_EQ(play->GetPlayerFriendlyName(me), "ATC Controller");

    // Creating a player waits for the host too: a call meanwhile is told the layer is busy.
    codes.clear();
    QTimer::singleShot(0, [&] {
        try {
            play->CreatePlayer("Thrice", "Player", 0, 0);
            codes.push_back(0);
        } catch (const dp::DirectPlayError& e) {
            codes.push_back(e.Code());
        }
    });
    play->CreatePlayer("Second", "Player", 0, 0);
    EXPECT_EQ(codes, std::vector<std::int32_t>{dp::hresult::kBusy});
}

struct RefusalRow {
    const char* name;
    std::uint32_t flags;
    std::int32_t maxPlayers;
    std::int32_t code;
};

TEST(DirectPlaySession, SessionsThatCannotBeJoinedFailAtOpen) {
    const RefusalRow rows[] = {
        {"joining disabled", dp::wire::session_flag::kJoinDisabled, 8, dp::hresult::kNoNewPlayers},
        {"secure", dp::wire::session_flag::kSecure, 8, dp::hresult::kAuthenticationFailed},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Hosted host = StartHost(row.flags, row.maxPlayers);
        auto play = dp::DirectX7(TestOptions()).DirectPlayCreate("");
        auto sessions = Enumerate(*play, host.enumPort);
        ASSERT_EQ(sessions->GetCount(), 1);
        try {
            play->Open(*sessions->GetItem(1), dp::kOpenJoin);
            ADD_FAILURE() << "Open must fail";
        } catch (const dp::DirectPlayError& e) {
            EXPECT_EQ(e.Code(), row.code) << e.what();
        }
    }
    // A full session is not even listed for "available sessions only".
    Hosted full = StartHost(0, 1);
    auto play = dp::DirectX7(TestOptions()).DirectPlayCreate("");
    EXPECT_EQ(Enumerate(*play, full.enumPort)->GetCount(), 0);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
