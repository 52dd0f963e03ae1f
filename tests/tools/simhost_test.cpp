// simhost end to end: a joiner on this program's DirectPlay layer finds the session, is
// accepted or refused, hears every AI aircraft's positions, the roll call answers, aircraft
// information and chat, and is removed when the host says so.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
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

TEST(SimHost, RefusalAndRemoval) {
    {
        SimHost host({"--aircraft", "1", "--refuse"});
        Joiner joiner(host.Port());
        joiner.Send(mplink::EmptyMessage(mplink::MP_JOIN_PENDING));
        EXPECT_TRUE(joiner.WaitFor([](std::int32_t, const simhost::Bytes& m) {
            return IsType(m, mplink::MP_JOIN_REFUSED);
        }));
    }
    {
        SimHost host({"--aircraft", "1", "--rate", "10", "--remove-after", "0.5"});
        Joiner joiner(host.Port());
        joiner.Send(mplink::EmptyMessage(mplink::MP_JOIN_REQUEST));
        EXPECT_TRUE(joiner.WaitFor(
            [](std::int32_t, const simhost::Bytes& m) { return IsType(m, mplink::MP_REMOVED); }));
    }
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

// `tarvolo-tool watch` joins like the Connection window and prints the table once a second.
TEST(Watch, PrintsTheTrafficAndChatOfASession) {
    SimHost host({"--aircraft", "2", "--rate", "4", "--chat", "Hello ATC", "--chat-every", "1"});
    Program watch;
    watch.Start(TARVOLO_TOOL_PATH,
                {"watch", host.Address(), "--nickname", "Logger", "--seconds", "5"});
    ASSERT_TRUE(watch.WaitForFinished(20000));
    EXPECT_EQ(watch.ExitCode(), 0) << watch.Err().toStdString();
    const QList<QByteArray> lines = watch.Out().trimmed().split('\n');
    ASSERT_GE(lines.size(), 2);
    std::set<QString> names;
    bool chat = false;
    for (const QByteArray& line : lines) {
        const QJsonObject object = QJsonDocument::fromJson(line).object();
        ASSERT_TRUE(object.contains("t") && object.contains("traffic") && object.contains("chat"))
            << line.toStdString();
        for (const auto& row : object["traffic"].toArray()) {
            names.insert(row.toObject()["name"].toString());
            if (row.toObject()["latitude"].toDouble() != 0) {
                EXPECT_NEAR(row.toObject()["latitude"].toDouble(), kThresholdLat, 0.4);
            }
        }
        for (const auto& text : object["chat"].toArray())
            chat = chat || text.toString().endsWith(": Hello ATC");
    }
    EXPECT_EQ(names.size(), 3u);
    EXPECT_TRUE(names.count("FS Host"));
    EXPECT_TRUE(chat);
    EXPECT_TRUE(host.LogHas("JOIN accepted"));
    EXPECT_TRUE(host.LogHas("left the session"));
}

// The same fleet through plain TCP, the reliable protocol, and the reliable protocol over a
// network that loses a fifth of the host's datagrams and duplicates and reorders others: the
// traffic table ends with the same aircraft and the same categories.
TEST(Watch, TheReliableProtocolThroughLossGivesTheSameTable) {
    auto table = [](const QStringList& extra) {
        SimHost host(QStringList{"--aircraft", "3", "--rate", "4"} + extra);
        Program watch;
        watch.Start(TARVOLO_TOOL_PATH,
                    {"watch", host.Address(), "--nickname", "Logger", "--seconds", "6"});
        EXPECT_TRUE(watch.WaitForFinished(30000));
        EXPECT_EQ(watch.ExitCode(), 0) << watch.Err().toStdString();
        const QList<QByteArray> lines = watch.Out().trimmed().split('\n');
        std::map<QString, QString> rows;  // the last line's rows: name and category
        for (const auto& row : QJsonDocument::fromJson(lines.back()).object()["traffic"].toArray())
            rows[row.toObject()["name"].toString()] = row.toObject()["category"].toString();
        return rows;
    };
    const auto plain = table({});
    EXPECT_EQ(plain.size(), 4u);
    EXPECT_EQ(table({"--reliable"}), plain);
    EXPECT_EQ(table({"--reliable", "--loss", "20", "--duplicate", "10", "--reorder", "20",
                     "--loss-seed", "5"}),
              plain);
}

// A session recorded by watch replays to the very lines watch printed live; cut inside a
// record, it replays up to the cut; hosted again by simhost, its aircraft fly again.
TEST(Watch, ARecordedSessionReplaysAsItWasWatchedAndCanBeHostedAgain) {
    QTemporaryDir folder;
    const QString recording = folder.filePath("session.tvr");
    QByteArray live;
    {
        SimHost host(
            {"--aircraft", "2", "--rate", "4", "--chat", "Hello ATC", "--chat-every", "1"});
        Program watch;
        watch.Start(TARVOLO_TOOL_PATH,
                    {"watch", host.Address(), "--seconds", "5", "--record", recording});
        ASSERT_TRUE(watch.WaitForFinished(20000));
        ASSERT_EQ(watch.ExitCode(), 0) << watch.Err().toStdString();
        live = watch.Out();
    }
    ASSERT_GE(live.count('\n'), 2);
    auto replay = [](const QString& file) {
        Program process;
        process.Start(TARVOLO_TOOL_PATH, {"replay", file, "--speed", "0"});
        EXPECT_TRUE(process.WaitForFinished(20000));
        EXPECT_EQ(process.ExitCode(), 0);
        return process.Out();
    };
    EXPECT_EQ(replay(recording), live);

    // Cut in the middle of its last tick's first message.
    QFile file(recording);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray whole = file.readAll();
    file.close();
    const qsizetype lastTick = whole.lastIndexOf("\nT\t", whole.size() - 2);
    const qsizetype cut = whole.indexOf("\nM\t", whole.lastIndexOf("\nT\t", lastTick - 1)) + 10;
    ASSERT_GT(cut, 10);
    const QString shortened = folder.filePath("cut.tvr");
    QFile out(shortened);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(whole.left(cut));
    out.close();
    const QList<QByteArray> liveLines = live.trimmed().split('\n');
    const QList<QByteArray> cutLines = replay(shortened).trimmed().split('\n');
    ASSERT_FALSE(cutLines.isEmpty());
    ASSERT_LT(cutLines.size(), liveLines.size());
    for (qsizetype i = 0; i < cutLines.size(); ++i)
        EXPECT_EQ(cutLines[i], liveLines[i]);

    // Hosted again: the recorded aircraft are in the session, where they were.
    SimHost again({"--replay", recording});
    Program watch;
    watch.Start(TARVOLO_TOOL_PATH, {"watch", again.Address(), "--seconds", "5"});
    ASSERT_TRUE(watch.WaitForFinished(20000));
    std::map<QString, double> recorded;
    for (const auto& row : QJsonDocument::fromJson(liveLines.back()).object()["traffic"].toArray())
        recorded[row.toObject()["name"].toString()] = row.toObject()["latitude"].toDouble();
    std::map<QString, double> replayed;
    const QList<QByteArray> lines = watch.Out().trimmed().split('\n');
    for (const auto& row : QJsonDocument::fromJson(lines.back()).object()["traffic"].toArray())
        replayed[row.toObject()["name"].toString()] = row.toObject()["latitude"].toDouble();
    ASSERT_EQ(replayed.size(), recorded.size());
    for (const auto& [name, latitude] : recorded) {
        ASSERT_TRUE(replayed.count(name)) << name.toStdString();
        EXPECT_NEAR(replayed[name], latitude, 0.05) << name.toStdString();
    }
    EXPECT_TRUE(again.LogHas("REPLAY"));
}

// Through roll calls and a pilot leaving, a replay prints what watch printed, line for line,
// whatever its speed; a recording that ends with the removal ends its replay the same way.
TEST(Watch, AReplayIsTheSessionThroughRollCallsDeparturesAndTheRemoval) {
    QTemporaryDir folder;
    const QString recording = folder.filePath("churn.tvr");
    Program watch;
    {
        SimHost host(
            {"--aircraft", "3", "--rate", "2", "--leave-after", "6", "--remove-after", "13"});
        watch.Allow({3});
        watch.Start(TARVOLO_TOOL_PATH, {"watch", host.Address(), "--seconds", "30", "--record",
                                        recording, "--roll-call", "4"});
        ASSERT_TRUE(watch.WaitForFinished(40000));
        EXPECT_TRUE(host.LogHas("LEAVE"));
    }
    ASSERT_EQ(watch.ExitCode(), 3) << watch.Err().toStdString();
    const QByteArray live = watch.Out();
    // The table was emptied by the roll calls and the pilot who left is gone from it.
    const QList<QByteArray> lines = live.trimmed().split('\n');
    ASSERT_GE(lines.size(), 10);
    const auto counts = [&] {
        std::vector<qsizetype> sizes;
        for (const auto& line : lines)
            sizes.push_back(QJsonDocument::fromJson(line).object()["traffic"].toArray().size());
        return sizes;
    }();
    EXPECT_EQ(*std::max_element(counts.begin(), counts.end()), 4);  // the host's and three
    EXPECT_NE(std::find(counts.begin(), counts.end(), 0), counts.end());
    const auto lastFilled =
        std::find_if(counts.rbegin(), counts.rend(), [](qsizetype n) { return n > 0; });
    ASSERT_NE(lastFilled, counts.rend());
    EXPECT_EQ(*lastFilled, 3);
    for (const char* speed : {"0", "8"}) {
        Program replay;
        replay.Allow({3});
        replay.Start(TARVOLO_TOOL_PATH, {"replay", recording, "--speed", speed});
        ASSERT_TRUE(replay.WaitForFinished(40000));
        EXPECT_EQ(replay.ExitCode(), 3) << speed;
        EXPECT_EQ(replay.Out(), live) << speed;
        EXPECT_TRUE(replay.Err().contains("removed you from the multiplayer session"));
    }
}

// A recording that cannot be written is never a silent success.
TEST(Watch, ARecordingThatCannotBeWrittenFailsWithTheReason) {
    SimHost host({"--aircraft", "1"});
    Program watch;
    watch.Allow({1});
    watch.Start(TARVOLO_TOOL_PATH,
                {"watch", host.Address(), "--duration", "5", "--record", "/dev/full"});
    ASSERT_TRUE(watch.WaitForFinished(20000));
    EXPECT_EQ(watch.ExitCode(), 1);
    EXPECT_TRUE(watch.Err().contains("cannot record into /dev/full: No space left on device"))
        << watch.Err().toStdString();
}

TEST(Watch, ARefusedJoinFails) {
    SimHost host({"--aircraft", "1", "--refuse"});
    Program watch;
    watch.Allow({1});
    watch.Start(TARVOLO_TOOL_PATH, {"watch", host.Address(), "--seconds", "10"});
    ASSERT_TRUE(watch.WaitForFinished(20000));
    EXPECT_EQ(watch.ExitCode(), 1);
    EXPECT_TRUE(watch.Err().contains("Connection Refused"));
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
