#pragma once

// Controllers without a network: every member is a coord::Session whose messages wait in
// the receiver's inbox until the test (or benchmark) delivers them, so ticks, orders and
// departures are the test's to choose. It counts what each member sent and to whom.

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "link/coordinator.h"

namespace testing_support {

class Exchange {
public:
    class Member : public coord::Session {
    public:
        Member(Exchange& exchange, std::int32_t id) : m_exchange(exchange), m_id(id) {}
        std::vector<std::int32_t> MarkedPlayers() override {
            std::vector<std::int32_t> marked;
            for (const auto& [id, member] : m_exchange.m_members)
                if (id != m_id && member.marked)
                    marked.push_back(id);
            return marked;
        }
        void Send(std::int32_t to, const coord::Bytes& message) override {
            bytesSent += message.size();
            m_exchange.m_sent.emplace_back(m_id, to);
            if (auto it = m_exchange.m_members.find(to); it != m_exchange.m_members.end())
                it->second.inbox.emplace_back(m_id, message);
        }
        std::string Nickname(std::int32_t player) override {
            auto it = m_exchange.m_members.find(player);
            return it == m_exchange.m_members.end() ? std::string() : it->second.nickname;
        }
        std::uint64_t bytesSent = 0;

    private:
        Exchange& m_exchange;
        std::int32_t m_id;
    };

    // A player in the session; `marked`: its data carries the coordination mark.
    Member& Join(std::int32_t id, std::string nickname, bool marked = true) {
        auto [it, fresh] = m_members.try_emplace(id, *this, id, std::move(nickname), marked);
        return it->second.session;
    }
    void Leave(std::int32_t id) { m_members.erase(id); }
    Member& At(std::int32_t id) { return m_members.at(id).session; }
    // What waits for `id`, taken.
    std::vector<std::pair<std::int32_t, coord::Bytes>> Take(std::int32_t id) {
        auto it = m_members.find(id);
        return it == m_members.end() ? decltype(it->second.inbox){}
                                     : std::exchange(it->second.inbox, {});
    }
    // Puts a message in `to`'s inbox as if `from` had sent it.
    void Forge(std::int32_t from, std::int32_t to, coord::Bytes message) {
        m_members.at(to).inbox.emplace_back(from, std::move(message));
    }
    bool Marked(std::int32_t id) const {
        auto it = m_members.find(id);
        return it != m_members.end() && it->second.marked;
    }
    // Every (sender, receiver) of every message sent so far.
    const std::vector<std::pair<std::int32_t, std::int32_t>>& Sent() const { return m_sent; }

private:
    struct Entry {
        Entry(Exchange& exchange, std::int32_t id, std::string name, bool mark)
            : session(exchange, id), nickname(std::move(name)), marked(mark) {}
        Member session;
        std::string nickname;
        bool marked;
        std::vector<std::pair<std::int32_t, coord::Bytes>> inbox;
    };
    std::map<std::int32_t, Entry> m_members;
    std::vector<std::pair<std::int32_t, std::int32_t>> m_sent;
};

}  // namespace testing_support
