// Received simulator messages through the main window's message loop and the Connection
// window's wait for an answer, the positions they carry into the aircraft's tracks, their
// fitted speeds and the conflict search, and the controllers' coordination messages into a
// coordinator's board (players with even IDs are marked). The input is a queue:
// [u8 sender][u16 length][bytes]...
#include <cstddef>
#include <cstdint>
#include <deque>

#include "directplay/errors.h"
#include "link/coordinator.h"
#include "link/link.h"
#include "model/shared_state.h"
#include "radar/aids.h"
#include "radar/conflicts.h"
#include "radar/track_history.h"

namespace {

class FuzzPort : public mplink::LinkPort {
public:
    std::int32_t GetMessageCount(std::int32_t) override {
        return static_cast<std::int32_t>(queue.size());
    }
    mplink::Bytes Receive(std::int32_t& from, std::int32_t& to) override {
        if (queue.empty())
            throw directplay::DirectPlayError(directplay::hresult::kNoMessages, "empty");
        from = queue.front().first;
        to = 0;
        auto bytes = std::move(queue.front().second);
        queue.pop_front();
        return bytes;
    }
    std::string GetPlayerFriendlyName(std::int32_t id) override {
        if (id % 7 == 6)
            throw directplay::DirectPlayError(directplay::hresult::kInvalidPlayer, "gone");
        return "P" + std::to_string(id % 50);  // up to 50 names: more than the table holds
    }
    void Send(std::int32_t, std::int32_t, const mplink::Bytes&) override {}
    std::deque<std::pair<std::int32_t, mplink::Bytes>> queue;
};

class FuzzSession : public coord::Session {
public:
    std::vector<std::int32_t> MarkedPlayers() override {
        std::vector<std::int32_t> marked;
        for (std::int32_t id = 2; id < 256; id += 2)
            marked.push_back(id);
        return marked;
    }
    void Send(std::int32_t, const coord::Bytes&) override {}
    std::string Nickname(std::int32_t id) override { return "C" + std::to_string(id); }
};

// The board never holds what its rules forbid.
void CheckBoard(const coord::Board& board) {
    for (const auto& [callsign, ownership] : board.OwnersList())
        if (!board.Controllers().count(ownership.owner))
            __builtin_trap();
    for (const auto& offer : board.Offers())
        if (board.Owner(offer.callsign) != offer.from || !board.Controllers().count(offer.to) ||
            offer.from == offer.to)
            __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    model::ResetSharedState();
    model::g_localPlayerId = 1;
    model::g_sessionJoined = true;
    FuzzPort port;
    for (std::size_t at = 0; at + 3 <= size;) {
        const std::int32_t from = data[at];
        const std::size_t length = static_cast<std::size_t>(data[at + 1] | (data[at + 2] << 8));
        at += 3;
        const std::size_t take = length < size - at ? length : size - at;
        port.queue.emplace_back(from, mplink::Bytes(data + at, data + at + take));
        at += take;
    }
    const auto queued = port.queue;
    std::int16_t watchdog = 60;
    radar::TrafficHistory history;
    FuzzSession session;
    coord::Coordinator coordinator(&session, 1, {"TVO_GND", "121.90", "KTVO"}, 0);
    double clock = 0;
    for (int tick = 0; tick < 64 && !port.queue.empty(); ++tick) {
        const auto result =
            mplink::ProcessMessages(port, watchdog, [&clock] { return clock += 0.01; });
        for (const auto& report : result.reports)
            history.Add(report.name, {report.latitude, report.longitude, report.altitude, report.t},
                        report.player);
        for (std::int32_t player : result.departed)
            history.Depart(player);
        (void)coordinator.Tick(result.coordination, result.departed,
                               static_cast<std::int64_t>(clock * 1000));
        CheckBoard(coordinator.Board());
        (void)coordinator.TakeApplied();
        clock = tick + 1.0;
        history.Expire(clock);
    }
    radar::AidSettings aids;
    for (const auto& conflict : radar::FindConflicts(history, aids, clock, {}))
        if (conflict.nameA >= conflict.nameB)
            __builtin_trap();
    for (const std::string& name : history.Names()) {
        if (history.Track(name).size() > radar::TrafficHistory::kMaxPoints)
            __builtin_trap();
        (void)history.Dots(name, 5, 5);
    }
    if (model::g_trafficCount < 0 || model::g_trafficCount > 40)
        __builtin_trap();
    port.queue = queued;
    (void)mplink::PollJoinAnswer(port);
    return 0;
}
