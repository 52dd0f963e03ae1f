#pragma once

// The multiplayer link's logic, without windows: the simulator's message catalogue, the
// message loop that keeps the traffic table, the answer to a join, chat lines, and the
// DirectPlay object's life. The windows (the Connection window, the main window) and
// `tarvolo-tool watch` drive it from their timers.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace directplay {
class DirectPlay4;
}

namespace mplink {

using Bytes = std::vector<std::uint8_t>;

enum MessageType : std::int32_t {
    MP_JOIN_REQUEST = 4097,
    MP_PLAYER_HERE = 4099,
    MP_ALIVE = 4100,
    MP_JOIN_REFUSED = 4101,
    MP_ROLL_CALL = 4103,
    MP_JOIN_PENDING = 4104,
    MP_AIRCRAFT_INFO = 4110,
    MP_AIRCRAFT_INFO_REQUEST = 4111,
    MP_REMOVED = 4118,
    MP_POSITION = 4120,
    MP_POSITION_LONG = 4121,
    MP_CHAT = 4131,
};

inline constexpr std::int16_t kWatchdogSeconds = 60;

// What the loop needs of DirectPlay; every call may throw directplay::DirectPlayError.
class LinkPort {
public:
    virtual ~LinkPort() = default;
    virtual std::int32_t GetMessageCount(std::int32_t playerId) = 0;
    virtual Bytes Receive(std::int32_t& from, std::int32_t& to) = 0;
    virtual std::string GetPlayerFriendlyName(std::int32_t playerId) = 0;
    virtual void Send(std::int32_t from, std::int32_t to, const Bytes& message) = 0;
};

// The port onto `g_directPlay`; with no DirectPlay object every call is a DirectPlay error.
class DirectPlayPort : public LinkPort {
public:
    explicit DirectPlayPort(std::shared_ptr<directplay::DirectPlay4> play)
        : m_play(std::move(play)) {}
    std::int32_t GetMessageCount(std::int32_t playerId) override;
    Bytes Receive(std::int32_t& from, std::int32_t& to) override;
    std::string GetPlayerFriendlyName(std::int32_t playerId) override;
    void Send(std::int32_t from, std::int32_t to, const Bytes& message) override;

private:
    directplay::DirectPlay4& Play();
    std::shared_ptr<directplay::DirectPlay4> m_play;
};

// Conversions of the position messages.
double Attitude_To_Heading(std::int32_t attitude);  // true heading, whole degrees 0..360
double LatitudeOfWord(std::int32_t raw);
double LongitudeOfWord(std::int32_t raw);
std::int32_t AltitudeOfWord(std::int32_t raw);  // feet, halves to even

// The latitude and longitude an MP_POSITION or MP_POSITION_LONG message carries; none for
// another message or one cut short.
std::optional<std::pair<double, double>> PositionOfMessage(const Bytes& message);

// Messages the program sends.
Bytes EmptyMessage(std::int32_t type);           // type, size 0
Bytes PlayerHereMessage(std::int32_t playerId);  // MP_PLAYER_HERE naming the player
Bytes ChatMessage(std::string_view ansiText);    // 8 + 3n bytes, declared payload 2n

// The text of a received MP_CHAT: the first m - 1 payload bytes (zero bytes kept), m clamped
// to what arrived; empty when m is at most 1.
std::string ChatText(const Bytes& message);

// DirectPlay's notice that a player left the session (from player 0: type, then the ID).
inline constexpr std::int32_t kPlayerLeftNotice = 0x0005;

// A position as the loop read it, whether or not its sender has a row yet.
struct PositionReport {
    std::string name;
    std::int32_t player = 0;
    double latitude = 0;
    double longitude = 0;
    std::int32_t altitude = 0;
    double t = 0;  // the clock when the message was taken from the queue, seconds
};

// One tick of the main window's message loop.
enum class TickEnd { Normal, SessionLost, Removed };
struct TickResult {
    TickEnd end = TickEnd::Normal;
    std::vector<std::string> chatLines;   // "name: text", for the chat log in this order
    std::vector<PositionReport> reports;  // the tick's positions, in the order taken
    std::vector<std::int32_t> departed;   // players DirectPlay told have left
    // Controllers' coordination messages (type coord::kMessageType), with their senders; the
    // loop itself passes them over like every type it does not know.
    std::vector<std::pair<std::int32_t, Bytes>> coordination;
};
// `clock` (seconds) stamps each position as its message is taken; without it they read 0.
TickResult ProcessMessages(LinkPort& port, std::int16_t& watchdog,
                           const std::function<double()>& clock = {});

// The Connection window's wait for the host's answer (one tick).
enum class JoinAnswer { Waiting, Accepted, Refused };
JoinAnswer PollJoinAnswer(LinkPort& port);

// Roll call: MP_ROLL_CALL then MP_AIRCRAFT_INFO_REQUEST when a player exists (errors ignored),
// then the table emptied in every case.
void RollCall(LinkPort& port);
void ClearTraffic();

// Sends a chat line from the local player; returns the log line ("nickname: text", with
// " (not sent)" when sending failed), or nothing when there is no player.
std::optional<std::string> SendChat(LinkPort& port, std::string_view ansiText);

// The DirectPlay object's life: created fresh with its connection list, and dropped.
void InitDirectPlay();
void ReleaseDirectPlay();

}  // namespace mplink
