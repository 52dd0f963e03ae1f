// A host and joiners of this DirectPlay layer talking over 127.0.0.1 with ports chosen at run
// time: enumeration, joining, names, messages both ways, peers, leaving, pings, the host
// vanishing, refusals, and hostile bytes on live sockets.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>
#include <functional>
#include <numeric>

#include "directplay/directplay.h"
#include "link/link.h"
#include "model/shared_state.h"
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

TEST(DirectPlaySession, PlayersLeavingDisappearFromTheNameTable) {
    Hosted host = StartHost();
    Joined joiner = Join(host.enumPort, "Leaving Soon");
    ASSERT_TRUE(SawNotice(*host.play, host.player, dp::system_message::kCreatePlayer));
    joiner.play->DestroyPlayer(joiner.player);
    ASSERT_TRUE(SawNotice(*host.play, host.player, dp::system_message::kDestroyPlayer));
    EXPECT_THROW(host.play->GetPlayerFriendlyName(joiner.player), dp::DirectPlayError);

    Joined other = Join(host.enumPort, "Closing");
    ASSERT_TRUE(SawNotice(*host.play, host.player, dp::system_message::kCreatePlayer));
    other.play->Close();
    ASSERT_TRUE(SawNotice(*host.play, host.player, dp::system_message::kDestroyPlayer));
    EXPECT_TRUE(QTest::qWaitFor([&] { return host.play->Engine().MachineCount() == 1; }));
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

// A host that goes, by vanishing (its process gone without a word) or by closing, ends a
// session that does not migrate: a notice, and nothing can be sent any more.
TEST(DirectPlaySession, AHostThatGoesEndsASessionWithoutMigration) {
    for (const bool vanishes : {true, false}) {
        SCOPED_TRACE(vanishes ? "vanishes" : "closes");
        Hosted host = StartHost();
        Joined joiner = Join(host.enumPort, "Orphan");
        if (vanishes)
            host.play.reset();
        else
            host.play->Close();
        EXPECT_TRUE(SawNotice(*joiner.play, joiner.player, dp::system_message::kSessionLost));
        EXPECT_FALSE(joiner.play->Engine().IsOpen());
        EXPECT_THROW(
            joiner.play->Send(joiner.player, 0, 1, dp::DirectPlayMessage(Bytes({4100, 0}))),
            dp::DirectPlayError);
    }
}

// Host migration with three machines: the host, a pilot and the radar. The machine whose
// system player has the lowest ID as an unsigned DPID takes over; the masks below order the
// pilot's and the radar's system IDs one way and the other.
TEST(DirectPlaySession, AHostThatLeavesAMigratingSessionIsFollowed) {
    struct Row {
        const char* name;
        std::uint32_t mask;
        bool radarTakesOver;
    };
    for (const Row row : {Row{"the pilot takes over", 0x00000000, false},
                          Row{"the radar takes over", 0x80040000, true}}) {
        SCOPED_TRACE(row.name);
        dp::SessionOptions options = TestOptions();
        options.idMask = row.mask;
        Hosted host = StartHost(dp::wire::session_flag::kMigrateHost, 8, options);
        Joined pilot = Join(host.enumPort, "N123AB");
        Joined radar = Join(host.enumPort, "ATC Controller");
        auto& pilotEngine = pilot.play->Engine();
        auto& radarEngine = radar.play->Engine();
        const bool radarLower = static_cast<std::uint32_t>(radarEngine.SystemPlayerId()) <
                                static_cast<std::uint32_t>(pilotEngine.SystemPlayerId());
        ASSERT_EQ(radarLower, row.radarTakesOver) << "the mask does not order the IDs as meant";
        ASSERT_TRUE(QTest::qWaitFor([&] {
            return HasPlayer(*radar.play, pilot.player) && HasPlayer(*pilot.play, radar.player);
        }));
        // The radar's message loop has the pilot in its traffic table.
        model::ResetSharedState();
        model::g_localPlayerId = radar.player;
        model::g_sessionJoined = true;
        mplink::DirectPlayPort port(radar.play);
        std::int16_t watchdog = mplink::kWatchdogSeconds;
        auto pilotRow = [&]() -> const model::TrafficEntry* {
            mplink::ProcessMessages(port, watchdog);
            for (std::int16_t i = 1; i <= model::g_trafficCount; ++i)
                if (model::g_traffic[static_cast<std::size_t>(i)].name == "N123AB")
                    return &model::g_traffic[static_cast<std::size_t>(i)];
            return nullptr;
        };
        pilot.play->Send(pilot.player, 0, dp::kSendGuaranteed,
                         dp::DirectPlayMessage(mplink::PlayerHereMessage(pilot.player)));
        ASSERT_TRUE(QTest::qWaitFor([&] { return pilotRow() != nullptr; }));

        host.play->Close();
        auto& heir = row.radarTakesOver ? radarEngine : pilotEngine;
        auto& follower = row.radarTakesOver ? pilotEngine : radarEngine;
        ASSERT_TRUE(QTest::qWaitFor([&] {
            return heir.IsHost() && follower.HostSystemPlayerId() == heir.SystemPlayerId();
        }));
        EXPECT_TRUE(radarEngine.IsOpen());
        EXPECT_TRUE(pilotEngine.IsOpen());
        EXPECT_FALSE(follower.IsHost());
        EXPECT_FALSE(HasPlayer(*radar.play, host.player));

        // The pilot is still in the radar's table, and its positions still arrive there.
        EXPECT_EQ(radar.play->GetPlayerFriendlyName(pilot.player), "N123AB");
        dp::DirectPlayMessage position(Bytes({mplink::MP_POSITION, 34, 0, 0, 0, 0, 5000875, 0, 0}));
        for (int i = 0; i < 3; ++i)
            position.WriteShort(0);
        pilot.play->Send(pilot.player, 0, dp::kSendGuaranteed, position);
        ASSERT_TRUE(QTest::qWaitFor([&] {
            const model::TrafficEntry* entry = pilotRow();
            return entry && entry->latitude == 45.0;
        }));

        // The new host does the host's work: a newcomer finds the session there and joins.
        Joined newcomer = Join(heir.EnumPort(), "UAL387");
        EXPECT_EQ(newcomer.play->GetPlayerFriendlyName(pilot.player), "N123AB");
        EXPECT_EQ(newcomer.play->GetPlayerFriendlyName(radar.player), "ATC Controller");
    }
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

// A stranger on another machine (127.0.0.2: machines are told apart by address) sends what only
// the host, or a player's own machine, may send. Nothing changes, and after the usual count of
// refusals the stranger loses its connection. It even names the host's listening port.
TEST(DirectPlaySession, OnlyTheHostChangesWhoIsInTheSession) {
    Hosted host = StartHost();
    Joined joiner = Join(host.enumPort, "ATC Controller");
    auto& engine = joiner.play->Engine();
    const std::int32_t hostSystem = host.play->Engine().SystemPlayerId();
    const dp::wire::SockAddr spoofed{0, host.play->Engine().TcpPort()};
    auto frame = [&](dp::wire::Command command, const dp::wire::Bytes& body) {
        return dp::wire::EncodeFrame(spoofed, command, 14, body);
    };
    dp::wire::PlayerCreate stranger;
    stranger.playerId = 0x1234;
    stranger.player.id = 0x1234;
    stranger.player.flags = dp::wire::player_flag::kSystem | dp::wire::player_flag::kInGroup;
    stranger.player.hasAddresses = true;
    stranger.player.stream = {0x7F000002, 9};
    dp::wire::PlayerCreate foreign;
    foreign.playerId = 0x5678;
    foreign.player.id = 0x5678;
    foreign.player.systemPlayerId = hostSystem;
    foreign.player.shortName = u"Ghost";
    struct Row {
        const char* name;
        dp::wire::Bytes bytes;
    };
    const Row rows[] = {
        {"ADDFORWARD of a machine",
         frame(dp::wire::Command::AddForward, dp::wire::EncodeAddForward(stranger))},
        {"YOUAREDEAD", frame(dp::wire::Command::YouAreDead, {})},
        {"DELETEPLAYER of our system player",
         frame(dp::wire::Command::DeletePlayer,
               dp::wire::EncodeDeletePlayer(engine.SystemPlayerId()))},
        {"DELETEPLAYER of the host's pilot",
         frame(dp::wire::Command::DeletePlayer, dp::wire::EncodeDeletePlayer(host.player))},
        {"CREATEPLAYER on the host's machine",
         frame(dp::wire::Command::CreatePlayer, dp::wire::EncodeCreatePlayer(foreign))},
        {"a message from nobody",
         dp::wire::EncodePlayerMessage(spoofed, 14, {0x777, 0, Bytes({4099, 4, 0x777})}, false)},
        {"a message in the host pilot's name",
         dp::wire::EncodePlayerMessage(spoofed, 14, {host.player, 0, Bytes({4118, 0})}, false)},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::uint64_t refused = engine.RefusedMessages();
        QTcpSocket attacker;
        ASSERT_TRUE(attacker.bind(QHostAddress("127.0.0.2"), 0));
        attacker.connectToHost(QHostAddress::LocalHost, engine.TcpPort());
        ASSERT_TRUE(attacker.waitForConnected(2000));
        for (int i = 0; i < 12; ++i)
            attacker.write(reinterpret_cast<const char*>(row.bytes.data()),
                           static_cast<qsizetype>(row.bytes.size()));
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return attacker.state() == QAbstractSocket::UnconnectedState; }, 5000));
        EXPECT_GT(engine.RefusedMessages(), refused);
        EXPECT_TRUE(engine.IsOpen());
        EXPECT_EQ(engine.MachineCount(), 1u);
        EXPECT_TRUE(HasPlayer(*joiner.play, host.player));
        EXPECT_FALSE(HasPlayer(*joiner.play, 0x5678));
        std::int32_t from = 0, to = 0;
        while (joiner.play->GetMessageCount(joiner.player) > 0)
            EXPECT_EQ(joiner.play->Receive(from, to, dp::kReceiveAll) && from != 0x777 &&
                          from != host.player,
                      true);
    }
    // The host's own word still counts.
    host.play->Send(host.player, 0, dp::kSendGuaranteed, dp::DirectPlayMessage(Bytes({4100, 0})));
    auto heard = NextFromPlayer(*joiner.play, joiner.player);
    ASSERT_TRUE(heard);
    EXPECT_EQ(heard->first, host.player);
    host.play->DestroyPlayer(host.player);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !HasPlayer(*joiner.play, host.player); }));
}

TEST(DirectPlaySession, AFloodOfLargeMessagesKeepsTheQueueWithinItsBytes) {
    dp::SessionOptions small = TestOptions();
    small.maxQueuedBytes = 3u << 20;
    Hosted host = StartHost();
    Joined joiner = Join(host.enumPort, "ATC Controller", small);
    ASSERT_TRUE(SawNotice(*host.play, host.player, dp::system_message::kCreatePlayer));
    while (joiner.play->GetMessageCount(joiner.player) > 0) {
        std::int32_t from = 0, to = 0;
        joiner.play->Receive(from, to, dp::kReceiveAll);
    }
    QSignalSpy queued(&joiner.play->Engine(), &dp::Session::messageQueued);
    constexpr std::int32_t kCount = 12;
    for (std::int32_t n = 0; n < kCount; ++n) {
        dp::DirectPlayMessage m;
        m.WriteLong(n);
        for (int i = 0; i < 900 * 1024; ++i)
            m.WriteByte(0x5A);
        host.play->Send(host.player, joiner.player, dp::kSendGuaranteed, m);
    }
    // Nothing is taken while the flood arrives (10.8 MB into a queue of 3 MB).
    ASSERT_TRUE(QTest::qWaitFor([&] { return queued.count() >= kCount; }, 20000));
    EXPECT_LE(joiner.play->Engine().QueuedBytes(), small.maxQueuedBytes);
    std::vector<std::int32_t> kept;
    while (joiner.play->GetMessageCount(joiner.player) > 0) {
        std::int32_t from = 0, to = 0;
        auto m = joiner.play->Receive(from, to, dp::kReceiveAll);
        if (from == host.player)
            kept.push_back(m->ReadLong());
    }
    EXPECT_EQ(kept, (std::vector<std::int32_t>{kCount - 3, kCount - 2, kCount - 1}));  // the newest
    EXPECT_EQ(joiner.play->Engine().QueuedBytes(), 0u);
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

TEST(DirectPlaySession, HostileBytesOnLiveSocketsLeaveTheJoinerUsable) {
    Hosted host = StartHost();
    Joined joiner = Join(host.enumPort, "Sturdy");
    const std::uint16_t port = joiner.play->Engine().TcpPort();
    // Garbage that breaks the stream, or malformed messages one after another, cost the sender
    // its connection; a frame still arriving keeps it.
    struct Attack {
        const char* name;
        QByteArray bytes;
        bool dropped;
    };
    const std::vector<Attack> attacks = {
        {"text", QByteArray("GET / HTTP/1.0\r\n\r\n"), true},
        {"size below prefix", QByteArray::fromHex("0400b0fa"), true},
        {"truncated frame", QByteArray::fromHex("4000b0fa0200") + QByteArray(10, 'x'), false},
        {"oversized claim", QByteArray::fromHex("ffffffaf") + QByteArray(4096, '\0'), true},
        {"bad play messages",
         [] {
             QByteArray many;
             for (int i = 0; i < 20; ++i) {
                 // a SUPERENUMPLAYERSREPLY claiming a billion players in 60 bytes
                 auto frame =
                     dp::wire::EncodeFrame({0, 1}, dp::wire::Command::SuperEnumPlayersReply, 14,
                                           dp::wire::Bytes(32, 0xFF));
                 many.append(reinterpret_cast<const char*>(frame.data()),
                             static_cast<qsizetype>(frame.size()));
             }
             return many;
         }(),
         true},
    };
    for (const auto& attack : attacks) {
        SCOPED_TRACE(attack.name);
        QTcpSocket attacker;
        attacker.connectToHost(QHostAddress::LocalHost, port);
        ASSERT_TRUE(attacker.waitForConnected(2000));
        attacker.write(attack.bytes);
        attacker.flush();
        const bool closed =
            QTest::qWaitFor([&] { return attacker.state() == QAbstractSocket::UnconnectedState; },
                            attack.dropped ? 3000 : 300);
        EXPECT_EQ(closed, attack.dropped);
    }
    QUdpSocket udp;
    udp.writeDatagram(QByteArray(3, 'z'), QHostAddress::LocalHost, joiner.play->Engine().UdpPort());
    udp.writeDatagram(QByteArray::fromHex("ffffffff"), QHostAddress::LocalHost, host.enumPort);

    EXPECT_TRUE(joiner.play->Engine().IsOpen());
    EXPECT_GT(joiner.play->Engine().MalformedCount(), 0u);
    host.play->Send(host.player, 0, dp::kSendGuaranteed, dp::DirectPlayMessage(Bytes({4100, 0})));
    auto still = NextFromPlayer(*joiner.play, joiner.player);
    ASSERT_TRUE(still);
    EXPECT_EQ(still->second, Bytes({4100, 0}));
}

TEST(DirectPlaySession, AFloodOfConnectionsAndAHugeClaimLeaveTheJoinerUsable) {
    Hosted host = StartHost();
    dp::SessionOptions options = TestOptions();
    options.maxConnections = 40;
    Joined joiner = Join(host.enumPort, "Flooded", options);
    const std::uint16_t port = joiner.play->Engine().TcpPort();
    std::vector<std::unique_ptr<QTcpSocket>> flood;
    for (int i = 0; i < 300; ++i) {
        flood.push_back(std::make_unique<QTcpSocket>());
        flood.back()->connectToHost(QHostAddress::LocalHost, port);
    }
    // One of them claims the largest message there is and sends a little of it.
    ASSERT_TRUE(flood.front()->waitForConnected(2000));
    flood.front()->write(QByteArray::fromHex("ffffbffa") +
                         QByteArray(4096, 'x'));  // 1 MB announced
    // (The kernel's backlog lets the flood in a few dozen at a time.)
    const bool refused =
        QTest::qWaitFor([&] { return joiner.play->Engine().RefusedConnections() >= 50; }, 8000);
    ASSERT_TRUE(refused) << joiner.play->Engine().RefusedConnections();
    EXPECT_LE(joiner.play->Engine().ConnectionCount(), options.maxConnections);
    EXPECT_TRUE(joiner.play->Engine().IsOpen());
    host.play->Send(host.player, 0, dp::kSendGuaranteed, dp::DirectPlayMessage(Bytes({4100, 0})));
    auto still = NextFromPlayer(*joiner.play, joiner.player);
    ASSERT_TRUE(still);
    EXPECT_EQ(still->second, Bytes({4100, 0}));
}

// The queue keeps the newest within its count; a message larger than its whole byte bound is
// refused on its own, leaving what is queued.
TEST(DirectPlaySession, QueueKeepsTheNewestWhenFull) {
    dp::SessionOptions small = TestOptions();
    small.maxQueuedMessages = 5;
    small.maxQueuedBytes = 1000;
    Hosted host = StartHost();
    Joined joiner = Join(host.enumPort, "Slow Reader", small);
    for (std::int32_t i = 0; i < 20; ++i)
        host.play->Send(host.player, 0, 1, dp::DirectPlayMessage(Bytes({4120, i})));
    dp::wire::Bytes huge(2000, 7);
    host.play->Send(host.player, 0, 1, dp::DirectPlayMessage(huge));
    auto& engine = joiner.play->Engine();
    ASSERT_TRUE(QTest::qWaitFor([&] { return engine.RefusedMessages() > 0; }));
    std::int32_t from = 0, to = 0;
    std::vector<dp::wire::Bytes> all;
    while (joiner.play->GetMessageCount(joiner.player) > 0)
        all.push_back(joiner.play->Receive(from, to, 1)->Bytes());
    ASSERT_EQ(all.size(), 5u);
    EXPECT_EQ(all.back(), Bytes({4120, 19}));  // the last one queued is the last one sent
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
