// Controllers' coordination: the messages on the wire, and the board every instance keeps.

#include "link/coordination.h"

#include <gtest/gtest.h>

namespace coord {
namespace {

constexpr std::int32_t kTower = 0x11;
constexpr std::int32_t kApproach = static_cast<std::int32_t>(0x9E370022u);  // negative
constexpr std::int32_t kStranger = 0x33;

Message Make(Kind kind, std::int64_t stamp, std::string callsign = {}, std::string position = {}) {
    Message m;
    m.kind = kind;
    m.stamp = stamp;
    m.callsign = std::move(callsign);
    m.position = std::move(position);
    return m;
}

Message Announce(std::string position, std::int64_t stamp = 1) {
    Message m = Make(Kind::Announce, stamp, {}, std::move(position));
    m.frequency = "118.70";
    m.airport = "KTVO";
    return m;
}

TEST(CoordinationWire, MessagesReadBackAndOthersArePassedOver) {
    Message offer = Make(Kind::Offer, 1796634000123, "DAL123", "TVO_TWR");
    offer.strip = {"4000", "160", "16L", "4521", "vectors ILS"};
    const Bytes bytes = Encode(offer);
    // Type and size first, as every message of the session: the size counts what follows.
    EXPECT_EQ(bytes[4] | bytes[5] << 8 | bytes[6] << 16 | bytes[7] << 24,
              static_cast<int>(bytes.size() - 8));
    const DecodeResult read = Decode(bytes);
    ASSERT_EQ(read.what, Decoded::Message);
    EXPECT_EQ(read.message, offer);
    // A simulator's message, a later version, a kind of a later version, bytes cut short.
    EXPECT_EQ(Decode(Bytes{0x18, 0x10, 0, 0, 24, 0, 0, 0}).what, Decoded::NotOurs);
    Bytes newer = bytes;
    newer[8] = 2;
    EXPECT_EQ(Decode(newer).what, Decoded::Newer);
    Bytes later = bytes;
    later[10] = 77;
    EXPECT_EQ(Decode(later).what, Decoded::UnknownKind);
    for (std::size_t cut = 9; cut < bytes.size(); cut += 5)
        EXPECT_EQ(Decode(std::span(bytes).first(cut)).what, Decoded::Malformed) << cut;
    // Later minor fields after the known ones are passed over.
    Bytes longer = bytes;
    longer.push_back(1);
    EXPECT_EQ(Decode(longer).what, Decoded::Message);
    // The player's mark.
    EXPECT_TRUE(IsMarked(PlayerMark()));
    EXPECT_FALSE(IsMarked(Bytes{'T', 'A', 'R'}));
}

class BoardTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(board.Apply(kTower, Announce("TVO_TWR"), 0), Board::Verdict::Applied);
        ASSERT_EQ(board.Apply(kApproach, Announce("TVO_APP"), 0), Board::Verdict::Applied);
    }
    Board::Verdict From(std::int32_t player, const Message& m, std::int64_t now = 1000) {
        return board.Apply(player, m, now);
    }
    Board board;
};

TEST_F(BoardTest, ClaimOfferAcceptRefuseAndRelease) {
    EXPECT_EQ(board.Controllers().size(), 2u);
    EXPECT_EQ(From(kApproach, Make(Kind::Claim, 10, "DAL123")), Board::Verdict::Applied);
    EXPECT_EQ(board.Owner("DAL123"), kApproach);
    // Only the owner offers, and only to a known position.
    EXPECT_EQ(From(kTower, Make(Kind::Offer, 11, "DAL123", "TVO_APP")), Board::Verdict::Refused);
    EXPECT_EQ(From(kApproach, Make(Kind::Offer, 11, "DAL123", "TVO_CTR")), Board::Verdict::Refused);
    Message offer = Make(Kind::Offer, 12, "DAL123", "TVO_TWR");
    offer.strip.runway = "16L";
    EXPECT_EQ(From(kApproach, offer), Board::Verdict::Applied);
    ASSERT_EQ(board.Offers().size(), 1u);
    // Refused by the receiver: it stays with approach. Accepted: it moves, strip and all.
    EXPECT_EQ(From(kApproach, Make(Kind::Accept, 13, "DAL123")), Board::Verdict::Refused);
    EXPECT_EQ(From(kTower, Make(Kind::Refuse, 13, "DAL123")), Board::Verdict::Applied);
    EXPECT_EQ(board.Owner("DAL123"), kApproach);
    EXPECT_TRUE(board.Offers().empty());
    EXPECT_EQ(From(kApproach, offer), Board::Verdict::Applied);
    EXPECT_EQ(From(kTower, Make(Kind::Accept, 14, "DAL123")), Board::Verdict::Applied);
    EXPECT_EQ(board.Owner("DAL123"), kTower);
    EXPECT_EQ(board.OwnershipOf("DAL123")->strip.runway, "16L");
    // Only the owner edits the strip and releases.
    Message strip = Make(Kind::Strip, 15, "DAL123");
    strip.strip.squawk = "4521";
    EXPECT_EQ(From(kApproach, strip), Board::Verdict::Refused);
    EXPECT_EQ(From(kTower, strip), Board::Verdict::Applied);
    EXPECT_EQ(From(kApproach, Make(Kind::Release, 16, "DAL123")), Board::Verdict::Refused);
    EXPECT_EQ(From(kTower, Make(Kind::Release, 16, "DAL123")), Board::Verdict::Applied);
    EXPECT_FALSE(board.Owner("DAL123"));
}

TEST_F(BoardTest, AnOfferLapsesAfterAMinute) {
    From(kApproach, Make(Kind::Claim, 10, "N456"));
    From(kApproach, Make(Kind::Offer, 11, "N456", "TVO_TWR"), 5000);
    EXPECT_TRUE(board.Expire(5000 + kOfferMs - 1).empty());
    const auto lapsed = board.Expire(5000 + kOfferMs);
    ASSERT_EQ(lapsed.size(), 1u);
    EXPECT_EQ(lapsed[0].callsign, "N456");
    EXPECT_EQ(board.Owner("N456"), kApproach);
    EXPECT_EQ(From(kTower, Make(Kind::Accept, 12, "N456")), Board::Verdict::Refused);
}

// Two claims at once end alike whatever order each instance hears them in.
TEST_F(BoardTest, ClaimsAtOnceResolveAlikeOnEveryInstance) {
    struct Row {
        const char* name;
        std::int64_t towerStamp, approachStamp;
        std::int32_t winner;
    };
    for (const Row& row :
         {Row{"EarlierWins", 100, 101, kTower}, Row{"EarlierWinsTheOtherWay", 101, 100, kApproach},
          Row{"TieToTheLowerUnsignedId", 100, 100, kTower}}) {
        SCOPED_TRACE(row.name);
        for (const bool towerFirst : {true, false}) {
            Board other;
            other.Apply(kTower, Announce("TVO_TWR"), 0);
            other.Apply(kApproach, Announce("TVO_APP"), 0);
            const Message tower = Make(Kind::Claim, row.towerStamp, "SWA9");
            const Message approach = Make(Kind::Claim, row.approachStamp, "SWA9");
            if (towerFirst) {
                other.Apply(kTower, tower, 5);
                other.Apply(kApproach, approach, 5);
            } else {
                other.Apply(kApproach, approach, 5);
                other.Apply(kTower, tower, 5);
            }
            EXPECT_EQ(other.Owner("SWA9"), row.winner) << towerFirst;
        }
    }
}

// What only the board can be sent by a peer: a position taken by another, a line to a position
// nobody holds. (Strangers, point-outs and the leaving are tested through the coordinator.)
TEST_F(BoardTest, APositionIsOneControllersAndLinesGoToKnownPositions) {
    EXPECT_EQ(From(kStranger, Announce("TVO_TWR")), Board::Verdict::Refused);
    EXPECT_EQ(board.ControllerAt("TVO_TWR")->player, kTower);
    EXPECT_EQ(From(kTower, Make(Kind::Chat, 3, {}, "TVO_CTR")), Board::Verdict::Refused);
    EXPECT_EQ(From(kTower, Make(Kind::PointOut, 3, "N456", "TVO_CTR")), Board::Verdict::Refused);
    EXPECT_EQ(board.Refused(), 3u);
    EXPECT_TRUE(board.TakeLines().empty());
}

}  // namespace
}  // namespace coord
