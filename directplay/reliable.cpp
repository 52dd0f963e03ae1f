#include "directplay/reliable.h"

#include <algorithm>
#include <cmath>

namespace directplay::reliable {

namespace {

constexpr std::int64_t kSakSpacingMs = 50;
constexpr int kSakEvery = 24;

void PutU32(Bytes& out, std::uint32_t v) {
    for (unsigned i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

std::uint32_t GetU32(std::span<const std::uint8_t> b, std::size_t at) {
    return std::uint32_t{b[at]} | (std::uint32_t{b[at + 1]} << 8) |
           (std::uint32_t{b[at + 2]} << 16) | (std::uint32_t{b[at + 3]} << 24);
}

std::uint8_t Distance(std::uint8_t from, std::uint8_t to) {
    return static_cast<std::uint8_t>(to - from);
}

}  // namespace

Bytes EncodeIndex(std::uint16_t v) {
    if (v < 0x80)
        return {static_cast<std::uint8_t>(v)};
    if (v < 0x4000)
        return {static_cast<std::uint8_t>(0x80 | (v & 0x7F)), static_cast<std::uint8_t>(v >> 7)};
    return {static_cast<std::uint8_t>(0x80 | (v & 0x7F)),
            static_cast<std::uint8_t>(0x80 | ((v >> 7) & 0x7F)),
            static_cast<std::uint8_t>(v >> 14)};
}

std::optional<std::uint16_t> DecodeIndex(std::span<const std::uint8_t> b, std::size_t& used) {
    if (b.empty())
        return std::nullopt;
    if (!(b[0] & 0x80)) {
        used = 1;
        return b[0];
    }
    if (b.size() < 2)
        return std::nullopt;
    if (!(b[1] & 0x80)) {
        used = 2;
        return static_cast<std::uint16_t>((b[0] & 0x7F) | (b[1] << 7));
    }
    // The third byte holds the top two bits; more would be beyond 16 bits.
    if (b.size() < 3 || b[2] > 3)
        return std::nullopt;
    used = 3;
    return static_cast<std::uint16_t>((b[0] & 0x7F) | ((b[1] & 0x7F) << 7) | (b[2] << 14));
}

Bytes EncodeFrame(const Frame& f) {
    Bytes out = EncodeIndex(f.fromIndex);
    const Bytes to = EncodeIndex(f.toIndex);
    out.insert(out.end(), to.begin(), to.end());
    const std::uint8_t flags = static_cast<std::uint8_t>(f.flags & ~(flag::kExt | flag::kBig));
    out.push_back(flags);
    out.push_back(f.messageId);
    out.push_back(f.sequence);
    out.push_back(f.serial);
    if (flags & flag::kAck) {
        PutU32(out, f.bytesReceived);
        PutU32(out, f.tickCount);
    } else {
        out.insert(out.end(), f.data.begin(), f.data.end());
    }
    return out;
}

std::optional<Frame> DecodeFrame(std::span<const std::uint8_t> b) {
    Frame f;
    std::size_t used = 0;
    auto from = DecodeIndex(b, used);
    if (!from)
        return std::nullopt;
    b = b.subspan(used);
    auto to = DecodeIndex(b, used);
    if (!to)
        return std::nullopt;
    b = b.subspan(used);
    f.fromIndex = *from;
    f.toIndex = *to;
    if (b.empty())
        return std::nullopt;
    f.flags = b[0];
    if (f.flags & flag::kBig)
        return std::nullopt;  // never implemented by anybody
    if (f.flags & flag::kAck) {
        if (f.flags & flag::kExt) {
            // A NACK: extended flags, message ID, sequence, bytes received, tick count, and a
            // mask of up to three bytes. Where the size of the mask sits in the extended
            // flags is read two ways by the document; the bytes that follow are the mask.
            if (b.size() < 12)
                return std::nullopt;
            f.messageId = b[2];
            f.sequence = b[3];
            f.bytesReceived = GetU32(b, 4);
            f.tickCount = GetU32(b, 8);
            const auto mask = b.subspan(12);
            f.nackMask.assign(
                mask.begin(),
                mask.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(mask.size(), 3)));
            return f;
        }
        if (b.size() < 12)
            return std::nullopt;
        f.messageId = b[1];
        f.sequence = b[2];
        f.serial = b[3];
        f.bytesReceived = GetU32(b, 4);
        f.tickCount = GetU32(b, 8);
        return f;
    }
    // A data frame must say so; one with extended flags is to be ignored.
    if (!(f.flags & flag::kCmd) || (f.flags & flag::kExt) || b.size() < 4)
        return std::nullopt;
    f.messageId = b[1];
    f.sequence = b[2];
    f.serial = b[3];
    f.data.assign(b.begin() + 4, b.end());
    return f;
}

void RoundTrip::Sample(std::int64_t ms) {
    const double s = static_cast<double>(std::max<std::int64_t>(ms, 0));
    if (m_samples++ == 0) {
        m_mean = s;
        m_deviation = s / 2;
        return;
    }
    m_deviation = 0.75 * m_deviation + 0.25 * std::abs(s - m_mean);
    m_mean = 0.875 * m_mean + 0.125 * s;
}

std::int64_t RoundTrip::RetryMs() const {
    if (m_samples == 0)
        return 1000;
    const auto ms = static_cast<std::int64_t>(std::ceil(m_mean + 3 * m_deviation));
    return std::clamp(ms, kMinRetryMs, kMaxRetryMs);
}

Link::Link(std::uint16_t localIndex, std::uint16_t remoteIndex, TransmitFn transmit,
           Deliver deliver)
    : m_localIndex(localIndex),
      m_remoteIndex(remoteIndex),
      m_transmit(std::move(transmit)),
      m_deliver(std::move(deliver)) {}

bool Link::Send(std::uint16_t fromIndex, std::uint16_t toIndex, Bytes message, bool reliable,
                std::int64_t nowMs) {
    if (message.size() > kMaxMessageSize)
        return false;
    m_waiting.push_back({fromIndex, toIndex, std::move(message), reliable});
    Pump(nowMs);
    return true;
}

void Link::Pump(std::int64_t nowMs) {
    std::size_t framesInFlight = 0;
    for (const auto& m : m_inFlight)
        framesInFlight += m.frames.size();
    // The window counts message IDs from the oldest reliable message not yet acknowledged,
    // unreliable ones included, so the receiver can tell a lost unreliable frame by it.
    auto windowOpen = [&] {
        return m_inFlight.empty() || Distance(m_inFlight.front().frames.front().frame.messageId,
                                              m_nextMessageId) < kWindow;
    };
    while (!m_waiting.empty() && windowOpen() && !m_dead) {
        Pending& next = m_waiting.front();
        const std::size_t count =
            std::max<std::size_t>(1, (next.message.size() + kMaxFrameData - 1) / kMaxFrameData);
        if (framesInFlight + count > kMaxFramesInFlight)
            break;
        OutMessage out;
        out.reliable = next.reliable;
        const std::uint8_t id = m_nextMessageId++;
        for (std::size_t i = 0; i < count; ++i) {
            OutFrame frame;
            frame.frame.fromIndex = next.fromIndex;
            frame.frame.toIndex = next.toIndex;
            frame.frame.flags = static_cast<std::uint8_t>(flag::kCmd | (i == 0 ? flag::kSta : 0) |
                                                          (i + 1 == count ? flag::kEom : 0) |
                                                          (next.reliable ? flag::kRly : 0));
            frame.frame.messageId = id;
            frame.frame.sequence = m_nextSequence++;
            frame.frame.serial = out.nextSerial++;
            const std::size_t begin = i * kMaxFrameData;
            const std::size_t end = std::min(next.message.size(), begin + kMaxFrameData);
            frame.frame.data.assign(next.message.begin() + static_cast<std::ptrdiff_t>(begin),
                                    next.message.begin() + static_cast<std::ptrdiff_t>(end));
            out.frames.push_back(std::move(frame));
        }
        m_waiting.pop_front();
        for (auto& frame : out.frames)
            TransmitFrame(out, frame, nowMs, false);
        // Unreliable messages are sent once and not kept.
        if (out.reliable) {
            framesInFlight += out.frames.size();
            m_inFlight.push_back(std::move(out));
        }
    }
}

void Link::TransmitFrame(OutMessage& message, OutFrame& out, std::int64_t nowMs, bool retry) {
    Frame& f = out.frame;
    f.flags = static_cast<std::uint8_t>(f.flags & ~flag::kSak);
    if (retry) {
        // Each instance of any frame of a message takes the message's next serial.
        f.serial = message.nextSerial++;
        ++m_stats.retransmissions;
    }
    // Windows asks for an immediate ACK on every retransmission, every 24 frames, and on
    // frames of reliable or unfinished messages at most every 50 ms and quarter round trip.
    const bool due = (!(f.flags & flag::kEom) || (f.flags & flag::kRly)) &&
                     nowMs - m_lastSakAt > kSakSpacingMs &&
                     nowMs - m_lastSakAt > m_rtt.MeanMs() / 4;
    if (retry || due || m_sinceSak >= kSakEvery) {
        f.flags |= flag::kSak;
        m_lastSakAt = nowMs;
        m_sinceSak = 0;
    } else {
        ++m_sinceSak;
    }
    if (out.sends == 0)
        out.firstSentAt = nowMs;
    out.sentAt = nowMs;
    ++out.sends;
    ++m_stats.framesSent;
    m_transmit(EncodeFrame(f));
}

void Link::OnFrame(const Frame& frame, std::int64_t nowMs) {
    if (frame.flags & flag::kAck)
        OnAck(frame, nowMs);
    else if (frame.IsData())
        OnData(frame, nowMs);
    else
        ++m_stats.ignored;
}

void Link::OnAck(const Frame& ack, std::int64_t nowMs) {
    if (m_inFlight.empty())
        return;
    OutFrame* oldest = nullptr;
    OutMessage* oldestMessage = nullptr;
    for (auto& m : m_inFlight) {
        for (auto& f : m.frames)
            if (!f.acked) {
                oldest = &f;
                oldestMessage = &m;
                break;
            }
        if (oldest)
            break;
    }
    if (!oldest)
        return;
    const std::uint8_t base = oldest->frame.sequence;
    const std::uint8_t span = Distance(base, m_nextSequence);
    const std::uint8_t upTo = Distance(base, ack.sequence);
    if (upTo >= span) {
        // An ACK of what came before the oldest frame still owed: the receiver has a gap there.
        if (upTo == 255 && !ack.IsNack()) {
            m_repeatedAcks = ack.sequence == m_lastAckSequence ? m_repeatedAcks + 1 : 1;
            m_lastAckSequence = ack.sequence;
            if (m_repeatedAcks == 3 && nowMs - oldest->sentAt >= m_rtt.MeanMs())
                TransmitFrame(*oldestMessage, *oldest, nowMs, true);
        }
        return;  // an ACK of something older, or of nothing we sent
    }
    m_repeatedAcks = 0;
    for (auto& m : m_inFlight)
        for (auto& f : m.frames) {
            if (f.acked || Distance(base, f.frame.sequence) > upTo)
                continue;
            if (ack.IsNack()) {
                // Frames reported missing go again now; what lies before them arrived.
                if (f.frame.sequence == ack.sequence)
                    TransmitFrame(m, f, nowMs, true);
                else
                    f.acked = true;
                continue;
            }
            f.acked = true;
            // Only a frame sent once, named by the ACK, gives a round trip, and only when the
            // ACK came within the timeout: a cumulative ACK may name a frame long after it
            // arrived, once a gap before it filled.
            const std::int64_t took = nowMs - f.sentAt;
            if (f.frame.sequence == ack.sequence && f.frame.serial == ack.serial && f.sends == 1 &&
                took < m_rtt.RetryMs())
                m_rtt.Sample(took);
        }
    while (!m_inFlight.empty() &&
           std::all_of(m_inFlight.front().frames.begin(), m_inFlight.front().frames.end(),
                       [](const OutFrame& f) { return f.acked; }))
        m_inFlight.pop_front();
    Pump(nowMs);
}

void Link::OnData(const Frame& frame, std::int64_t nowMs) {
    m_bytesReceived += static_cast<std::uint32_t>(4 + frame.data.size());
    if (!m_started) {
        m_started = true;
        // Numbering starts at 1; a first frame further on (one before it lost, or a peer that
        // counts from 0) starts the count where it stands.
        const bool fromOne = frame.sequence >= 1 && frame.sequence <= kWindow;
        m_cumulative = fromOne ? 0 : static_cast<std::uint8_t>(frame.sequence - 1);
        m_cumulativeFrame = Frame{};
        m_cumulativeFrame.messageId = fromOne ? 0 : static_cast<std::uint8_t>(frame.messageId - 1);
    }
    const std::uint8_t ahead = Distance(m_cumulative, frame.sequence);
    const bool wantsAck = frame.flags & (flag::kSak | flag::kEom);
    // A new frame of a message beyond the receive window is ignored; the sender sends it
    // again once the window has moved.
    if (ahead != 0 && ahead <= kMaxBufferedFrames && !m_ahead.count(frame.sequence) &&
        !InReceiveWindow(frame.messageId)) {
        ++m_stats.ignored;
        return;
    }
    if (ahead == 0 || ahead > kMaxBufferedFrames || m_ahead.count(frame.sequence)) {
        // Had already: its ACK may have been lost, so a reliable one is answered again. The
        // ACK names the instance that came last, so the sender can time that one.
        ++m_stats.duplicates;
        if (frame.sequence == m_cumulative)
            m_cumulativeFrame.serial = frame.serial;
        if (wantsAck || (frame.flags & flag::kRly))
            SendAck(nowMs);
        return;
    }
    Held& held = m_ahead.emplace(frame.sequence, Held{frame, false}).first->second;
    // An unreliable message of one frame needs no order: it is passed on at once.
    constexpr std::uint8_t kWhole = flag::kSta | flag::kEom;
    if (!(frame.flags & flag::kRly) && (frame.flags & kWhole) == kWhole &&
        frame.sequence != static_cast<std::uint8_t>(m_cumulative + 1)) {
        held.delivered = true;
        ++m_stats.delivered;
        m_deliver(frame, std::move(held.frame.data));
        held.frame.data.clear();
    }
    Advance(nowMs);
    // A message more than a window past the last one taken proves the gap before it was no
    // reliable message.
    auto pastTheWindow = [&] {
        const std::uint8_t d = Distance(LastTaken(), frame.messageId);
        return m_ahead.count(frame.sequence) && d > kWindow && d <= kMaxBufferedFrames;
    };
    while (pastTheWindow())
        SkipGap(nowMs);
    if (wantsAck)
        SendAck(nowMs);
}

std::uint8_t Link::LastTaken() const {
    // A message still being assembled is not taken yet.
    return static_cast<std::uint8_t>(m_cumulativeFrame.messageId - (m_assemblyOpen ? 1 : 0));
}

bool Link::InReceiveWindow(std::uint8_t messageId) const {
    // The earliest message being received: a guaranteed one assembled in order; else the
    // message of the frame held nearest the sequence received in order (an unreliable message
    // missing a part does not hold the window back); else the next one due.
    const std::uint8_t last = LastTaken();
    std::uint8_t earliest = static_cast<std::uint8_t>(last + 1);
    if (!(m_assemblyOpen && (m_cumulativeFrame.flags & flag::kRly))) {
        const Held* nearest = nullptr;
        std::uint8_t distance = 0;
        for (const auto& [sequence, held] : m_ahead) {
            const std::uint8_t d = Distance(m_cumulative, sequence);
            if (!nearest || d < distance)
                nearest = &held, distance = d;
        }
        if (nearest)
            earliest = nearest->frame.messageId;
    }
    // Frames that fill the gap before it belong to messages up to it; then 24 messages.
    const std::uint8_t d = Distance(last, messageId);
    return d != 0 && (d <= Distance(last, earliest) || Distance(earliest, messageId) < kWindow);
}

void Link::SkipGap(std::int64_t nowMs) {
    // The missing frame is not coming: a partly assembled message goes with it.
    ++m_cumulative;
    m_cumulativeFrame.messageId = static_cast<std::uint8_t>(m_cumulativeFrame.messageId + 1);
    m_assemblyOpen = m_assemblyDropped = false;
    m_assembling.clear();
    ++m_stats.holesSkipped;
    Advance(nowMs);
}

void Link::Advance(std::int64_t) {
    for (auto next = m_ahead.find(static_cast<std::uint8_t>(m_cumulative + 1));
         next != m_ahead.end(); next = m_ahead.find(static_cast<std::uint8_t>(m_cumulative + 1))) {
        Held held = std::move(next->second);
        Frame& f = held.frame;
        m_ahead.erase(next);
        ++m_cumulative;
        if (held.delivered) {
            m_cumulativeFrame = f;
            continue;
        }
        if (f.flags & flag::kSta) {
            m_assembling.clear();
            m_assemblyOpen = true;
            m_assemblyDropped = false;
        }
        if (m_assemblyOpen && !m_assemblyDropped &&
            m_assembling.size() + f.data.size() > kMaxMessageSize) {
            // Longer than any message a sender may send: its frames are taken in their turn,
            // but it is dropped whole, never held without end.
            m_assemblyDropped = true;
            m_assembling = Bytes();
            ++m_stats.oversized;
        }
        if (m_assemblyOpen && !m_assemblyDropped)
            m_assembling.insert(m_assembling.end(), f.data.begin(), f.data.end());
        const bool complete = (f.flags & flag::kEom) && m_assemblyOpen && !m_assemblyDropped;
        if ((f.flags & flag::kEom) && m_assemblyDropped)
            m_assemblyOpen = m_assemblyDropped = false;
        f.data.clear();
        m_cumulativeFrame = f;
        if (complete) {
            m_assemblyOpen = false;
            ++m_stats.delivered;
            m_deliver(f, std::move(m_assembling));
            m_assembling.clear();
        }
    }
}

void Link::SendAck(std::int64_t nowMs) {
    if (!m_started)
        return;
    Frame ack;
    ack.fromIndex = m_localIndex;
    ack.toIndex = m_remoteIndex;
    ack.flags = flag::kAck;
    ack.messageId = m_cumulativeFrame.messageId;
    ack.sequence = m_cumulative;
    ack.serial = m_cumulativeFrame.serial;
    ack.bytesReceived = m_bytesReceived;
    ack.tickCount = static_cast<std::uint32_t>(nowMs);
    m_transmit(EncodeFrame(ack));
}

void Link::Tick(std::int64_t nowMs) {
    if (m_dead)
        return;
    const std::int64_t retry = m_rtt.RetryMs();
    for (auto& m : m_inFlight)
        for (auto& f : m.frames) {
            if (f.acked)
                continue;
            // Each retry waits a little longer, up to four times the timeout or 2 s.
            const std::int64_t wait =
                std::min(retry * std::min(f.sends, 4), std::max(retry, RoundTrip::kMaxRetryMs));
            if (nowMs - f.sentAt < wait)
                continue;
            if (f.sends >= kGiveUpSends && nowMs - f.firstSentAt >= kGiveUpMs) {
                m_dead = true;
                return;
            }
            TransmitFrame(m, f, nowMs, true);
        }
}

}  // namespace directplay::reliable
