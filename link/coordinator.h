#pragma once

// One controller in a session: its player carries the mark, it announces itself to every
// marked player it sees (and tells newcomers what it owns), keeps the board from their
// messages and its own, and turns what the controller does (claim, offer, accept …) into
// messages for the marked players only. The main window, `tarvolo-tool watch --position` and
// simhost's scripted controllers all drive one from their message loops.

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "link/coordination.h"

namespace directplay {
class DirectPlay4;
}

namespace coord {

// What a controller needs of the session.
class Session {
public:
    virtual ~Session() = default;
    // The other players whose data carries the mark.
    virtual std::vector<std::int32_t> MarkedPlayers() = 0;
    // A guaranteed message to one player; a player gone meanwhile is not an error.
    virtual void Send(std::int32_t to, const Bytes& message) = 0;
    virtual std::string Nickname(std::int32_t player) = 0;
};

// The session through a DirectPlay object, for the local player `me`.
class DirectPlaySession : public Session {
public:
    DirectPlaySession(directplay::DirectPlay4& play, std::int32_t me) : m_play(play), m_me(me) {}
    std::vector<std::int32_t> MarkedPlayers() override;
    void Send(std::int32_t to, const Bytes& message) override;
    std::string Nickname(std::int32_t player) override;
    std::uint64_t BytesSent() const { return m_bytesSent; }

private:
    directplay::DirectPlay4& m_play;
    std::int32_t m_me;
    std::uint64_t m_bytesSent = 0;
};

struct Identity {
    std::string position;  // e.g. TVO_TWR
    std::string frequency;
    std::string airport;  // ICAO of the loaded airport
};

// What a tick brought the controller.
struct Events {
    std::vector<Board::Line> lines;     // from the others, to every controller or to this one
    std::vector<Board::Offer> offered;  // new offers to this controller
    struct Handed {
        std::string callsign;
        std::string position;  // the receiver, who now owns it
        std::string frequency;
    };
    std::vector<Handed> accepted;       // this controller's offers the receiver took
    std::vector<Board::Offer> refused;  // this controller's offers the receiver declined
    std::vector<Board::Offer> lapsed;   // offers unanswered for a minute
    std::vector<std::string> freed;     // aircraft whose owner left the session
    // Players announcing our own position (once each): the others may list them, not us.
    struct Clash {
        std::int32_t player = 0;
        std::string nickname;
    };
    std::vector<Clash> clashes;
    bool changed = false;  // the board is not as it was
};

// Done: applied and sent; Wait: not possible yet (an unknown position, no offer yet);
// Failed: never possible as asked. `why` says why not.
enum class Outcome { Done, Wait, Failed };

class Coordinator {
public:
    // Without a session it only keeps the board from recorded messages (a replay).
    Coordinator(Session* session, std::int32_t me, Identity identity, std::int64_t now);

    // The tick's coordination messages (with senders) and the players that left, at `now`.
    Events Tick(const std::vector<std::pair<std::int32_t, Bytes>>& received,
                const std::vector<std::int32_t>& departed, std::int64_t now);
    // A message the board took, as a recording holds it: its sender with the sender's
    // nickname then, and the message as sent.
    struct Applied {
        std::int32_t from = 0;
        std::string nickname;
        Bytes bytes;
    };
    // A recorded message: applied without asking who is marked, nothing sent.
    void ApplyRecorded(const Applied& recorded, std::int64_t now, Events& events);
    // A recorded tick: its messages, then its departures and the offers that lapsed by `now`.
    Events Replay(const std::vector<Applied>& recorded, const std::vector<std::int32_t>& departed,
                  std::int64_t now);
    // The controller loaded another airport: the others are told.
    void SetAirport(const std::string& airport, std::int64_t now);

    Outcome Claim(const std::string& callsign, std::int64_t now, std::string& why);
    Outcome Release(const std::string& callsign, std::int64_t now, std::string& why);
    Outcome Offer(const std::string& callsign, const std::string& position, std::int64_t now,
                  std::string& why);
    Outcome Accept(const std::string& callsign, std::int64_t now, std::string& why);
    Outcome Refuse(const std::string& callsign, std::int64_t now, std::string& why);
    Outcome PointOut(const std::string& callsign, const std::string& position,
                     const std::string& text, std::int64_t now, std::string& why);
    // To one position, or with an empty position to every controller.
    Outcome Chat(const std::string& position, const std::string& text, std::int64_t now,
                 std::string& why);
    Outcome SetStrip(const std::string& callsign, const Strip& strip, std::int64_t now,
                     std::string& why);

    const coord::Board& Board() const { return m_board; }
    std::int32_t Me() const { return m_me; }
    const Identity& Self() const { return m_identity; }
    std::string PositionOf(std::int32_t player) const;
    std::string FrequencyOf(std::int32_t player) const;
    // The controller's nickname in the session when it announced itself.
    std::string NicknameOf(std::int32_t player) const;
    // Whether an offer of `callsign` waits for this controller's answer.
    bool OfferedToMe(const std::string& callsign) const;
    // Messages refused: from unmarked players, malformed, or contradicting the board.
    std::uint64_t Refused() const { return m_refused + m_board.Refused(); }
    // Every message the board took since the last call (the others' and ours), as sent: what
    // a recording keeps.
    std::vector<Applied> TakeApplied() { return std::exchange(m_applied, {}); }

private:
    Message Make(Kind kind, std::int64_t now) const;
    Board::Verdict ApplyOwn(const Message& message, std::int64_t now);
    void Take(std::int32_t from, const std::string& nickname, const Message& message,
              std::int64_t now, Events& events);
    void Keep(std::int32_t from, const std::string& nickname, const Message& message);
    Outcome Answer(Kind kind, const std::string& callsign, std::int64_t now, std::string& why);
    // To the other controller at m.position alone (kept as ours).
    Outcome SendToPosition(Message m, std::string& why);
    void Send(std::int32_t to, const Message& message);
    void SendToAll(const Message& message);

    Session* m_session;
    std::int32_t m_me;
    Identity m_identity;
    coord::Board m_board;
    std::set<std::int32_t> m_told;  // marked players told of us
    std::vector<std::int32_t> m_marked;
    std::vector<Applied> m_applied;
    std::map<std::int32_t, std::string> m_nicknames;
    std::set<std::int32_t> m_clashes;  // players told of as announcing our position
    std::uint64_t m_refused = 0;
};

}  // namespace coord
