#pragma once

// DirectPlay's reliable protocol: the frames a session with the reliable-protocol flag carries
// its traffic in once a machine has joined, and the state of one link between two machines
// (numbering, acknowledgement, retransmission, ordering, window). Pure: no sockets and no
// clock of its own; the session hands it received frames and the time, and it hands back
// frames to transmit and messages to deliver.
//
// Where the published protocol leaves a choice, this implementation reads it as follows, and
// its receiving side tolerates the other reading:
// - Carrier: frames travel as UDP datagrams to the machine's datagram address, bare (no
//   service-provider prefix): the protocol retransmits by itself and names UDP among its
//   transports. A frame arriving behind a prefix, or on TCP, is read too.
// - The frame's data is the DirectPlay message as the service provider would carry it, without
//   the prefix: system messages from the "play" signature, player messages with their idFrom
//   and idTo words (the protocol is an envelope around them). Data whose first words are not
//   the sender's IDs is read as bare application data addressed by the index header.
// - ACKs are cumulative: sequence = the last frame received in order; messageid and serial
//   are that frame's. An ACK for sequence n frees every frame up to n.
// - Like Windows, no NACK frame and no extended-flags byte is ever sent; a data frame with
//   EXT is ignored, and a received NACK only brings its frames' retransmission forward.
// - Sequences start at 1 and message IDs at 1 (the document's example starts both at 0: a
//   first frame numbered 0 is accepted).

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <vector>

namespace directplay::reliable {

using Bytes = std::vector<std::uint8_t>;

namespace flag {
inline constexpr std::uint8_t kExt = 0x80;
inline constexpr std::uint8_t kBig = 0x40;
inline constexpr std::uint8_t kCmd = 0x20;  // a data frame
inline constexpr std::uint8_t kSta = 0x10;
inline constexpr std::uint8_t kEom = 0x08;
inline constexpr std::uint8_t kSak = 0x04;
inline constexpr std::uint8_t kAck = 0x02;
inline constexpr std::uint8_t kRly = 0x01;
}  // namespace flag

inline constexpr std::size_t kWindow = 24;          // message IDs outstanding on a link
inline constexpr std::size_t kMaxFrameData = 1024;  // a longer message spans several frames
// Frames of one link in flight at once: well inside the 8-bit sequence space, so that a
// sequence number never stands for two frames the receiver may still hold. A message takes
// at most that many frames.
inline constexpr std::size_t kMaxFramesInFlight = 100;
inline constexpr std::size_t kMaxMessageSize = kMaxFramesInFlight * kMaxFrameData;

// A player index in 1 to 3 bytes of 7 bits, least significant first.
Bytes EncodeIndex(std::uint16_t index);
std::optional<std::uint16_t> DecodeIndex(std::span<const std::uint8_t> bytes, std::size_t& used);

struct Frame {
    std::uint16_t fromIndex = 0;
    std::uint16_t toIndex = 0;
    std::uint8_t flags = 0;
    std::uint8_t messageId = 0;
    std::uint8_t sequence = 0;
    std::uint8_t serial = 0;             // data frames and ACKs
    std::uint32_t bytesReceived = 0;     // ACKs and NACKs
    std::uint32_t tickCount = 0;         // ACKs and NACKs
    std::vector<std::uint8_t> nackMask;  // NACKs
    Bytes data;                          // data frames

    bool IsData() const { return (flags & flag::kCmd) && !(flags & flag::kAck); }
    bool IsNack() const { return (flags & flag::kAck) && (flags & flag::kExt); }
};

// A data frame or an ACK, with its index header. ACK frames carry flags kAck alone.
Bytes EncodeFrame(const Frame& frame);
// nullopt for a frame that does not parse or that the protocol says to ignore (a data frame
// with EXT or BIG, an ACK with BIG, a header index beyond 16 bits).
std::optional<Frame> DecodeFrame(std::span<const std::uint8_t> bytes);

// Round-trip estimate and the retry timeout from it: the mean plus three deviations, 1 s
// before the first sample, within [kMinRetryMs, kMaxRetryMs].
class RoundTrip {
public:
    static constexpr std::int64_t kMinRetryMs = 25;
    static constexpr std::int64_t kMaxRetryMs = 2000;
    void Sample(std::int64_t ms);
    std::int64_t RetryMs() const;
    std::int64_t MeanMs() const { return m_samples ? static_cast<std::int64_t>(m_mean) : 0; }

private:
    double m_mean = 0;
    double m_deviation = 0;
    int m_samples = 0;
};

struct LinkStats {
    std::uint64_t framesSent = 0;
    std::uint64_t retransmissions = 0;
    std::uint64_t duplicates = 0;
    std::uint64_t ignored = 0;
    std::uint64_t holesSkipped = 0;
    std::uint64_t delivered = 0;
    std::uint64_t oversized = 0;  // messages dropped for growing beyond kMaxMessageSize
};

// One link: everything this machine sends to one other machine, and everything it receives
// from it.
class Link {
public:
    // A guaranteed frame that has gone unacknowledged this long (sent at least kGiveUpSends
    // times) ends the link: the machine behind it is lost, loudly, never a message skipped.
    static constexpr std::int64_t kGiveUpMs = 30000;
    static constexpr int kGiveUpSends = 8;
    // Data frames are taken for messages from the earliest one still being received to 23
    // past it; others are ignored. A gap in the received sequence is given up only when a
    // message more than a window past the last one taken shows the missing frame was no
    // reliable one (a sender cannot get that far ahead of a reliable message it still owes);
    // a missing guaranteed frame is waited for as long as its sender retries.
    static constexpr std::size_t kMaxBufferedFrames = 128;

    using TransmitFn = std::function<void(const Bytes& frame)>;
    using Deliver = std::function<void(const Frame& last, Bytes message)>;

    Link(std::uint16_t localIndex, std::uint16_t remoteIndex, TransmitFn transmit, Deliver deliver);

    // Queues a message from one player index to another; frames leave as the window allows.
    // False for a message longer than kMaxMessageSize.
    bool Send(std::uint16_t fromIndex, std::uint16_t toIndex, Bytes message, bool reliable,
              std::int64_t nowMs);
    void OnFrame(const Frame& frame, std::int64_t nowMs);
    // Retransmissions due by now; gives the link up when one is owed too long.
    void Tick(std::int64_t nowMs);

    bool Dead() const { return m_dead; }
    std::size_t Outstanding() const { return m_inFlight.size(); }
    std::size_t Waiting() const { return m_waiting.size(); }
    const LinkStats& Stats() const { return m_stats; }
    const RoundTrip& Rtt() const { return m_rtt; }

private:
    struct OutFrame {
        Frame frame;
        std::int64_t firstSentAt = 0;
        std::int64_t sentAt = 0;
        int sends = 0;
        bool acked = false;
    };
    struct OutMessage {
        bool reliable = true;
        std::uint8_t nextSerial = 0;  // a retry continues the message's count
        std::vector<OutFrame> frames;
    };
    struct Pending {
        std::uint16_t fromIndex;
        std::uint16_t toIndex;
        Bytes message;
        bool reliable;
    };

    void Pump(std::int64_t nowMs);
    void TransmitFrame(OutMessage& message, OutFrame& out, std::int64_t nowMs, bool retry);
    void OnAck(const Frame& ack, std::int64_t nowMs);
    void OnData(const Frame& frame, std::int64_t nowMs);
    void Advance(std::int64_t nowMs);
    void SendAck(std::int64_t nowMs);
    void SkipGap(std::int64_t nowMs);
    // Whether a new frame of this message is taken: from the earliest message still being
    // received to 23 past it.
    bool InReceiveWindow(std::uint8_t messageId) const;
    // The last message taken whole (or given up), from which the gap proof counts.
    std::uint8_t LastTaken() const;

    std::uint16_t m_localIndex;
    std::uint16_t m_remoteIndex;
    TransmitFn m_transmit;
    Deliver m_deliver;
    LinkStats m_stats;
    RoundTrip m_rtt;
    bool m_dead = false;

    // Sending.
    std::uint8_t m_nextMessageId = 1;
    std::uint8_t m_nextSequence = 1;
    std::deque<OutMessage> m_inFlight;
    std::deque<Pending> m_waiting;
    std::int64_t m_lastSakAt = -1000000;
    int m_sinceSak = 0;
    // The same cumulative ACK again and again while later frames arrive: the frame after it
    // was lost, and goes again without waiting for its timeout.
    std::uint8_t m_lastAckSequence = 0;
    int m_repeatedAcks = 0;

    // Receiving.
    bool m_started = false;
    std::uint8_t m_cumulative = 0;  // the last sequence received in order
    Frame m_cumulativeFrame;        // its message ID and serial, for the ACK
    struct Held {
        Frame frame;
        bool delivered = false;  // an unreliable one-frame message, passed on at once
    };
    std::map<std::uint8_t, Held> m_ahead;  // by sequence, up to 128 past m_cumulative
    Bytes m_assembling;
    bool m_assemblyOpen = false;
    bool m_assemblyDropped = false;  // too long: its remaining frames are taken and dropped
    std::uint32_t m_bytesReceived = 0;
};

// A seeded stand-in for a bad network on the datagram path: drops, duplicates and holds back
// (reorders) datagrams. Used by tests, the benchmark and simhost --loss; off by default.
struct Impairment {
    int dropPercent = 0;
    int duplicatePercent = 0;
    int reorderPercent = 0;
    std::uint32_t seed = 1;
    bool Active() const { return dropPercent || duplicatePercent || reorderPercent; }
};

}  // namespace directplay::reliable
