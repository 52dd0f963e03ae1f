// Received simulator messages through the main window's message loop and the Connection
// window's wait for an answer, and the positions they carry into the aircraft's tracks, their
// fitted speeds and the conflict search. The input is a queue: [u8 sender][u16 length][bytes]...
#include <cstddef>
#include <cstdint>
#include <deque>

#include "directplay/errors.h"
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
    double clock = 0;
    for (int tick = 0; tick < 64 && !port.queue.empty(); ++tick) {
        const auto result =
            mplink::ProcessMessages(port, watchdog, [&clock] { return clock += 0.01; });
        for (const auto& report : result.reports)
            history.Add(report.name, {report.latitude, report.longitude, report.altitude, report.t},
                        report.player);
        for (std::int32_t player : result.departed)
            history.Depart(player);
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
