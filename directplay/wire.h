#pragma once

// The DirectPlay 4 messages as Windows puts them on the network, as plain values with their
// encoders and decoders. Everything here is pure: no sockets, no Qt. Decoders treat their
// input as hostile: every size, offset and count is checked against the bytes at hand, and a
// message that does not fit is rejected whole (std::nullopt), never read past its end.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace directplay::wire {

using Bytes = std::vector<std::uint8_t>;
using Guid = std::array<std::uint8_t, 16>;

inline constexpr std::uint32_t kSignature = 0x79616c70;  // "play"
inline constexpr std::uint32_t kTokenRemote = 0xFAB;
inline constexpr std::size_t kPrefixSize = 20;         // size/token word + SOCKADDR_IN
inline constexpr std::size_t kHeaderSize = 28;         // prefix + signature + command + version
inline constexpr std::size_t kMaxFrameSize = 0xFFFFF;  // the 20-bit size field
inline constexpr std::uint16_t kOldestVersion = 9;     // DirectX 6
inline constexpr std::uint16_t kNewestVersion = 14;    // DirectX 9, sent by Windows XP and later
inline constexpr std::uint16_t kEnumPort = 47624;
inline constexpr std::size_t kSessionDescSize = 80;
inline constexpr std::size_t kPackedPlayerFixedSize = 48;
inline constexpr std::size_t kProviderDataSize = 32;  // stream and datagram SOCKADDR_IN

// Little-endian loads of 16 and 32 bits from `p`, which must hold that many bytes.
inline std::uint16_t LoadU16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8));
}
inline std::uint32_t LoadU32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
           (std::uint32_t{p[3]} << 24);
}

enum class Command : std::uint16_t {
    EnumSessionsReply = 0x01,
    EnumSessions = 0x02,
    RequestPlayerId = 0x05,
    RequestPlayerReply = 0x07,
    CreatePlayer = 0x08,
    DeletePlayer = 0x0B,
    PlayerDataChanged = 0x0F,
    AddForwardRequest = 0x13,
    Ping = 0x16,
    PingReply = 0x17,
    YouAreDead = 0x18,
    PlayerWrapper = 0x19,
    AddForwardReply = 0x24,
    SuperEnumPlayersReply = 0x29,
    AddForward = 0x2E,
    AddForwardAck = 0x2F,
    IAmNameServer = 0x35,
    CreatePlayerVerify = 0x38,  // the body of a CREATEPLAYER
};

// Session flags of DPSESSIONDESC2.
namespace session_flag {
inline constexpr std::uint32_t kNoNewPlayers = 0x1;
inline constexpr std::uint32_t kMigrateHost = 0x4;
inline constexpr std::uint32_t kNoMessageId = 0x8;
inline constexpr std::uint32_t kJoinDisabled = 0x20;
inline constexpr std::uint32_t kKeepAlive = 0x40;
inline constexpr std::uint32_t kSecure = 0x100;
inline constexpr std::uint32_t kPrivate = 0x200;
inline constexpr std::uint32_t kPasswordRequired = 0x400;
inline constexpr std::uint32_t kMulticastServer = 0x800;
inline constexpr std::uint32_t kClientServer = 0x1000;
inline constexpr std::uint32_t kReliableProtocol = 0x2000;
}  // namespace session_flag

// Player flags of the packed player structures.
namespace player_flag {
inline constexpr std::uint32_t kSystem = 0x1;
inline constexpr std::uint32_t kNameServer = 0x2;
inline constexpr std::uint32_t kInGroup = 0x4;
inline constexpr std::uint32_t kLocal = 0x8;
}  // namespace player_flag

// Enumeration flags of ENUMSESSIONS.
namespace enum_flag {
inline constexpr std::uint32_t kAvailable = 0x1;
inline constexpr std::uint32_t kAll = 0x2;
inline constexpr std::uint32_t kPasswordRequired = 0x40;
}  // namespace enum_flag

inline constexpr std::int32_t kNoNewPlayers = static_cast<std::int32_t>(0x8877014A);

// IPv4 address and port in host order; on the wire the port and address are big-endian.
struct SockAddr {
    std::uint32_t address = 0;  // 0.0.0.0: "the address this came from"
    std::uint16_t port = 0;
    bool operator==(const SockAddr&) const = default;
};

struct SessionDesc {
    std::uint32_t flags = 0;
    Guid instance{};
    Guid application{};
    std::uint32_t maxPlayers = 0;
    std::uint32_t currentPlayers = 0;
    std::uint32_t reserved1 = 0;  // the session's player-ID mask
    std::uint32_t reserved2 = 0;
    std::array<std::uint32_t, 4> user{};
    bool operator==(const SessionDesc&) const = default;
};

// A player as the packed structures carry it. Names are UTF-16 as on the wire.
struct PlayerInfo {
    std::uint32_t flags = 0;
    std::int32_t id = 0;
    std::int32_t systemPlayerId = 0;
    std::uint32_t version = kNewestVersion;
    std::u16string shortName;
    std::u16string longName;
    bool hasAddresses = false;  // provider data present
    SockAddr stream;
    SockAddr datagram;
    Bytes playerData;
    bool operator==(const PlayerInfo&) const = default;
};

// One DirectPlay frame: the service-provider prefix, then either a "play" message or a
// player message. `body` is what follows the command and version (or, for a player message,
// the bytes after the prefix).
struct Frame {
    SockAddr sender;        // the sender's listening address from the prefix
    bool isSystem = false;  // carries the "play" header
    Command command{};
    std::uint16_t version = 0;
    Bytes body;
};

// Builds a whole frame; the size word is filled in. Throws std::length_error beyond the
// 20-bit size.
Bytes EncodeFrame(const SockAddr& sender, Command command, std::uint16_t version,
                  std::span<const std::uint8_t> body);
Bytes EncodeRawFrame(const SockAddr& sender, std::span<const std::uint8_t> payload);

// Parses one whole frame (exactly `bytes`); nullopt when the prefix is wrong.
std::optional<Frame> DecodeFrame(std::span<const std::uint8_t> bytes);

// Splits a TCP byte stream into frames by the prefix's size word. A stream that announces a
// size below the prefix or a token that is not DirectPlay's cannot be resynchronised: the
// framer then stays broken and the caller drops the link.
class StreamFramer {
public:
    void Append(std::span<const std::uint8_t> bytes);
    // The next complete frame, or nullopt when more bytes are needed (or the stream is broken).
    std::optional<Bytes> Next();
    bool Broken() const { return m_broken; }
    std::size_t Buffered() const { return m_buffer.size() - m_start; }

private:
    Bytes m_buffer;
    std::size_t m_start = 0;
    bool m_broken = false;
};

// Structures.
Bytes EncodeSockAddr(const SockAddr& address);
Bytes EncodeSessionDesc(const SessionDesc& desc);
std::optional<SessionDesc> DecodeSessionDesc(std::span<const std::uint8_t> bytes);
Bytes EncodePackedPlayer(const PlayerInfo& player);
std::optional<PlayerInfo> DecodePackedPlayer(std::span<const std::uint8_t> bytes);
Bytes EncodeSuperPackedPlayer(const PlayerInfo& player);
// Decodes one super-packed player at the start of `bytes`; `used` gets its length.
std::optional<PlayerInfo> DecodeSuperPackedPlayer(std::span<const std::uint8_t> bytes,
                                                  std::size_t& used);

// Message bodies (after the command and version). Offsets inside them count from the
// signature, as Windows counts them.
struct EnumSessions {
    Guid application{};
    std::uint32_t flags = 0;
    std::u16string password;
};
struct EnumSessionsReply {
    SessionDesc desc;
    std::u16string name;
};
struct RequestPlayerReply {
    std::int32_t id = 0;
    std::int32_t result = 0;
};
struct PlayerCreate {  // ADDFORWARDREQUEST, ADDFORWARD and CREATEPLAYER share this shape
    std::int32_t idTo = 0;
    std::int32_t playerId = 0;
    PlayerInfo player;
    std::u16string password;      // ADDFORWARDREQUEST only
    std::uint32_t tickCount = 0;  // ADDFORWARDREQUEST only
};
struct SuperEnumPlayersReply {
    SessionDesc desc;
    std::u16string name;
    std::vector<PlayerInfo> players;
};
struct PingBody {
    std::int32_t idFrom = 0;
    std::uint32_t tickCount = 0;
};

Bytes EncodeEnumSessions(const EnumSessions& message);
std::optional<EnumSessions> DecodeEnumSessions(std::span<const std::uint8_t> body);
Bytes EncodeEnumSessionsReply(const EnumSessionsReply& message);
std::optional<EnumSessionsReply> DecodeEnumSessionsReply(std::span<const std::uint8_t> body);
Bytes EncodeRequestPlayerId(std::uint32_t flags);
std::optional<std::uint32_t> DecodeRequestPlayerId(std::span<const std::uint8_t> body);
Bytes EncodeRequestPlayerReply(const RequestPlayerReply& message);  // the 132-byte form
std::optional<RequestPlayerReply> DecodeRequestPlayerReply(std::span<const std::uint8_t> body);
Bytes EncodeAddForwardRequest(const PlayerCreate& message);
Bytes EncodeAddForward(const PlayerCreate& message);
Bytes EncodeCreatePlayer(const PlayerCreate& message);
// Reads any of the three; `withPassword` also reads the password and tick count.
std::optional<PlayerCreate> DecodePlayerCreate(std::span<const std::uint8_t> body,
                                               bool withPassword);
// DPSP_MSG_PLAYERDATACHANGED: a player's game data, as set by its machine.
struct PlayerDataChange {
    std::int32_t playerId = 0;
    Bytes data;
    bool operator==(const PlayerDataChange&) const = default;
};
Bytes EncodePlayerDataChanged(const PlayerDataChange& change);
std::optional<PlayerDataChange> DecodePlayerDataChanged(std::span<const std::uint8_t> body);

Bytes EncodeDeletePlayer(std::int32_t playerId);
std::optional<std::int32_t> DecodeDeletePlayer(std::span<const std::uint8_t> body);
Bytes EncodeId(std::int32_t id);  // ADDFORWARDACK, ADDFORWARDREPLY
std::optional<std::int32_t> DecodeId(std::span<const std::uint8_t> body);
Bytes EncodeSuperEnumPlayersReply(const SuperEnumPlayersReply& message);
std::optional<SuperEnumPlayersReply> DecodeSuperEnumPlayersReply(
    std::span<const std::uint8_t> body);
Bytes EncodePing(const PingBody& message);
std::optional<PingBody> DecodePing(std::span<const std::uint8_t> body);

// IAMNAMESERVER: a machine announces that it is the session's host now.
struct IAmNameServer {
    std::int32_t idTo = 0;
    std::int32_t idHost = 0;  // the new host's system player
    std::uint32_t flags = 0;  // that player's flags: system, name server, in a group
    bool hasAddresses = false;
    SockAddr stream;  // addresses 0.0.0.0 on the wire: "where this came from"
    SockAddr datagram;
};
Bytes EncodeIAmNameServer(const IAmNameServer& message);
std::optional<IAmNameServer> DecodeIAmNameServer(std::span<const std::uint8_t> body);

// Player messages. Guaranteed ones travel on TCP as a raw frame [idFrom][idTo][data]
// (without the IDs in a session with the no-message-ID flag); one that would read "play" where
// the header's signature sits goes inside a PLAYERWRAPPER.
struct PlayerMessage {
    std::int32_t from = 0;
    std::int32_t to = 0;
    Bytes data;
    // The session carries no IDs: the sender is known only by the machine it came from, and
    // `from` reads DPID_UNKNOWN (-1). Never inferred from the value of `from`.
    bool anonymous = false;
};
Bytes EncodePlayerMessage(const SockAddr& sender, std::uint16_t version,
                          const PlayerMessage& message, bool noIds);
// From a frame that is not a system message, or from a PLAYERWRAPPER body.
std::optional<PlayerMessage> DecodePlayerPayload(std::span<const std::uint8_t> payload, bool noIds);

// Text: UTF-16 on the wire, one byte per character (Windows-1252) in the program.
std::u16string AnsiToUtf16(std::string_view ansi);
std::string Utf16ToAnsi(std::u16string_view text);

}  // namespace directplay::wire
