// A session recording as a file from anywhere: read tick by tick, found again where each tick
// began, and replayed through the message loop.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "link/link.h"
#include "link/recording.h"
#include "model/shared_state.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    mplink::RecordingReader reader(std::make_unique<std::istringstream>(
        std::string(reinterpret_cast<const char*>(data), size)));
    if (!reader.Usable())
        return 0;
    model::ResetSharedState();
    model::g_localPlayerId = reader.Header().localPlayer.value_or(1);
    model::g_sessionJoined = true;
    std::vector<std::pair<mplink::RecordingReader::Place, std::int64_t>> places;
    mplink::ReplayPort port;
    std::int16_t watchdog = 60;
    for (int ticks = 0; ticks < 256; ++ticks) {
        const auto place = reader.Tell();
        const auto tick = reader.Next();
        if (!tick)
            break;
        places.emplace_back(place, tick->ms);
        for (int i = 0; i < tick->rollCalls; ++i)
            mplink::ClearTraffic();
        port.Load(*tick);
        (void)mplink::ProcessMessages(port, watchdog);
    }
    // Each tick read again from where it began is the same tick.
    for (const auto& [place, ms] : places) {
        reader.Seek(place);
        const auto again = reader.Next();
        if (!again || again->ms != ms)
            __builtin_trap();
    }
    return 0;
}
