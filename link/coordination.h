#pragma once

// Controllers in one session: the messages Tarvolo instances exchange to see each other, own
// aircraft, hand them off and talk among themselves, and the board every instance keeps of
// them. A coordinating instance marks its player with game data (kMark); coordination
// messages go only to marked players, each with a type word no simulator message uses, the
// format's version and its own kind, so anything else that reads them can pass them over.
// The board applies a message only when the sender may send it: the owner releases, offers
// and edits a strip, the receiver of an offer answers it; two claims at once resolve alike on
// every instance (the earlier claim, then the lower unsigned player ID).

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace coord {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::int32_t kMessageType = 0x31435654;  // "TVC1": no simulator type
inline constexpr std::uint16_t kVersion = 1;
inline constexpr std::int64_t kOfferMs = 60000;  // an unanswered offer lapses
inline constexpr std::size_t kLongestText = 200;

// The game data of a coordinating player, and whether data is such a mark.
Bytes PlayerMark();
bool IsMarked(std::span<const std::uint8_t> playerData);

enum class Kind : std::uint16_t {
    Announce = 1,  // position, frequency, airport
    Claim,         // callsign
    Release,       // callsign
    Offer,         // callsign, position (to), strip
    Accept,        // callsign
    Refuse,        // callsign
    PointOut,      // callsign, position (to), text
    Chat,          // position (to; empty: every controller), text
    Strip,         // callsign, strip
};

struct Strip {
    std::string altitude;
    std::string heading;
    std::string runway;
    std::string squawk;
    std::string remarks;
    bool operator==(const Strip&) const = default;
};

struct Message {
    Kind kind = Kind::Announce;
    std::int64_t stamp = 0;  // the sender's clock, Unix milliseconds
    std::string callsign;
    std::string position;
    std::string frequency;
    std::string airport;
    std::string text;
    Strip strip;
    bool operator==(const Message&) const = default;
};

Bytes Encode(const Message& message);

enum class Decoded { Message, NotOurs, Newer, UnknownKind, Malformed };
struct DecodeResult {
    Decoded what = Decoded::NotOurs;
    Message message;
};
// Newer versions and unknown kinds are passed over, not taken as damage.
DecodeResult Decode(std::span<const std::uint8_t> bytes);

class Board {
public:
    struct Controller {
        std::int32_t player = 0;
        std::string position;
        std::string frequency;
        std::string airport;
        std::int64_t since = 0;
    };
    struct Ownership {
        std::int32_t owner = 0;
        std::int64_t claimed = 0;  // the claim's stamp, for claims at once
        Strip strip;
    };
    struct Offer {
        std::string callsign;
        std::int32_t from = 0;
        std::int32_t to = 0;
        std::int64_t at = 0;  // when it was received
        Strip strip;
    };
    struct Line {  // a point-out or a chat line
        Kind kind = Kind::Chat;
        std::int32_t from = 0;
        std::string toPosition;  // empty: every controller
        std::string callsign;
        std::string text;
    };

    enum class Verdict { Applied, Refused };
    // A message from `from` (a marked player), received at `now`.
    Verdict Apply(std::int32_t from, const Message& message, std::int64_t now);
    // The controller left the session: its aircraft are unowned, its offers gone.
    std::vector<std::string> Leave(std::int32_t player);
    // Offers unanswered for kOfferMs; they are gone.
    std::vector<Offer> Expire(std::int64_t now);
    // Point-outs and chat lines since the last call.
    std::vector<Line> TakeLines();

    const std::map<std::int32_t, Controller>& Controllers() const { return m_controllers; }
    const Controller* ControllerAt(const std::string& position) const;
    std::optional<std::int32_t> Owner(const std::string& callsign) const;
    const Ownership* OwnershipOf(const std::string& callsign) const;
    const std::vector<Offer>& Offers() const { return m_offers; }
    const std::map<std::string, Ownership>& OwnersList() const { return m_owners; }
    std::uint64_t Refused() const { return m_refused; }

private:
    Verdict Refuse();

    std::map<std::int32_t, Controller> m_controllers;
    std::map<std::string, Ownership> m_owners;
    std::vector<Offer> m_offers;
    std::vector<Line> m_lines;
    std::uint64_t m_refused = 0;
};

}  // namespace coord
