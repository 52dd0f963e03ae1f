// The life of a session after the join: machines and players leaving, by word and by vanishing;
// the host going, with and without migration; a new host announcing itself; a password that
// outlives the old host; a machine admitted while we join; strangers that would hold every
// place, and floods of searches.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>

#include "directplay/directplay.h"
#include "link/link.h"
#include "model/shared_state.h"
#include "tests/directplay/session_support.h"

namespace dp = directplay;
namespace wire = directplay::wire;
using namespace session_support;

namespace {

constexpr std::uint32_t kReliable = wire::session_flag::kReliableProtocol;
constexpr std::uint32_t kMigrate = wire::session_flag::kMigrateHost;

wire::Bytes Frame(std::uint16_t senderPort, wire::Command command, const wire::Bytes& body) {
    return wire::EncodeFrame({0, senderPort}, command, 14, body);
}

// A machine leaves, saying goodbye or vanishing, or only destroys its player: the host and the
// machine that stays go on talking, and the player that left is gone from both. In a
// reliable-protocol session the goodbye arrives in a link's delivery, which once freed the
// link it ran in.
TEST(SessionLife, AMachineThatLeavesLeavesTheOthersTalking) {
    enum class Way { DestroysItsPlayer, SaysGoodbye, Vanishes };
    struct Row {
        const char* name;
        std::uint32_t flags;
        Way way;
    };
    for (const Row& row :
         {Row{"TCP, player destroyed", 0, Way::DestroysItsPlayer},
          Row{"TCP, goodbye", 0, Way::SaysGoodbye}, Row{"TCP, vanished", 0, Way::Vanishes},
          Row{"reliable, goodbye", kReliable, Way::SaysGoodbye},
          Row{"reliable, vanished", kReliable, Way::Vanishes}}) {
        SCOPED_TRACE(row.name);
        Hosted host = StartHost(row.flags);
        Joined leaving = Join(host.enumPort, "Leaving");
        Joined staying = Join(host.enumPort, "Staying");
        ASSERT_TRUE(QTest::qWaitFor([&] { return HasPlayer(*staying.play, leaving.player); }));
        ExpectTalking(host, leaving);
        const std::int32_t gone = leaving.player;
        if (row.way == Way::DestroysItsPlayer) {
            leaving.play->DestroyPlayer(gone);
        } else {
            if (row.way == Way::SaysGoodbye)
                leaving.play->Close();
            leaving.play.reset();  // vanishing: its sockets go without a word
        }
        EXPECT_TRUE(QTest::qWaitFor([&] { return !HasPlayer(*host.play, gone); }, 10000));
        EXPECT_TRUE(QTest::qWaitFor([&] { return !HasPlayer(*staying.play, gone); }, 10000));
        EXPECT_TRUE(host.play->Engine().IsOpen());
        EXPECT_TRUE(staying.play->Engine().IsOpen());
        ExpectTalking(host, staying);
        if (leaving.play) {
            EXPECT_TRUE(leaving.play->Engine().IsOpen());  // its machine is still in
            leaving.play->Close();
        }
        EXPECT_TRUE(QTest::qWaitFor([&] { return host.play->Engine().MachineCount() == 1; }));
    }
}

// A new host is followed from the machine it names, even when the old host's goodbye has not
// come yet; a host told of a rival answers it with YOUAREDEAD, and the rival goes.
TEST(SessionLife, ANewHostIsFollowedAndARivalIsToldItIsDead) {
    Hosted host = StartHost(kMigrate);
    Joined pilot = Join(host.enumPort, "Pilot");
    Joined radar = Join(host.enumPort, "Radar");
    ASSERT_TRUE(QTest::qWaitFor([&] { return HasPlayer(*radar.play, pilot.player); }));
    const std::int32_t hostSystem = host.play->Engine().SystemPlayerId();
    const std::int32_t pilotSystem = pilot.play->Engine().SystemPlayerId();
    wire::IAmNameServer announcement;
    announcement.idHost = pilotSystem;
    announcement.flags = wire::player_flag::kSystem | wire::player_flag::kNameServer;
    announcement.hasAddresses = true;
    announcement.stream = {0, pilot.play->Engine().TcpPort()};
    announcement.datagram = {0, pilot.play->Engine().UdpPort()};
    const wire::Bytes frame = Frame(pilot.play->Engine().TcpPort(), wire::Command::IAmNameServer,
                                    wire::EncodeIAmNameServer(announcement));

    radar.play->Engine().FeedFrame(frame, 0x7F000001);
    EXPECT_EQ(radar.play->Engine().HostSystemPlayerId(), pilotSystem);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !HasPlayer(*radar.play, host.player); }));
    EXPECT_TRUE(radar.play->Engine().IsOpen());

    host.play->Engine().FeedFrame(frame, 0x7F000001);
    EXPECT_EQ(host.play->Engine().HostSystemPlayerId(), hostSystem);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !pilot.play->Engine().IsOpen(); }));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !HasPlayer(*host.play, pilot.player); }));
}

// The machine that takes over a session with a password admits joiners with that password,
// and only with it.
TEST(SessionLife, ThePasswordOutlivesTheHost) {
    Hosted host;
    host.play = dp::DirectX7(TestOptions()).DirectPlayCreate("");
    auto desc = host.play->CreateSessionData();
    desc->SetSessionName("Locked");
    desc->SetMaxPlayers(8);
    desc->SetFlags(kMigrate | wire::session_flag::kPasswordRequired);
    desc->SetSessionPassword("secret");
    host.play->Open(*desc, dp::kOpenCreate);
    host.enumPort = host.play->Engine().EnumPort();
    auto join = [&](std::uint16_t enumPort, const std::string& password) {
        auto play = dp::DirectX7(TestOptions()).DirectPlayCreate("");
        auto sessions = Enumerate(*play, enumPort);
        if (sessions->GetCount() < 1)
            return std::shared_ptr<dp::DirectPlay4>();
        auto item = sessions->GetItem(1);
        item->SetSessionPassword(password);
        try {
            play->Open(*item, dp::kOpenJoin);
        } catch (const dp::DirectPlayError&) {
            return std::shared_ptr<dp::DirectPlay4>();
        }
        return play;
    };
    auto heir = join(host.enumPort, "secret");
    ASSERT_TRUE(heir);
    EXPECT_FALSE(join(host.enumPort, ""));
    host.play->Close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return heir->Engine().IsHost(); }, 10000));
    const std::uint16_t enumPort = heir->Engine().EnumPort();
    ASSERT_NE(enumPort, 0);
    EXPECT_FALSE(join(enumPort, ""));
    EXPECT_FALSE(join(enumPort, "wrong"));
    EXPECT_TRUE(join(enumPort, "secret"));
}

// The host admits another machine while we are still joining: its word of it is kept and
// taken with the name table, or the two machines would never learn of each other.
TEST(SessionLife, AMachineAdmittedWhileWeJoinIsNotMissed) {
    Hosted host = StartHost();
    auto joiner = dp::DirectX7(TestOptions()).DirectPlayCreate("");
    auto sessions = Enumerate(*joiner, host.enumPort);
    ASSERT_GE(sessions->GetCount(), 1);
    constexpr std::int32_t kOther = 0x0BADF00D;
    wire::PlayerCreate forward;
    forward.playerId = kOther;
    forward.player.id = kOther;
    forward.player.systemPlayerId = kOther;
    forward.player.flags = wire::player_flag::kSystem | wire::player_flag::kInGroup;
    forward.player.hasAddresses = true;
    forward.player.stream = {0x7F000001, 2399};
    forward.player.datagram = {0x7F000001, 2399};
    bool fed = false;
    QTimer poll;
    poll.setInterval(0);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto& engine = joiner->Engine();
        if (fed || engine.CurrentPhase() != dp::Session::Phase::Joining)
            return;
        engine.FeedFrame(Frame(host.play->Engine().TcpPort(), wire::Command::AddForward,
                               wire::EncodeAddForward(forward)),
                         0x7F000001);
        fed = true;
    });
    poll.start();
    joiner->Open(*sessions->GetItem(1), dp::kOpenJoin);
    poll.stop();
    ASSERT_TRUE(fed);
    EXPECT_TRUE(HasPlayer(*joiner, kOther));
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
        Hosted host = StartHost(kMigrate, 8, options);
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

// Strangers cannot hold every place: connections that carry no machine's frame are closed,
// and a joiner gets in afterwards. Searches are answered so many a second, and a ping from a
// player nobody knows is not answered at all.
TEST(SessionLife, StrangersHoldNoPlaceAndSearchesAreBounded) {
    dp::SessionOptions options = TestOptions();
    options.maxConnections = 6;
    options.strangerConnectionMs = 300;
    options.maxAnswersPerSecond = 3;
    Hosted host = StartHost(0, 8, options);
    auto& engine = host.play->Engine();
    QTest::qWait(1100);  // the searches of this test's own joins fall in another second
    std::vector<std::unique_ptr<QTcpSocket>> strangers;
    for (int i = 0; i < 6; ++i) {
        strangers.push_back(std::make_unique<QTcpSocket>());
        strangers.back()->connectToHost(QHostAddress::LocalHost, engine.TcpPort());
        ASSERT_TRUE(strangers.back()->waitForConnected(2000));
    }
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return std::all_of(strangers.begin(), strangers.end(), [](const auto& s) {
                return s->state() == QAbstractSocket::UnconnectedState;
            });
        },
        5000));

    QTcpServer answers;
    ASSERT_TRUE(answers.listen(QHostAddress::LocalHost, 0));
    std::vector<QTcpSocket*> connections;
    QObject::connect(&answers, &QTcpServer::newConnection,
                     [&] { connections.push_back(answers.nextPendingConnection()); });
    QUdpSocket searcher;
    ASSERT_TRUE(searcher.bind(QHostAddress::LocalHost, 0));
    auto send = [&](const wire::Bytes& bytes, std::uint16_t port) {
        searcher.writeDatagram(reinterpret_cast<const char*>(bytes.data()),
                               static_cast<qint64>(bytes.size()), QHostAddress::LocalHost, port);
    };
    send(Frame(answers.serverPort(), wire::Command::Ping,
               wire::EncodePing({static_cast<std::int32_t>(0x0BADBAD0), 1})),
         engine.UdpPort());
    const std::uint64_t refused = engine.RefusedMessages();
    const wire::Bytes search =
        Frame(answers.serverPort(), wire::Command::EnumSessions,
              wire::EncodeEnumSessions({{}, wire::enum_flag::kAvailable, u""}));
    for (int i = 0; i < 12; ++i)
        send(search, engine.EnumPort());
    // Each search is answered or refused; at most three a second are answered.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return engine.RefusedMessages() - refused + connections.size() >= 12; }));
    EXPECT_GE(connections.size(), 3u);
    EXPECT_LE(connections.size(), 6u);
    // Every connection made to us carried an answer to the search, none a YOUAREDEAD.
    for (QTcpSocket* connection : connections) {
        ASSERT_TRUE(QTest::qWaitFor([&] {
            return connection->bytesAvailable() > 0 ||
                   connection->state() != QAbstractSocket::ConnectedState;
        }));
        const QByteArray bytes = connection->readAll();
        const auto frame =
            wire::DecodeFrame({reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                               static_cast<std::size_t>(bytes.size())});
        ASSERT_TRUE(frame);
        EXPECT_EQ(frame->command, wire::Command::EnumSessionsReply);
    }
    QTest::qWait(1100);  // a search of the joiner's own is answered in a new second
    EXPECT_NO_THROW(Join(host.enumPort, "ATC Controller"));
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
