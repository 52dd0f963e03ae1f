#pragma once

// What a session may be told when it is made: its ports and timings, and every bound on what
// a peer can make it hold.

#include <QHostAddress>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

#include "directplay/reliable.h"
#include "directplay/wire.h"

namespace directplay {

struct SessionOptions {
    std::uint16_t enumPort = wire::kEnumPort;  // hosting: where enumeration is answered (0: any)
    std::uint16_t tcpPort = 0;                 // 0: the first free of 2300-2349, else any
    std::uint16_t udpPort = 0;                 // 0: the first free of 2350-2399, else any
    QHostAddress bindAddress = QHostAddress(QHostAddress::AnyIPv4);
    int enumTimeoutMs = 5000;  // an enumeration without a timeout of its own: Windows' default
    int requestTimeoutMs = 5000;
    int joinTimeoutMs = 10000;
    int pingIntervalMs = 35000;
    // Hosting: how long an admission waits for the others' acknowledgements before the joiner
    // gets the name table all the same: well inside the joiner's own wait for it, so a machine
    // that is slow to answer (or in an outage) does not keep newcomers out.
    int nameTableTimeoutMs = 2500;
    // Every bound on what a peer can make this layer hold. Beyond them: the oldest queued
    // message goes, a connection or a peer's frame is refused (and counted against its
    // connection like malformed input), a peer that does not read is cut off. The framer holds
    // one frame of at most 1 MiB per connection (the size field's limit); a reliable link
    // takes frames of 24 messages from the earliest it still receives, holds at most 128
    // frames ahead and assembles no message beyond reliable::kMaxMessageSize.
    std::size_t maxQueuedMessages = 10000;
    std::size_t maxQueuedBytes = 16u << 20;
    int malformedLimit = 8;                 // malformed or refused frames before a connection goes
    std::size_t maxConnections = 128;       // open TCP connections, both ways
    std::size_t maxOutgoing = 64;           // of them, opened by this machine
    std::size_t maxWriteBuffer = 4u << 20;  // unsent bytes to one peer, for at most:
    int writeStallMs = 2000;
    // An incoming connection that has carried nothing from a machine of the session for this
    // long is closed, so strangers cannot hold every place.
    int strangerConnectionMs = 15000;
    std::size_t maxMachines = 256;  // hard ceilings; the session's maximum counts too
    std::size_t maxPlayers = 1024;
    // A player's game data, as any machine may set it: more is refused.
    std::size_t maxPlayerData = 4096;
    // Joining: creations and deletions that arrive before the name table, kept to apply after it.
    std::size_t maxEarlyMessages = 64;
    std::size_t maxEarlyBytes = 256u << 10;
    // Hosting: IDs handed out and not yet taken up (joining machines), and how long they hold.
    std::size_t maxPendingJoins = 16;
    int reservationMs = 20000;
    // Hosting: enumeration answers (each on a connection of its own) at once, and per second.
    std::size_t maxPendingAnswers = 16;
    int maxAnswersPerSecond = 50;
    // Closing: how long the deletion of our players may take to reach the others.
    int closeFlushMs = 1000;
    // Hosting: the mask every player ID is XORed with (the session description's Reserved1).
    // Without one the host picks a random mask as Windows does, so about half of the IDs it
    // hands out are negative as signed numbers.
    std::optional<std::uint32_t> idMask;
    // A stand-in for a bad network on every datagram this session sends (tests, benchmark).
    reliable::Impairment impairment;
    // A stand-in for a link that fails for a while (the soak harness): while it answers true,
    // every datagram this session sends or receives is dropped, as by a relay that passes
    // nothing.
    std::function<bool()> blackout;
    // Whom this session may send to (by IPv4 address); unset, anybody. The fuzz target keeps
    // it on the loopback whatever addresses its input names.
    std::function<bool(std::uint32_t)> mayContact;
};

}  // namespace directplay
