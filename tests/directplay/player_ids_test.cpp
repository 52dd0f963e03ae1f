// The host's player IDs: the numbering a Windows host uses, no index handed out twice while
// a player or a reservation holds it however long the session runs, and reservations that
// only their own machine can take up.

#include <gtest/gtest.h>

#include <set>

#include "directplay/errors.h"
#include "directplay/player_ids.h"

namespace dp = directplay;

namespace {

constexpr std::uint32_t kMask = 0xC3A50000;

TEST(PlayerIds, NumberedAsAWindowsHostDoesAndNeverTwiceWhileHeld) {
    dp::PlayerIdIssuer ids;
    ids.SetMask(kMask);
    std::set<std::uint16_t> held;
    auto inUse = [&](std::uint16_t index) { return held.count(index) != 0; };
    // The first IDs: index n, uniqueness n, masked.
    EXPECT_EQ(*ids.Issue(inUse), static_cast<std::int32_t>(0x00010001u ^ kMask));
    EXPECT_EQ(*ids.Issue(inUse), static_cast<std::int32_t>(0x00020002u ^ kMask));
    // A long session: players come and go, a few stay for ever. Round the index space twice,
    // no ID repeats one still held, and an index used again comes with another ID.
    held = {3, 4, 500, 65535};
    std::set<std::int32_t> issued;
    for (int i = 0; i < 140000; ++i) {
        const auto id = ids.Issue(inUse);
        ASSERT_TRUE(id);
        const std::uint16_t index = ids.IndexOf(*id);
        ASSERT_FALSE(held.count(index)) << i;
        ASSERT_NE(index, 0);
        ASSERT_NE(static_cast<std::uint32_t>(*id), 0xFFFFFFFFu);
        if (i < 65533) {
            ASSERT_TRUE(issued.insert(*id).second) << i;
        }
    }
    // A count pushed to the top by a name table of another host still goes round safely.
    ids.Seen(static_cast<std::int32_t>(0xFFFFFFFFu ^ kMask));
    const auto next = ids.Issue(inUse);
    ASSERT_TRUE(next);
    EXPECT_FALSE(held.count(ids.IndexOf(*next)));
    // With every index held there is none to give.
    std::set<std::uint16_t> all;
    for (std::uint32_t i = 0; i <= 0xFFFF; ++i)
        all.insert(static_cast<std::uint16_t>(i));
    held = all;
    EXPECT_FALSE(ids.Issue(inUse));
}

TEST(PlayerIds, AReservationIsTakenUpByItsOwnMachineOnlyAndLapses) {
    dp::PlayerIdIssuer ids;
    ids.SetMask(kMask);
    auto none = [](std::uint16_t) { return false; };
    const dp::PlayerIdIssuer::Holder joiner{0x7F000001, 2301};
    const std::int32_t system = *ids.Issue(none);
    const std::int32_t player = *ids.Issue(none);
    ids.Reserve(system, joiner, true, 0);
    ids.Reserve(player, joiner, false, 0);
    EXPECT_EQ(ids.Reserved(true), 1u);
    EXPECT_EQ(ids.Reserved(false), 1u);
    // A reserved index is not handed out again.
    for (int i = 0; i < 70000; ++i) {
        const std::int32_t id = *ids.Issue(none);
        ASSERT_NE(ids.IndexOf(id), ids.IndexOf(system));
        ASSERT_NE(ids.IndexOf(id), ids.IndexOf(player));
    }
    EXPECT_FALSE(ids.Claim(system, {0x7F000002, 2301}, true));  // another address
    EXPECT_FALSE(ids.Claim(system, {0x7F000001, 2302}, true));  // another machine
    EXPECT_FALSE(ids.Claim(player, joiner, true));              // another kind of player
    EXPECT_FALSE(ids.Claim(player + 1, joiner, false));         // never handed out
    EXPECT_TRUE(ids.Claim(system, joiner, true));
    EXPECT_FALSE(ids.Claim(system, joiner, true));  // used up
    EXPECT_EQ(ids.Expire(1000, 20000), 0u);
    EXPECT_EQ(ids.Expire(30000, 20000), 1u);  // the player's lapsed
    EXPECT_FALSE(ids.Claim(player, joiner, false));
}

// The failures a program sees carry DirectPlay's own numbers.
TEST(PlayerIds, FailuresCarryDirectPlaysNumbers) {
    EXPECT_EQ(static_cast<std::uint32_t>(dp::hresult::kNoNewPlayers), 0x8877014Au);
    EXPECT_EQ(static_cast<std::uint32_t>(dp::hresult::kInvalidPassword), 0x88770154u);
    EXPECT_EQ(static_cast<std::uint32_t>(dp::hresult::kConnecting), 0x8877015Eu);
    EXPECT_EQ(static_cast<std::uint32_t>(dp::hresult::kConnectionLost), 0x88770168u);
    EXPECT_EQ(static_cast<std::uint32_t>(dp::hresult::kSessionLost), 0x88770136u);
}

}  // namespace
