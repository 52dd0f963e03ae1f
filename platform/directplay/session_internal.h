#pragma once

// What the session's files share and nobody else needs: its port ranges, timings, clock and
// small helpers.

#include <QElapsedTimer>
#include <QHostAddress>
#include <cstdint>
#include <string>

#include "platform/directplay/errors.h"

namespace platform::directplay::session_internal {

inline constexpr std::uint16_t kFirstStreamPort = 2300;
inline constexpr std::uint16_t kLastStreamPort = 2349;
inline constexpr std::uint16_t kFirstDatagramPort = 2350;
inline constexpr std::uint16_t kLastDatagramPort = 2399;
inline constexpr int kEnumResendMs = 500;
inline constexpr int kMaxUnansweredPings = 8;

// Milliseconds since the first call: the tick count pings carry.
inline std::uint32_t TickCount() {
    static QElapsedTimer clock = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return static_cast<std::uint32_t>(clock.elapsed());
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

}  // namespace platform::directplay::session_internal
