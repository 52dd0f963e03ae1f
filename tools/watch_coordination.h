#pragma once

// watch as a controller (--position): marks its player, announces itself to the other
// coordinating players, keeps the board from their messages, runs the commands it is given
// (one a tick, each waiting up to kCommandWaitMs until it can apply) and prints the
// controllers, owners, offers and new controllers' chat lines with each second's line.

#include <cstdint>
#include <deque>
#include <set>
#include <string>
#include <vector>

#include "link/coordination.h"
#include "link/link.h"
#include "tools/json_writer.h"

namespace directplay {
class DirectPlay4;
}

namespace tools {

class WatchCoordinator {
public:
    static constexpr std::int64_t kCommandWaitMs = 15000;

    WatchCoordinator(directplay::DirectPlay4& play, std::int32_t me, std::string position,
                     std::string frequency);

    void AddCommand(const std::string& line);
    // One tick of the message loop: its coordination messages and departures, then the next
    // command. Failed commands go to `errors`.
    void Tick(const mplink::TickResult& tick, std::int64_t nowMs, std::vector<std::string>& errors);
    // "controllers", "owners", "offers" and "atc" into the open object of a printed line.
    void Write(JsonWriter& out);
    const coord::Board& Board() const { return m_board; }
    std::uint64_t Refused() const { return m_refused + m_board.Refused(); }

private:
    std::vector<std::int32_t> Marked() const;
    void Send(std::int32_t to, const coord::Message& message);
    void SendToAll(const coord::Message& message);
    coord::Message Make(coord::Kind kind, std::int64_t now) const;
    // Done: applied, or impossible for good (with a reason); not done: try again later.
    enum class Outcome { Done, Wait, Failed };
    Outcome Run(const std::string& line, std::int64_t now, std::string& why);
    std::string PositionOf(std::int32_t player) const;

    directplay::DirectPlay4& m_play;
    std::int32_t m_me;
    std::string m_position;
    std::string m_frequency;
    coord::Board m_board;
    std::set<std::int32_t> m_told;  // marked players told of us
    std::deque<std::string> m_commands;
    std::int64_t m_commandSince = -1;
    std::vector<std::string> m_atc;  // new lines since the last printed one
    std::uint64_t m_refused = 0;
};

}  // namespace tools
