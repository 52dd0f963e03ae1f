#pragma once

// The host's player IDs. An ID is an index in its low half and a uniqueness count in its high
// half, XORed with the session's mask (the description's Reserved1). The host hands each ID to
// one machine and reserves it for that machine: a joining machine's system player until its
// ADDFORWARDREQUEST comes, an application player until its CREATEPLAYER comes. An ID that no
// reservation names, or that another machine asks for, is refused; reservations lapse. No ID
// (and no index, which the reliable protocol's frames address players by) that a player or a
// reservation holds is handed out again, however many IDs a long session goes through. Pure:
// no sockets, no clock of its own.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace directplay {

class PlayerIdIssuer {
public:
    struct Holder {
        std::uint32_t ip = 0;
        std::uint16_t port = 0;  // the machine's listening TCP port, as its frames name it
    };

    void SetMask(std::uint32_t mask) { m_mask = mask; }
    // A new ID; `indexInUse` says whether a player of the session holds an index. Nullopt
    // when every index is held.
    std::optional<std::int32_t> Issue(const std::function<bool(std::uint16_t)>& indexInUse);
    // An ID of the session handed out by another host: new ones go beyond its count.
    void Seen(std::int32_t id);
    std::uint16_t IndexOf(std::int32_t id) const {
        return static_cast<std::uint16_t>((static_cast<std::uint32_t>(id) ^ m_mask) & 0xFFFF);
    }

    void Reserve(std::int32_t id, Holder holder, bool system, std::int64_t nowMs);
    // Whether `id` was handed to this machine for a player of this kind; the reservation is
    // used up either way it matches.
    bool Claim(std::int32_t id, Holder holder, bool system);
    // Reservations older than `ttlMs` lapse; returns how many did.
    std::size_t Expire(std::int64_t nowMs, std::int64_t ttlMs);
    std::size_t Reserved(bool system) const;
    void Clear() { m_reservations.clear(); }

private:
    struct Reservation {
        std::int32_t id;
        Holder holder;
        bool system;
        std::int64_t at;
    };
    std::uint32_t m_mask = 0;
    std::uint32_t m_issued = 0;  // IDs handed out so far, counting those of earlier hosts
    std::vector<Reservation> m_reservations;
};

}  // namespace directplay
