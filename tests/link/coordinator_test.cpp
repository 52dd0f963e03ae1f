// Controllers coordinating through the coordinator, over an exchange the test delivers:
// finding each other, handoffs with strips, answers, lapses, departures, and the rule that
// coordination goes to marked players only and comes from them only.

#include "link/coordinator.h"

#include <gtest/gtest.h>

#include "tests/support/coordination_exchange.h"

namespace coord {
namespace {

constexpr std::int32_t kTwr = 0x21;
constexpr std::int32_t kApp = static_cast<std::int32_t>(0x9E370044u);  // negative
constexpr std::int32_t kPilot = 0x55;                                  // a simulator, unmarked

class CoordinatorTest : public testing::Test {
protected:
    CoordinatorTest()
        : tower(&exchange.Join(kTwr, "Tower Tom"), kTwr, {"TVO_TWR", "118.70", "KTVO"}, 0),
          approach(&exchange.Join(kApp, "Approach Ann"), kApp, {"TVO_APP", "119.20", "KTVO"}, 0) {
        exchange.Join(kPilot, "DAL123", false);
    }
    // A tick on both sides, the tower first; the events of each.
    std::pair<Events, Events> Round(std::int64_t now, std::vector<std::int32_t> departed = {}) {
        Events t = tower.Tick(exchange.Take(kTwr), departed, now);
        Events a = approach.Tick(exchange.Take(kApp), departed, now);
        return {std::move(t), std::move(a)};
    }
    Events TowerTick(std::int64_t now) { return tower.Tick(exchange.Take(kTwr), {}, now); }
    Events ApproachTick(std::int64_t now) { return approach.Tick(exchange.Take(kApp), {}, now); }

    testing_support::Exchange exchange;
    Coordinator tower;
    Coordinator approach;
    std::string why;
};

TEST_F(CoordinatorTest, AHandoffWithItsStripAcceptedRefusedOrLapsed) {
    Round(100);
    Round(200);  // each has heard the other's announcement
    ASSERT_NE(tower.Board().ControllerAt("TVO_APP"), nullptr);
    EXPECT_EQ(tower.NicknameOf(kApp), "Approach Ann");
    EXPECT_EQ(approach.Board().ControllerAt("TVO_TWR")->frequency, "118.70");

    struct Row {
        const char* name;
        bool accept;
        bool answer;  // false: the offer is left to lapse
        std::int32_t owner;
    };
    std::int64_t t = 1000;
    for (const Row& row : {Row{"accepted", true, true, kTwr}, Row{"refused", false, true, kApp},
                           Row{"lapsed", false, false, kApp}}) {
        SCOPED_TRACE(row.name);
        const std::string callsign = std::string("DAL") + row.name;
        t += 2 * kOfferMs;
        ASSERT_EQ(approach.Claim(callsign, t, why), Outcome::Done);
        ASSERT_EQ(approach.SetStrip(callsign, {"4000", "160", "16L", "4521", "ILS"}, t, why),
                  Outcome::Done);
        ASSERT_EQ(approach.Offer(callsign, "TVO_TWR", t, why), Outcome::Done);
        const Events offered = TowerTick(t + 10);
        ASSERT_EQ(offered.offered.size(), 1u);
        EXPECT_EQ(offered.offered[0].strip.runway, "16L");
        EXPECT_TRUE(tower.OfferedToMe(callsign));
        if (row.answer) {
            ASSERT_EQ(row.accept ? tower.Accept(callsign, t + 20, why)
                                 : tower.Refuse(callsign, t + 20, why),
                      Outcome::Done);
        }
        const std::int64_t then = row.answer ? t + 30 : t + 10 + kOfferMs;
        const auto [t2, a2] = Round(then);
        EXPECT_EQ(a2.accepted.size(), row.answer && row.accept ? 1u : 0u);
        EXPECT_EQ(a2.refused.size(), row.answer && !row.accept ? 1u : 0u);
        EXPECT_EQ(a2.lapsed.size(), row.answer ? 0u : 1u);
        if (!a2.accepted.empty()) {
            EXPECT_EQ(a2.accepted[0].position, "TVO_TWR");
            EXPECT_EQ(a2.accepted[0].frequency, "118.70");
            EXPECT_EQ(tower.Board().OwnershipOf(callsign)->strip.altitude, "4000");
        }
        EXPECT_EQ(tower.Board().Owner(callsign), row.owner);
        EXPECT_EQ(approach.Board().Owner(callsign), row.owner);
        EXPECT_TRUE(approach.Board().Offers().empty());
        // Only the owner answers for it from now on.
        Coordinator& other = row.owner == kTwr ? approach : tower;
        EXPECT_EQ(other.Release(callsign, then, why), Outcome::Wait);
        EXPECT_EQ(other.Claim(callsign, then, why), Outcome::Failed);
    }
}

TEST_F(CoordinatorTest, PointOutsAndChatReachOnlyWhomTheyAreFor) {
    Coordinator ground(&exchange.Join(0x77, "Ground Gus"), 0x77, {"TVO_GND", "121.90", "KTVO"}, 0);
    const auto all = [&](std::int64_t now) {
        Round(now);
        return ground.Tick(exchange.Take(0x77), {}, now);
    };
    all(1);
    all(2);
    ASSERT_EQ(approach.PointOut("N456", "TVO_TWR", "over the field", 10, why), Outcome::Done);
    ASSERT_EQ(approach.Chat("", "runway change at 20", 10, why), Outcome::Done);
    ASSERT_EQ(approach.Chat("TVO_GND", "taxi N1 to the apron", 10, why), Outcome::Done);
    EXPECT_EQ(approach.Chat("TVO_DEP", "nobody", 10, why), Outcome::Wait);
    const Events t = TowerTick(20);
    const Events g = ground.Tick(exchange.Take(0x77), {}, 20);
    ASSERT_EQ(t.lines.size(), 2u);
    EXPECT_EQ(t.lines[0].kind, Kind::PointOut);
    EXPECT_EQ(t.lines[0].callsign, "N456");
    EXPECT_EQ(t.lines[1].text, "runway change at 20");
    ASSERT_EQ(g.lines.size(), 2u);
    EXPECT_EQ(g.lines[0].text, "runway change at 20");
    EXPECT_EQ(g.lines[1].text, "taxi N1 to the apron");
    // The sender hears none of its own lines back.
    EXPECT_TRUE(ApproachTick(30).lines.empty());
}

TEST_F(CoordinatorTest, AControllerLeavingFreesItsAircraftEverywhere) {
    Round(1);
    Round(2);
    ASSERT_EQ(approach.Claim("DAL1", 10, why), Outcome::Done);
    ASSERT_EQ(approach.Offer("DAL1", "TVO_TWR", 10, why), Outcome::Done);
    ASSERT_EQ(approach.Claim("DAL2", 10, why), Outcome::Done);
    Round(20);
    ASSERT_EQ(tower.Board().Offers().size(), 1u);
    exchange.Leave(kApp);
    const Events left = tower.Tick(exchange.Take(kTwr), {kApp}, 30);
    EXPECT_EQ(left.freed, (std::vector<std::string>{"DAL1", "DAL2"}));
    EXPECT_TRUE(tower.Board().Offers().empty());
    EXPECT_EQ(tower.Board().ControllerAt("TVO_APP"), nullptr);
    // Free now: the tower may claim them.
    EXPECT_EQ(tower.Claim("DAL1", 40, why), Outcome::Done);
}

TEST_F(CoordinatorTest, NothingGoesToOrIsTakenFromAnUnmarkedPlayer) {
    Coordinator other(&exchange.Join(0x66, "Mallory"), 0x66, {"TVO_GND", "121.90", ""}, 0);
    for (const std::int64_t now : {1, 2}) {
        Round(now);
        other.Tick(exchange.Take(0x66), {}, now);
    }
    ASSERT_EQ(approach.Claim("DAL1", 10, why), Outcome::Done);
    ASSERT_EQ(approach.Chat("", "hello", 10, why), Outcome::Done);
    Round(20);
    for (const auto& [from, to] : exchange.Sent())
        EXPECT_TRUE(exchange.Marked(to)) << from << " sent to " << to;

    // The pilot's player, not marked, tries to claim, offer and accept: all refused, counted.
    const std::uint64_t before = tower.Refused();
    Message claim;
    claim.kind = Kind::Claim;
    claim.callsign = "DAL2";
    Message accept = claim;
    accept.kind = Kind::Accept;
    accept.callsign = "DAL1";
    exchange.Forge(kPilot, kTwr, Encode(claim));
    exchange.Forge(kPilot, kTwr, Encode(accept));
    // A marked player's damaged message and one contradicting the owner.
    const Bytes whole = Encode(claim);
    exchange.Forge(kApp, kTwr, Bytes(whole.begin(), whole.begin() + 12));
    Message release = claim;
    release.kind = Kind::Release;
    release.callsign = "DAL1";
    exchange.Forge(0x66, kTwr, Encode(release));
    const Events heard = TowerTick(30);
    EXPECT_FALSE(heard.changed);
    EXPECT_EQ(tower.Refused(), before + 4);
    EXPECT_FALSE(tower.Board().Owner("DAL2"));
    EXPECT_EQ(tower.Board().Owner("DAL1"), kApp);
}

TEST_F(CoordinatorTest, TwoControllersAtOnePositionAreBothTold) {
    Round(1);
    Round(2);
    Coordinator twin(&exchange.Join(0x99, "Tower Two"), 0x99, {"TVO_TWR", "118.30", ""}, 0);
    std::vector<Events::Clash> toldTower, toldTwin;
    for (const std::int64_t now : {10, 20, 30}) {
        auto [t, a] = Round(now);
        Events w = twin.Tick(exchange.Take(0x99), {}, now);
        toldTower.insert(toldTower.end(), t.clashes.begin(), t.clashes.end());
        toldTwin.insert(toldTwin.end(), w.clashes.begin(), w.clashes.end());
    }
    ASSERT_EQ(toldTower.size(), 1u);  // once, however often it announces
    EXPECT_EQ(toldTower[0].nickname, "Tower Two");
    ASSERT_EQ(toldTwin.size(), 1u);
    EXPECT_EQ(toldTwin[0].player, kTwr);
    // Approach keeps the position's first holder.
    EXPECT_EQ(approach.Board().ControllerAt("TVO_TWR")->player, kTwr);
}

TEST_F(CoordinatorTest, ARecordingRebuildsTheBoard) {
    Round(1);
    Round(2);
    ASSERT_EQ(approach.Claim("DAL1", 10, why), Outcome::Done);
    ASSERT_EQ(approach.Offer("DAL1", "TVO_TWR", 10, why), Outcome::Done);
    Round(20);
    ASSERT_EQ(tower.Accept("DAL1", 30, why), Outcome::Done);
    Round(40);
    // Everything the tower's board took, replayed into a board without a session.
    std::vector<Coordinator::Applied> recorded = tower.TakeApplied();
    Coordinator replay(nullptr, kTwr, {}, 0);
    Events events;
    for (const auto& message : recorded)
        replay.ApplyRecorded(message, 40, events);
    EXPECT_EQ(replay.Board().Owner("DAL1"), kTwr);
    EXPECT_EQ(replay.PositionOf(kApp), "TVO_APP");
    EXPECT_EQ(replay.NicknameOf(kApp), "Approach Ann");
    EXPECT_EQ(replay.Board().Controllers().size(), 2u);
}

}  // namespace
}  // namespace coord
