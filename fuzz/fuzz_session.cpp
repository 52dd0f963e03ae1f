// A joined session driven by a sequence of frames from its host's address and from a
// stranger's, as TCP frames and as datagrams (with or without the service provider's prefix),
// and by the session's life: the host announcing machines and letting them go, a machine
// announcing itself as the new host (migration), the host's own departure, reliable-protocol
// frames from the host and messages sent back through the link, and the event loop running
// so that departures take effect. Two worlds: a session over TCP, and one with the reliable
// protocol and host migration; the input's first byte picks one. After every record the
// session holds no more than its bounds allow. The session talks to a real host on the
// loopback and never to anybody else, whatever addresses the input names.
#include <QCoreApplication>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "directplay/directplay.h"
#include "directplay/reliable.h"

namespace dp = directplay;
namespace wire = directplay::wire;

namespace {

constexpr std::uint32_t kLoopback = 0x7F000001;
constexpr std::uint32_t kStranger = 0x7F000002;
constexpr std::int32_t kMaxPlayers = 6;

dp::SessionOptions Options() {
    dp::SessionOptions options;
    options.enumPort = 0;
    options.bindAddress = QHostAddress(QHostAddress::LocalHost);
    options.enumTimeoutMs = 300;
    options.requestTimeoutMs = 2000;
    options.maxQueuedMessages = 256;
    options.maxQueuedBytes = 1u << 20;
    options.idMask = 0x80A50000;
    options.mayContact = [](std::uint32_t ip) { return (ip >> 24) == 127; };
    return options;
}

struct World {
    std::shared_ptr<dp::DirectPlay4> host;
    std::shared_ptr<dp::DirectPlay4> joiner;
    std::int32_t player = 0;
};
std::unique_ptr<World> g_worlds[2];

std::unique_ptr<World> Build(bool reliable) {
    auto world = std::make_unique<World>();
    try {
        world->host = dp::DirectX7(Options()).DirectPlayCreate("");
        auto desc = world->host->CreateSessionData();
        desc->SetSessionName("Fuzz");
        desc->SetMaxPlayers(kMaxPlayers);
        if (reliable)
            desc->SetFlags(wire::session_flag::kReliableProtocol |
                           wire::session_flag::kMigrateHost);
        world->host->Open(*desc, dp::kOpenCreate);
        world->host->CreatePlayer("FS Host", "Host", 0, 0);
        world->joiner = dp::DirectX7(Options()).DirectPlayCreate("");
        world->joiner->InitializeConnection(dp::ConnectionAddress::TcpIp(
            "127.0.0.1:" + std::to_string(world->host->Engine().EnumPort())));
        auto found = world->joiner->GetDPEnumSessions(*world->joiner->CreateSessionData(), 0,
                                                      dp::kEnumAvailable);
        if (found->GetCount() != 1)
            return nullptr;
        world->joiner->Open(*found->GetItem(1), dp::kOpenJoin);
        world->player = world->joiner->CreatePlayer("ATC Controller", "Player", 0, 0);
    } catch (const dp::DirectPlayError&) {
        return nullptr;
    }
    return world;
}

std::uint32_t Word(std::span<const std::uint8_t> b, std::size_t at) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i)
        v |= std::uint32_t{at + i < b.size() ? b[at + i] : std::uint8_t{0}} << (8 * i);
    return v;
}

// A machine the host announces: its system ID and listening port from the record.
wire::Bytes Announce(std::span<const std::uint8_t> b) {
    wire::PlayerCreate forward;
    forward.playerId = static_cast<std::int32_t>(Word(b, 0));
    forward.player.id = forward.playerId;
    forward.player.flags = wire::player_flag::kSystem | wire::player_flag::kInGroup;
    forward.player.hasAddresses = true;
    const auto port = static_cast<std::uint16_t>(Word(b, 4));
    forward.player.stream = {kLoopback, port};
    forward.player.datagram = {kLoopback, port};
    return wire::EncodeAddForward(forward);
}

// A reliable-protocol frame from the fields of the record.
wire::Bytes ReliableFrame(std::span<const std::uint8_t> b, std::uint16_t from, std::uint16_t to) {
    dp::reliable::Frame f;
    f.fromIndex = from;
    f.toIndex = to;
    f.flags = b.size() > 0 ? b[0] : 0;
    f.messageId = b.size() > 1 ? b[1] : 0;
    f.sequence = b.size() > 2 ? b[2] : 0;
    f.serial = b.size() > 3 ? b[3] : 0;
    f.bytesReceived = Word(b, 4);
    if (b.size() > 8)
        f.data.assign(b.begin() + 8, b.end());
    return dp::reliable::EncodeFrame(f);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    new QCoreApplication(*argc, *argv);  // lives as long as the process
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const bool reliable = data[0] & 1;
    auto& world = g_worlds[reliable ? 1 : 0];
    if (!world || !world->joiner->Engine().IsOpen() || !world->host->Engine().IsOpen()) {
        world.reset();
        world = Build(reliable);
        if (!world)
            return 0;
    }
    dp::Session& session = world->joiner->Engine();
    dp::Session& host = world->host->Engine();
    const dp::SessionOptions bounds = Options();
    const std::uint16_t hostPort = host.TcpPort();
    const std::uint32_t mask = session.Desc().reserved1;
    auto index = [mask](std::int32_t id) {
        return static_cast<std::uint16_t>((static_cast<std::uint32_t>(id) ^ mask) & 0xFFFF);
    };
    // Each record: a kind byte, a 16-bit length, then its bytes. Kinds below 0x80 are raw
    // messages after the prefix (bit 0: from the stranger; bit 1: a datagram; bit 2: a
    // datagram without prefix). From 0x80: 0x80 the host announces a machine, 0x81 the host
    // deletes a player, 0x82 a machine announces itself as the new host, 0x83 the host's
    // machine leaves (its goodbye), 0x84 a reliable-protocol frame from the host, 0x85 the
    // joiner sends a guaranteed message, 0x86 the event loop runs.
    std::size_t at = 1;
    while (at + 3 <= size) {
        const std::uint8_t kind = data[at];
        std::size_t length = data[at + 1] | (std::size_t{data[at + 2]} << 8);
        at += 3;
        length = std::min(length, size - at);
        const std::span<const std::uint8_t> message(data + at, length);
        at += length;
        const bool stranger = kind & 1;
        const std::uint32_t ip = stranger ? kStranger : kLoopback;
        const wire::SockAddr sender{0, stranger ? std::uint16_t{9} : hostPort};
        const wire::SockAddr fromHost{0, hostPort};
        switch (kind) {
            case 0x80:
                session.FeedFrame(
                    wire::EncodeFrame(fromHost, wire::Command::AddForward, 14, Announce(message)),
                    kLoopback);
                break;
            case 0x81:
                session.FeedFrame(
                    wire::EncodeFrame(
                        fromHost, wire::Command::DeletePlayer, 14,
                        wire::EncodeDeletePlayer(static_cast<std::int32_t>(Word(message, 0)))),
                    kLoopback);
                break;
            case 0x82: {
                // A machine announced before (its port in the record) says it is the host.
                wire::IAmNameServer claim;
                claim.idHost = static_cast<std::int32_t>(Word(message, 0));
                claim.flags = wire::player_flag::kSystem | wire::player_flag::kNameServer;
                const wire::SockAddr machine{0, static_cast<std::uint16_t>(Word(message, 4))};
                session.FeedFrame(wire::EncodeFrame(machine, wire::Command::IAmNameServer, 14,
                                                    wire::EncodeIAmNameServer(claim)),
                                  kLoopback);
                break;
            }
            case 0x83:
                session.FeedFrame(
                    wire::EncodeFrame(fromHost, wire::Command::DeletePlayer, 14,
                                      wire::EncodeDeletePlayer(session.HostSystemPlayerId())),
                    kLoopback);
                break;
            case 0x84:
                session.FeedDatagram(ReliableFrame(message, index(session.HostSystemPlayerId()),
                                                   index(session.SystemPlayerId())),
                                     kLoopback);
                break;
            case 0x85:
                try {
                    world->joiner->Send(
                        world->player, 0, dp::kSendGuaranteed,
                        dp::DirectPlayMessage(wire::Bytes(message.begin(), message.end())));
                } catch (const dp::DirectPlayError&) {
                }
                break;
            case 0x86:
                QCoreApplication::processEvents();
                break;
            default:
                if ((kind & 6) == 6)
                    session.FeedDatagram(message, ip);
                else if (kind & 2)
                    session.FeedDatagram(wire::EncodeRawFrame(sender, message), ip);
                else
                    session.FeedFrame(wire::EncodeRawFrame(sender, message), ip);
        }
        if (session.QueuedBytes() > bounds.maxQueuedBytes)
            __builtin_trap();
        if (session.MachineCount() > static_cast<std::size_t>(kMaxPlayers) + 1)
            __builtin_trap();
        if (session.PlayerCount() > 2 * (static_cast<std::size_t>(kMaxPlayers) + 1) + 1)
            __builtin_trap();
        if (!session.IsOpen())
            break;
    }
    while (session.Receive()) {
    }
    QCoreApplication::processEvents();
    return 0;
}
