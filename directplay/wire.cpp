#include "directplay/wire.h"

#include <stdexcept>

#include "directplay/wire_internal.h"

// Frames, the TCP framer and the structures messages are made of; the messages themselves are
// in wire_messages.cpp.

namespace directplay::wire {

using namespace internal;

Bytes EncodeSockAddr(const SockAddr& address) {
    Writer w;
    PutSockAddr(w, address);
    return w.Take();
}

Bytes EncodeRawFrame(const SockAddr& sender, std::span<const std::uint8_t> payload) {
    const std::size_t size = kPrefixSize + payload.size();
    if (size > kMaxFrameSize)
        throw std::length_error("DirectPlay message too large");
    Writer w;
    w.U32((kTokenRemote << 20) | static_cast<std::uint32_t>(size));
    PutSockAddr(w, sender);
    w.Put(payload);
    return w.Take();
}

Bytes EncodeFrame(const SockAddr& sender, Command command, std::uint16_t version,
                  std::span<const std::uint8_t> body) {
    Writer w;
    w.U32(kSignature);
    w.U16(static_cast<std::uint16_t>(command));
    w.U16(version);
    w.Put(body);
    Bytes payload = w.Take();
    return EncodeRawFrame(sender, payload);
}

std::optional<Frame> DecodeFrame(std::span<const std::uint8_t> bytes) {
    try {
        Reader r(bytes);
        const std::uint32_t word = r.U32();
        const std::uint32_t token = word >> 20;
        if (token != 0xFAB && token != 0xCAB && token != 0xBAB)
            return std::nullopt;
        if ((word & 0xFFFFF) != bytes.size())
            return std::nullopt;
        Frame f;
        f.sender = GetSockAddr(r);
        if (r.Left() >= 8) {
            Reader peek(bytes, r.At());
            if (peek.U32() == kSignature) {
                f.isSystem = true;
                f.command = static_cast<Command>(peek.U16());
                f.version = peek.U16();
                auto body = bytes.subspan(peek.At());
                f.body.assign(body.begin(), body.end());
                return f;
            }
        }
        auto body = bytes.subspan(r.At());
        f.body.assign(body.begin(), body.end());
        return f;
    } catch (const Malformed&) {
        return std::nullopt;
    }
}

void StreamFramer::Append(std::span<const std::uint8_t> bytes) {
    if (m_broken)
        return;
    if (m_start > 0 && m_start == m_buffer.size()) {
        m_buffer.clear();
        m_start = 0;
    }
    m_buffer.insert(m_buffer.end(), bytes.begin(), bytes.end());
}

std::optional<Bytes> StreamFramer::Next() {
    if (m_broken || Buffered() < 4)
        return std::nullopt;
    const std::uint8_t* p = m_buffer.data() + m_start;
    const std::uint32_t word = LoadU32(p);
    const std::uint32_t token = word >> 20;
    const std::size_t size = word & 0xFFFFF;
    if ((token != 0xFAB && token != 0xCAB && token != 0xBAB) || size < kPrefixSize) {
        m_broken = true;
        return std::nullopt;
    }
    if (Buffered() < size)
        return std::nullopt;
    Bytes frame(p, p + size);
    m_start += size;
    if (m_start == m_buffer.size()) {
        m_buffer.clear();
        m_start = 0;
    } else if (m_start > 65536) {
        m_buffer.erase(m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(m_start));
        m_start = 0;
    }
    return frame;
}

Bytes EncodeSessionDesc(const SessionDesc& desc) {
    Writer w;
    PutSessionDesc(w, desc);
    return w.Take();
}

std::optional<SessionDesc> DecodeSessionDesc(std::span<const std::uint8_t> bytes) {
    try {
        Reader r(bytes);
        return GetSessionDesc(r);
    } catch (const Malformed&) {
        return std::nullopt;
    }
}

Bytes EncodePackedPlayer(const PlayerInfo& player) {
    Writer w;
    PutPackedPlayer(w, player);
    return w.Take();
}

std::optional<PlayerInfo> DecodePackedPlayer(std::span<const std::uint8_t> bytes) {
    try {
        Reader r(bytes);
        return GetPackedPlayer(r);
    } catch (const Malformed&) {
        return std::nullopt;
    }
}

Bytes EncodeSuperPackedPlayer(const PlayerInfo& p) {
    Writer w;
    std::uint32_t mask = 0;
    if (!p.shortName.empty())
        mask |= 0x1;
    if (!p.longName.empty())
        mask |= 0x2;
    const std::uint32_t spCode = p.hasAddresses ? WidthCode(kProviderDataSize) : 0;
    const std::uint32_t pdCode = p.playerData.empty() ? 0 : WidthCode(p.playerData.size());
    mask |= spCode << 2;
    mask |= pdCode << 4;
    w.U32(16);
    w.U32(p.flags);
    w.I32(p.id);
    w.U32(mask);
    if (p.flags & player_flag::kSystem)
        w.U32(p.version);
    else
        w.I32(p.systemPlayerId);
    if (mask & 0x1)
        w.Utf16z(p.shortName);
    if (mask & 0x2)
        w.Utf16z(p.longName);
    if (pdCode) {
        PutVarLength(w, pdCode, p.playerData.size());
        w.Put(p.playerData);
    }
    if (spCode) {
        PutVarLength(w, spCode, kProviderDataSize);
        PutSockAddr(w, p.stream);
        PutSockAddr(w, p.datagram);
    }
    return w.Take();
}

std::optional<PlayerInfo> DecodeSuperPackedPlayer(std::span<const std::uint8_t> bytes,
                                                  std::size_t& used) {
    try {
        Reader r(bytes);
        if (r.U32() != 16)
            return std::nullopt;
        PlayerInfo p;
        p.flags = r.U32();
        p.id = r.I32();
        const std::uint32_t mask = r.U32();
        const std::uint32_t versionOrSystem = r.U32();
        if (p.flags & player_flag::kSystem) {
            p.version = versionOrSystem;
            p.systemPlayerId = p.id;
        } else {
            p.systemPlayerId = static_cast<std::int32_t>(versionOrSystem);
        }
        if (mask & 0x1)
            p.shortName = r.Utf16z();
        if (mask & 0x2)
            p.longName = r.Utf16z();
        if (const std::uint32_t code = (mask >> 4) & 3) {
            auto data = r.Take(GetVarLength(r, code));
            p.playerData.assign(data.begin(), data.end());
        }
        if (const std::uint32_t code = (mask >> 2) & 3) {
            const std::size_t size = GetVarLength(r, code);
            GetAddresses(r, static_cast<std::uint32_t>(size), p);
        }
        if (const std::uint32_t code = (mask >> 6) & 3) {
            const std::size_t count = GetVarLength(r, code);
            if (count > r.Left() / 4)
                return std::nullopt;
            r.Skip(count * 4);
        }
        if (mask & 0x100)
            r.Skip(4);
        if (const std::uint32_t code = (mask >> 9) & 3) {
            const std::size_t count = GetVarLength(r, code);
            if (count > r.Left() / 4)
                return std::nullopt;
            r.Skip(count * 4);
        }
        used = r.At();
        return p;
    } catch (const Malformed&) {
        return std::nullopt;
    }
}

}  // namespace directplay::wire
