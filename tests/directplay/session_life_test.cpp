// The life of a session after the join: machines leaving by word and by vanishing, goodbyes
// that reach the wire, a new host announcing itself, a password that outlives the old host, and
// strangers knocking: forged datagrams, IDs nobody handed them, connections that hold places,
// floods of searches.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QNetworkDatagram>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>

#include "directplay/directplay.h"
#include "directplay/errors.h"
#include "directplay/reliable.h"
#include "tests/directplay/session_support.h"

namespace dp = directplay;
namespace wire = directplay::wire;
using namespace session_support;

namespace {

constexpr std::uint32_t kReliable = wire::session_flag::kReliableProtocol;
constexpr std::uint32_t kMigrate = wire::session_flag::kMigrateHost;

// Whether two machines still talk: a guaranteed message each way arrives.
void ExpectTalking(Hosted& host, Joined& joiner) {
    host.play->Send(host.player, joiner.player, dp::kSendGuaranteed,
                    dp::DirectPlayMessage(Bytes({4100, 1})));
    auto heard = NextFromPlayer(*joiner.play, joiner.player);
    ASSERT_TRUE(heard);
    EXPECT_EQ(heard->first, host.player);
    joiner.play->Send(joiner.player, host.player, dp::kSendGuaranteed,
                      dp::DirectPlayMessage(Bytes({4100, 2})));
    heard = NextFromPlayer(*host.play, host.player);
    ASSERT_TRUE(heard);
    EXPECT_EQ(heard->first, joiner.player);
}

wire::Bytes Frame(std::uint16_t senderPort, wire::Command command, const wire::Bytes& body) {
    return wire::EncodeFrame({0, senderPort}, command, 14, body);
}

// A machine leaves, saying goodbye or vanishing: the host and the machine that stays go on
// talking, and the one that left is gone from both. In a reliable-protocol session the
// goodbye arrives in a link's delivery, which once freed the link it ran in.
TEST(SessionLife, AMachineThatLeavesLeavesTheOthersTalking) {
    struct Row {
        const char* name;
        std::uint32_t flags;
        bool vanish;
    };
    for (const Row& row :
         {Row{"TCP, goodbye", 0, false}, Row{"TCP, vanished", 0, true},
          Row{"reliable, goodbye", kReliable, false}, Row{"reliable, vanished", kReliable, true}}) {
        SCOPED_TRACE(row.name);
        Hosted host = StartHost(row.flags);
        Joined leaving = Join(host.enumPort, "Leaving");
        Joined staying = Join(host.enumPort, "Staying");
        ASSERT_TRUE(QTest::qWaitFor([&] { return HasPlayer(*staying.play, leaving.player); }));
        ExpectTalking(host, leaving);
        const std::int32_t gone = leaving.player;
        if (!row.vanish)
            leaving.play->Close();
        leaving.play.reset();  // vanishing: its sockets go without a word
        EXPECT_TRUE(QTest::qWaitFor([&] { return !HasPlayer(*host.play, gone); }, 10000));
        EXPECT_TRUE(QTest::qWaitFor([&] { return !HasPlayer(*staying.play, gone); }, 10000));
        EXPECT_TRUE(host.play->Engine().IsOpen());
        EXPECT_TRUE(staying.play->Engine().IsOpen());
        ExpectTalking(host, staying);
        EXPECT_EQ(host.play->Engine().MachineCount(), 1u);
    }
}

// System messages that change the session never come as bare datagrams: a forged YOUAREDEAD
// or DELETEPLAYER sent to a joiner's UDP port changes nothing.
TEST(SessionLife, ForgedSystemDatagramsAreRefused) {
    Hosted host = StartHost();
    Joined joiner = Join(host.enumPort, "ATC Controller");
    auto& engine = joiner.play->Engine();
    const std::uint16_t hostPort = host.play->Engine().TcpPort();
    QUdpSocket forger;
    ASSERT_TRUE(forger.bind(QHostAddress::LocalHost, 0));
    for (const auto& bytes :
         {Frame(hostPort, wire::Command::YouAreDead, {}),
          Frame(hostPort, wire::Command::DeletePlayer, wire::EncodeDeletePlayer(host.player)),
          Frame(hostPort, wire::Command::DeletePlayer,
                wire::EncodeDeletePlayer(engine.SystemPlayerId()))}) {
        const std::uint64_t refused = engine.RefusedMessages();
        forger.writeDatagram(reinterpret_cast<const char*>(bytes.data()),
                             static_cast<qint64>(bytes.size()), QHostAddress::LocalHost,
                             engine.UdpPort());
        EXPECT_TRUE(QTest::qWaitFor([&] { return engine.RefusedMessages() > refused; }));
    }
    EXPECT_TRUE(engine.IsOpen());
    EXPECT_TRUE(HasPlayer(*joiner.play, host.player));
    ExpectTalking(host, joiner);
}

// A reliable-protocol frame that names another machine's player as its destination was meant
// for whoever had this port before: it is refused, not taken into the link's count.
TEST(SessionLife, AReliableFrameForAnotherMachineIsRefused) {
    Hosted host = StartHost(kReliable);
    Joined joiner = Join(host.enumPort, "Radar");
    Joined other = Join(host.enumPort, "Pilot");
    ASSERT_TRUE(QTest::qWaitFor([&] { return HasPlayer(*joiner.play, other.player); }));
    ExpectTalking(host, joiner);
    auto& engine = joiner.play->Engine();
    const std::uint32_t mask = engine.Desc().reserved1;
    auto index = [mask](std::int32_t id) {
        return static_cast<std::uint16_t>((static_cast<std::uint32_t>(id) ^ mask) & 0xFFFF);
    };
    dp::reliable::Frame stray;
    stray.fromIndex = index(host.play->Engine().SystemPlayerId());
    stray.toIndex = index(other.play->Engine().SystemPlayerId());
    using namespace dp::reliable::flag;
    stray.flags = kCmd | kSta | kEom | kRly;
    stray.messageId = 90;
    stray.sequence = 90;
    stray.data = Bytes({4100, 9});
    const auto* link = engine.LinkOf(host.play->Engine().SystemPlayerId());
    ASSERT_TRUE(link);
    const std::uint64_t malformed = engine.MalformedCount();
    const std::uint64_t duplicates = link->Stats().duplicates;
    engine.FeedDatagram(dp::reliable::EncodeFrame(stray), 0x7F000001);
    EXPECT_EQ(engine.MalformedCount(), malformed + 1);
    EXPECT_EQ(link->Stats().duplicates, duplicates);
    ExpectTalking(host, joiner);
}

// The host hands each ID to the machine that asked for it. A stranger asks for an
// application player's ID, claims the joiner's system ID, or an ID nobody handed out; a
// machine of the session creates a player with an ID it was never given (one at the top of
// the index space, which once made the host's count wrap). All are refused and nothing of the
// session changes.
TEST(SessionLife, TheHostHandsOutIdsOnlyToThoseWhoAskedForThem) {
    Hosted host = StartHost();
    Joined joiner = Join(host.enumPort, "ATC Controller");
    auto& engine = host.play->Engine();
    ASSERT_TRUE(SawNotice(*host.play, host.player, dp::system_message::kCreatePlayer));
    const std::uint32_t players = engine.Desc().currentPlayers;
    const std::int32_t joinerSystem = joiner.play->Engine().SystemPlayerId();
    const std::uint32_t mask = engine.Desc().reserved1;

    auto request = [](std::int32_t id) {
        wire::PlayerCreate r;
        r.playerId = id;
        r.player.id = id;
        r.player.flags = wire::player_flag::kSystem | wire::player_flag::kLocal;
        r.player.hasAddresses = true;
        r.player.stream = {0, 9};
        r.player.datagram = {0, 9};
        return wire::EncodeAddForwardRequest(r);
    };
    struct Row {
        const char* name;
        wire::Command command;
        wire::Bytes body;
    };
    const Row rows[] = {
        {"an application player's ID for a stranger", wire::Command::RequestPlayerId,
         wire::EncodeRequestPlayerId(wire::player_flag::kLocal)},
        {"the joiner's system ID", wire::Command::AddForwardRequest, request(joinerSystem)},
        {"an ID nobody handed out", wire::Command::AddForwardRequest,
         request(static_cast<std::int32_t>(0x00420042u ^ mask))},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::uint64_t refused = engine.RefusedMessages();
        QTcpSocket stranger;
        ASSERT_TRUE(stranger.bind(QHostAddress("127.0.0.2"), 0));
        stranger.connectToHost(QHostAddress::LocalHost, engine.TcpPort());
        ASSERT_TRUE(stranger.waitForConnected(2000));
        const wire::Bytes bytes = Frame(stranger.localPort(), row.command, row.body);
        stranger.write(reinterpret_cast<const char*>(bytes.data()),
                       static_cast<qint64>(bytes.size()));
        EXPECT_TRUE(QTest::qWaitFor([&] { return engine.RefusedMessages() > refused; }));
        EXPECT_EQ(engine.Desc().currentPlayers, players);
        EXPECT_EQ(engine.MachineCount(), 1u);
    }
    // The joiner's machine creates a player whose ID the host never gave it.
    wire::PlayerCreate create;
    create.playerId = static_cast<std::int32_t>(0xFFFFFFFEu ^ mask);
    create.player.id = create.playerId;
    create.player.systemPlayerId = joinerSystem;
    create.player.shortName = u"Wrap";
    const std::uint64_t refused = engine.RefusedMessages();
    engine.FeedFrame(Frame(joiner.play->Engine().TcpPort(), wire::Command::CreatePlayer,
                           wire::EncodeCreatePlayer(create)),
                     0x7F000001);
    EXPECT_GT(engine.RefusedMessages(), refused);
    EXPECT_FALSE(HasPlayer(*host.play, create.playerId));
    ExpectTalking(host, joiner);
    // A player it did ask for is still welcome.
    const std::int32_t second = joiner.play->CreatePlayer("Second", "Player", 0, 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return HasPlayer(*host.play, second); }));
    EXPECT_EQ(engine.Desc().currentPlayers, players + 1);
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

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
