#include "directplay/directplay.h"

#include <array>
#include <cctype>
#include <charconv>

namespace directplay {
namespace {

AddressPrompt& Prompt() {
    static AddressPrompt prompt;
    return prompt;
}

SessionOptions& Defaults() {
    static SessionOptions options;
    return options;
}

struct ConnectionType {
    const char* name;
    ConnectionAddress::Provider provider;
};

// In the order DirectX 7 lists its service providers.
constexpr std::array<ConnectionType, 4> kConnectionTypes{{
    {"IPX Connection For DirectPlay", ConnectionAddress::Provider::Ipx},
    {"Internet TCP/IP Connection For DirectPlay", ConnectionAddress::Provider::TcpIp},
    {"Modem Connection For DirectPlay", ConnectionAddress::Provider::Modem},
    {"Serial Connection For DirectPlay", ConnectionAddress::Provider::Serial},
}};

[[noreturn]] void Fail(std::int32_t code, const std::string& text) {
    throw DirectPlayError(code, text);
}

std::optional<int> HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return std::nullopt;
}

}  // namespace

void SetAddressPrompt(AddressPrompt prompt) {
    Prompt() = std::move(prompt);
}

std::optional<HostAndPort> ParseHostAndPort(std::string_view text) {
    HostAndPort result;
    std::string_view host = text;
    std::string_view port;
    if (!text.empty() && text.front() == '[') {
        const auto close = text.find(']');
        if (close == std::string_view::npos)
            return std::nullopt;
        host = text.substr(1, close - 1);
        std::string_view rest = text.substr(close + 1);
        if (!rest.empty()) {
            if (rest.front() != ':')
                return std::nullopt;
            port = rest.substr(1);
        }
    } else if (const auto colon = text.rfind(':');
               colon != std::string_view::npos && text.find(':') == colon) {
        host = text.substr(0, colon);
        port = text.substr(colon + 1);
    }
    while (!host.empty() && host.front() == ' ')
        host.remove_prefix(1);
    while (!host.empty() && host.back() == ' ')
        host.remove_suffix(1);
    result.host = std::string(host);
    if (!port.empty() || text.find(':') != std::string_view::npos) {
        if (port.empty() && text.front() != '[')
            return std::nullopt;
        if (!port.empty()) {
            unsigned value = 0;
            auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), value);
            if (error != std::errc() || end != port.data() + port.size() || value == 0 ||
                value > 65535)
                return std::nullopt;
            result.port = static_cast<std::uint16_t>(value);
        }
    }
    return result;
}

std::optional<wire::Guid> ParseGuid(std::string_view text) {
    wire::Guid guid{};
    if (text.empty())
        return guid;
    if (text.front() == '{' && text.back() == '}')
        text = text.substr(1, text.size() - 2);
    std::string hex;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '-') {
            if (i != 8 && i != 13 && i != 18 && i != 23)
                return std::nullopt;
            continue;
        }
        hex.push_back(text[i]);
    }
    if (hex.size() != 32 || text.size() != 36)
        return std::nullopt;
    std::array<std::uint8_t, 16> printed{};
    for (std::size_t i = 0; i < 16; ++i) {
        auto hi = HexValue(hex[2 * i]);
        auto lo = HexValue(hex[2 * i + 1]);
        if (!hi || !lo)
            return std::nullopt;
        printed[i] = static_cast<std::uint8_t>(*hi * 16 + *lo);
    }
    // The first three groups are little-endian numbers in memory.
    const std::array<int, 16> order{3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    for (std::size_t i = 0; i < 16; ++i)
        guid[i] = printed[static_cast<std::size_t>(order[i])];
    return guid;
}

// ---------------------------------------------------------------------------------------------

void ConnectionList::Check(std::int32_t index) const {
    if (index < 1 || index > GetCount())
        Fail(hresult::kInvalidParams, "no such connection type");
}

std::int32_t ConnectionList::GetCount() const {
    return static_cast<std::int32_t>(kConnectionTypes.size());
}

std::string ConnectionList::GetName(std::int32_t index) const {
    Check(index);
    return kConnectionTypes[static_cast<std::size_t>(index - 1)].name;
}

ConnectionAddress ConnectionList::GetAddress(std::int32_t index) const {
    Check(index);
    return {kConnectionTypes[static_cast<std::size_t>(index - 1)].provider, std::nullopt};
}

void SessionData::SetGuidApplication(std::string_view guid) {
    auto parsed = ParseGuid(guid);
    if (!parsed)
        Fail(hresult::kInvalidParams, "not a GUID");
    session.desc.application = *parsed;
}

void SessionData::SetSessionPassword(std::string_view text) {
    password = wire::AnsiToUtf16(text);
}
void SessionData::SetSessionName(std::string_view name) {
    session.name = wire::AnsiToUtf16(name);
}
void SessionData::SetMaxPlayers(std::int32_t count) {
    session.desc.maxPlayers = static_cast<std::uint32_t>(std::max(0, count));
}
void SessionData::SetFlags(std::uint32_t flags) {
    session.desc.flags = flags;
}
std::string SessionData::GetSessionName() const {
    return wire::Utf16ToAnsi(session.name);
}
std::int32_t SessionData::GetCurrentPlayers() const {
    return static_cast<std::int32_t>(session.desc.currentPlayers);
}
std::int32_t SessionData::GetMaxPlayers() const {
    return static_cast<std::int32_t>(session.desc.maxPlayers);
}

std::shared_ptr<SessionData> SessionList::GetItem(std::int32_t index) const {
    if (index < 1 || index > GetCount())
        Fail(hresult::kInvalidParams, "no such session");
    return m_items[static_cast<std::size_t>(index - 1)];
}

void DirectPlayMessage::WriteLong(std::int32_t value) {
    for (int i = 0; i < 4; ++i)
        m_bytes.push_back(static_cast<std::uint8_t>(static_cast<std::uint32_t>(value) >> (8 * i)));
}

void DirectPlayMessage::WriteShort(std::int16_t value) {
    for (int i = 0; i < 2; ++i)
        m_bytes.push_back(static_cast<std::uint8_t>(static_cast<std::uint16_t>(value) >> (8 * i)));
}

void DirectPlayMessage::WriteByte(std::uint8_t value) {
    m_bytes.push_back(value);
}

const std::uint8_t* DirectPlayMessage::Take(std::size_t n) {
    if (n > m_bytes.size() - m_read)
        Fail(hresult::kGeneric, "read past the end of the message");
    const std::uint8_t* p = m_bytes.data() + m_read;
    m_read += n;
    return p;
}

std::int32_t DirectPlayMessage::ReadLong() {
    const std::uint8_t* p = Take(4);
    return static_cast<std::int32_t>(wire::LoadU32(p));
}

std::int16_t DirectPlayMessage::ReadShort() {
    const std::uint8_t* p = Take(2);
    return static_cast<std::int16_t>(wire::LoadU16(p));
}

std::uint8_t DirectPlayMessage::ReadByte() {
    return *Take(1);
}

// ---------------------------------------------------------------------------------------------

DirectPlay4::DirectPlay4(SessionOptions options)
    : m_options(std::move(options)), m_session(std::make_unique<Session>(m_options)) {}

DirectPlay4::~DirectPlay4() = default;

std::shared_ptr<ConnectionList> DirectPlay4::GetDPEnumConnections(std::string_view, std::int32_t) {
    return std::make_shared<ConnectionList>();
}

void DirectPlay4::InitializeConnection(const ConnectionAddress& address) {
    if (m_initialized)
        Fail(hresult::kAlreadyInitialized,
             "this DirectPlay object is already bound to a connection type");
    switch (address.provider) {
        case ConnectionAddress::Provider::Ipx:
            Fail(hresult::kUnavailable, "IPX is not available on this computer");
        case ConnectionAddress::Provider::Modem:
            Fail(hresult::kUnavailable, "no modem is installed");
        case ConnectionAddress::Provider::Serial:
            Fail(hresult::kUnavailable, "no serial connection is set up");
        case ConnectionAddress::Provider::TcpIp:
            break;
    }
    std::optional<std::string> host = address.host;
    if (!host) {
        if (!Prompt())
            Fail(hresult::kUserCancel, "the connection was cancelled");
        auto keep = shared_from_this();  // the dialog runs an event loop
        host = Prompt()();
        if (!host)
            Fail(hresult::kUserCancel, "the connection was cancelled");
    }
    m_host = ParseHostAndPort(*host);
    if (!m_host)
        Fail(hresult::kInvalidParams, "not a host address: " + *host);
    m_initialized = true;
}

std::shared_ptr<SessionData> DirectPlay4::CreateSessionData() {
    return std::make_shared<SessionData>();
}

std::shared_ptr<SessionList> DirectPlay4::GetDPEnumSessions(const SessionData& description,
                                                            std::int32_t timeoutMs, std::int32_t) {
    if (!m_initialized)
        Fail(hresult::kUninitialized, "no connection type was chosen");
    auto keep = shared_from_this();  // enumeration waits in an event loop
    const auto found = m_session->EnumSessions(QString::fromStdString(m_host->host), m_host->port,
                                               description.session.desc.application,
                                               description.password, timeoutMs);
    std::vector<std::shared_ptr<SessionData>> items;
    for (const auto& session : found) {
        auto item = std::make_shared<SessionData>();
        item->session = session;
        items.push_back(std::move(item));
    }
    return std::make_shared<SessionList>(std::move(items));
}

void DirectPlay4::Open(const SessionData& description, std::int32_t flags) {
    auto keep = shared_from_this();  // joining waits in an event loop
    if (flags & kOpenCreate)
        m_session->Host(description.session.desc, description.session.name, description.password);
    else
        m_session->Join(description.session, description.password);
}

std::int32_t DirectPlay4::CreatePlayer(std::string_view friendlyName, std::string_view formalName,
                                       std::int64_t, std::int32_t) {
    auto keep = shared_from_this();
    return m_session->CreatePlayer(wire::AnsiToUtf16(friendlyName), wire::AnsiToUtf16(formalName));
}

std::int32_t DirectPlay4::CreatePlayer(std::string_view friendlyName, std::string_view formalName,
                                       std::span<const std::uint8_t> data) {
    auto keep = shared_from_this();
    return m_session->CreatePlayer(wire::AnsiToUtf16(friendlyName), wire::AnsiToUtf16(formalName),
                                   wire::Bytes(data.begin(), data.end()));
}

void DirectPlay4::SetPlayerData(std::int32_t playerId, std::span<const std::uint8_t> data) {
    m_session->SetPlayerData(playerId, wire::Bytes(data.begin(), data.end()));
}

std::vector<std::uint8_t> DirectPlay4::GetPlayerData(std::int32_t playerId) {
    auto data = m_session->PlayerData(playerId);
    if (!data)
        throw DirectPlayError(hresult::kInvalidPlayer, "no such player");
    return *data;
}

std::shared_ptr<DirectPlayMessage> DirectPlay4::CreateMessage() {
    return std::make_shared<DirectPlayMessage>();
}

void DirectPlay4::Send(std::int32_t from, std::int32_t to, std::int32_t,
                       const DirectPlayMessage& message) {
    m_session->Send(from, to, message.Bytes());
}

std::int32_t DirectPlay4::GetMessageCount(std::int32_t playerId) {
    return static_cast<std::int32_t>(m_session->MessageCount(playerId));
}

std::shared_ptr<DirectPlayMessage> DirectPlay4::Receive(std::int32_t& from, std::int32_t& to,
                                                        std::int32_t) {
    auto message = m_session->Receive();
    if (!message)
        Fail(hresult::kNoMessages, "no message is waiting");
    from = message->from;
    to = message->to;
    return std::make_shared<DirectPlayMessage>(std::move(message->data));
}

std::string DirectPlay4::GetPlayerFriendlyName(std::int32_t playerId) {
    auto name = m_session->FriendlyName(playerId);
    if (!name)
        Fail(hresult::kInvalidPlayer, "no such player");
    return wire::Utf16ToAnsi(*name);
}

void DirectPlay4::DestroyPlayer(std::int32_t playerId) {
    m_session->DestroyPlayer(playerId);
}

void DirectPlay4::Close() {
    m_session->Close();
}

SessionOptions DirectX7::DefaultOptions() {
    return Defaults();
}
void DirectX7::SetDefaultOptions(const SessionOptions& options) {
    Defaults() = options;
}

std::shared_ptr<DirectPlay4> DirectX7::DirectPlayCreate(std::string_view) {
    return std::make_shared<DirectPlay4>(m_options);
}

}  // namespace directplay
