#include "link/link.h"

#include "link/coordination.h"

#include <algorithm>

#include "directplay/directplay.h"
#include "model/geodesy.h"
#include "model/rounding.h"
#include "model/shared_state.h"

namespace mplink {
namespace {

namespace dp = directplay;

void Put32(Bytes& b, std::int32_t v) {
    for (unsigned i = 0; i < 4; ++i)
        b.push_back(static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) >> (8 * i)));
}

// Little-endian fields of a received message; nullopt beyond its end.
std::optional<std::int32_t> Long(const Bytes& m, std::size_t at) {
    if (at + 4 > m.size())
        return std::nullopt;
    return static_cast<std::int32_t>(dp::wire::LoadU32(m.data() + at));
}

std::optional<std::int16_t> Short(const Bytes& m, std::size_t at) {
    if (at + 2 > m.size())
        return std::nullopt;
    return static_cast<std::int16_t>(dp::wire::LoadU16(m.data() + at));
}

// The declared payload size, clamped to the bytes that arrived.
std::size_t PayloadSize(const Bytes& m) {
    const std::int32_t declared = Long(m, 4).value_or(0);
    if (declared <= 0)
        return 0;
    return std::min(static_cast<std::size_t>(declared), m.size() - 8);
}

const char* CategoryLabel(std::int16_t category) {
    switch (category) {
        case 0:
            return "Piston Plane";
        case 1:
            return "Jet Plane";
        case 2:
            return "-None-";
        case 3:
            return "Helicopter";
        default:
            return nullptr;
    }
}

// The rows 1 to the count whose name is exactly `name`.
std::vector<model::TrafficEntry*> RowsNamed(const std::string& name) {
    std::vector<model::TrafficEntry*> rows;
    for (std::int16_t i = 1; i <= model::g_trafficCount; ++i) {
        auto& row = model::g_traffic[static_cast<std::size_t>(i)];
        if (row.name == name)
            rows.push_back(&row);
    }
    return rows;
}

void Announce(LinkPort& port, std::int32_t playerId) {
    const std::string name = port.GetPlayerFriendlyName(playerId);
    auto& table = model::g_traffic;
    if (model::g_trafficCount == 0) {
        table[1] = model::TrafficEntry{};
        table[1].name = name;
        model::g_trafficCount = 1;
    }
    if (!RowsNamed(name).empty())
        return;
    // A new row at the end; the 41st aircraft is not stored.
    if (model::g_trafficCount >= static_cast<std::int16_t>(model::kTrafficRows - 1))
        return;
    ++model::g_trafficCount;
    table[static_cast<std::size_t>(model::g_trafficCount)] = model::TrafficEntry{};
    table[static_cast<std::size_t>(model::g_trafficCount)].name = name;
}

void Position(LinkPort& port, std::int32_t sender, const Bytes& m, std::size_t fixAt, double taken,
              std::vector<PositionReport>& reports) {
    const auto attitude = Long(m, fixAt);
    const auto latitude = Long(m, fixAt + 4);
    const auto longitude = Long(m, fixAt + 8);
    const auto altitude = Long(m, fixAt + 12);
    // The three 16-bit words after the fix are part of the layout too.
    if (!attitude || !latitude || !longitude || !altitude || !Short(m, fixAt + 20))
        return;
    const std::string name = port.GetPlayerFriendlyName(sender);
    const std::vector<model::TrafficEntry*> rows = RowsNamed(name);
    const double lat = LatitudeOfWord(*latitude);
    const double lon = LongitudeOfWord(*longitude);
    reports.push_back({name, sender, lat, lon, AltitudeOfWord(*altitude), taken});
    const double trueHeading = Attitude_To_Heading(*attitude);
    for (model::TrafficEntry* row : rows) {
        row->latitude = lat;
        row->longitude = lon;
        row->altitude = AltitudeOfWord(*altitude);
        row->heading =
            model::True_To_Magnetic(static_cast<int>(trueHeading), row->latitude, row->longitude);
    }
}

}  // namespace

std::optional<std::pair<double, double>> PositionOfMessage(const Bytes& m) {
    const auto type = Long(m, 0);
    const std::size_t fixAt = type == MP_POSITION ? 20 : type == MP_POSITION_LONG ? 36 : 0;
    if (!fixAt)
        return std::nullopt;
    const auto latitude = Long(m, fixAt + 4);
    const auto longitude = Long(m, fixAt + 8);
    if (!latitude || !longitude || !Short(m, fixAt + 20))
        return std::nullopt;
    return std::pair(LatitudeOfWord(*latitude), LongitudeOfWord(*longitude));
}

namespace {

void AircraftInfo(LinkPort& port, std::int32_t sender, const Bytes& m, std::string& label) {
    const auto category = Short(m, 8);
    if (!category)
        return;
    if (const char* known = CategoryLabel(*category))
        label = known;
    std::string modelText;
    const std::size_t size = PayloadSize(m);
    for (std::size_t i = 10; i < 8 + size; ++i)
        if (m[i] != 0)
            modelText.push_back(static_cast<char>(m[i]));
    for (model::TrafficEntry* row : RowsNamed(port.GetPlayerFriendlyName(sender))) {
        row->category = label;
        row->model = modelText;
    }
}

}  // namespace

// ---------------------------------------------------------------------------------------------

dp::DirectPlay4& DirectPlayPort::Play() {
    if (!m_play)
        throw dp::DirectPlayError(dp::hresult::kUninitialized, "no DirectPlay object");
    return *m_play;
}

std::int32_t DirectPlayPort::GetMessageCount(std::int32_t playerId) {
    return Play().GetMessageCount(playerId);
}

Bytes DirectPlayPort::Receive(std::int32_t& from, std::int32_t& to) {
    return Play().Receive(from, to, dp::kReceiveAll)->Bytes();
}

std::string DirectPlayPort::GetPlayerFriendlyName(std::int32_t playerId) {
    return Play().GetPlayerFriendlyName(playerId);
}

void DirectPlayPort::Send(std::int32_t from, std::int32_t to, const Bytes& message) {
    Play().Send(from, to, dp::kSendGuaranteed, dp::DirectPlayMessage(message));
}

double Attitude_To_Heading(std::int32_t attitude) {
    const std::int32_t quarter = attitude / 4;  // truncates toward zero, unlike a shift
    const std::int32_t low = quarter & 1023;
    return model::RoundHalfEven(static_cast<double>(low) / 1024.0 * 360.0);
}

double LatitudeOfWord(std::int32_t raw) {
    return raw * (360.0 / 40007000.0);
}
double LongitudeOfWord(std::int32_t raw) {
    return raw * (360.0 / 4294967296.0);
}
std::int32_t AltitudeOfWord(std::int32_t raw) {
    return model::RoundToInt(raw / 0.3048);
}

Bytes EmptyMessage(std::int32_t type) {
    Bytes b;
    Put32(b, type);
    Put32(b, 0);
    return b;
}

Bytes PlayerHereMessage(std::int32_t playerId) {
    Bytes b;
    Put32(b, MP_PLAYER_HERE);
    Put32(b, 4);
    Put32(b, playerId);
    return b;
}

Bytes ChatMessage(std::string_view ansiText) {
    const std::size_t n = ansiText.size();
    Bytes b;
    Put32(b, MP_CHAT);
    Put32(b, static_cast<std::int32_t>(2 * n));
    b.insert(b.end(), ansiText.begin(), ansiText.end());
    b.insert(b.end(), 2 * n, 0);
    return b;
}

std::string ChatText(const Bytes& message) {
    const std::size_t size = PayloadSize(message);
    if (size <= 1)
        return {};
    return std::string(message.begin() + 8,
                       message.begin() + 8 + static_cast<std::ptrdiff_t>(size - 1));
}

TickResult ProcessMessages(LinkPort& port, std::int16_t& watchdog,
                           const std::function<double()>& clock) {
    TickResult result;
    if (watchdog >= 1 && watchdog <= kWatchdogSeconds) {
        --watchdog;
        if (watchdog == 0) {
            result.end = TickEnd::SessionLost;
            return result;
        }
    }
    if (!model::HasLocalPlayer())
        return result;
    std::string lastLabel;  // the category label of the tick's previous aircraft information
    try {
        std::int32_t n = port.GetMessageCount(model::g_localPlayerId);
        while (n > 0) {
            std::int32_t from = 0;
            std::int32_t to = 0;
            const Bytes m = port.Receive(from, to);
            const double taken = clock ? clock() : 0;
            --n;
            const auto type = Long(m, 0);
            if (!type || !Long(m, 4))
                continue;  // too short to have a type and a size
            switch (*type) {
                case MP_PLAYER_HERE:
                    watchdog = kWatchdogSeconds;
                    if (model::g_sessionJoined) {
                        if (const auto id = Long(m, 8))
                            Announce(port, *id);
                    }
                    break;
                case MP_ALIVE:
                    watchdog = kWatchdogSeconds;
                    break;
                case MP_ROLL_CALL:
                    if (model::g_sessionJoined)
                        port.Send(model::g_localPlayerId, 0,
                                  PlayerHereMessage(model::g_localPlayerId));
                    break;
                case MP_AIRCRAFT_INFO:
                    if (model::g_sessionJoined)
                        AircraftInfo(port, from, m, lastLabel);
                    break;
                case MP_REMOVED:
                    result.end = TickEnd::Removed;
                    return result;
                case MP_POSITION:
                    if (model::g_sessionJoined)
                        Position(port, from, m, 20, taken, result.reports);
                    break;
                case MP_POSITION_LONG:
                    if (model::g_sessionJoined)
                        Position(port, from, m, 36, taken, result.reports);
                    break;
                case MP_CHAT: {
                    const std::string text = ChatText(m);
                    if (!text.empty())
                        result.chatLines.push_back(port.GetPlayerFriendlyName(from) + ": " + text);
                    break;
                }
                default:
                    // Other types and DirectPlay's own notices; a departure is noted for the
                    // aids, the table is left as it is.
                    if (from == 0 && *type == kPlayerLeftNotice)
                        result.departed.push_back(*Long(m, 4));
                    else if (from != 0 && *type == coord::kMessageType)
                        result.coordination.emplace_back(from, m);
                    break;
            }
        }
    } catch (const dp::DirectPlayError&) {
        // The tick ends; what is still queued waits for the next one.
    }
    return result;
}

JoinAnswer PollJoinAnswer(LinkPort& port) {
    if (!model::HasLocalPlayer())
        return JoinAnswer::Waiting;
    try {
        std::int32_t n = port.GetMessageCount(model::g_localPlayerId);
        while (n >= 1) {
            std::int32_t from = 0;
            std::int32_t to = 0;
            const Bytes m = port.Receive(from, to);
            --n;
            const auto type = Long(m, 0);
            if (!type)
                continue;
            if (*type == MP_PLAYER_HERE && Long(m, 8) == model::g_localPlayerId)
                return JoinAnswer::Accepted;
            if (*type == MP_JOIN_REFUSED)
                return JoinAnswer::Refused;
        }
    } catch (const dp::DirectPlayError&) {
        // The next tick tries again.
    }
    return JoinAnswer::Waiting;
}

void ClearTraffic() {
    for (std::int16_t i = 1;
         i <= model::g_trafficCount && i < static_cast<std::int16_t>(model::kTrafficRows); ++i)
        model::g_traffic[static_cast<std::size_t>(i)] = model::TrafficEntry{};
    model::g_trafficCount = 0;
}

void RollCall(LinkPort& port) {
    if (model::HasLocalPlayer()) {
        // Each request is a message of its own: one that fails does not keep back the other,
        // and the table is emptied all the same.
        for (const std::int32_t request : {MP_ROLL_CALL, MP_AIRCRAFT_INFO_REQUEST}) {
            try {
                port.Send(model::g_localPlayerId, 0, EmptyMessage(request));
            } catch (const dp::DirectPlayError&) {
            }
        }
    }
    ClearTraffic();
}

std::optional<std::string> SendChat(LinkPort& port, std::string_view ansiText) {
    if (!model::HasLocalPlayer())
        return std::nullopt;
    bool sent = true;
    try {
        port.Send(model::g_localPlayerId, 0, ChatMessage(ansiText));
    } catch (const dp::DirectPlayError&) {
        sent = false;
    }
    // Without the nickname the line still says whether the message went.
    std::string nickname;
    try {
        nickname = port.GetPlayerFriendlyName(model::g_localPlayerId);
    } catch (const dp::DirectPlayError&) {
    }
    std::string line = nickname + ": " + std::string(ansiText);
    if (!sent)
        line += " (not sent)";
    return line;
}

void InitDirectPlay() {
    if (!model::g_directX)
        model::g_directX = std::make_shared<dp::DirectX7>();
    model::g_directPlay = model::g_directX->DirectPlayCreate("");
    model::g_connectionList =
        model::g_directPlay->GetDPEnumConnections("", dp::kConnectionsDirectPlay);
}

void ReleaseDirectPlay() {
    model::g_connectionList.reset();
    model::g_sessionList.reset();
    model::g_directPlay.reset();
}

}  // namespace mplink
