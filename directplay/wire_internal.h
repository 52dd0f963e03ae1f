#pragma once

// The byte-level readers and writers the wire codecs share, and the structures every message
// is made of. For the codec files only.

#include <cstring>
#include <stdexcept>
#include <string>

#include "directplay/wire.h"

namespace directplay::wire::internal {

// Thrown inside this file only, when a read would leave the bytes at hand.
struct Malformed {};

class Writer {
public:
    void U8(std::uint8_t v) { m_bytes.push_back(v); }
    void U16(std::uint16_t v) {
        U8(static_cast<std::uint8_t>(v));
        U8(static_cast<std::uint8_t>(v >> 8));
    }
    void U32(std::uint32_t v) {
        U16(static_cast<std::uint16_t>(v));
        U16(static_cast<std::uint16_t>(v >> 16));
    }
    void I32(std::int32_t v) { U32(static_cast<std::uint32_t>(v)); }
    void Put(std::span<const std::uint8_t> bytes) {
        m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
    }
    void Zeros(std::size_t n) { m_bytes.insert(m_bytes.end(), n, 0); }
    void Utf16z(std::u16string_view text) {
        for (char16_t c : text)
            U16(c);
        U16(0);
    }
    void PatchU32(std::size_t at, std::uint32_t v) {
        for (unsigned i = 0; i < 4; ++i)
            m_bytes[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
    std::size_t Size() const { return m_bytes.size(); }
    Bytes Take() { return std::move(m_bytes); }

private:
    Bytes m_bytes;
};

class Reader {
public:
    explicit Reader(std::span<const std::uint8_t> bytes, std::size_t at = 0)
        : m_bytes(bytes), m_at(at) {
        if (at > bytes.size())
            throw Malformed{};
    }
    std::uint8_t U8() {
        Need(1);
        return m_bytes[m_at++];
    }
    std::uint16_t U16() {
        Need(2);
        const std::uint16_t v = LoadU16(m_bytes.data() + m_at);
        m_at += 2;
        return v;
    }
    std::uint32_t U32() {
        Need(4);
        const std::uint32_t v = LoadU32(m_bytes.data() + m_at);
        m_at += 4;
        return v;
    }
    std::int32_t I32() { return static_cast<std::int32_t>(U32()); }
    std::span<const std::uint8_t> Take(std::size_t n) {
        Need(n);
        auto part = m_bytes.subspan(m_at, n);
        m_at += n;
        return part;
    }
    // A zero-terminated UTF-16 string that must end inside the bytes.
    std::u16string Utf16z() {
        std::u16string text;
        for (;;) {
            char16_t c = U16();
            if (c == 0)
                return text;
            text.push_back(c);
        }
    }
    void Skip(std::size_t n) { Need(n), m_at += n; }
    std::size_t At() const { return m_at; }
    std::size_t Left() const { return m_bytes.size() - m_at; }

private:
    void Need(std::size_t n) const {
        if (n > m_bytes.size() - m_at)
            throw Malformed{};
    }
    std::span<const std::uint8_t> m_bytes;
    std::size_t m_at;
};

// Offsets inside a message count from its signature; its body starts 8 bytes later.
inline constexpr std::size_t kBodyAt = 8;

inline std::size_t BodyIndex(std::uint32_t offset) {
    if (offset < kBodyAt)
        throw Malformed{};
    return offset - kBodyAt;
}

inline void PutGuid(Writer& w, const Guid& g) {
    w.Put(g);
}
inline Guid GetGuid(Reader& r) {
    Guid g{};
    auto part = r.Take(16);
    std::copy(part.begin(), part.end(), g.begin());
    return g;
}

inline void PutSockAddr(Writer& w, const SockAddr& a) {
    w.U16(2);
    w.U8(static_cast<std::uint8_t>(a.port >> 8));
    w.U8(static_cast<std::uint8_t>(a.port));
    for (int shift = 24; shift >= 0; shift -= 8)
        w.U8(static_cast<std::uint8_t>(a.address >> shift));
    w.Zeros(8);
}

inline SockAddr GetSockAddr(Reader& r) {
    r.U16();  // family: Windows only ever sends AF_INET here
    SockAddr a;
    a.port = static_cast<std::uint16_t>(r.U8() << 8);
    a.port = static_cast<std::uint16_t>(a.port | r.U8());
    for (int i = 0; i < 4; ++i)
        a.address = (a.address << 8) | std::uint32_t{r.U8()};
    r.Skip(8);
    return a;
}

inline void PutSessionDesc(Writer& w, const SessionDesc& d) {
    w.U32(kSessionDescSize);
    w.U32(d.flags);
    PutGuid(w, d.instance);
    PutGuid(w, d.application);
    w.U32(d.maxPlayers);
    w.U32(d.currentPlayers);
    w.U32(0);  // name pointer
    w.U32(0);  // password pointer
    w.U32(d.reserved1);
    w.U32(d.reserved2);
    for (auto u : d.user)
        w.U32(u);
}

inline SessionDesc GetSessionDesc(Reader& r) {
    if (r.U32() != kSessionDescSize)
        throw Malformed{};
    SessionDesc d;
    d.flags = r.U32();
    d.instance = GetGuid(r);
    d.application = GetGuid(r);
    d.maxPlayers = r.U32();
    d.currentPlayers = r.U32();
    r.Skip(8);
    d.reserved1 = r.U32();
    d.reserved2 = r.U32();
    for (auto& u : d.user)
        u = r.U32();
    return d;
}

inline std::size_t Utf16zBytes(const std::u16string& s) {
    return s.empty() ? 0 : 2 * (s.size() + 1);
}

inline void PutPackedPlayer(Writer& w, const PlayerInfo& p) {
    const std::size_t shortBytes = Utf16zBytes(p.shortName);
    const std::size_t longBytes = Utf16zBytes(p.longName);
    const std::size_t spBytes = p.hasAddresses ? kProviderDataSize : 0;
    w.U32(static_cast<std::uint32_t>(kPackedPlayerFixedSize + shortBytes + longBytes + spBytes +
                                     p.playerData.size()));
    w.U32(p.flags);
    w.I32(p.id);
    w.U32(static_cast<std::uint32_t>(shortBytes));
    w.U32(static_cast<std::uint32_t>(longBytes));
    w.U32(static_cast<std::uint32_t>(spBytes));
    w.U32(static_cast<std::uint32_t>(p.playerData.size()));
    w.U32(0);  // number of players: not a group
    w.I32(p.systemPlayerId);
    w.U32(kPackedPlayerFixedSize);
    w.U32(p.version);
    w.U32(0);  // parent
    if (shortBytes)
        w.Utf16z(p.shortName);
    if (longBytes)
        w.Utf16z(p.longName);
    if (spBytes) {
        PutSockAddr(w, p.stream);
        PutSockAddr(w, p.datagram);
    }
    w.Put(p.playerData);
}

// A name field of `bytes` bytes holding a zero-terminated UTF-16 string.
inline std::u16string GetNameField(Reader& r, std::uint32_t bytes) {
    if (bytes == 0)
        return {};
    if (bytes % 2 != 0)
        throw Malformed{};
    auto part = r.Take(bytes);
    Reader inner(part);
    return inner.Utf16z();
}

inline void GetAddresses(Reader& r, std::uint32_t size, PlayerInfo& p) {
    if (size == 0)
        return;
    auto part = r.Take(size);
    if (size >= kProviderDataSize) {
        Reader inner(part);
        p.stream = GetSockAddr(inner);
        p.datagram = GetSockAddr(inner);
        p.hasAddresses = true;
    }
}

inline PlayerInfo GetPackedPlayer(Reader& r) {
    const std::size_t start = r.At();
    PlayerInfo p;
    const std::uint32_t size = r.U32();
    p.flags = r.U32();
    p.id = r.I32();
    const std::uint32_t shortBytes = r.U32();
    const std::uint32_t longBytes = r.U32();
    const std::uint32_t spBytes = r.U32();
    const std::uint32_t dataBytes = r.U32();
    const std::uint32_t members = r.U32();
    p.systemPlayerId = r.I32();
    const std::uint32_t fixed = r.U32();
    p.version = r.U32();
    r.U32();  // parent
    if (fixed != kPackedPlayerFixedSize)
        throw Malformed{};
    p.shortName = GetNameField(r, shortBytes);
    p.longName = GetNameField(r, longBytes);
    GetAddresses(r, spBytes, p);
    auto data = r.Take(dataBytes);
    p.playerData.assign(data.begin(), data.end());
    if (members > r.Left() / 4)
        throw Malformed{};
    r.Skip(std::size_t{members} * 4);
    (void)size;  // the stated total is advisory; the field sizes above were each checked
    (void)start;
    return p;
}

// Width codes of the super-packed player's optional length fields.
inline std::uint32_t WidthCode(std::size_t value) {
    return value <= 0xFF ? 1 : value <= 0xFFFF ? 2 : 3;
}

inline void PutVarLength(Writer& w, std::uint32_t code, std::size_t value) {
    if (code == 1)
        w.U8(static_cast<std::uint8_t>(value));
    else if (code == 2)
        w.U16(static_cast<std::uint16_t>(value));
    else
        w.U32(static_cast<std::uint32_t>(value));
}

inline std::size_t GetVarLength(Reader& r, std::uint32_t code) {
    if (code == 1)
        return r.U8();
    if (code == 2)
        return r.U16();
    return r.U32();
}

}  // namespace directplay::wire::internal
