// `tarvolo-tool watch` and `replay` against simhost sessions: the table and chat a session
// prints, alike through TCP, the reliable protocol and a lossy network; recordings that replay
// as the session was watched, through roll calls, departures and the removal, and that simhost
// hosts again; failures that say why.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <csignal>
#include <map>

#include "tests/support/child_process.h"
#include "tests/support/simhost_process.h"

namespace {

using SimHost = testing_support::SimHostProcess;
using Program = testing_support::ChildProcess;

// Where the support's simhost puts its runway.
constexpr double kThresholdLat = 47.4490;

QJsonObject Json(const QByteArray& line) {
    return QJsonDocument::fromJson(line).object();
}

struct Replayed {
    QByteArray out;
    QByteArray err;
};

// `replay FILE --speed SPEED` run to its end, which must be with `exitCode`.
Replayed Replay(const QString& file, const char* speed, int exitCode) {
    Program replay;
    replay.Allow({exitCode});
    replay.Start(TARVOLO_TOOL_PATH, {"replay", file, "--speed", speed});
    EXPECT_TRUE(replay.WaitForFinished(40000));
    EXPECT_EQ(replay.ExitCode(), exitCode) << replay.Err().toStdString();
    return {replay.Out(), replay.Err()};
}

// The same fleet through plain TCP, the reliable protocol, and the reliable protocol over a
// network that loses a fifth of the host's datagrams and duplicates and reorders others: watch
// joins like the Connection window, prints the table once a second with the chat, leaves at
// the end, and the table ends with the same aircraft and the same categories.
TEST(Watch, TheTableAndChatAreAlikeThroughTcpTheReliableProtocolAndLoss) {
    auto table = [](const QStringList& extra) {
        SimHost host(QStringList{"--aircraft", "3", "--rate", "4", "--chat", "Hello ATC",
                                 "--chat-every", "1"} +
                     extra);
        Program watch;
        watch.Start(TARVOLO_TOOL_PATH,
                    {"watch", host.Address(), "--nickname", "Logger", "--seconds", "6"});
        EXPECT_TRUE(watch.WaitForFinished(30000));
        EXPECT_EQ(watch.ExitCode(), 0) << watch.Err().toStdString();
        const QList<QByteArray> lines = watch.Out().trimmed().split('\n');
        EXPECT_GE(lines.size(), 2);
        bool chat = false;
        for (const QByteArray& line : lines) {
            const QJsonObject object = Json(line);
            EXPECT_TRUE(object.contains("t") && object.contains("traffic") &&
                        object.contains("chat"))
                << line.toStdString();
            for (const auto& row : object["traffic"].toArray())
                if (row.toObject()["latitude"].toDouble() != 0) {
                    EXPECT_NEAR(row.toObject()["latitude"].toDouble(), kThresholdLat, 0.4);
                }
            for (const auto& text : object["chat"].toArray())
                chat = chat || text.toString().endsWith(": Hello ATC");
        }
        EXPECT_TRUE(chat);
        EXPECT_TRUE(host.LogHas("JOIN accepted"));
        EXPECT_TRUE(host.LogHas("left the session"));
        std::map<QString, QString> rows;  // the last line's rows: name and category
        for (const auto& row : Json(lines.back())["traffic"].toArray())
            rows[row.toObject()["name"].toString()] = row.toObject()["category"].toString();
        return rows;
    };
    const auto plain = table({});
    EXPECT_EQ(plain.size(), 4u);
    EXPECT_TRUE(plain.count("FS Host"));
    EXPECT_EQ(table({"--reliable"}), plain);
    EXPECT_EQ(table({"--reliable", "--loss", "20", "--duplicate", "10", "--reorder", "20",
                     "--loss-seed", "5"}),
              plain);
}

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
    const auto replay = [](const QString& file) { return Replay(file, "0", 0).out; };
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
    for (const auto& row : Json(liveLines.back())["traffic"].toArray())
        recorded[row.toObject()["name"].toString()] = row.toObject()["latitude"].toDouble();
    std::map<QString, double> replayed;
    const QList<QByteArray> lines = watch.Out().trimmed().split('\n');
    for (const auto& row : Json(lines.back())["traffic"].toArray())
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
            sizes.push_back(Json(line)["traffic"].toArray().size());
        return sizes;
    }();
    EXPECT_EQ(*std::max_element(counts.begin(), counts.end()), 4);  // the host's and three
    EXPECT_NE(std::find(counts.begin(), counts.end(), 0), counts.end());
    const auto lastFilled =
        std::find_if(counts.rbegin(), counts.rend(), [](qsizetype n) { return n > 0; });
    ASSERT_NE(lastFilled, counts.rend());
    EXPECT_EQ(*lastFilled, 3);
    for (const char* speed : {"0", "8"}) {
        SCOPED_TRACE(speed);
        const Replayed replayed = Replay(recording, speed, 3);
        EXPECT_EQ(replayed.out, live);
        EXPECT_TRUE(replayed.err.contains("removed you from the multiplayer session"));
    }
}

// A refused join, and a recording that cannot be written, are never a silent success.
TEST(Watch, FailuresSayWhy) {
    struct Row {
        const char* name;
        QStringList host;
        QStringList watch;
        const char* says;
    };
    const Row rows[] = {
        {"refused", {"--refuse"}, {}, "Connection Refused"},
        {"disk full",
         {},
         {"--record", "/dev/full"},
         "cannot record into /dev/full: No space left on device"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SimHost host(QStringList{"--aircraft", "1"} + row.host);
        Program watch;
        watch.Allow({1});
        watch.Start(TARVOLO_TOOL_PATH,
                    QStringList{"watch", host.Address(), "--seconds", "5"} + row.watch);
        ASSERT_TRUE(watch.WaitForFinished(20000));
        EXPECT_EQ(watch.ExitCode(), 1);
        EXPECT_TRUE(watch.Err().contains(row.says)) << watch.Err().toStdString();
    }
}

// Stopped (SIGTERM) while it waits to be let in, watch leaves the session at once and ends
// cleanly instead of waiting out --seconds; the host never answers the join here.
TEST(Watch, StoppedWhileWaitingToBeLetInItLeavesAtOnce) {
    SimHost host({"--aircraft", "1", "--silent-after", "0.1"});
    Program watch;
    watch.Start(TARVOLO_TOOL_PATH, {"watch", host.Address(), "--seconds", "120"});
    ASSERT_TRUE(host.LogHas("JOIN request", 20000)) << watch.Err().toStdString();
    watch.Stop();  // fails unless it ends, with status 0, well before --seconds
    EXPECT_FALSE(watch.Err().contains("no answer from the host"));
    EXPECT_TRUE(host.LogHas("left the session"));
}

// Stopped while the host cannot answer (frozen, in a reliable-protocol session), watch waits
// a moment for its leaving to be acknowledged; it prints nothing more meanwhile, so what it
// printed is what its recording replays.
TEST(Watch, StoppedWhileTheHostIsFrozenItPrintsNoMoreThanItRecorded) {
    QTemporaryDir folder;
    const QString recording = folder.filePath("stopped.tvr");
    SimHost host({"--aircraft", "1", "--rate", "4", "--reliable"});
    Program watch;
    watch.Start(TARVOLO_TOOL_PATH,
                {"watch", host.Address(), "--seconds", "120", "--record", recording});
    ASSERT_TRUE(QTest::qWaitFor([&] { return watch.Out().count('\n') >= 2; }, 30000))
        << watch.Err().toStdString();
    const auto hostPid = static_cast<pid_t>(host.Child().Process().processId());
    ::kill(hostPid, SIGSTOP);
    watch.Stop();
    ::kill(hostPid, SIGCONT);
    EXPECT_EQ(Replay(recording, "0", 0).out.toStdString(), watch.Out().toStdString());
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
