#include <gtest/gtest.h>

#include "directplay/name_table.h"

namespace dp = directplay;
using NameTable = dp::NameTable;

namespace {

constexpr std::int32_t kHost = 0x100;
constexpr std::int32_t kPeer = 0x200;

// A host machine and a peer machine, each with one application player; one player of ours.
NameTable TwoMachines() {
    NameTable table;
    for (std::int32_t machine : {kHost, kPeer}) {
        table.PutMachine({machine, {0x7F000001, static_cast<std::uint16_t>(machine)}, {}});
        table.Put({machine, machine, dp::wire::player_flag::kSystem, {}, {}, false, {}});
        table.Put({machine + 1, machine, 0, u"pilot", {}, false, {}});
    }
    table.Put({0x301, 0x300, dp::wire::player_flag::kLocal, u"radar", {}, true, {}});
    return table;
}

struct CarryRow {
    const char* name;
    std::int32_t from;
    std::int32_t senderMachine;
    bool allowed;
    bool anonymous = false;  // the session carries no IDs
};

class MayCarryTest : public testing::TestWithParam<CarryRow> {};

TEST_P(MayCarryTest, OnlyTheOwnerOrTheHostSpeaksForAPlayer) {
    const CarryRow& row = GetParam();
    NameTable table = TwoMachines();
    const NameTable::Machine* sender = table.MachineOf(row.senderMachine);
    EXPECT_EQ(table.MayCarry({row.from, 0, {}, row.anonymous}, sender, kHost), row.allowed);
}

INSTANTIATE_TEST_SUITE_P(Senders, MayCarryTest,
                         testing::Values(CarryRow{"OwnPlayer", kPeer + 1, kPeer, true},
                                         CarryRow{"HostRelaysAnybody", kPeer + 1, kHost, true},
                                         CarryRow{"PeerSpeaksForHostsPlayer", kHost + 1, kPeer,
                                                  false},
                                         CarryRow{"NobodyCreatedIt", 0x999, kHost, false},
                                         CarryRow{"OneOfOurs", 0x301, kHost, false},
                                         CarryRow{"NoIdsInTheSession", -1, kPeer, true, true},
                                         // In a session with IDs, -1 is a player like any
                                         // other: nobody created it.
                                         CarryRow{"MinusOneWithIds", -1, kPeer, false},
                                         CarryRow{"UnknownMachine", kPeer + 1, 0x777, false}),
                         [](const auto& row) { return std::string(row.param.name); });

// Two machines cannot listen at one address and port: a machine listed there before is gone
// (its port taken again by a newcomer), found there no more and named for removal.
TEST(NameTableTest, ANewcomerAtAnAddressDisplacesTheMachineThatLeftIt) {
    NameTable table = TwoMachines();
    NameTable::Machine newcomer{0x400, {0x7F000001, static_cast<std::uint16_t>(kPeer)}, {}};
    EXPECT_EQ(table.PutMachine(newcomer), kPeer);
    EXPECT_EQ(table.MachineAt(0x7F000001, static_cast<std::uint16_t>(kPeer))->systemId, 0x400);
    EXPECT_EQ(table.MachineOf(kPeer)->stream.port, 0);
    // A datagram port is no more shared than a listening port.
    EXPECT_EQ(table.PutMachine({0x600, {0x7F000001, 2301}, {0x7F000001, 2350}}), std::nullopt);
    EXPECT_EQ(table.PutMachine({0x700, {0x7F000001, 2302}, {0x7F000001, 2350}}), 0x600);
    // Listed again at its own address, a machine displaces nobody.
    EXPECT_EQ(table.PutMachine(newcomer), std::nullopt);
    EXPECT_EQ(table.PutMachine({0x500, {0x7F000002, static_cast<std::uint16_t>(kPeer)}, {}}),
              std::nullopt);
}

TEST(NameTableTest, RoomCountsMachinesAndApplicationPlayersApart) {
    NameTable table = TwoMachines();  // 2 machines, 3 application players
    EXPECT_TRUE(table.HasRoomFor(false, {4, 256, 1024}));
    EXPECT_FALSE(table.HasRoomFor(false, {3, 256, 1024}));
    EXPECT_TRUE(table.HasRoomFor(true, {3, 256, 1024}));  // a machine per player and the host's
    EXPECT_FALSE(table.HasRoomFor(true, {1, 256, 1024}));
    EXPECT_FALSE(table.HasRoomFor(true, {0, 2, 1024}));  // no session maximum: the ceilings hold
    EXPECT_FALSE(table.HasRoomFor(false, {0, 256, 3}));
}

TEST(NameTableTest, AMachineTakesItsPlayersAlongAndTheHostMarkMoves) {
    NameTable table = TwoMachines();
    EXPECT_EQ(table.RemoveMachine(kPeer), (std::vector<std::int32_t>{kPeer, kPeer + 1}));
    EXPECT_EQ(table.MachineOf(kPeer), nullptr);
    EXPECT_TRUE(table.RemoveMachine(kPeer).empty());
    table.MarkHost(kHost);
    EXPECT_TRUE(table.Find(kHost)->flags & dp::wire::player_flag::kNameServer);
    table.MarkHost(0x301);
    EXPECT_FALSE(table.Find(kHost)->flags & dp::wire::player_flag::kNameServer);
    // A session left: nobody is in the table any more.
    table.Clear();
    EXPECT_EQ(table.Find(kHost), nullptr);
    EXPECT_EQ(table.MachineOf(kHost), nullptr);
    EXPECT_EQ(table.ApplicationPlayerCount(), 0u);
}

}  // namespace
