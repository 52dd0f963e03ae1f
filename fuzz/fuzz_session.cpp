// A joined session driven by a sequence of frames from its host's address and from a
// stranger's, as TCP frames and as datagrams (with or without the service provider's prefix).
// After every frame the session holds no more than its bounds allow. The session talks to a
// real host on the loopback and never to anybody else, whatever addresses the input names.
#include <QCoreApplication>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "directplay/directplay.h"

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
};
std::unique_ptr<World> g_world;

bool Build() {
    auto world = std::make_unique<World>();
    try {
        world->host = dp::DirectX7(Options()).DirectPlayCreate("");
        auto desc = world->host->CreateSessionData();
        desc->SetSessionName("Fuzz");
        desc->SetMaxPlayers(kMaxPlayers);
        world->host->Open(*desc, dp::kOpenCreate);
        world->host->CreatePlayer("FS Host", "Host", 0, 0);
        world->joiner = dp::DirectX7(Options()).DirectPlayCreate("");
        world->joiner->InitializeConnection(dp::ConnectionAddress::TcpIp(
            "127.0.0.1:" + std::to_string(world->host->Engine().EnumPort())));
        auto found = world->joiner->GetDPEnumSessions(*world->joiner->CreateSessionData(), 0,
                                                      dp::kEnumAvailable);
        if (found->GetCount() != 1)
            return false;
        world->joiner->Open(*found->GetItem(1), dp::kOpenJoin);
        world->joiner->CreatePlayer("ATC Controller", "Player", 0, 0);
    } catch (const dp::DirectPlayError&) {
        return false;
    }
    g_world = std::move(world);
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    new QCoreApplication(*argc, *argv);  // lives as long as the process
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!g_world || !g_world->joiner->Engine().IsOpen()) {
        g_world.reset();
        if (!Build())
            return 0;
    }
    dp::Session& session = g_world->joiner->Engine();
    const dp::SessionOptions bounds = Options();
    const std::uint16_t hostPort = g_world->host->Engine().TcpPort();
    // Each record: a kind byte (bit 0: from the stranger; bit 1: a datagram; bit 2: a datagram
    // without prefix), a 16-bit length, then the message after the prefix.
    std::size_t at = 0;
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
        if ((kind & 6) == 6)
            session.FeedDatagram(message, ip);
        else if (kind & 2)
            session.FeedDatagram(wire::EncodeRawFrame(sender, message), ip);
        else
            session.FeedFrame(wire::EncodeRawFrame(sender, message), ip);
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
