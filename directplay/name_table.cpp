#include "directplay/name_table.h"

#include <algorithm>

namespace directplay {

const NameTable::Player* NameTable::Find(std::int32_t id) const {
    auto it = m_players.find(id);
    return it == m_players.end() ? nullptr : &it->second;
}

NameTable::Player* NameTable::Find(std::int32_t id) {
    auto it = m_players.find(id);
    return it == m_players.end() ? nullptr : &it->second;
}

const NameTable::Machine* NameTable::MachineOf(std::int32_t systemId) const {
    auto it = m_machines.find(systemId);
    return it == m_machines.end() ? nullptr : &it->second;
}

NameTable::Machine* NameTable::MachineOf(std::int32_t systemId) {
    auto it = m_machines.find(systemId);
    return it == m_machines.end() ? nullptr : &it->second;
}

std::optional<std::int32_t> NameTable::PutMachine(const Machine& machine) {
    std::optional<std::int32_t> displaced;
    for (auto& [id, other] : m_machines) {
        const bool sameStream = machine.stream.port != 0 &&
                                other.stream.address == machine.stream.address &&
                                other.stream.port == machine.stream.port;
        const bool sameDatagram = machine.datagram.port != 0 &&
                                  other.datagram.address == machine.datagram.address &&
                                  other.datagram.port == machine.datagram.port;
        if (id != machine.systemId && (sameStream || sameDatagram)) {
            other.stream = {};
            other.datagram = {};
            displaced = id;
        }
    }
    m_machines[machine.systemId] = machine;
    return displaced;
}

NameTable::Machine* NameTable::MachineAt(std::uint32_t ip, std::uint16_t streamPort) {
    for (auto& [id, machine] : m_machines)
        if (machine.stream.port == streamPort && machine.stream.address == ip)
            return &machine;
    return nullptr;
}

bool NameTable::HasRoomFor(bool system, const Limits& limits) const {
    const std::size_t machineCap = std::min(
        limits.maxMachines, limits.sessionMax ? limits.sessionMax + 1 : limits.maxMachines);
    const std::size_t playerCap =
        std::min(limits.maxPlayers, limits.sessionMax ? limits.sessionMax : limits.maxPlayers);
    return system ? m_machines.size() < machineCap : ApplicationPlayerCount() < playerCap;
}

std::vector<std::int32_t> NameTable::RemoveMachine(std::int32_t systemId) {
    std::vector<std::int32_t> gone;
    if (!m_machines.erase(systemId))
        return gone;
    gone.push_back(systemId);
    for (const auto& [id, player] : m_players)
        if (player.systemId == systemId && id != systemId)
            gone.push_back(id);
    return gone;
}

void NameTable::Clear() {
    m_players.clear();
    m_machines.clear();
}

bool NameTable::MayCarry(const wire::PlayerMessage& message, const Machine* sender,
                         std::int32_t hostSystemId) const {
    if (!sender)
        return false;
    if (message.anonymous)  // the session carries no IDs: the sending machine must do
        return true;
    const Player* player = Find(message.from);
    if (!player || player->local)
        return false;
    return player->systemId == sender->systemId || sender->systemId == hostSystemId;
}

void NameTable::MarkHost(std::int32_t hostId) {
    for (auto& [id, player] : m_players) {
        if (id == hostId)
            player.flags |= wire::player_flag::kNameServer;
        else
            player.flags &= ~wire::player_flag::kNameServer;
    }
}

std::uint32_t NameTable::ApplicationPlayerCount() const {
    return static_cast<std::uint32_t>(std::count_if(
        m_players.begin(), m_players.end(), [](const auto& p) { return !p.second.IsSystem(); }));
}

std::vector<std::int32_t> NameTable::ApplicationPlayerIds() const {
    std::vector<std::int32_t> ids;
    for (const auto& [id, player] : m_players)
        if (!player.IsSystem())
            ids.push_back(id);
    return ids;
}

}  // namespace directplay
