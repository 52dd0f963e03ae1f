// simhost's scripted controller against a tower the test plays: it claims arrivals, offers
// each once an approach at 10 nm, takes what the tower offers, and talks about it.

#include "tools/simhost/controller.h"

#include <gtest/gtest.h>

#include "tests/support/coordination_exchange.h"
#include "tools/simhost/traffic.h"

namespace simhost {
namespace {

constexpr std::int32_t kApp = 0x10;
constexpr std::int32_t kTwr = static_cast<std::int32_t>(0xB0000011u);

bool Has(const std::vector<std::string>& log, const std::string& line) {
    return std::find(log.begin(), log.end(), line) != log.end();
}

class ScriptedControllerTest : public testing::Test {
protected:
    ScriptedControllerTest()
        : script(exchange.Join(kApp, "APP"), kApp, {"APP", "119.20", "KTVO"}, 0),
          tower(&exchange.Join(kTwr, "Tower"), kTwr, {"TVO_TWR", "118.70", "KTVO"}, 0) {}
    std::vector<std::string> Tick(const std::vector<Flight>& flights) {
        now += 1000;
        auto log = script.Tick(exchange.Take(kApp), {}, flights, now);
        towerEvents = tower.Tick(exchange.Take(kTwr), {}, now);
        return log;
    }

    testing_support::Exchange exchange;
    ScriptedController script;
    coord::Coordinator tower;
    coord::Events towerEvents;
    std::int64_t now = 0;
    std::string why;
};

TEST_F(ScriptedControllerTest, ClaimsAnArrivalAndHandsItToTheTowerAtTenMiles) {
    Tick({});
    Tick({});
    EXPECT_TRUE(Has(Tick({{"DAL1", Phase::Arriving, 14}}), "APP claims DAL1"));
    EXPECT_EQ(tower.Board().Owner("DAL1"), kApp);
    EXPECT_TRUE(Tick({{"DAL1", Phase::Arriving, 11}}).empty());  // not yet
    EXPECT_TRUE(Has(Tick({{"DAL1", Phase::Arriving, 9.8}}), "APP offers DAL1 to TVO_TWR"));
    ASSERT_TRUE(tower.OfferedToMe("DAL1"));
    ASSERT_EQ(towerEvents.lines.size(), 1u);
    EXPECT_EQ(towerEvents.lines[0].text, "DAL1 10 nm out, offered to TVO_TWR");
    ASSERT_EQ(tower.Accept("DAL1", now, why), coord::Outcome::Done);
    EXPECT_TRUE(Has(Tick({{"DAL1", Phase::Arriving, 8}}), "APP handed DAL1 to TVO_TWR"));
    EXPECT_EQ(tower.Board().Owner("DAL1"), kTwr);
    EXPECT_EQ(towerEvents.lines.at(0).text, "DAL1 is with TVO_TWR now");
    // Owned by the tower, it is not claimed or offered again.
    EXPECT_TRUE(Tick({{"DAL1", Phase::Arriving, 5}}).empty());
}

TEST_F(ScriptedControllerTest, TakesDeparturesAndKeepsWhatTheTowerRefuses) {
    Tick({});
    Tick({});
    ASSERT_EQ(tower.Claim("UAL2", now, why), coord::Outcome::Done);
    ASSERT_EQ(tower.Offer("UAL2", "APP", now, why), coord::Outcome::Done);
    EXPECT_TRUE(Has(Tick({{"UAL2", Phase::Departing, 2}}), "APP accepts UAL2 from TVO_TWR"));
    EXPECT_EQ(tower.Board().Owner("UAL2"), kApp);

    Tick({{"DAL3", Phase::Arriving, 12}});
    Tick({{"DAL3", Phase::Arriving, 9}});
    ASSERT_TRUE(tower.OfferedToMe("DAL3"));
    ASSERT_EQ(tower.Refuse("DAL3", now, why), coord::Outcome::Done);
    EXPECT_TRUE(Has(Tick({{"DAL3", Phase::Arriving, 8}}), "APP keeps DAL3, refused by TVO_TWR"));
    // Not offered again on this approach; the next approach is.
    EXPECT_TRUE(Tick({{"DAL3", Phase::Arriving, 6}}).empty());
    Tick({{"DAL3", Phase::Departing, 3}});
    EXPECT_TRUE(Has(Tick({{"DAL3", Phase::Arriving, 9}}), "APP offers DAL3 to TVO_TWR"));
}

TEST_F(ScriptedControllerTest, WithoutATowerArrivalsStayWithIt) {
    exchange.Leave(kTwr);
    script.Tick({}, {kTwr}, {}, 1);
    EXPECT_TRUE(Has(script.Tick({}, {}, {{"DAL1", Phase::Arriving, 9}}, 2), "APP claims DAL1"));
    EXPECT_TRUE(script.Tick({}, {}, {{"DAL1", Phase::Arriving, 8}}, 3).empty());
    EXPECT_TRUE(script.Coordinator().Board().Offers().empty());
}

TEST(ScriptedControllerSetup, PositionsFrequenciesAndPhases) {
    const auto parsed = ParseController("APP:119.20");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->first, "APP");
    EXPECT_EQ(parsed->second, "119.20");
    for (const char* bad : {"APP", ":119.20", "APP:", "A P:1"})
        EXPECT_FALSE(ParseController(bad)) << bad;
    // A straight-in starts its final 10 nm out and is arriving until it lands; it departs
    // after the landing roll.
    Runway runway;
    runway.latitude = 47.0;
    Aircraft aircraft("DAL1", "Airbus A321", 1, Pattern::StraightIn, runway, 0);
    EXPECT_TRUE(aircraft.Arriving());
    EXPECT_NEAR(aircraft.DistanceNm(), 10.0, 0.01);
    bool departed = false;
    for (int second = 0; second < 900 && !departed; ++second) {
        aircraft.Advance(1);
        departed = aircraft.Departing();
        EXPECT_FALSE(aircraft.Arriving() && departed);
    }
    EXPECT_TRUE(departed);
    Aircraft circuit("N1", "Cessna", 0, Pattern::Circuit, runway, 0.3);
    EXPECT_FALSE(circuit.Arriving() || circuit.Departing());
}

}  // namespace
}  // namespace simhost
