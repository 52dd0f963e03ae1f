#pragma once

// What the session's files share and nobody else needs: its port ranges, timings, clock and
// small helpers.

#include <QElapsedTimer>
#include <QHostAddress>
#include <cstdint>
#include <string>

#include "directplay/errors.h"

namespace directplay::session_internal {

inline constexpr std::uint16_t kFirstStreamPort = 2300;
inline constexpr std::uint16_t kLastStreamPort = 2349;
inline constexpr std::uint16_t kFirstDatagramPort = 2350;
inline constexpr std::uint16_t kLastDatagramPort = 2399;
inline constexpr int kEnumResendMs = 500;
inline constexpr int kMaxUnansweredPings = 8;

// Milliseconds since the first call, on a monotonic clock that does not wrap: every time
// the session compares (retries, stalls, reservations, creations) is taken from it.
inline std::int64_t NowMs() {
    static QElapsedTimer clock = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return clock.elapsed();
}

// The same clock cut to the 32 bits pings carry on the wire (it wraps after 49.7 days: only
// ever echoed, never compared).
inline std::uint32_t TickCount() {
    return static_cast<std::uint32_t>(NowMs());
}

inline std::uint32_t Ipv4(const QHostAddress& address) {
    bool ok = false;
    const std::uint32_t v = address.toIPv4Address(&ok);
    return ok ? v : 0;
}

// The wanted port, or the first free one of DirectPlay's range, or any.
template <typename Socket>
bool BindInRange(Socket& bind, std::uint16_t wanted, std::uint16_t first, std::uint16_t last) {
    if (wanted != 0)
        return bind(wanted);
    for (std::uint32_t port = first; port <= last; ++port) {
        if (bind(static_cast<std::uint16_t>(port)))
            return true;
    }
    return bind(0);
}

[[noreturn]] inline void Fail(std::int32_t code, const std::string& text) {
    throw DirectPlayError(code, text);
}

}  // namespace directplay::session_internal
