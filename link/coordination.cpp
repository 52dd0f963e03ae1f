#include "link/coordination.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace coord {
namespace {

constexpr char kMarkText[] = "TARVOLO-ATC";

void PutU16(Bytes& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void PutU32(Bytes& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void PutU64(Bytes& out, std::uint64_t v) {
    for (int i = 0; i < 8; ++i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void PutText(Bytes& out, const std::string& text) {
    const std::size_t n = std::min(text.size(), kLongestText);
    PutU16(out, static_cast<std::uint16_t>(n));
    out.insert(out.end(), text.begin(), text.begin() + static_cast<std::ptrdiff_t>(n));
}

// Reads front to back; any read past the end marks the whole read bad.
class Reader {
public:
    explicit Reader(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}
    bool Good() const { return m_good; }
    std::uint64_t Unsigned(std::size_t width) {
        if (m_at + width > m_bytes.size()) {
            m_good = false;
            return 0;
        }
        std::uint64_t v = 0;
        for (std::size_t i = 0; i < width; ++i)
            v |= static_cast<std::uint64_t>(m_bytes[m_at + i]) << (8 * i);
        m_at += width;
        return v;
    }
    std::string Text() {
        const auto n = static_cast<std::size_t>(Unsigned(2));
        if (!m_good || n > kLongestText || m_at + n > m_bytes.size()) {
            m_good = false;
            return {};
        }
        std::string text(m_bytes.begin() + static_cast<std::ptrdiff_t>(m_at),
                         m_bytes.begin() + static_cast<std::ptrdiff_t>(m_at + n));
        m_at += n;
        return text;
    }

private:
    std::span<const std::uint8_t> m_bytes;
    std::size_t m_at = 0;
    bool m_good = true;
};

}  // namespace

Bytes PlayerMark() {
    Bytes mark(kMarkText, kMarkText + std::strlen(kMarkText));
    PutU16(mark, kVersion);
    return mark;
}

bool IsMarked(std::span<const std::uint8_t> data) {
    const std::size_t n = std::strlen(kMarkText);
    return data.size() >= n + 2 && std::equal(kMarkText, kMarkText + n, data.begin());
}

Bytes Encode(const Message& m) {
    Bytes out;
    PutU32(out, static_cast<std::uint32_t>(kMessageType));
    PutU32(out, 0);  // the payload's size, below
    PutU16(out, kVersion);
    PutU16(out, static_cast<std::uint16_t>(m.kind));
    PutU64(out, static_cast<std::uint64_t>(m.stamp));
    for (const std::string* text :
         {&m.callsign, &m.position, &m.frequency, &m.airport, &m.text, &m.strip.altitude,
          &m.strip.heading, &m.strip.runway, &m.strip.squawk, &m.strip.remarks})
        PutText(out, *text);
    const auto size = static_cast<std::uint32_t>(out.size() - 8);
    for (int i = 0; i < 4; ++i)
        out[4 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(size >> (8 * i));
    return out;
}

DecodeResult Decode(std::span<const std::uint8_t> bytes) {
    DecodeResult result;
    Reader r(bytes);
    const auto type = static_cast<std::int32_t>(r.Unsigned(4));
    r.Unsigned(4);  // the declared size: the fields say where they end
    if (!r.Good() || type != kMessageType)
        return result;  // not ours
    const auto version = static_cast<std::uint16_t>(r.Unsigned(2));
    const auto kind = static_cast<std::uint16_t>(r.Unsigned(2));
    result.what = Decoded::Malformed;
    if (!r.Good() || version == 0)
        return result;
    if (version > kVersion) {
        result.what = Decoded::Newer;
        return result;
    }
    if (kind < static_cast<std::uint16_t>(Kind::Announce) ||
        kind > static_cast<std::uint16_t>(Kind::Strip)) {
        result.what = Decoded::UnknownKind;
        return result;
    }
    Message& m = result.message;
    m.kind = static_cast<Kind>(kind);
    m.stamp = static_cast<std::int64_t>(r.Unsigned(8));
    for (std::string* text :
         {&m.callsign, &m.position, &m.frequency, &m.airport, &m.text, &m.strip.altitude,
          &m.strip.heading, &m.strip.runway, &m.strip.squawk, &m.strip.remarks})
        *text = r.Text();
    if (r.Good())
        result.what = Decoded::Message;  // what follows belongs to a later minor form
    return result;
}

Board::Verdict Board::Refuse() {
    ++m_refused;
    return Verdict::Refused;
}

const Board::Controller* Board::ControllerAt(const std::string& position) const {
    for (const auto& [player, controller] : m_controllers)
        if (controller.position == position)
            return &controller;
    return nullptr;
}

std::optional<std::int32_t> Board::Owner(const std::string& callsign) const {
    auto it = m_owners.find(callsign);
    return it == m_owners.end() ? std::nullopt : std::optional(it->second.owner);
}

const Board::Ownership* Board::OwnershipOf(const std::string& callsign) const {
    auto it = m_owners.find(callsign);
    return it == m_owners.end() ? nullptr : &it->second;
}

Board::Verdict Board::Apply(std::int32_t from, const Message& m, std::int64_t now) {
    if (m.kind == Kind::Announce) {
        if (m.position.empty())
            return Refuse();
        // A position is one controller's: another player announcing it is refused.
        if (const Controller* holder = ControllerAt(m.position); holder && holder->player != from)
            return Refuse();
        Controller& controller = m_controllers[from];
        const bool fresh = controller.player == 0;
        controller = {from, m.position, m.frequency, m.airport, fresh ? m.stamp : controller.since};
        return Verdict::Applied;
    }
    if (!m_controllers.count(from))
        return Refuse();  // nothing before an announcement
    auto owned = m_owners.find(m.callsign);
    const bool mine = owned != m_owners.end() && owned->second.owner == from;
    auto offer = std::find_if(m_offers.begin(), m_offers.end(),
                              [&](const Offer& o) { return o.callsign == m.callsign; });
    switch (m.kind) {
        case Kind::Claim: {
            if (m.callsign.empty())
                return Refuse();
            if (owned == m_owners.end()) {
                m_owners[m.callsign] = {from, m.stamp, {}};
                return Verdict::Applied;
            }
            if (mine)
                return Verdict::Applied;
            // Claims at once: the earlier, then the lower unsigned ID, on every instance.
            const auto key = [](std::int64_t stamp, std::int32_t player) {
                return std::pair(stamp, static_cast<std::uint32_t>(player));
            };
            if (key(m.stamp, from) < key(owned->second.claimed, owned->second.owner)) {
                owned->second = {from, m.stamp, owned->second.strip};
                std::erase_if(m_offers, [&](const Offer& o) { return o.callsign == m.callsign; });
                return Verdict::Applied;
            }
            return Refuse();
        }
        case Kind::Release:
            if (!mine)
                return Refuse();
            m_owners.erase(owned);
            std::erase_if(m_offers, [&](const Offer& o) { return o.callsign == m.callsign; });
            return Verdict::Applied;
        case Kind::Offer: {
            const Controller* to = ControllerAt(m.position);
            if (!mine || !to || to->player == from)
                return Refuse();
            if (offer != m_offers.end())
                m_offers.erase(offer);
            owned->second.strip = m.strip;
            m_offers.push_back({m.callsign, from, to->player, now, m.strip});
            return Verdict::Applied;
        }
        case Kind::Accept:
            if (offer == m_offers.end() || offer->to != from)
                return Refuse();
            m_owners[m.callsign] = {from, m.stamp, offer->strip};
            m_offers.erase(offer);
            return Verdict::Applied;
        case Kind::Refuse:
            if (offer == m_offers.end() || offer->to != from)
                return Refuse();
            m_offers.erase(offer);
            return Verdict::Applied;
        case Kind::PointOut:
            if (m.callsign.empty() || !ControllerAt(m.position))
                return Refuse();
            m_lines.push_back({Kind::PointOut, from, m.position, m.callsign, m.text});
            return Verdict::Applied;
        case Kind::Chat:
            if (!m.position.empty() && !ControllerAt(m.position))
                return Refuse();
            m_lines.push_back({Kind::Chat, from, m.position, {}, m.text});
            return Verdict::Applied;
        case Kind::Strip:
            if (!mine)
                return Refuse();
            owned->second.strip = m.strip;
            return Verdict::Applied;
        case Kind::Announce:
            break;
    }
    return Refuse();
}

std::vector<std::string> Board::Leave(std::int32_t player) {
    std::vector<std::string> released;
    for (auto it = m_owners.begin(); it != m_owners.end();) {
        if (it->second.owner == player) {
            released.push_back(it->first);
            it = m_owners.erase(it);
        } else {
            ++it;
        }
    }
    std::erase_if(m_offers, [&](const Offer& o) { return o.from == player || o.to == player; });
    m_controllers.erase(player);
    return released;
}

std::vector<Board::Offer> Board::Expire(std::int64_t now) {
    std::vector<Offer> lapsed;
    std::erase_if(m_offers, [&](const Offer& o) {
        if (now - o.at < kOfferMs)
            return false;
        lapsed.push_back(o);
        return true;
    });
    return lapsed;
}

std::vector<Board::Line> Board::TakeLines() {
    return std::exchange(m_lines, {});
}

}  // namespace coord
