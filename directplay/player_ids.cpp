#include "directplay/player_ids.h"

#include <algorithm>

namespace directplay {

std::optional<std::int32_t> PlayerIdIssuer::Issue(
    const std::function<bool(std::uint16_t)>& indexInUse) {
    // The n-th ID has index n (mod 2^16) and, for the first 65535, the same uniqueness
    // count; after that the count goes on from the index by the number of times round, so an
    // index used again comes with another ID. An index a player or a reservation holds is
    // passed over. 0 addresses every player and 0xFFFFFFFF is DirectPlay's "unknown": a mask
    // that would turn a count into either skips that count.
    for (std::uint32_t tries = 0; tries <= 0x10000; ++tries) {
        ++m_issued;
        const std::uint32_t index = m_issued & 0xFFFF;
        const std::uint32_t unique = (index + (m_issued >> 16)) & 0xFFFF;
        const std::uint32_t id = ((unique << 16) | index) ^ m_mask;
        if (index == 0 || id == 0 || id == 0xFFFFFFFFu)
            continue;
        const bool reserved =
            std::any_of(m_reservations.begin(), m_reservations.end(),
                        [&](const Reservation& r) { return IndexOf(r.id) == index; });
        if (reserved || indexInUse(static_cast<std::uint16_t>(index)))
            continue;
        return static_cast<std::int32_t>(id);
    }
    return std::nullopt;
}

void PlayerIdIssuer::Seen(std::int32_t id) {
    const std::uint32_t raw = static_cast<std::uint32_t>(id) ^ m_mask;
    m_issued = std::max({m_issued, raw & 0xFFFF, raw >> 16});
}

void PlayerIdIssuer::Reserve(std::int32_t id, Holder holder, bool system, std::int64_t nowMs) {
    m_reservations.push_back({id, holder, system, nowMs});
}

bool PlayerIdIssuer::Claim(std::int32_t id, Holder holder, bool system) {
    auto it = std::find_if(m_reservations.begin(), m_reservations.end(),
                           [&](const Reservation& r) { return r.id == id; });
    if (it == m_reservations.end())
        return false;
    const bool match =
        it->holder.ip == holder.ip && it->holder.port == holder.port && it->system == system;
    if (match)
        m_reservations.erase(it);
    return match;
}

std::size_t PlayerIdIssuer::Expire(std::int64_t nowMs, std::int64_t ttlMs) {
    return std::erase_if(m_reservations,
                         [&](const Reservation& r) { return nowMs - r.at > ttlMs; });
}

std::size_t PlayerIdIssuer::Reserved(bool system) const {
    return static_cast<std::size_t>(
        std::count_if(m_reservations.begin(), m_reservations.end(),
                      [&](const Reservation& r) { return r.system == system; }));
}

}  // namespace directplay
