// The bodies of the DirectPlay messages this layer sends and reads, and the text conversion
// of their names.

#include <array>

#include "directplay/wire.h"
#include "directplay/wire_internal.h"

namespace directplay::wire {

using namespace internal;

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

Bytes EncodePlayerDataChanged(const PlayerDataChange& change) {
    Writer w;
    w.U32(0);  // to everybody
    w.I32(change.playerId);
    w.U32(static_cast<std::uint32_t>(change.data.size()));
    w.U32(static_cast<std::uint32_t>(kBodyAt + 16));  // the data follows at once
    w.Put(change.data);
    return w.Take();
}

std::optional<PlayerDataChange> DecodePlayerDataChanged(std::span<const std::uint8_t> body) {
    try {
        Reader r(body, 0);
        r.U32();  // IDTo
        PlayerDataChange change;
        change.playerId = r.I32();
        const std::uint32_t size = r.U32();
        const std::uint32_t offset = r.U32();
        Reader d(body, BodyIndex(offset));
        if (size > d.Left())
            return std::nullopt;
        const auto bytes = d.Take(size);
        change.data.assign(bytes.begin(), bytes.end());
        return change;
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
        m.anonymous = true;
    }
    m.data.assign(payload.begin(), payload.end());
    return m;
}

namespace {

// Code points of Windows-1252's bytes 0x80..0x9F; 0 marks the five bytes it leaves undefined,
// which pass through as the C1 control of the same number. Every other byte is its own code
// point.
constexpr std::array<char16_t, 32> kHighBlock = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

}  // namespace

std::u16string AnsiToUtf16(std::string_view ansi) {
    std::u16string out;
    out.reserve(ansi.size());
    for (const char c : ansi) {
        const auto byte = static_cast<unsigned char>(c);
        const bool high = byte >= 0x80 && byte <= 0x9F && kHighBlock[byte - 0x80] != 0;
        out.push_back(high ? kHighBlock[byte - 0x80] : static_cast<char16_t>(byte));
    }
    return out;
}

std::string Utf16ToAnsi(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char16_t c : text) {
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            out.push_back(static_cast<char>(c));
            continue;
        }
        char byte = '?';  // no Windows-1252 form (surrogate halves included)
        for (std::size_t i = 0; i < kHighBlock.size(); ++i)
            if (kHighBlock[i] == c || (kHighBlock[i] == 0 && c == 0x80 + i))
                byte = static_cast<char>(0x80 + i);
        out.push_back(byte);
    }
    return out;
}

}  // namespace directplay::wire
