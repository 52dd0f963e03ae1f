// The message loop, the join answer, roll call and chat on scripted queues: the catalogue's
// conversions, the traffic table's rules, the watchdog and the message bytes sent.

#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <optional>

#include "directplay/errors.h"
#include "link/link.h"
#include "model/geodesy.h"
#include "model/shared_state.h"

namespace {

using mplink::Bytes;
namespace dp = directplay;

Bytes Words(std::initializer_list<std::int32_t> words) {
    Bytes b;
    for (auto w : words)
        for (unsigned i = 0; i < 4; ++i)
            b.push_back(static_cast<std::uint8_t>(static_cast<std::uint32_t>(w) >> (8 * i)));
    return b;
}

void AppendShort(Bytes& b, std::int16_t v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(static_cast<std::uint16_t>(v) >> 8));
}

// The messages as the simulator sends them, with the catalogue's numbers written out.
Bytes Position(std::int32_t attitude, std::int32_t lat, std::int32_t lon, std::int32_t alt) {
    Bytes b = Words({4120, 34, 0, 0, 0, attitude, lat, lon, alt});
    for (int i = 0; i < 3; ++i)
        AppendShort(b, 0);
    return b;
}

Bytes PositionLong(std::int32_t attitude, std::int32_t lat, std::int32_t lon, std::int32_t alt) {
    Bytes b = Words({4121, 50, 1, 2, 3, 4, 5, 6, 7, attitude, lat, lon, alt});
    for (int i = 0; i < 3; ++i)
        AppendShort(b, 0);
    return b;
}

Bytes Info(std::int16_t category, const std::string& model, bool terminator = true) {
    Bytes b = Words({4110, static_cast<std::int32_t>(2 + model.size() + (terminator ? 1 : 0))});
    AppendShort(b, category);
    b.insert(b.end(), model.begin(), model.end());
    if (terminator)
        b.push_back(0);
    return b;
}

// A DirectPlay queue and name table written by the test.
class ScriptedPort : public mplink::LinkPort {
public:
    std::int32_t GetMessageCount(std::int32_t) override {
        if (failCount)
            throw dp::DirectPlayError(dp::hresult::kGeneric, "scripted");
        return static_cast<std::int32_t>(queue.size());
    }
    Bytes Receive(std::int32_t& from, std::int32_t& to) override {
        if (queue.empty())
            throw dp::DirectPlayError(dp::hresult::kNoMessages, "empty");
        auto [sender, bytes] = queue.front();
        queue.pop_front();
        if (arriving) {  // comes in while the tick takes the queue
            queue.push_back(*arriving);
            arriving.reset();
        }
        from = sender;
        to = 0;
        return bytes;
    }
    std::string GetPlayerFriendlyName(std::int32_t id) override {
        auto it = names.find(id);
        if (it == names.end())
            throw dp::DirectPlayError(dp::hresult::kInvalidPlayer, "no player");
        return it->second;
    }
    void Send(std::int32_t from, std::int32_t to, const Bytes& message) override {
        if (failSend || (failNextSends > 0 && failNextSends-- > 0))
            throw dp::DirectPlayError(dp::hresult::kConnectionLost, "scripted");
        sent.push_back({from, to, message});
    }
    void Push(std::int32_t from, Bytes bytes) { queue.emplace_back(from, std::move(bytes)); }

    std::deque<std::pair<std::int32_t, Bytes>> queue;
    std::optional<std::pair<std::int32_t, Bytes>> arriving;
    std::map<std::int32_t, std::string> names{
        {7, "ATC Controller"}, {11, "N123AB"}, {12, "UAL387"}};
    struct Sent {
        std::int32_t from, to;
        Bytes bytes;
    };
    std::vector<Sent> sent;
    bool failCount = false;
    bool failSend = false;
    int failNextSends = 0;
};

class LinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        model::ResetSharedState();
        model::g_localPlayerId = 7;
        model::g_sessionJoined = true;
    }
    mplink::TickResult Tick() { return mplink::ProcessMessages(port, watchdog); }
    void Announce(std::int32_t id) { port.Push(id, Words({4099, 4, id})); }

    ScriptedPort port;
    std::int16_t watchdog = mplink::kWatchdogSeconds;
};

// The paths that use the local player's ID, with IDs as a Windows host hands them out: any
// nonzero value, negative as a signed number whenever the host's mask has its top bit set.
class LocalIdTest : public LinkTest, public ::testing::WithParamInterface<std::int32_t> {
protected:
    void SetUp() override {
        LinkTest::SetUp();
        port.names.erase(7);
        port.names[Me()] = "ATC Controller";
        model::g_localPlayerId = Me();
    }
    static std::int32_t Me() { return GetParam(); }
};

TEST(LinkConversions, AttitudeAndPositionWords) {
    struct Row {
        std::int32_t word;
        double heading;
    };
    const Row rows[] = {{1023 * 4, 360},      {0, 0},    {-5, 360},
                        {256 * 4, 90},        {-4, 360}, {-8, 359},
                        {4096 + 512 * 4, 180}};
    for (const auto& row : rows)
        EXPECT_EQ(mplink::Attitude_To_Heading(row.word), row.heading) << row.word;
    EXPECT_DOUBLE_EQ(mplink::LatitudeOfWord(5000875), 45.0);
    EXPECT_DOUBLE_EQ(mplink::LongitudeOfWord(-1073741824), -90.0);
    EXPECT_EQ(mplink::AltitudeOfWord(1000), 3281);
}

TEST_F(LinkTest, AnnouncementsPositionsAndInformationFillTheTable) {
    Announce(11);
    Announce(11);  // the same name again: still one row
    port.Push(11, Position(256 * 4, 5000875, -1073741824, 1000));
    port.Push(12, Position(0, 1, 1, 1));  // no row for UAL387: nothing changes
    port.Push(11, Info(1, "B737"));
    const auto tick = Tick();
    EXPECT_EQ(tick.end, mplink::TickEnd::Normal);
    ASSERT_EQ(model::g_trafficCount, 1);
    const auto& row = model::g_traffic[1];
    EXPECT_EQ(row.name, "N123AB");
    EXPECT_DOUBLE_EQ(row.latitude, 45.0);
    EXPECT_DOUBLE_EQ(row.longitude, -90.0);
    EXPECT_EQ(row.altitude, 3281);
    EXPECT_EQ(row.heading, model::True_To_Magnetic(90, 45.0, -90.0));
    EXPECT_EQ(row.category, "Jet Plane");
    EXPECT_EQ(row.model, "B737");
    EXPECT_TRUE(model::g_traffic[2].name.empty());
}

// Every position is reported for the aids, with or without a row, stamped when it was taken;
// DirectPlay's notice of a departure is passed on and the table left alone.
TEST_F(LinkTest, PositionsAreReportedAsTakenAndDeparturesPassedOn) {
    Announce(11);
    port.Push(11, Position(0, 5000875, 0, 1000));
    port.Push(12, Position(0, 1, 1, 1));  // no row for UAL387
    port.Push(0, Words({mplink::kPlayerLeftNotice, 12}));
    port.Push(12, Words({mplink::kPlayerLeftNotice, 11}));  // from a player: not DirectPlay's
    double clock = 0;
    const auto tick = mplink::ProcessMessages(port, watchdog, [&clock] { return clock += 0.25; });
    ASSERT_EQ(tick.reports.size(), 2u);
    EXPECT_EQ(tick.reports[0].name, "N123AB");
    EXPECT_EQ(tick.reports[0].player, 11);
    EXPECT_DOUBLE_EQ(tick.reports[0].latitude, 45.0);
    EXPECT_EQ(tick.reports[0].altitude, 3281);
    EXPECT_DOUBLE_EQ(tick.reports[0].t, 0.5);  // the second message taken
    EXPECT_EQ(tick.reports[1].name, "UAL387");
    EXPECT_DOUBLE_EQ(tick.reports[1].t, 0.75);
    EXPECT_EQ(tick.departed, std::vector<std::int32_t>{12});
    EXPECT_EQ(model::g_trafficCount, 1);
}

TEST_F(LinkTest, LongPositionsAndInformationLabels) {
    Announce(11);
    Announce(12);
    port.Push(12, PositionLong(512 * 4, 5000875, 0, 0));
    port.Push(11, Info(3, "Bell"));
    port.Push(12, Info(9, std::string("A3\0"
                                      "21",
                                      5)));  // unknown category keeps the tick's last label
    Tick();
    ASSERT_EQ(model::g_trafficCount, 2);
    EXPECT_DOUBLE_EQ(model::g_traffic[2].latitude, 45.0);
    EXPECT_EQ(model::g_traffic[1].category, "Helicopter");
    EXPECT_EQ(model::g_traffic[2].category, "Helicopter");
    EXPECT_EQ(model::g_traffic[2].model, "A321");  // zero bytes skipped
    port.Push(12, Info(9, "X"));                   // a new tick: no previous label
    Tick();
    EXPECT_EQ(model::g_traffic[2].category, "");
}

TEST_F(LinkTest, TheTableHoldsFortyAircraft) {
    for (std::int32_t id = 100; id < 141; ++id) {
        port.names[id] = "AI" + std::to_string(id);
        Announce(id);
    }
    Tick();
    EXPECT_EQ(model::g_trafficCount, 40);
    EXPECT_EQ(model::g_traffic[40].name, "AI139");
}

TEST_F(LinkTest, ShortAndOversizedMessagesAreReadWithinTheirBytes) {
    Announce(11);
    Bytes cut = Position(0, 5000875, 0, 0);
    cut.resize(30);
    port.Push(11, cut);                                 // shorter than its layout: skipped
    port.Push(11, Words({mplink::MP_PLAYER_HERE, 4}));  // no ID: skipped
    port.Push(11, Bytes{0x03, 0x10});                   // not even a type and a size
    Bytes info = Info(0, "C172");
    info[4] = 200;  // claims 200 payload bytes
    port.Push(11, info);
    Tick();
    EXPECT_DOUBLE_EQ(model::g_traffic[1].latitude, 0.0);
    EXPECT_EQ(model::g_traffic[1].model, "C172");
    EXPECT_EQ(model::g_trafficCount, 1);
}

TEST_F(LinkTest, RemovalEndsTheTickAndLeavesTheRest) {
    port.Push(11, Words({mplink::MP_REMOVED, 0}));
    Announce(11);
    EXPECT_EQ(Tick().end, mplink::TickEnd::Removed);
    EXPECT_EQ(port.queue.size(), 1u);
    EXPECT_EQ(model::g_trafficCount, 0);
}

TEST_F(LinkTest, WatchdogRunsDownAndIsResetByAliveAndAnnouncements) {
    for (int i = 0; i < 58; ++i)
        ASSERT_EQ(Tick().end, mplink::TickEnd::Normal) << i;
    EXPECT_EQ(watchdog, 2);
    port.Push(11, Words({mplink::MP_ALIVE, 0}));
    EXPECT_EQ(Tick().end, mplink::TickEnd::Normal);
    EXPECT_EQ(watchdog, 60);
    model::g_sessionJoined = false;  // an announcement resets it even before acceptance
    watchdog = 5;
    Announce(11);
    Tick();
    EXPECT_EQ(watchdog, 60);
    EXPECT_EQ(model::g_trafficCount, 0);
    // Sixty silent seconds: the sixtieth tick declares the session lost.
    for (int i = 0; i < 59; ++i)
        ASSERT_EQ(Tick().end, mplink::TickEnd::Normal) << i;
    EXPECT_EQ(Tick().end, mplink::TickEnd::SessionLost);
    EXPECT_EQ(watchdog, 0);
    EXPECT_EQ(Tick().end, mplink::TickEnd::Normal);  // at 0 it no longer counts
}

// A tick takes the messages that were there when it began.
TEST_F(LinkTest, WhatArrivesDuringATickWaitsForTheNext) {
    Announce(11);
    port.arriving = {{11, Info(1, "B737")}};
    Tick();
    EXPECT_EQ(port.queue.size(), 1u);
    EXPECT_TRUE(model::g_traffic[1].model.empty());
    Tick();
    EXPECT_EQ(model::g_traffic[1].model, "B737");
}

TEST_F(LinkTest, DirectPlayErrorsEndTheTickSilently) {
    port.names.erase(11);
    port.Push(11, Position(0, 1, 1, 1));  // the name lookup fails
    Announce(12);
    Tick();
    EXPECT_EQ(port.queue.size(), 1u);  // waits for the next tick
    port.failCount = true;
    EXPECT_EQ(Tick().end, mplink::TickEnd::Normal);
    model::g_localPlayerId = 0;
    port.failCount = false;
    Tick();
    EXPECT_EQ(port.queue.size(), 1u);  // without a player the queue is not touched
}

TEST_P(LocalIdTest, RollCallsAreAnsweredAndSent) {
    port.Push(11, Words({mplink::MP_ROLL_CALL, 0}));
    Tick();
    ASSERT_EQ(port.sent.size(), 1u);
    EXPECT_EQ(port.sent[0].bytes, Words({mplink::MP_PLAYER_HERE, 4, Me()}));
    EXPECT_EQ(port.sent[0].from, Me());
    EXPECT_EQ(port.sent[0].to, 0);

    Announce(11);
    Tick();
    port.sent.clear();
    mplink::RollCall(port);
    ASSERT_EQ(port.sent.size(), 2u);
    EXPECT_EQ(port.sent[0].bytes, Words({mplink::MP_ROLL_CALL, 0}));
    EXPECT_EQ(port.sent[1].bytes, Words({mplink::MP_AIRCRAFT_INFO_REQUEST, 0}));
    EXPECT_EQ(model::g_trafficCount, 0);
    EXPECT_TRUE(model::g_traffic[1].name.empty());

    // A roll call that fails to go out does not keep back the information request.
    port.sent.clear();
    port.failNextSends = 1;
    mplink::RollCall(port);
    ASSERT_EQ(port.sent.size(), 1u);
    EXPECT_EQ(port.sent[0].bytes, Words({mplink::MP_AIRCRAFT_INFO_REQUEST, 0}));

    // Without a player nothing goes out, but the table is emptied all the same.
    Announce(11);
    Tick();
    model::g_localPlayerId = 0;
    port.sent.clear();
    mplink::RollCall(port);
    EXPECT_TRUE(port.sent.empty());
    EXPECT_EQ(model::g_trafficCount, 0);
}

TEST_P(LocalIdTest, ChatBothWays) {
    EXPECT_EQ(mplink::ChatMessage("Hi"),
              (Bytes{0x23, 0x10, 0, 0, 4, 0, 0, 0, 'H', 'i', 0, 0, 0, 0}));
    auto line = mplink::SendChat(port, "Hi");
    ASSERT_TRUE(line);
    EXPECT_EQ(*line, "ATC Controller: Hi");
    EXPECT_EQ(port.sent.back().bytes.size(), 14u);
    EXPECT_EQ(*mplink::SendChat(port, ""), "ATC Controller: ");
    EXPECT_EQ(port.sent.back().bytes, Words({mplink::MP_CHAT, 0}));
    port.failSend = true;
    EXPECT_EQ(*mplink::SendChat(port, "lost"), "ATC Controller: lost (not sent)");
    // A nickname that cannot be found does not make a sent line "not sent".
    port.failSend = false;
    port.names.erase(Me());
    EXPECT_EQ(*mplink::SendChat(port, "sent"), ": sent");
    port.failSend = true;
    EXPECT_EQ(*mplink::SendChat(port, "lost"), ": lost (not sent)");
    model::g_localPlayerId = 0;
    EXPECT_FALSE(mplink::SendChat(port, "nobody"));

    model::g_localPlayerId = Me();
    model::g_sessionJoined = false;  // chat needs no acceptance
    Bytes one = Words({mplink::MP_CHAT, 1});
    one.push_back(0);
    port.Push(11, one);  // one byte: nothing
    Bytes inner = Words({mplink::MP_CHAT, 6});
    for (char c : std::string("ab\0cd", 5))
        inner.push_back(static_cast<std::uint8_t>(c));
    inner.push_back(0);
    port.Push(12, inner);
    const auto tick = Tick();
    ASSERT_EQ(tick.chatLines.size(), 1u);
    EXPECT_EQ(tick.chatLines[0], std::string("UAL387: ab\0cd", 13));
}

TEST_P(LocalIdTest, JoinAnswers) {
    model::g_sessionJoined = false;
    port.Push(11, Words({mplink::MP_PLAYER_HERE, 4, 99}));  // another player: skipped
    EXPECT_EQ(mplink::PollJoinAnswer(port), mplink::JoinAnswer::Waiting);
    port.Push(11, Words({mplink::MP_PLAYER_HERE, 4, ~Me()}));  // not us, whatever the sign
    port.Push(11, Words({mplink::MP_PLAYER_HERE, 4, Me()}));
    EXPECT_EQ(mplink::PollJoinAnswer(port), mplink::JoinAnswer::Accepted);
    port.Push(11, Words({mplink::MP_JOIN_REFUSED, 0}));
    EXPECT_EQ(mplink::PollJoinAnswer(port), mplink::JoinAnswer::Refused);
    model::g_localPlayerId = 0;
    port.Push(11, Words({mplink::MP_PLAYER_HERE, 4, 0}));
    EXPECT_EQ(mplink::PollJoinAnswer(port), mplink::JoinAnswer::Waiting);
    EXPECT_EQ(port.queue.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Ids, LocalIdTest, ::testing::Values(7, -1012858876, INT32_MIN, -1),
                         [](const ::testing::TestParamInfo<std::int32_t>& param) {
                             switch (param.index) {
                                 case 0:
                                     return std::string("Positive");
                                 case 1:
                                     return std::string("NegativeFromTheHostsMask");
                                 case 2:
                                     return std::string("Int32Min");
                                 default:
                                     return std::string("MinusOne");
                             }
                         });

}  // namespace
