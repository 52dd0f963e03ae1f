#include "platform/directplay/wire.h"

#include <stdexcept>

#include "platform/ansi.h"

namespace platform::directplay::wire {
namespace {

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
constexpr std::size_t kBodyAt = 8;

std::size_t BodyIndex(std::uint32_t offset) {
    if (offset < kBodyAt)
        throw Malformed{};
    return offset - kBodyAt;
}

void PutGuid(Writer& w, const Guid& g) {
    w.Put(g);
}
Guid GetGuid(Reader& r) {
    Guid g{};
    auto part = r.Take(16);
    std::copy(part.begin(), part.end(), g.begin());
    return g;
}

void PutSockAddr(Writer& w, const SockAddr& a) {
    w.U16(2);
    w.U8(static_cast<std::uint8_t>(a.port >> 8));
    w.U8(static_cast<std::uint8_t>(a.port));
    for (int shift = 24; shift >= 0; shift -= 8)
        w.U8(static_cast<std::uint8_t>(a.address >> shift));
    w.Zeros(8);
}

SockAddr GetSockAddr(Reader& r) {
    r.U16();  // family: Windows only ever sends AF_INET here
    SockAddr a;
    a.port = static_cast<std::uint16_t>(r.U8() << 8);
    a.port = static_cast<std::uint16_t>(a.port | r.U8());
    for (int i = 0; i < 4; ++i)
        a.address = (a.address << 8) | std::uint32_t{r.U8()};
    r.Skip(8);
    return a;
}

void PutSessionDesc(Writer& w, const SessionDesc& d) {
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

SessionDesc GetSessionDesc(Reader& r) {
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

std::size_t Utf16zBytes(const std::u16string& s) {
    return s.empty() ? 0 : 2 * (s.size() + 1);
}

void PutPackedPlayer(Writer& w, const PlayerInfo& p) {
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
std::u16string GetNameField(Reader& r, std::uint32_t bytes) {
    if (bytes == 0)
        return {};
    if (bytes % 2 != 0)
        throw Malformed{};
    auto part = r.Take(bytes);
    Reader inner(part);
    return inner.Utf16z();
}

void GetAddresses(Reader& r, std::uint32_t size, PlayerInfo& p) {
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

PlayerInfo GetPackedPlayer(Reader& r) {
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
std::uint32_t WidthCode(std::size_t value) {
    return value <= 0xFF ? 1 : value <= 0xFFFF ? 2 : 3;
}

void PutVarLength(Writer& w, std::uint32_t code, std::size_t value) {
    if (code == 1)
        w.U8(static_cast<std::uint8_t>(value));
    else if (code == 2)
        w.U16(static_cast<std::uint16_t>(value));
    else
        w.U32(static_cast<std::uint32_t>(value));
}

std::size_t GetVarLength(Reader& r, std::uint32_t code) {
    if (code == 1)
        return r.U8();
    if (code == 2)
        return r.U16();
    return r.U32();
}

}  // namespace

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

Bytes EncodeEnumSessions(const EnumSessions& m) {
    Writer w;
    PutGuid(w, m.application);
    w.U32(m.password.empty() ? 0 : kBodyAt + 24);
    w.U32(m.flags);
    if (!m.password.empty())
        w.Utf16z(m.password);
    return w.Take();
}

std::optional<EnumSessions> DecodeEnumSessions(std::span<const std::uint8_t> body) {
    try {
        Reader r(body);
        EnumSessions m;
        m.application = GetGuid(r);
        const std::uint32_t passwordOffset = r.U32();
        m.flags = r.U32();
        if (passwordOffset != 0) {
            Reader p(body, BodyIndex(passwordOffset));
            m.password = p.Utf16z();
        }
        return m;
    } catch (const Malformed&) {
        return std::nullopt;
    }
}

Bytes EncodeEnumSessionsReply(const EnumSessionsReply& m) {
    Writer w;
    PutSessionDesc(w, m.desc);
    w.U32(m.name.empty() ? 0 : static_cast<std::uint32_t>(kBodyAt + kSessionDescSize + 4));
    if (!m.name.empty())
        w.Utf16z(m.name);
    return w.Take();
}

std::optional<EnumSessionsReply> DecodeEnumSessionsReply(std::span<const std::uint8_t> body) {
    try {
        Reader r(body);
        EnumSessionsReply m;
        m.desc = GetSessionDesc(r);
        const std::uint32_t nameOffset = r.U32();
        if (nameOffset != 0) {
            Reader n(body, BodyIndex(nameOffset));
            m.name = n.Utf16z();
        }
        return m;
    } catch (const Malformed&) {
        return std::nullopt;
    }
}

Bytes EncodeRequestPlayerId(std::uint32_t flags) {
    Writer w;
    w.U32(flags);
    return w.Take();
}

std::optional<std::uint32_t> DecodeRequestPlayerId(std::span<const std::uint8_t> body) {
    if (body.size() < 4)
        return std::nullopt;
    Reader r(body);
    return r.U32();
}

Bytes EncodeRequestPlayerReply(const RequestPlayerReply& m) {
    Writer w;
    w.I32(m.id);
    w.Zeros(24);  // security description: not a secure session
    w.U32(0);     // SSPI provider offset
    w.U32(0);     // CAPI provider offset
    w.I32(m.result);
    w.Zeros(64);
    return w.Take();
}

std::optional<RequestPlayerReply> DecodeRequestPlayerReply(std::span<const std::uint8_t> body) {
    try {
        Reader r(body);
        RequestPlayerReply m;
        m.id = r.I32();
        r.Skip(24);
        const std::uint32_t sspi = r.U32();
        r.U32();
        m.result = r.I32();
        // A secure session names its SSPI provider; this layer cannot log on to one.
        if (sspi != 0 && m.result == 0)
            m.result = static_cast<std::int32_t>(0x887707D0);
        return m;
    } catch (const Malformed&) {
        return std::nullopt;
    }
}

namespace {
// `withPassword`: the ADDFORWARDREQUEST form, whose password and tick count follow the player.
Bytes EncodeCreateShape(const PlayerCreate& m, bool withPassword) {
    Writer w;
    w.I32(m.idTo);
    w.I32(m.playerId);
    w.U32(0);  // group
    w.U32(28);
    const std::size_t passwordOffsetAt = w.Size();
    w.U32(0);
    PutPackedPlayer(w, m.player);
    if (withPassword) {
        w.PatchU32(passwordOffsetAt, static_cast<std::uint32_t>(kBodyAt + w.Size()));
        w.Utf16z(m.password);
        w.U32(m.tickCount);
    }
    return w.Take();
}
}  // namespace

Bytes EncodeAddForwardRequest(const PlayerCreate& m) {
    return EncodeCreateShape(m, true);
}

Bytes EncodeAddForward(const PlayerCreate& m) {
    return EncodeCreateShape(m, false);
}

Bytes EncodeCreatePlayer(const PlayerCreate& m) {
    Bytes body = EncodeCreateShape(m, false);
    body.insert(body.end(), 6, 0);
    return body;
}

std::optional<PlayerCreate> DecodePlayerCreate(std::span<const std::uint8_t> body,
                                               bool withPassword) {
    try {
        Reader r(body);
        PlayerCreate m;
        m.idTo = r.I32();
        m.playerId = r.I32();
        r.U32();
        const std::uint32_t createOffset = r.U32();
        const std::uint32_t passwordOffset = r.U32();
        Reader p(body, BodyIndex(createOffset));
        m.player = GetPackedPlayer(p);
        if (withPassword && passwordOffset != 0) {
            Reader pw(body, BodyIndex(passwordOffset));
            m.password = pw.Utf16z();
            if (pw.Left() >= 4)
                m.tickCount = pw.U32();
        }
        return m;
    } catch (const Malformed&) {
        return std::nullopt;
    }
}

Bytes EncodeDeletePlayer(std::int32_t playerId) {
    Writer w;
    w.U32(0);
    w.I32(playerId);
    w.Zeros(12);
    return w.Take();
}

std::optional<std::int32_t> DecodeDeletePlayer(std::span<const std::uint8_t> body) {
    if (body.size() < 8)
        return std::nullopt;
    Reader r(body, 4);
    return r.I32();
}

Bytes EncodeId(std::int32_t id) {
    Writer w;
    w.I32(id);
    return w.Take();
}

std::optional<std::int32_t> DecodeId(std::span<const std::uint8_t> body) {
    if (body.size() < 4)
        return std::nullopt;
    Reader r(body);
    return r.I32();
}

Bytes EncodeSuperEnumPlayersReply(const SuperEnumPlayersReply& m) {
    Writer w;
    const std::uint32_t descAt = kBodyAt + 28;
    const std::uint32_t nameAt = descAt + kSessionDescSize;
    const std::uint32_t packedAt = static_cast<std::uint32_t>(nameAt + 2 * (m.name.size() + 1));
    w.U32(static_cast<std::uint32_t>(m.players.size()));
    w.U32(0);  // groups
    w.U32(packedAt);
    w.U32(0);  // shortcuts
    w.U32(descAt);
    w.U32(nameAt);
    w.U32(0);  // password
    PutSessionDesc(w, m.desc);
    w.Utf16z(m.name);
    for (const auto& p : m.players)
        w.Put(EncodeSuperPackedPlayer(p));
    return w.Take();
}

std::optional<SuperEnumPlayersReply> DecodeSuperEnumPlayersReply(
    std::span<const std::uint8_t> body) {
    try {
        Reader r(body);
        const std::uint32_t players = r.U32();
        const std::uint32_t groups = r.U32();
        const std::uint32_t packedOffset = r.U32();
        const std::uint32_t shortcuts = r.U32();
        const std::uint32_t descOffset = r.U32();
        const std::uint32_t nameOffset = r.U32();
        r.U32();
        SuperEnumPlayersReply m;
        Reader d(body, BodyIndex(descOffset));
        m.desc = GetSessionDesc(d);
        if (nameOffset != 0) {
            Reader n(body, BodyIndex(nameOffset));
            m.name = n.Utf16z();
        }
        // Each entry takes at least 20 bytes: a count beyond that cannot be honest.
        const std::size_t entries = std::size_t{players} + groups + shortcuts;
        std::size_t at = packedOffset == 0 ? body.size() : BodyIndex(packedOffset);
        if (at > body.size() || entries > (body.size() - at) / 20)
            return std::nullopt;
        for (std::size_t i = 0; i < players; ++i) {
            std::size_t used = 0;
            auto p = DecodeSuperPackedPlayer(body.subspan(at), used);
            if (!p)
                return std::nullopt;
            m.players.push_back(std::move(*p));
            at += used;
        }
        return m;
    } catch (const Malformed&) {
        return std::nullopt;
    }
}

Bytes EncodePing(const PingBody& m) {
    Writer w;
    w.I32(m.idFrom);
    w.U32(m.tickCount);
    return w.Take();
}

std::optional<PingBody> DecodePing(std::span<const std::uint8_t> body) {
    if (body.size() < 8)
        return std::nullopt;
    Reader r(body);
    PingBody m;
    m.idFrom = r.I32();
    m.tickCount = r.U32();
    return m;
}

Bytes EncodeIAmNameServer(const IAmNameServer& m) {
    Writer w;
    w.I32(m.idTo);
    w.I32(m.idHost);
    w.U32(m.flags);
    w.U32(m.hasAddresses ? static_cast<std::uint32_t>(kProviderDataSize) : 0);
    if (m.hasAddresses) {
        PutSockAddr(w, m.stream);
        PutSockAddr(w, m.datagram);
    }
    return w.Take();
}

std::optional<IAmNameServer> DecodeIAmNameServer(std::span<const std::uint8_t> body) {
    try {
        Reader r(body);
        IAmNameServer m;
        m.idTo = r.I32();
        m.idHost = r.I32();
        m.flags = r.U32();
        const std::uint32_t spSize = r.U32();
        if (spSize > r.Left())
            return std::nullopt;
        PlayerInfo addresses;
        GetAddresses(r, spSize, addresses);
        m.hasAddresses = addresses.hasAddresses;
        m.stream = addresses.stream;
        m.datagram = addresses.datagram;
        return m;
    } catch (const Malformed&) {
        return std::nullopt;
    }
}

Bytes EncodePlayerMessage(const SockAddr& sender, std::uint16_t version, const PlayerMessage& m,
                          bool noIds) {
    Writer w;
    if (!noIds) {
        w.I32(m.from);
        w.I32(m.to);
    }
    w.Put(m.data);
    Bytes payload = w.Take();
    const bool readsAsHeader = payload.size() >= 4 && payload[0] == 'p' && payload[1] == 'l' &&
                               payload[2] == 'a' && payload[3] == 'y';
    if (readsAsHeader)
        return EncodeFrame(sender, Command::PlayerWrapper, version, payload);
    return EncodeRawFrame(sender, payload);
}

std::optional<PlayerMessage> DecodePlayerPayload(std::span<const std::uint8_t> payload,
                                                 bool noIds) {
    PlayerMessage m;
    if (!noIds) {
        if (payload.size() < 8)
            return std::nullopt;
        Reader r(payload);
        m.from = r.I32();
        m.to = r.I32();
        payload = payload.subspan(8);
    } else {
        m.from = -1;  // DPID_UNKNOWN: the session does not carry IDs
    }
    m.data.assign(payload.begin(), payload.end());
    return m;
}

std::u16string AnsiToUtf16(std::string_view ansi) {
    const std::string utf8 = platform::AnsiToUtf8(ansi);
    std::u16string out;
    for (std::size_t i = 0; i < utf8.size();) {
        auto unit = [&](std::size_t k) {
            return static_cast<char32_t>(static_cast<unsigned char>(utf8[k]));
        };
        const char32_t c = unit(i);
        char32_t cp = c;
        std::size_t n = 1;
        // Windows-1252 text converts to one-, two- and three-byte UTF-8 only.
        if (c >= 0xE0 && i + 2 < utf8.size()) {
            cp = ((c & 0x0F) << 12) | ((unit(i + 1) & 0x3F) << 6) | (unit(i + 2) & 0x3F);
            n = 3;
        } else if (c >= 0xC0 && i + 1 < utf8.size()) {
            cp = ((c & 0x1F) << 6) | (unit(i + 1) & 0x3F);
            n = 2;
        }
        out.push_back(static_cast<char16_t>(cp));
        i += n;
    }
    return out;
}

std::string Utf16ToAnsi(std::u16string_view text) {
    std::string utf8;
    for (char16_t c : text) {
        if (c < 0x80) {
            utf8.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            utf8.push_back(static_cast<char>(0xC0 | (c >> 6)));
            utf8.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c >= 0xD800 && c < 0xE000) {
            utf8.push_back('?');  // surrogate halves have no Windows-1252 form
        } else {
            utf8.push_back(static_cast<char>(0xE0 | (c >> 12)));
            utf8.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            utf8.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return platform::Utf8ToAnsi(utf8);
}

}  // namespace platform::directplay::wire
