// Two controllers in one session, headless: watch --position on both sides of a handoff, with
// the session's host (simhost, player IDs negative) hearing none of it.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include "directplay/directplay.h"
#include "link/coordination.h"
#include "link/link.h"
#include "model/shared_state.h"
#include "tests/support/child_process.h"
#include "tests/support/simhost_process.h"
#include "tools/simhost/traffic.h"

namespace {

using SimHost = testing_support::SimHostProcess;
using Program = testing_support::ChildProcess;

QString WriteCommands(QTemporaryDir& folder, const QString& name, const QByteArray& lines) {
    QFile file(folder.filePath(name));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(lines);
    return file.fileName();
}

QList<QJsonObject> Lines(const QByteArray& out) {
    QList<QJsonObject> lines;
    for (const QByteArray& line : out.trimmed().split('\n'))
        lines.append(QJsonDocument::fromJson(line).object());
    return lines;
}

// Every controllers' channel line a watch has printed so far.
QStringList AtcLines(Program& watch) {
    QStringList atc;
    for (const QJsonObject& line : Lines(watch.Out()))
        for (const auto& text : line["atc"].toArray())
            atc << text.toString();
    return atc;
}

// The owner of an aircraft in the last whole line a watch has printed.
QString OwnerOf(Program& watch, const QString& callsign) {
    const QByteArray& out = watch.Out();
    const QByteArray whole = out.left(out.lastIndexOf('\n') + 1);
    return whole.isEmpty() ? QString()
                           : Lines(whole).back()["owners"].toObject()[callsign].toString();
}

TEST(Coordination, TwoControllersHandAnAircraftOffAndTalk) {
    for (const bool reliable : {false, true}) {
        SCOPED_TRACE(reliable ? "reliable protocol" : "TCP");
        QTemporaryDir folder;
        QStringList hostArgs{"--aircraft", "2"};
        if (reliable)
            hostArgs << "--reliable";
        SimHost host(hostArgs);
        // Approach claims DAL123, fills its strip and offers it to the tower, then talks.
        const QString approachCommands =
            WriteCommands(folder, "app.txt",
                          "claim DAL123\nstrip DAL123 altitude=4000 runway=16L squawk=4521\n"
                          "offer DAL123 TVO_TWR\natc tower, DAL123 is yours\npoint N456 TVO_TWR "
                          "over the field\n");
        const QString towerCommands =
            WriteCommands(folder, "twr.txt", "accept DAL123\natc-to TVO_APP thanks\n");
        // Each runs until the test has seen what it waits for, however slow the machine.
        Program approach;
        approach.Start(TARVOLO_TOOL_PATH,
                       {"watch", host.Address(), "--nickname", "Approach Ann", "--position",
                        "TVO_APP", "--frequency", "119.20", "--commands", approachCommands});
        // The tower joins once approach is in.
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return approach.Err().contains("Connected To FS Session!"); }, 20000));
        Program tower;
        tower.Start(TARVOLO_TOOL_PATH,
                    {"watch", host.Address(), "--nickname", "Tower Tom", "--position=TVO_TWR",
                     "--frequency=118.70", "--commands", towerCommands});
        const bool handedOff = QTest::qWaitFor(
            [&] {
                return OwnerOf(tower, "DAL123") == "TVO_TWR" &&
                       OwnerOf(approach, "DAL123") == "TVO_TWR" &&
                       AtcLines(tower).contains("TVO_APP points out N456: over the field") &&
                       AtcLines(approach).contains("TVO_TWR: thanks");
            },
            60000);
        EXPECT_TRUE(handedOff) << "approach:\n"
                               << approach.Err().toStdString()
                               << approach.Out().right(600).toStdString() << "\ntower:\n"
                               << tower.Err().toStdString() << tower.Out().right(600).toStdString();
        // Approach goes first and leaves the tower's list.
        approach.Stop();
        const bool approachGone = QTest::qWaitFor(
            [&] {
                const QByteArray& out = tower.Out();
                return out.endsWith('\n') && Lines(out).back()["controllers"].toArray().isEmpty();
            },
            20000);
        EXPECT_TRUE(approachGone);
        tower.Stop();
        EXPECT_FALSE(approach.Err().contains("command not carried out"))
            << approach.Err().toStdString();
        EXPECT_FALSE(tower.Err().contains("command not carried out")) << tower.Err().toStdString();

        const QJsonObject lastApproach = Lines(approach.Out()).back();
        const QJsonObject lastTower = Lines(tower.Out()).back();
        // Each sees the other, not itself.
        QJsonArray seenByTower;
        for (const QJsonObject& line : Lines(tower.Out()))
            if (!line["controllers"].toArray().isEmpty())
                seenByTower = line["controllers"].toArray();
        EXPECT_TRUE(lastTower["controllers"].toArray().isEmpty());
        ASSERT_EQ(seenByTower.size(), 1) << tower.Out().right(400).toStdString();
        EXPECT_EQ(seenByTower[0].toObject()["position"].toString(), "TVO_APP");
        EXPECT_EQ(seenByTower[0].toObject()["nickname"].toString(), "Approach Ann");
        EXPECT_EQ(seenByTower[0].toObject()["frequency"].toString(), "119.20");
        EXPECT_EQ(lastApproach["controllers"].toArray()[0].toObject()["position"].toString(),
                  "TVO_TWR");
        // The handoff ended alike on both sides.
        EXPECT_EQ(lastTower["owners"].toObject()["DAL123"].toString(), "TVO_TWR");
        EXPECT_EQ(lastApproach["owners"].toObject()["DAL123"].toString(), "TVO_TWR");
        EXPECT_TRUE(lastTower["offers"].toArray().isEmpty());
        // The controllers' channel, and the point-out.
        const QStringList towerAtc = AtcLines(tower);
        EXPECT_TRUE(towerAtc.contains("TVO_APP: tower, DAL123 is yours"))
            << towerAtc.join('|').toStdString();
        EXPECT_TRUE(towerAtc.contains("TVO_APP points out N456: over the field"));
        EXPECT_TRUE(AtcLines(approach).contains("TVO_TWR: thanks"));
        // The simulator's side heard nothing it does not know.
        EXPECT_FALSE(host.LogHas(QString("MESSAGE %1 ").arg(coord::kMessageType)));
    }
}

// A fleet seed whose straight-in aircraft is on its final within 9 nm when simhost starts;
// that aircraft's callsign.
std::pair<int, std::string> SeedWithAnArrivalOnFinal() {
    simhost::Runway runway;  // simhost's own runway without a database
    runway.latitude = 47.4490;
    runway.longitude = -122.3090;
    runway.elevationFeet = 433;
    runway.trueHeading = 160;
    for (int seed = 1; seed < 1000; ++seed)
        for (const auto& aircraft : simhost::MakeFleet(4, runway, static_cast<std::uint32_t>(seed)))
            if (aircraft.Arriving() && aircraft.DistanceNm() < 9 && aircraft.DistanceNm() > 5)
                return {seed, aircraft.Callsign()};
    return {0, {}};
}

TEST(Coordination, SimhostsApproachHandsAnArrivalToTheTowerAndItReplaysAlike) {
    const auto [seed, callsign] = SeedWithAnArrivalOnFinal();
    ASSERT_FALSE(callsign.empty());
    QTemporaryDir folder;
    SimHost host({"--aircraft", "4", "--seed", QString::number(seed), "--controller", "APP:119.20",
                  "--id-mask", "0x9E370000"});
    ASSERT_TRUE(host.LogHas("CONTROLLER APP claims " + QString::fromStdString(callsign)));
    const QString commands = WriteCommands(
        folder, "twr.txt", QByteArray("accept ") + callsign.c_str() + "\natc-to APP thanks\n");
    const QString recording = folder.filePath("tower.tvr");
    const QString aircraft = QString::fromStdString(callsign);
    // The tower runs until the handoff and the thanks are through, however slow the machine.
    Program tower;
    tower.Start(TARVOLO_TOOL_PATH,
                {"watch", host.Address(), "--nickname", "Tower Tom", "--position", "TVO_TWR",
                 "--frequency", "118.70", "--commands", commands, "--record", recording});
    EXPECT_TRUE(QTest::qWaitFor([&] { return OwnerOf(tower, aircraft) == "TVO_TWR"; }, 60000))
        << tower.Err().toStdString() << tower.Out().right(600).toStdString();
    EXPECT_TRUE(host.LogHas(QString("CONTROLLER APP handed %1 to TVO_TWR").arg(aircraft), 20000));
    EXPECT_TRUE(host.LogHas("CONTROLLER APP heard TVO_TWR: thanks", 20000));
    tower.Stop();
    EXPECT_FALSE(tower.Err().contains("command not carried out")) << tower.Err().toStdString();
    const QList<QJsonObject> lines = Lines(tower.Out());
    EXPECT_EQ(lines.back()["owners"].toObject()[aircraft].toString(), "TVO_TWR");
    const QJsonArray controllers = lines.back()["controllers"].toArray();
    ASSERT_EQ(controllers.size(), 1) << tower.Out().right(600).toStdString();
    EXPECT_EQ(controllers[0].toObject()["position"].toString(), "APP");
    EXPECT_EQ(controllers[0].toObject()["frequency"].toString(), "119.20");
    const QStringList atc = AtcLines(tower);
    EXPECT_TRUE(atc.contains(QString("APP: %1 10 nm out, offered to TVO_TWR").arg(aircraft)))
        << atc.join('|').toStdString();
    EXPECT_FALSE(host.LogHas(QString("MESSAGE %1 ").arg(coord::kMessageType), 0));

    // The recording plays back the same lines, coordination and all.
    Program replay;
    replay.Start(TARVOLO_TOOL_PATH, {"replay", recording, "--speed", "0"});
    ASSERT_TRUE(replay.WaitForFinished(20000));
    EXPECT_EQ(replay.ExitCode(), 0) << replay.Err().toStdString();
    EXPECT_EQ(replay.Out().toStdString(), tower.Out().toStdString());  // a line diff if not
}

// Players that never marked themselves (here, there and on another machine) send claims,
// releases, answers and announcements to a controller: none of it counts.
TEST(Coordination, UnmarkedPlayersAreRefused) {
    for (const char* address : {"127.0.0.1", "127.0.0.2"}) {
        SCOPED_TRACE(address);
        SimHost host({"--aircraft", "1"});
        Program tower;
        tower.Start(TARVOLO_TOOL_PATH,
                    {"watch", host.Address(), "--nickname", "Tower Tom", "--seconds", "8",
                     "--position", "TVO_TWR", "--commands", "-"});
        tower.Write("claim DAL1\n");
        ASSERT_TRUE(host.LogHas("JOIN accepted"));
        directplay::SessionOptions options;
        options.enumTimeoutMs = 600;
        options.bindAddress = QHostAddress(QString::fromLatin1(address));
        directplay::DirectX7::SetDefaultOptions(options);
        ASSERT_TRUE(testing_support::JoinSession(host));  // as "ATC Controller", unmarked
        auto& play = *model::g_directPlay;
        std::int32_t towerId = 0;
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                for (const std::int32_t id : play.Engine().PlayerIds())
                    if (play.GetPlayerFriendlyName(id) == "Tower Tom")
                        towerId = id;
                return towerId != 0;
            },
            10000));
        const auto send = [&](coord::Kind kind, const char* callsign, const char* position) {
            coord::Message m;
            m.kind = kind;
            m.stamp = 1;  // earlier than any real claim
            m.callsign = callsign;
            m.position = position;
            play.Send(model::g_localPlayerId, towerId, directplay::kSendGuaranteed,
                      directplay::DirectPlayMessage(coord::Encode(m)));
        };
        send(coord::Kind::Announce, "", "TVO_APP");
        send(coord::Kind::Claim, "DAL1", "");
        send(coord::Kind::Release, "DAL1", "");
        send(coord::Kind::Claim, "N456", "");
        send(coord::Kind::Accept, "DAL1", "");
        // Our session's sockets need the event loop while the tower runs.
        ASSERT_TRUE(QTest::qWaitFor([&] { return tower.Finished(); }, 30000));
        const QJsonObject last = Lines(tower.Out()).back();
        EXPECT_TRUE(last["controllers"].toArray().isEmpty());
        EXPECT_EQ(last["owners"].toObject().size(), 1);
        EXPECT_EQ(last["owners"].toObject()["DAL1"].toString(), "TVO_TWR");
        EXPECT_TRUE(tower.Err().contains("coordination: 5 messages refused"))
            << tower.Err().toStdString();
        mplink::ReleaseDirectPlay();
        testing_support::UseLoopbackDirectPlay();
    }
}

TEST(Coordination, WithoutAPositionTheLinesAreAsBefore) {
    SimHost host({"--aircraft", "1"});
    Program watch;
    watch.Start(TARVOLO_TOOL_PATH, {"watch", host.Address(), "--duration", "3"});
    ASSERT_TRUE(watch.WaitForFinished(20000));
    const QJsonObject line = Lines(watch.Out()).back();
    EXPECT_FALSE(line.contains("controllers"));
    EXPECT_FALSE(line.contains("owners"));
    // Commands need a position.
    Program refused;
    refused.Allow({2});
    refused.Start(TARVOLO_TOOL_PATH, {"watch", host.Address(), "--commands", "-"});
    ASSERT_TRUE(refused.WaitForFinished(20000));
    EXPECT_EQ(refused.ExitCode(), 2);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
