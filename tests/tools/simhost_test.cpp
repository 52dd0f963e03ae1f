// simhost end to end: a joiner on this program's DirectPlay layer finds the session, is
// accepted, hears every AI aircraft's positions, the roll call answers, aircraft information and
// chat; simhost falls silent and drops a joiner that stops answering when told. (Refusal and
// removal are seen through watch, in watch_test.cpp.)

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>
#include <cmath>
#include <csignal>
#include <map>
#include <set>

#include "directplay/directplay.h"
#include "link/link.h"
#include "tests/support/child_process.h"
#include "tests/support/simhost_process.h"
#include "tools/simhost/mp_messages.h"

namespace dp = directplay;

namespace {

// Where the support's simhost puts its runway.
constexpr double kThresholdLat = 47.4490;
constexpr double kThresholdLon = -122.3090;
constexpr double kElevation = 433;

// The conversions the receiving side applies to a position message.
struct Decoded {
    double latitude, longitude, altitudeFeet, trueHeading;
};
Decoded DecodeFix(const simhost::Bytes& m, std::size_t at) {
    const std::int32_t attitude = simhost::ReadInt32(m, at);
    Decoded d{};
    d.latitude = simhost::ReadInt32(m, at + 4) * (360.0 / 40007000.0);
    d.longitude = simhost::ReadInt32(m, at + 8) * (360.0 / 4294967296.0);
    d.altitudeFeet = std::nearbyint(simhost::ReadInt32(m, at + 12) / 0.3048);
    d.trueHeading = std::nearbyint(((attitude / 4) & 1023) / 1024.0 * 360.0);
    return d;
}

using SimHost = testing_support::SimHostProcess;
using Program = testing_support::ChildProcess;

struct Joiner {
    std::shared_ptr<dp::DirectPlay4> play;
    std::int32_t me = 0;
    std::vector<std::pair<std::int32_t, simhost::Bytes>> heard;

    explicit Joiner(std::uint16_t port) {
        dp::SessionOptions options;
        options.bindAddress = QHostAddress(QHostAddress::LocalHost);
        options.enumTimeoutMs = 500;
        play = dp::DirectX7(options).DirectPlayCreate("");
        play->InitializeConnection(
            dp::ConnectionAddress::TcpIp("127.0.0.1:" + std::to_string(port)));
        auto desc = play->CreateSessionData();
        auto sessions = play->GetDPEnumSessions(*desc, 0, dp::kEnumAvailable);
        if (sessions->GetCount() != 1)
            throw std::runtime_error("session not found");
        play->Open(*sessions->GetItem(1), dp::kOpenJoin);
        me = play->CreatePlayer("ATC Controller", "Player", 0, 0);
    }
    void Send(const simhost::Bytes& bytes) {
        play->Send(me, 0, dp::kSendGuaranteed, dp::DirectPlayMessage(bytes));
    }
    void Drain() {
        while (play->GetMessageCount(me) > 0) {
            std::int32_t from = 0, to = 0;
            auto m = play->Receive(from, to, dp::kReceiveAll);
            if (from != 0)
                heard.emplace_back(from, m->Bytes());
        }
    }
    // Waits for a message that `match` accepts.
    std::optional<std::pair<std::int32_t, simhost::Bytes>> WaitFor(
        const std::function<bool(std::int32_t, const simhost::Bytes&)>& match,
        int timeoutMs = 8000) {
        std::optional<std::pair<std::int32_t, simhost::Bytes>> found;
        (void)QTest::qWaitFor(
            [&] {
                Drain();
                for (auto& h : heard)
                    if (match(h.first, h.second))
                        found = h;
                heard.clear();
                return found.has_value();
            },
            timeoutMs);
        return found;
    }
};

bool IsType(const simhost::Bytes& m, std::int32_t type) {
    return simhost::ReadInt32(m, 0) == type;
}

TEST(SimHost, PositionEncodingsDecodeToTheValuesSent) {
    struct Row {
        const char* name;
        simhost::AircraftState state;
    };
    const Row rows[] = {
        {"45 N, 90 W, 3281 ft, heading 360 as 0", {45.0, -90.0, 3280.84, 0.0}},
        {"south-east", {-33.9461, 151.1772, 21, 163}},
        {"date line east", {10.0, 179.99, 35000, 271}},
        {"date line west", {-10.0, -179.99, 100, 359}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        for (const auto& bytes : {simhost::EncodePosition(row.state, 0, 0),
                                  simhost::EncodePositionLong(row.state, 0, 0)}) {
            const bool isLong = IsType(bytes, mplink::MP_POSITION_LONG);
            EXPECT_EQ(bytes.size(), isLong ? 58u : 42u);
            EXPECT_EQ(simhost::ReadInt32(bytes, 4), isLong ? 50 : 34);
            const Decoded d = DecodeFix(bytes, isLong ? 36 : 20);
            EXPECT_NEAR(d.latitude, row.state.latitude, 1e-5);
            EXPECT_NEAR(d.longitude, row.state.longitude, 1e-6);
            EXPECT_NEAR(d.altitudeFeet, row.state.altitudeFeet, 2);
            EXPECT_NEAR(std::fmod(d.trueHeading, 360.0), row.state.trueHeading, 0.5);
        }
    }
    EXPECT_EQ(simhost::LatitudeWord(45.0), 5000875);
    EXPECT_EQ(simhost::LongitudeWord(-90.0), -1073741824);
    EXPECT_EQ(simhost::AltitudeWord(3281), 1000);
}

TEST(SimHost, JoinerIsAcceptedAndHearsTheTraffic) {
    SimHost host({"--aircraft", "3", "--rate", "5", "--long-every", "2", "--chat",
                  "Tower, N1 ready", "--chat-every", "1"});
    ASSERT_NE(host.Port(), 0);
    Joiner joiner(host.Port());
    joiner.Send(mplink::EmptyMessage(mplink::MP_JOIN_REQUEST));
    auto accepted = joiner.WaitFor([&](std::int32_t, const simhost::Bytes& m) {
        return IsType(m, mplink::MP_PLAYER_HERE) && simhost::ReadInt32(m, 8) == joiner.me;
    });
    ASSERT_TRUE(accepted);
    EXPECT_TRUE(host.LogHas("JOIN accepted"));

    // Positions of every aircraft, both forms, near the runway and above its elevation.
    std::set<std::int32_t> senders;
    std::set<std::int32_t> forms;
    joiner.WaitFor([&](std::int32_t from, const simhost::Bytes& m) {
        const bool isLong = IsType(m, mplink::MP_POSITION_LONG);
        if (!IsType(m, mplink::MP_POSITION) && !isLong)
            return false;
        const Decoded d = DecodeFix(m, isLong ? 36 : 20);
        EXPECT_NEAR(d.latitude, kThresholdLat, 0.4);
        EXPECT_NEAR(d.longitude, kThresholdLon, 0.6);
        EXPECT_GE(d.altitudeFeet, kElevation - 1);
        EXPECT_LT(d.altitudeFeet, kElevation + 6001);
        EXPECT_GE(d.trueHeading, 0);
        EXPECT_LE(d.trueHeading, 360);
        if (joiner.play->GetPlayerFriendlyName(from) != "FS Host")
            senders.insert(from);  // the parked host counts apart
        forms.insert(simhost::ReadInt32(m, 0));
        return senders.size() == 3 && forms.size() == 2;
    });
    EXPECT_EQ(senders.size(), 3u);
    EXPECT_EQ(forms.size(), 2u);

    // Roll call: the host's player and every aircraft answer with their own IDs, under names.
    joiner.Send(mplink::EmptyMessage(mplink::MP_ROLL_CALL));
    std::set<std::string> names;
    joiner.WaitFor([&](std::int32_t from, const simhost::Bytes& m) {
        if (IsType(m, mplink::MP_PLAYER_HERE) && simhost::ReadInt32(m, 8) == from)
            names.insert(joiner.play->GetPlayerFriendlyName(from));
        return names.size() == 4;
    });
    EXPECT_EQ(names.size(), 4u);
    EXPECT_TRUE(names.count("FS Host"));

    joiner.Send(mplink::EmptyMessage(mplink::MP_AIRCRAFT_INFO_REQUEST));
    std::map<std::int32_t, std::string> models;
    joiner.WaitFor([&](std::int32_t from, const simhost::Bytes& m) {
        if (IsType(m, mplink::MP_AIRCRAFT_INFO)) {
            const std::int32_t size = simhost::ReadInt32(m, 4);
            const auto category = static_cast<std::int16_t>(dp::wire::LoadU16(m.data() + 8));
            EXPECT_TRUE(category == 0 || category == 1 || category == 3);
            EXPECT_EQ(m.size(), 8u + static_cast<std::size_t>(size));
            models[from] = std::string(m.begin() + 10, m.end() - 1);
        }
        return models.size() == 4;
    });
    EXPECT_EQ(models.size(), 4u);

    auto chat = joiner.WaitFor(
        [](std::int32_t, const simhost::Bytes& m) { return IsType(m, mplink::MP_CHAT); });
    ASSERT_TRUE(chat);
    const std::int32_t size = simhost::ReadInt32(chat->second, 4);
    EXPECT_EQ(std::string(chat->second.begin() + 8, chat->second.begin() + 8 + size - 1),
              "Tower, N1 ready");

    // The controller's own chat reaches the host: text, then zeros inside and after the size.
    simhost::Bytes line = mplink::EmptyMessage(mplink::MP_CHAT);
    line[4] = 2 * 5;
    for (char c : std::string("Hello"))
        line.push_back(static_cast<std::uint8_t>(c));
    line.insert(line.end(), 10, 0);
    joiner.Send(line);
    EXPECT_TRUE(host.LogHas("CHAT in ATC Controller: Hello"));
}

TEST(SimHost, FallsSilentWhenTold) {
    SimHost host({"--aircraft", "2", "--rate", "10", "--silent-after", "1"});
    Joiner joiner(host.Port());
    ASSERT_TRUE(host.LogHas("SILENT"));
    QTest::qWait(300);
    joiner.Drain();
    joiner.heard.clear();
    QTest::qWait(1000);
    joiner.Drain();
    EXPECT_TRUE(joiner.heard.empty());
    EXPECT_TRUE(joiner.play->Engine().IsOpen());  // the session itself stays up
}

// A joiner that stops answering (its process frozen) is let go after eight unanswered pings.
TEST(SimHost, AJoinerThatNeverAnswersPingsIsDropped) {
    SimHost host({"--aircraft", "1", "--ping-ms", "100"});
    Program watch;
    watch.Start(TARVOLO_TOOL_PATH, {"watch", host.Address(), "--seconds", "30"});
    ASSERT_TRUE(host.LogHas("JOIN accepted"));
    ASSERT_EQ(::kill(static_cast<pid_t>(watch.Process().processId()), SIGSTOP), 0);
    EXPECT_TRUE(host.LogHas("left the session", 5000));
    ::kill(static_cast<pid_t>(watch.Process().processId()), SIGCONT);
    watch.Kill();
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
