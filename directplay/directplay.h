#pragma once

// DirectPlay as the program calls it: the objects and operations of the DirectX 7 automation
// interface under their names, on top of the session layer. Every failure throws
// DirectPlayError, which the calling window handles the way it handles DirectPlay errors.
// Strings are one byte per character (Windows-1252), as everywhere in the program.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "directplay/errors.h"
#include "directplay/session.h"
#include "directplay/wire.h"

namespace directplay {

inline constexpr const char* kAddressPromptText =
    "Enter the IP address or name of the session host; leave empty to search the local network.";

// Flags by value, as the program passes them.
inline constexpr std::int32_t kConnectionsDirectPlay = 1;  // GetDPEnumConnections
inline constexpr std::int32_t kEnumAvailable = 1;          // GetDPEnumSessions
inline constexpr std::int32_t kOpenJoin = 1;               // Open
inline constexpr std::int32_t kOpenCreate = 2;
inline constexpr std::int32_t kSendGuaranteed = 1;  // Send
inline constexpr std::int32_t kReceiveAll = 1;      // Receive

// The TCP/IP provider's question for the session host; nullopt is Cancel. The windows install
// a dialog; without one the question is cancelled.
using AddressPrompt = std::function<std::optional<std::string>()>;
void SetAddressPrompt(AddressPrompt prompt);

// What a connection type stands for. A TCP/IP address may carry its host ("host" or
// "host:port"), in which case no question is asked.
struct ConnectionAddress {
    enum class Provider { Ipx, TcpIp, Modem, Serial };
    Provider provider = Provider::TcpIp;
    std::optional<std::string> host;

    static ConnectionAddress TcpIp(std::string host) { return {Provider::TcpIp, std::move(host)}; }
};

// "host", "host:port", "[v6]:port"; the port defaults to DirectPlay's enumeration port.
// nullopt for a port that is not 1-65535.
struct HostAndPort {
    std::string host;
    std::uint16_t port = wire::kEnumPort;
};
std::optional<HostAndPort> ParseHostAndPort(std::string_view text);

// "{6BA4A0E1-...}" in the printed form, or empty for the empty GUID; nullopt when malformed.
std::optional<wire::Guid> ParseGuid(std::string_view text);

class ConnectionList {
public:
    std::int32_t GetCount() const;
    std::string GetName(std::int32_t index) const;  // 1-based
    ConnectionAddress GetAddress(std::int32_t index) const;

private:
    void Check(std::int32_t index) const;
};

// A session description: what the program sets before enumerating or hosting, and what an
// enumerated session tells.
class SessionData {
public:
    void SetGuidApplication(std::string_view guid);
    void SetSessionPassword(std::string_view password);
    void SetSessionName(std::string_view name);
    void SetMaxPlayers(std::int32_t count);
    void SetFlags(std::uint32_t flags);
    std::string GetSessionName() const;
    std::int32_t GetCurrentPlayers() const;
    std::int32_t GetMaxPlayers() const;

    FoundSession session;  // desc, name and where its host answers
    std::u16string password;
};

class SessionList {
public:
    explicit SessionList(std::vector<std::shared_ptr<SessionData>> items)
        : m_items(std::move(items)) {}
    std::int32_t GetCount() const { return static_cast<std::int32_t>(m_items.size()); }
    std::shared_ptr<SessionData> GetItem(std::int32_t index) const;  // 1-based

private:
    std::vector<std::shared_ptr<SessionData>> m_items;
};

// A message written and read front to back. Reading past its end is a DirectPlay error.
class DirectPlayMessage {
public:
    DirectPlayMessage() = default;
    explicit DirectPlayMessage(wire::Bytes bytes) : m_bytes(std::move(bytes)) {}
    void WriteLong(std::int32_t value);
    void WriteShort(std::int16_t value);
    void WriteByte(std::uint8_t value);
    std::int32_t ReadLong();
    std::int16_t ReadShort();
    std::uint8_t ReadByte();
    const wire::Bytes& Bytes() const { return m_bytes; }

private:
    const std::uint8_t* Take(std::size_t n);
    wire::Bytes m_bytes;
    std::size_t m_read = 0;
};

class DirectPlay4 : public std::enable_shared_from_this<DirectPlay4> {
public:
    explicit DirectPlay4(SessionOptions options);
    ~DirectPlay4();

    std::shared_ptr<ConnectionList> GetDPEnumConnections(std::string_view applicationGuid,
                                                         std::int32_t flags);
    void InitializeConnection(const ConnectionAddress& address);
    std::shared_ptr<SessionData> CreateSessionData();
    std::shared_ptr<SessionList> GetDPEnumSessions(const SessionData& description,
                                                   std::int32_t timeoutMs, std::int32_t flags);
    void Open(const SessionData& description, std::int32_t flags);
    std::int32_t CreatePlayer(std::string_view friendlyName, std::string_view formalName,
                              std::int64_t receiveEvent, std::int32_t flags);
    // The same with the player's game data ("remote data"), which every machine receives with
    // the player.
    std::int32_t CreatePlayer(std::string_view friendlyName, std::string_view formalName,
                              std::span<const std::uint8_t> data);
    void SetPlayerData(std::int32_t playerId, std::span<const std::uint8_t> data);
    std::vector<std::uint8_t> GetPlayerData(std::int32_t playerId);
    std::shared_ptr<DirectPlayMessage> CreateMessage();
    void Send(std::int32_t from, std::int32_t to, std::int32_t flags,
              const DirectPlayMessage& message);
    std::int32_t GetMessageCount(std::int32_t playerId);
    std::shared_ptr<DirectPlayMessage> Receive(std::int32_t& from, std::int32_t& to,
                                               std::int32_t flags);
    std::string GetPlayerFriendlyName(std::int32_t playerId);
    void DestroyPlayer(std::int32_t playerId);
    void Close();

    // The layer underneath, for the host tool and the tests.
    Session& Engine() { return *m_session; }

private:
    SessionOptions m_options;
    std::unique_ptr<Session> m_session;
    std::optional<HostAndPort> m_host;  // set by InitializeConnection
    bool m_initialized = false;
};

class DirectX7 {
public:
    explicit DirectX7(SessionOptions options = DefaultOptions()) : m_options(std::move(options)) {}
    std::shared_ptr<DirectPlay4> DirectPlayCreate(std::string_view providerGuid);

    // What every new DirectPlay object starts with (tests shorten the waits).
    static SessionOptions DefaultOptions();
    static void SetDefaultOptions(const SessionOptions& options);

private:
    SessionOptions m_options;
};

}  // namespace directplay
