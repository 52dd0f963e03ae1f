// Controllers coordinating at steady state: ten controllers, a hundred aircraft, each aircraft
// handed to another controller (offer, strip, accept) every five minutes, each controller
// saying a line on the channel every minute and pointing an aircraft out every two. One
// iteration is one second of the session for all ten: every coordinator's tick with what
// arrived, the offers and answers due, and the owners gathered for the window's views.

#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "link/coordinator.h"
#include "tests/support/coordination_exchange.h"

namespace bench {

double g_coordinationBytesPerControllerSecond = 0;

namespace {

constexpr int kControllers = 10;
constexpr int kAircraft = 100;
constexpr int kHandoffSeconds = 300;

struct Session {
    Session() {
        for (int c = 0; c < kControllers; ++c) {
            const std::int32_t id =
                static_cast<std::int32_t>(0x9E370000u + 17u * static_cast<unsigned>(c + 1));
            ids.push_back(id);
            const std::string position = "POS_" + std::to_string(c);
            coordinators.push_back(std::make_unique<coord::Coordinator>(
                &exchange.Join(id, "Controller " + std::to_string(c)), id,
                coord::Identity{position, "118." + std::to_string(c), "KTVO"}, 0));
        }
        for (int a = 0; a < kAircraft; ++a)
            callsigns.push_back("DAL" + std::to_string(100 + a));
        Second();
        Second();  // everybody has heard everybody
        std::string why;
        for (int a = 0; a < kAircraft; ++a)
            coordinators[static_cast<std::size_t>(a % kControllers)]->Claim(
                callsigns[static_cast<std::size_t>(a)], now, why);
        Second();
    }

    // One second: what is due, then every controller's tick.
    void Second() {
        now += 1000;
        const std::int64_t t = now / 1000;
        std::string why;
        for (int a = 0; a < kAircraft; ++a) {
            // Aircraft spread over the period: each is offered once every kHandoffSeconds.
            if ((t + a * 3) % kHandoffSeconds != 0)
                continue;
            const std::string& callsign = callsigns[static_cast<std::size_t>(a)];
            for (std::size_t c = 0; c < coordinators.size(); ++c) {
                coord::Coordinator& owner = *coordinators[c];
                if (owner.Board().Owner(callsign) != owner.Me())
                    continue;
                owner.SetStrip(callsign, {"4000", "160", "16L", "4521", "vectors"}, now, why);
                owner.Offer(callsign, "POS_" + std::to_string((c + 1) % kControllers), now, why);
                break;
            }
        }
        for (std::size_t c = 0; c < coordinators.size(); ++c) {
            if ((t + static_cast<std::int64_t>(c) * 6) % 60 == 0)
                coordinators[c]->Chat({}, "runway 16L in use, QNH 1013", now, why);
            if ((t + static_cast<std::int64_t>(c) * 12) % 120 == 0)
                coordinators[c]->PointOut(callsigns[c], "POS_" + std::to_string((c + 1) % 10),
                                          "traffic", now, why);
        }
        for (std::size_t c = 0; c < coordinators.size(); ++c) {
            const coord::Events events = coordinators[c]->Tick(exchange.Take(ids[c]), {}, now);
            for (const auto& offer : events.offered)
                coordinators[c]->Accept(offer.callsign, now, why);
            (void)coordinators[c]->TakeApplied();
            // The window's views: each aircraft's owner by position.
            std::map<std::string, std::string> owners;
            for (const auto& [callsign, ownership] : coordinators[c]->Board().OwnersList())
                owners[callsign] = coordinators[c]->PositionOf(ownership.owner);
            benchmark::DoNotOptimize(owners);
        }
    }

    std::uint64_t BytesSent() {
        std::uint64_t bytes = 0;
        for (const std::int32_t id : ids)
            bytes += exchange.At(id).bytesSent;
        return bytes;
    }

    testing_support::Exchange exchange;
    std::vector<std::int32_t> ids;
    std::vector<std::unique_ptr<coord::Coordinator>> coordinators;
    std::vector<std::string> callsigns;
    std::int64_t now = 0;
};

void CoordinationSecond(benchmark::State& state) {
    Session session;
    // Warm to steady state: a full handoff period.
    for (int s = 0; s < kHandoffSeconds; ++s)
        session.Second();
    const std::uint64_t before = session.BytesSent();
    std::int64_t seconds = 0;
    for (auto _ : state) {
        session.Second();
        ++seconds;
    }
    const double perSecond = static_cast<double>(session.BytesSent() - before) /
                             static_cast<double>(seconds) / kControllers;
    g_coordinationBytesPerControllerSecond = perSecond;
    state.counters["bytes_per_controller_s"] = perSecond;
}

BENCHMARK(CoordinationSecond)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(kHandoffSeconds)
    ->Repetitions(3)
    ->ReportAggregatesOnly();

}  // namespace
}  // namespace bench
