// The reliable protocol's frames byte for byte, and two links talking through a simulated
// network that loses, duplicates and reorders: once, in order, within the window.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "directplay/reliable.h"

namespace rp = directplay::reliable;
using rp::Bytes;

namespace {

Bytes Hex(std::initializer_list<int> bytes) {
    Bytes b;
    for (int v : bytes)
        b.push_back(static_cast<std::uint8_t>(v));
    return b;
}

// A frame from index 1 to index 2.
rp::Frame Frame12(std::uint8_t flags, std::uint8_t id, std::uint8_t seq, std::uint8_t serial,
                  Bytes data) {
    rp::Frame f;
    f.fromIndex = 1;
    f.toIndex = 2;
    f.flags = flags;
    f.messageId = id;
    f.sequence = seq;
    f.serial = serial;
    f.data = std::move(data);
    return f;
}

TEST(ReliableFrames, PlayerIndexesTakeOneToThreeBytes) {
    struct Row {
        const char* name;
        std::uint16_t index;
        Bytes bytes;
    };
    const Row rows[] = {
        {"one", 0x01, Hex({0x01})},
        {"largest in one byte", 0x7F, Hex({0x7F})},
        {"smallest in two", 0x80, Hex({0x80, 0x01})},
        {"largest in two", 0x3FFF, Hex({0xFF, 0x7F})},
        {"16384 needs three", 0x4000, Hex({0x80, 0x80, 0x01})},
        {"the document's 0xFFFE", 0xFFFE, Hex({0xFE, 0xFF, 0x03})},
        {"largest", 0xFFFF, Hex({0xFF, 0xFF, 0x03})},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(rp::EncodeIndex(row.index), row.bytes);
        std::size_t used = 0;
        EXPECT_EQ(rp::DecodeIndex(row.bytes, used), row.index);
        EXPECT_EQ(used, row.bytes.size());
    }
    std::size_t used = 0;
    EXPECT_FALSE(rp::DecodeIndex(Hex({0x80, 0x80, 0x04}), used)) << "beyond 16 bits";
    EXPECT_FALSE(rp::DecodeIndex(Hex({0x80, 0x80, 0x83}), used)) << "a fourth byte announced";
    EXPECT_FALSE(rp::DecodeIndex(Hex({0x80}), used)) << "cut short";
}

// The document's example, frame by frame, behind an index header from 1 to 2.
TEST(ReliableFrames, TheDocumentsExampleByteForByte) {
    struct Row {
        const char* name;
        std::uint8_t flags, messageId, sequence, serial;
        Bytes bytes;
    };
    using namespace rp::flag;
    const Row rows[] = {
        {"M1 frame 1: STA RLY", kCmd | kSta | kRly, 0, 0, 0, Hex({0x31, 0, 0, 0})},
        {"M1 frame 2: RLY", kCmd | kRly, 0, 1, 1, Hex({0x21, 0, 1, 1})},
        {"M1 frame 3: EOM RLY", kCmd | kEom | kRly, 0, 2, 2, Hex({0x29, 0, 2, 2})},
        {"M2: STA EOM", kCmd | kSta | kEom, 1, 3, 0, Hex({0x38, 1, 3, 0})},
        {"M3: STA EOM RLY", kCmd | kSta | kEom | kRly, 2, 4, 0, Hex({0x39, 2, 4, 0})},
        {"M4 frame 1: STA", kCmd | kSta, 3, 5, 0, Hex({0x30, 3, 5, 0})},
        {"M4 frame 2: EOM", kCmd | kEom, 3, 6, 1, Hex({0x28, 3, 6, 1})},
        {"M3 retry with SAK", kCmd | kSta | kEom | kRly | kSak, 2, 4, 1, Hex({0x3D, 2, 4, 1})},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const rp::Frame f =
            Frame12(row.flags, row.messageId, row.sequence, row.serial, Hex({0xAA, 0xBB}));
        Bytes expected = Hex({0x01, 0x02});
        expected.insert(expected.end(), row.bytes.begin(), row.bytes.end());
        expected.insert(expected.end(), {0xAA, 0xBB});
        EXPECT_EQ(rp::EncodeFrame(f), expected);
        auto back = rp::DecodeFrame(expected);
        ASSERT_TRUE(back);
        EXPECT_TRUE(back->IsData());
        EXPECT_EQ(back->flags, row.flags);
        EXPECT_EQ(back->sequence, row.sequence);
        EXPECT_EQ(back->serial, row.serial);
        EXPECT_EQ(back->data, Hex({0xAA, 0xBB}));
    }

    // The ACK of message 1: sequence 2, 4500 bytes received, then the tick count.
    rp::Frame ack;
    ack.fromIndex = 2;
    ack.toIndex = 1;
    ack.flags = kAck;
    ack.sequence = 2;
    ack.serial = 2;
    ack.bytesReceived = 4500;
    ack.tickCount = 0x01020304;
    EXPECT_EQ(rp::EncodeFrame(ack),
              Hex({0x02, 0x01, 0x02, 0, 2, 2, 0x94, 0x11, 0, 0, 0x04, 0x03, 0x02, 0x01}));

    // A NACK as the example prints it (Windows sends none): read, with its sequence.
    auto nack = rp::DecodeFrame(Hex({0x02, 0x01, 0x82, 0x00, 2, 4, 0xFA, 0x22, 0, 0, 1, 2, 3, 4}));
    ASSERT_TRUE(nack);
    EXPECT_TRUE(nack->IsNack());
    EXPECT_EQ(nack->sequence, 4);
    EXPECT_EQ(nack->bytesReceived, 8954u);
}

TEST(ReliableFrames, WhatTheProtocolSaysToIgnoreIsRefused) {
    struct Row {
        const char* name;
        Bytes bytes;
    };
    const Row rows[] = {
        {"data frame with extended flags", Hex({1, 2, 0xB1, 0, 1, 0, 0, 9})},
        {"big frame", Hex({1, 2, 0x71, 0, 1, 0})},
        {"neither data nor ACK", Hex({1, 2, 0x11, 0, 1, 0})},
        {"data frame cut short", Hex({1, 2, 0x31, 0, 1})},
        {"ACK cut short", Hex({1, 2, 0x02, 0, 1, 0, 1, 2, 3})},
        {"no flags byte", Hex({1, 2})},
    };
    for (const auto& row : rows)
        EXPECT_FALSE(rp::DecodeFrame(row.bytes)) << row.name;
}

// Two links joined by a simulated network with a seeded mind of its own.
struct Network {
    struct InTransit {
        std::int64_t at;
        int to;  // 0: a, 1: b
        Bytes bytes;
    };
    int drop = 0, duplicate = 0, reorder = 0;
    std::mt19937 random{7};
    std::vector<InTransit> transit;
    std::int64_t now = 0;

    void Put(int to, const Bytes& bytes) {
        if (Roll(drop))
            return;
        const int copies = Roll(duplicate) ? 2 : 1;
        for (int i = 0; i < copies; ++i) {
            const std::int64_t delay = 5 + (Roll(reorder) ? static_cast<int>(random() % 40) : 0);
            transit.push_back({now + delay, to, bytes});
        }
    }
    bool Roll(int percent) { return static_cast<int>(random() % 100) < percent; }
};

struct Pair {
    Network net;
    std::vector<Bytes> atB;
    std::vector<Bytes> atA;
    std::size_t mostOutstanding = 0;
    rp::Link a{1, 2, [this](const Bytes& f) { net.Put(1, f); },
               [this](const rp::Frame&, Bytes m) { atA.push_back(std::move(m)); }};
    rp::Link b{2, 1, [this](const Bytes& f) { net.Put(0, f); },
               [this](const rp::Frame&, Bytes m) { atB.push_back(std::move(m)); }};

    // Runs the network for `ms` in 1 ms steps.
    void Run(std::int64_t ms) {
        for (std::int64_t end = net.now + ms; net.now < end; ++net.now) {
            auto due = std::stable_partition(net.transit.begin(), net.transit.end(),
                                             [&](const auto& t) { return t.at > net.now; });
            std::vector<Network::InTransit> arriving(std::make_move_iterator(due),
                                                     std::make_move_iterator(net.transit.end()));
            net.transit.erase(due, net.transit.end());
            for (auto& t : arriving) {
                auto frame = rp::DecodeFrame(t.bytes);
                ASSERT_TRUE(frame);
                (t.to == 0 ? a : b).OnFrame(*frame, net.now);
            }
            a.Tick(net.now);
            b.Tick(net.now);
            mostOutstanding = std::max(mostOutstanding, a.Outstanding());
        }
    }
};

Bytes Numbered(std::uint32_t n, std::size_t size) {
    Bytes m(std::max<std::size_t>(size, 4), static_cast<std::uint8_t>(n * 31));
    for (unsigned i = 0; i < 4; ++i)
        m[i] = static_cast<std::uint8_t>(n >> (8 * i));
    return m;
}

TEST(ReliableLink, EveryReliableMessageArrivesOnceAndInOrderThroughABadNetwork) {
    struct Row {
        const char* name;
        int drop, duplicate, reorder;
    };
    for (const Row row :
         {Row{"clean", 0, 0, 0}, Row{"20 % lost, duplicated, reordered", 20, 10, 20},
          Row{"40 % lost", 40, 0, 0}}) {
        SCOPED_TRACE(row.name);
        Pair p;
        p.net.drop = row.drop;
        p.net.duplicate = row.duplicate;
        p.net.reorder = row.reorder;
        std::vector<Bytes> sent;
        for (std::uint32_t n = 0; n < 600; ++n) {
            // Mostly small, now and then one that spans several frames.
            sent.push_back(Numbered(n, n % 50 == 0 ? 3000 : 40));
            p.a.Send(1, 2, sent.back(), true, p.net.now);
            p.Run(2);
        }
        p.Run(120000);
        ASSERT_EQ(p.atB.size(), sent.size())
            << "holes " << p.b.Stats().holesSkipped << " dead " << p.a.Dead() << " outstanding "
            << p.a.Outstanding() << " waiting " << p.a.Waiting() << " retries "
            << p.a.Stats().retransmissions << " retry ms " << p.a.Rtt().RetryMs();
        for (std::size_t i = 0; i < sent.size(); ++i)
            ASSERT_TRUE(p.atB[i] == sent[i]) << "message " << i << " out of place";
        EXPECT_LE(p.mostOutstanding, rp::kWindow);
        EXPECT_EQ(p.a.Outstanding(), 0u);
        EXPECT_FALSE(p.a.Dead());
        if (row.drop) {
            EXPECT_GT(p.a.Stats().retransmissions, 0u);
        } else {
            EXPECT_EQ(p.a.Stats().retransmissions, 0u);
        }
    }
}

TEST(ReliableLink, RetriesAskForAnAckAndCountTheirSerial) {
    std::vector<rp::Frame> onWire;
    rp::Link lonely(
        1, 2, [&](const Bytes& f) { onWire.push_back(*rp::DecodeFrame(f)); },
        [](const rp::Frame&, Bytes) {});
    lonely.Send(1, 2, Hex({1, 2, 3}), true, 0);
    for (std::int64_t t = 0; t <= 5000; t += 10)
        lonely.Tick(t);
    ASSERT_GE(onWire.size(), 3u);
    EXPECT_EQ(onWire[0].messageId, 1);  // numbering starts at 1
    EXPECT_EQ(onWire[0].sequence, 1);
    for (std::size_t i = 0; i < onWire.size(); ++i) {
        EXPECT_EQ(onWire[i].sequence, 1);
        EXPECT_EQ(onWire[i].serial, i);
        EXPECT_TRUE(i == 0 || (onWire[i].flags & rp::flag::kSak)) << i;
    }
    // With nobody answering, the link gives up after 30 s of retries, not before.
    for (std::int64_t t = 5000; t < rp::Link::kGiveUpMs - 100; t += 100)
        lonely.Tick(t);
    EXPECT_FALSE(lonely.Dead());
    for (std::int64_t t = rp::Link::kGiveUpMs - 100; t <= rp::Link::kGiveUpMs + 3000; t += 100)
        lonely.Tick(t);
    EXPECT_TRUE(lonely.Dead());
}

// However long its sender takes to get it through (an outage of 15 s here), a missing
// guaranteed frame is waited for: the frames after it are held, nothing is skipped.
TEST(ReliableLink, AGuaranteedFrameIsWaitedForThroughAnOutage) {
    Pair p;
    p.a.Send(1, 2, Hex({1}), true, 0);
    p.Run(50);
    p.net.drop = 100;
    p.a.Send(1, 2, Hex({2}), true, p.net.now);
    p.Run(1);
    p.net.drop = 0;
    p.a.Send(1, 2, Hex({3}), true, p.net.now);  // arrives, held behind the gap
    p.Run(1);
    p.net.drop = 100;
    p.Run(15000);
    EXPECT_EQ(p.atB, (std::vector<Bytes>{Hex({1})}));
    p.net.drop = 0;
    p.Run(5000);
    EXPECT_EQ(p.atB, (std::vector<Bytes>{Hex({1}), Hex({2}), Hex({3})}));
    EXPECT_EQ(p.b.Stats().holesSkipped, 0u);
    EXPECT_FALSE(p.a.Dead());
    EXPECT_EQ(p.a.Outstanding(), 0u);
}

// Frames of a message more than 23 past the earliest one being received are ignored, and a
// message growing beyond the largest a sender may send is dropped, not held without end.
TEST(ReliableLink, TheReceiveWindowAndTheMessageSizeAreBounded) {
    Pair p;
    using namespace rp::flag;
    auto frame = [](std::uint8_t flags, std::uint8_t id, std::uint8_t seq, Bytes data) {
        return Frame12(static_cast<std::uint8_t>(kCmd | flags), id, seq, 0, std::move(data));
    };
    p.b.OnFrame(frame(kSta | kEom | kRly, 1, 1, Hex({1})), 0);
    ASSERT_EQ(p.atB.size(), 1u);
    // Message 2 is the next due: 2 + 23 is the last one taken.
    p.b.OnFrame(frame(kSta | kEom | kRly, 26, 3, Hex({26})), 0);
    EXPECT_EQ(p.b.Stats().ignored, 1u);
    p.b.OnFrame(frame(kSta | kEom | kRly, 25, 4, Hex({25})), 0);
    EXPECT_EQ(p.b.Stats().ignored, 1u);  // held, behind sequence 2
    p.b.OnFrame(frame(kSta | kEom | kRly, 2, 2, Hex({2})), 0);
    p.b.OnFrame(frame(kSta | kEom | kRly, 26, 3, Hex({26})), 0);  // now inside
    EXPECT_EQ(p.atB, (std::vector<Bytes>{Hex({1}), Hex({2}), Hex({26}), Hex({25})}));

    std::uint8_t seq = 5;
    const Bytes part(rp::kMaxFrameData, 0xAB);
    p.b.OnFrame(frame(kSta | kRly, 27, seq++, part), 0);
    for (std::size_t i = 1; i <= rp::kMaxMessageSize / rp::kMaxFrameData; ++i)
        p.b.OnFrame(frame(kRly, 27, seq++, part), 0);
    p.b.OnFrame(frame(kEom | kRly, 27, seq++, part), 0);
    EXPECT_EQ(p.atB.size(), 4u);
    EXPECT_EQ(p.b.Stats().oversized, 1u);
    p.b.OnFrame(frame(kSta | kEom | kRly, 28, seq++, Hex({28})), 0);
    EXPECT_EQ(p.atB.back(), Hex({28}));
}

// Every instance of a frame of one message takes the message's next serial: the frames of a
// three-frame message go out as 0, 1, 2 and a lost second frame comes again as 3.
TEST(ReliableLink, ARetryContinuesItsMessagesSerialCount) {
    Pair p;
    std::vector<rp::Frame> sent;
    rp::Link a(
        1, 2,
        [&](const Bytes& f) {
            sent.push_back(*rp::DecodeFrame(f));
            if (sent.size() != 2)  // the second frame is lost once
                p.net.Put(1, f);
        },
        [](const rp::Frame&, Bytes) {});
    rp::Link b(
        2, 1, [&](const Bytes& f) { a.OnFrame(*rp::DecodeFrame(f), p.net.now); },
        [&](const rp::Frame&, Bytes m) { p.atB.push_back(std::move(m)); });
    a.Send(1, 2, Bytes(2 * rp::kMaxFrameData + 10, 7), true, 0);
    for (; p.net.now < 5000 && a.Outstanding(); ++p.net.now) {
        for (auto& t : p.net.transit)
            if (t.at == p.net.now)
                b.OnFrame(*rp::DecodeFrame(t.bytes), p.net.now);
        a.Tick(p.net.now);
    }
    ASSERT_EQ(p.atB.size(), 1u);
    ASSERT_GE(sent.size(), 4u);
    EXPECT_EQ(sent[0].serial, 0);
    EXPECT_EQ(sent[1].serial, 1);
    EXPECT_EQ(sent[2].serial, 2);
    EXPECT_EQ(sent[3].sequence, sent[1].sequence);
    EXPECT_EQ(sent[3].serial, 3);
}

TEST(ReliableLink, AMessageAWindowPastAGapProvesTheGapUnreliable) {
    Pair p;
    p.a.Send(1, 2, Hex({1}), true, 0);
    p.Run(50);
    p.net.drop = 100;
    p.a.Send(1, 2, Hex({9}), false, p.net.now);  // lost
    p.net.drop = 0;
    // Unreliable messages pass on at once, the gap before them still open...
    for (std::uint8_t n = 0; n < 22; ++n)
        p.a.Send(1, 2, Hex({0xF0, n}), false, p.net.now);
    p.a.Send(1, 2, Hex({2}), true, p.net.now);
    p.Run(50);
    ASSERT_EQ(p.atB.size(), 23u);
    EXPECT_EQ(p.b.Stats().holesSkipped, 0u);
    // ...until a message more than a window past it shows it was no reliable one.
    p.a.Send(1, 2, Hex({0xF1}), false, p.net.now);
    p.Run(50);
    ASSERT_EQ(p.atB.size(), 25u);
    EXPECT_EQ(p.atB[23], Hex({0xF1}));  // unreliable: passed on as it came
    EXPECT_EQ(p.atB[24], Hex({2}));     // then the reliable one, the gap given up
    EXPECT_EQ(p.b.Stats().holesSkipped, 1u);
    p.Run(500);
    EXPECT_EQ(p.a.Outstanding(), 0u);
}

// The very first frames overtaken by later ones (or lost once): the receiver still starts at 1.
TEST(ReliableLink, TheFirstFramesMayComeLast) {
    Pair p;
    p.net.drop = 100;
    p.a.Send(1, 2, Hex({1}), true, 0);
    p.a.Send(1, 2, Hex({2}), true, 0);
    p.net.drop = 0;
    p.a.Send(1, 2, Hex({3}), true, 0);
    p.Run(5000);
    EXPECT_EQ(p.atB, (std::vector<Bytes>{Hex({1}), Hex({2}), Hex({3})}));
    EXPECT_EQ(p.a.Outstanding(), 0u);
}

TEST(ReliableLink, ReceiverTakesAPeerThatCountsFromZero) {
    // The document's own example numbers its first message and frame 0.
    Pair p;
    using namespace rp::flag;
    p.b.OnFrame(Frame12(kCmd | kSta | kRly, 0, 0, 0, Hex({'a'})), 0);
    p.b.OnFrame(Frame12(kCmd | kRly, 0, 1, 1, Hex({'b'})), 0);
    p.b.OnFrame(Frame12(kCmd | kEom | kRly, 0, 2, 2, Hex({'c'})), 0);
    p.b.OnFrame(Frame12(kCmd | kEom | kRly, 0, 2, 2, Hex({'c'})), 0);  // again
    EXPECT_EQ(p.atB, (std::vector<Bytes>{Hex({'a', 'b', 'c'})}));
    EXPECT_EQ(p.b.Stats().duplicates, 1u);
}

}  // namespace
