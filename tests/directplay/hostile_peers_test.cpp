// Peers and strangers that mean harm or know no better, against live sockets on the loopback:
// forged system messages, hostile bytes, floods of connections and messages, IDs nobody handed
// out, frames meant for another machine. Nothing of the session changes and its
// machines go on talking.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTest>
#include <QUdpSocket>

#include "directplay/directplay.h"
#include "directplay/reliable.h"
#include "tests/directplay/session_support.h"

namespace dp = directplay;
namespace wire = directplay::wire;
using namespace session_support;

namespace {

constexpr std::uint32_t kReliable = wire::session_flag::kReliableProtocol;

wire::Bytes Frame(std::uint16_t senderPort, wire::Command command, const wire::Bytes& body) {
    return wire::EncodeFrame({0, senderPort}, command, 14, body);
}

// A connection to `port` from another machine (127.0.0.2); null when it could not be made.
std::unique_ptr<QTcpSocket> FromAnotherMachine(std::uint16_t port) {
    auto socket = std::make_unique<QTcpSocket>();
    if (!socket->bind(QHostAddress("127.0.0.2"), 0))
        return nullptr;
    socket->connectToHost(QHostAddress::LocalHost, port);
    return socket->waitForConnected(2000) ? std::move(socket) : nullptr;
}

// A stranger on another machine (127.0.0.2: machines are told apart by address) sends what only
// the host, or a player's own machine, may send. Nothing changes, and after the usual count of
// refusals the stranger loses its connection. It even names the host's listening port. The
// system messages come again as bare datagrams from the host's own address, which is never
// how they come: refused too.
TEST(HostilePeers, OnlyTheHostChangesWhoIsInTheSession) {
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
        bool system;
    };
    const Row rows[] = {
        {"ADDFORWARD of a machine",
         frame(dp::wire::Command::AddForward, dp::wire::EncodeAddForward(stranger)), true},
        {"YOUAREDEAD", frame(dp::wire::Command::YouAreDead, {}), true},
        {"DELETEPLAYER of our system player",
         frame(dp::wire::Command::DeletePlayer,
               dp::wire::EncodeDeletePlayer(engine.SystemPlayerId())),
         true},
        {"DELETEPLAYER of the host's pilot",
         frame(dp::wire::Command::DeletePlayer, dp::wire::EncodeDeletePlayer(host.player)), true},
        {"CREATEPLAYER on the host's machine",
         frame(dp::wire::Command::CreatePlayer, dp::wire::EncodeCreatePlayer(foreign)), true},
        {"a message from nobody",
         dp::wire::EncodePlayerMessage(spoofed, 14, {0x777, 0, Bytes({4099, 4, 0x777})}, false),
         false},
        {"a message in the host pilot's name",
         dp::wire::EncodePlayerMessage(spoofed, 14, {host.player, 0, Bytes({4118, 0})}, false),
         false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::uint64_t refused = engine.RefusedMessages();
        const auto attacker = FromAnotherMachine(engine.TcpPort());
        ASSERT_TRUE(attacker);
        for (int i = 0; i < 12; ++i)
            attacker->write(reinterpret_cast<const char*>(row.bytes.data()),
                            static_cast<qsizetype>(row.bytes.size()));
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return attacker->state() == QAbstractSocket::UnconnectedState; }, 5000));
        EXPECT_GT(engine.RefusedMessages(), refused);
        if (row.system) {
            const std::uint64_t before = engine.RefusedMessages();
            QUdpSocket forger;
            ASSERT_TRUE(forger.bind(QHostAddress::LocalHost, 0));
            forger.writeDatagram(reinterpret_cast<const char*>(row.bytes.data()),
                                 static_cast<qint64>(row.bytes.size()), QHostAddress::LocalHost,
                                 engine.UdpPort());
            EXPECT_TRUE(QTest::qWaitFor([&] { return engine.RefusedMessages() > before; }));
        }
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
    ExpectTalking(host, joiner);
    host.play->DestroyPlayer(host.player);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !HasPlayer(*joiner.play, host.player); }));
}

TEST(HostilePeers, HostileBytesOnLiveSocketsLeaveTheJoinerUsable) {
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
    ExpectTalking(host, joiner);
}

TEST(HostilePeers, AFloodOfConnectionsAndAHugeClaimLeaveTheJoinerUsable) {
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
    ExpectTalking(host, joiner);
}

// A reader that takes nothing while a peer sends: the queue keeps the newest within its count
// and its bytes, and a message larger than its whole byte bound is refused on its own.
TEST(HostilePeers, AFullQueueKeepsTheNewestWithinItsCountAndBytes) {
    struct Row {
        const char* name;
        std::size_t maxMessages, maxBytes;
        std::int32_t count;
        int size;
        bool oversized;
        std::vector<std::int32_t> kept;
    };
    const Row rows[] = {
        {"by count", 5, 1000, 20, 8, true, {15, 16, 17, 18, 19}},
        {"by bytes: 10.8 MB into 3 MB", 10000, 3u << 20, 12, 900 * 1024, false, {9, 10, 11}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        dp::SessionOptions small = TestOptions();
        small.maxQueuedMessages = row.maxMessages;
        small.maxQueuedBytes = row.maxBytes;
        Hosted host = StartHost();
        Joined joiner = Join(host.enumPort, "Slow Reader", small);
        auto& engine = joiner.play->Engine();
        ASSERT_TRUE(SawNotice(*host.play, host.player, dp::system_message::kCreatePlayer));
        std::int32_t from = 0, to = 0;
        while (joiner.play->GetMessageCount(joiner.player) > 0)
            joiner.play->Receive(from, to, dp::kReceiveAll);
        QSignalSpy queued(&engine, &dp::Session::messageQueued);
        for (std::int32_t n = 0; n < row.count; ++n) {
            dp::DirectPlayMessage m;
            m.WriteLong(n);
            for (int i = 4; i < row.size; ++i)
                m.WriteByte(0x5A);
            host.play->Send(host.player, joiner.player, dp::kSendGuaranteed, m);
        }
        if (row.oversized)
            host.play->Send(host.player, joiner.player, dp::kSendGuaranteed,
                            dp::DirectPlayMessage(dp::wire::Bytes(2 * row.maxBytes, 7)));
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                return queued.count() >= row.count &&
                       (!row.oversized || engine.RefusedMessages() > 0);
            },
            20000));
        EXPECT_LE(engine.QueuedBytes(), row.maxBytes);
        std::vector<std::int32_t> kept;
        while (joiner.play->GetMessageCount(joiner.player) > 0) {
            auto m = joiner.play->Receive(from, to, dp::kReceiveAll);
            if (from == host.player)
                kept.push_back(m->ReadLong());
        }
        EXPECT_EQ(kept, row.kept);
        EXPECT_EQ(engine.QueuedBytes(), 0u);
    }
}

// A reliable-protocol frame that names another machine's player as its destination was meant
// for whoever had this port before: it is refused, not taken into the link's count.
TEST(HostilePeers, AReliableFrameForAnotherMachineIsRefused) {
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
TEST(HostilePeers, TheHostHandsOutIdsOnlyToThoseWhoAskedForThem) {
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
        const auto stranger = FromAnotherMachine(engine.TcpPort());
        ASSERT_TRUE(stranger);
        const wire::Bytes bytes = Frame(stranger->localPort(), row.command, row.body);
        stranger->write(reinterpret_cast<const char*>(bytes.data()),
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

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
