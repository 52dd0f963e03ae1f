// tarvolo-tool watch: joins a session the way the Connection window does and runs the main
// window's message loop and roll call, printing the traffic table and new chat lines once a
// second as JSON; with --record, the session goes to a recording as well. tarvolo-tool replay
// runs the same loop on a recording's ticks and prints the same lines.

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>
#include <cstdio>

#include <unistd.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <optional>
#include <thread>

#include "directplay/directplay.h"
#include "link/link.h"
#include "link/recording.h"
#include "model/shared_state.h"
#include "tools/commands.h"
#include "tools/json_writer.h"
#include "tools/stop_signals.h"
#include "tools/watch_coordination.h"

namespace tools {
namespace {

namespace dp = directplay;

void Err(const std::string& text) {
    std::fprintf(stderr, "%s\n", text.c_str());
}

void PrintSecond(std::int64_t t, const std::vector<std::string>& chat,
                 WatchCoordinator* coordinator = nullptr) {
    JsonWriter out;
    out.BeginObject().Field("t", t).Key("traffic").BeginArray();
    for (std::int16_t i = 1; i <= model::g_trafficCount; ++i) {
        const auto& row = model::g_traffic[static_cast<std::size_t>(i)];
        out.BeginObject()
            .Field("name", row.name)
            .Field("altitude", row.altitude)
            .Field("heading", row.heading)
            .Field("latitude", row.latitude)
            .Field("longitude", row.longitude)
            .Field("category", row.category)
            .Field("model", row.model)
            .EndObject();
    }
    out.EndArray().Key("chat").BeginArray();
    for (const auto& line : chat)
        out.Text(line);
    out.EndArray();
    if (coordinator)
        coordinator->Write(out);
    out.EndObject();
    std::printf("%s\n", out.Str().c_str());
    std::fflush(stdout);
}

const char* EndText(mplink::TickEnd end) {
    return end == mplink::TickEnd::Removed
               ? "The host had removed you from the multiplayer session, Tarvolo closes "
                 "multiplayer session."
               : "The multiplayer connection is lost, Tarvolo closes multiplayer session.";
}

void Leave() {
    if (model::g_directPlay) {
        try {
            model::g_directPlay->DestroyPlayer(model::g_localPlayerId);
        } catch (const dp::DirectPlayError&) {
        }
        try {
            model::g_directPlay->Close();
        } catch (const dp::DirectPlayError&) {
        }
    }
    mplink::ReleaseDirectPlay();
}

}  // namespace

constexpr const char* kWatchUsage =
    "usage: tarvolo-tool watch HOST[:PORT] [--nickname NAME] [--duration S] [--record FILE.tvr] "
    "[--roll-call S] [--position NAME [--frequency MHZ] [--commands FILE|-]]";

int Watch(const QStringList& args) {
    QString address;
    std::string nickname = "ATC Controller";
    double seconds = 0;
    QString recordPath;
    double rollCallSeconds = 30;  // as the main window's Timer3
    std::string position;
    std::string frequency;
    QString commandsPath;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == "--nickname" && i + 1 < args.size())
            nickname = args[++i].toStdString();
        else if ((args[i] == "--duration" || args[i] == "--seconds") && i + 1 < args.size())
            seconds = args[++i].toDouble();
        else if (args[i] == "--record" && i + 1 < args.size())
            recordPath = args[++i];
        else if (args[i] == "--position" && i + 1 < args.size())
            position = args[++i].toStdString();
        else if (args[i] == "--frequency" && i + 1 < args.size())
            frequency = args[++i].toStdString();
        else if (args[i] == "--commands" && i + 1 < args.size())
            commandsPath = args[++i];
        else if (args[i] == "--roll-call" && i + 1 < args.size() && args[i + 1].toDouble() >= 1)
            rollCallSeconds = args[++i].toDouble();
        else if (address.isEmpty() && !args[i].startsWith("--"))
            address = args[i];
        else {
            Err(kWatchUsage);
            return 2;
        }
    }
    if (address.isEmpty() ||
        (position.empty() && (!frequency.empty() || !commandsPath.isEmpty()))) {
        Err(kWatchUsage);
        return 2;
    }
    // Commands from a file are read now; from standard input, as they come.
    std::vector<std::string> fileCommands;
    if (!commandsPath.isEmpty() && commandsPath != "-") {
        std::ifstream file(commandsPath.toStdString());
        if (!file) {
            Err("cannot read " + commandsPath.toStdString());
            return 1;
        }
        for (std::string line; std::getline(file, line);)
            fileCommands.push_back(line);
    }
    mplink::RecordingWriter recording;

    QElapsedTimer clock;
    clock.start();
    auto timeLeft = [&] {
        return seconds <= 0 || static_cast<double>(clock.elapsed()) < seconds * 1000.0;
    };
    // Stopped (SIGTERM, Ctrl+C): the player leaves the session as at the end of --seconds, so
    // the others see it go at once; while it waits to be let in, it gives up.
    tools::QuitOnStopSignals(*QCoreApplication::instance());
    mplink::InitDirectPlay();
    mplink::DirectPlayPort port(model::g_directPlay);
    try {
        auto& play = *model::g_directPlay;
        play.InitializeConnection(dp::ConnectionAddress::TcpIp(address.toStdString()));
        auto description = play.CreateSessionData();
        description->SetGuidApplication("");
        description->SetSessionPassword("");
        model::g_sessionList = play.GetDPEnumSessions(*description, 0, dp::kEnumAvailable);
        if (model::g_sessionList->GetCount() < 1) {
            Err("no session found at " + address.toStdString());
            mplink::ReleaseDirectPlay();
            return 1;
        }
        const auto session = model::g_sessionList->GetItem(1);
        Err("joining \"" + session->GetSessionName() + "\" as " + nickname);
        play.Open(*session, dp::kOpenJoin);
        // A controller's player carries the coordination mark in its game data.
        model::g_localPlayerId = position.empty()
                                     ? play.CreatePlayer(nickname, "Player", 0, 0)
                                     : play.CreatePlayer(nickname, "Player", coord::PlayerMark());
        if (!model::HasLocalPlayer())
            throw dp::DirectPlayError(dp::hresult::kCantCreatePlayer, "no player ID");
        port.Send(model::g_localPlayerId, 0, mplink::EmptyMessage(mplink::MP_JOIN_REQUEST));
    } catch (const dp::DirectPlayError& e) {
        Err(std::string("DirectPlay: ") + e.what());
        mplink::ReleaseDirectPlay();
        return 1;
    }

    // Waiting for the host's answer, asking again every 30 s as the Connection window does.
    mplink::JoinAnswer answer = mplink::JoinAnswer::Waiting;
    QElapsedTimer pending;
    pending.start();
    while (answer == mplink::JoinAnswer::Waiting && timeLeft() && !tools::StopRequested()) {
        QEventLoop loop;
        QTimer::singleShot(1000, &loop, &QEventLoop::quit);
        loop.exec();
        answer = mplink::PollJoinAnswer(port);
        if (pending.elapsed() >= 30000) {
            pending.restart();
            try {
                port.Send(model::g_localPlayerId, 0, mplink::EmptyMessage(mplink::MP_JOIN_PENDING));
            } catch (const dp::DirectPlayError&) {
            }
        }
    }
    if (answer == mplink::JoinAnswer::Waiting && tools::StopRequested()) {
        Leave();
        return 0;
    }
    if (answer != mplink::JoinAnswer::Accepted) {
        Err(answer == mplink::JoinAnswer::Refused ? "Connection Refused"
                                                  : "no answer from the host");
        Leave();
        return 1;
    }
    Err("Connected To FS Session!");
    model::g_sessionJoined = model::g_connected = true;
    if (!recordPath.isEmpty()) {
        // A session without an airport of ours: index -1, no name.
        mplink::RecordingHeader header;
        header.startUnixMs = QDateTime::currentMSecsSinceEpoch();
        header.localPlayer = model::g_localPlayerId;
        if (!recording.Open(recordPath.toStdString(), header)) {
            Err("cannot record into " + recordPath.toStdString() + ": " + recording.Error());
            Leave();
            return 1;
        }
        if (recording.Path() != recordPath.toStdString())
            Err(recordPath.toStdString() + " exists: recording into " + recording.Path());
    }

    std::int16_t watchdog = mplink::kWatchdogSeconds;
    int result = 0;
    std::int64_t second = 0;
    try {
        port.Send(model::g_localPlayerId, 0, mplink::EmptyMessage(mplink::MP_ROLL_CALL));
    } catch (const dp::DirectPlayError&) {
    }
    std::unique_ptr<WatchCoordinator> coordinator;
    std::unique_ptr<QSocketNotifier> input;
    std::string typed;  // standard input not yet a whole line
    if (!position.empty()) {
        coordinator = std::make_unique<WatchCoordinator>(
            *model::g_directPlay, model::g_localPlayerId, position, frequency,
            QDateTime::currentMSecsSinceEpoch());
        for (const std::string& line : fileCommands)
            coordinator->AddCommand(line);
        if (commandsPath == "-") {
            input = std::make_unique<QSocketNotifier>(0, QSocketNotifier::Read);
            QObject::connect(input.get(), &QSocketNotifier::activated, [&] {
                char buffer[4096];
                const ssize_t n = ::read(0, buffer, sizeof buffer);
                if (n <= 0) {
                    input->setEnabled(false);  // the end of the commands
                    return;
                }
                typed.append(buffer, static_cast<std::size_t>(n));
                for (std::size_t end; (end = typed.find('\n')) != std::string::npos;) {
                    coordinator->AddCommand(typed.substr(0, end));
                    typed.erase(0, end + 1);
                }
            });
        }
    }
    QElapsedTimer loopClock;
    loopClock.start();
    mplink::RecordingPort recordingPort(port, recording, [&] { return loopClock.elapsed(); });
    mplink::LinkPort& loopPort =
        recording.IsOpen() ? static_cast<mplink::LinkPort&>(recordingPort) : port;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const mplink::TickResult r = mplink::ProcessMessages(loopPort, watchdog);
        if (coordinator) {
            std::vector<std::string> errors;
            coordinator->Tick(r, QDateTime::currentMSecsSinceEpoch(), errors);
            for (const std::string& error : errors)
                Err(error);
            for (const auto& applied : coordinator->TakeApplied())
                recording.Coordination(loopClock.elapsed(), applied);
        }
        recording.Tick(loopClock.elapsed());
        PrintSecond(++second, r.chatLines, coordinator.get());
        if (r.end != mplink::TickEnd::Normal) {
            Err(EndText(r.end));
            result = 3;
            QCoreApplication::quit();
        } else if (recording.Failed()) {
            Err("cannot record into " + recording.Path() + ": " + recording.Error());
            result = 1;
            QCoreApplication::quit();
        } else if (!timeLeft()) {
            QCoreApplication::quit();
        }
    });
    tick.start(1000);
    QTimer rollCall;
    QObject::connect(&rollCall, &QTimer::timeout, [&] {
        mplink::RollCall(port);
        if (recording.IsOpen())
            recording.RollCall(loopClock.elapsed());  // the table was emptied here
    });
    rollCall.start(static_cast<int>(rollCallSeconds * 1000));
    if (!tools::StopRequested())
        QCoreApplication::exec();
    // Nothing more is taken, printed or recorded: leaving the session waits for its last
    // messages to go out, and the timers would otherwise fire once more meanwhile.
    tick.stop();
    rollCall.stop();
    if (input)
        input->setEnabled(false);
    if (recording.IsOpen() && !recording.Close() && result == 0) {
        Err("cannot record into " + recording.Path() + ": " + recording.Error());
        result = 1;
    }
    if (coordinator && coordinator->Refused() > 0)
        Err("coordination: " + std::to_string(coordinator->Refused()) +
            " messages refused (from unmarked players, damaged, or against the board)");
    Leave();
    model::g_sessionJoined = model::g_connected = false;
    return result;
}

int Replay(const QStringList& args) {
    double speed = 1;
    bool usage = args.isEmpty() || args[0].startsWith("--");
    for (qsizetype i = 1; i < args.size() && !usage; i += 2) {
        usage = args[i] != "--speed" || i + 1 >= args.size();
        if (!usage) {
            bool ok = false;
            speed = args[i + 1].toDouble(&ok);
            usage = !ok || speed < 0;
        }
    }
    if (usage) {
        Err("usage: tarvolo-tool replay FILE.tvr [--speed N]");
        return 2;
    }
    // Read as it plays, a tick at a time: a recording of any length in little memory.
    mplink::RecordingReader reader(args[0].toStdString());
    if (!reader.Usable()) {
        Err(reader.Problem(args[0].toStdString()));
        return 1;
    }
    // As watch runs the loop: joined, with a player of our own.
    model::g_localPlayerId = reader.Header().localPlayer.value_or(1);
    model::g_sessionJoined = model::g_connected = true;
    mplink::ReplayPort port;
    std::int16_t watchdog = mplink::kWatchdogSeconds;
    std::int64_t second = 0;
    std::optional<std::int64_t> previous;
    int result = 0;
    std::unique_ptr<WatchCoordinator> coordinator;
    while (auto tick = reader.Next()) {
        if (speed > 0 && previous && tick->ms > *previous)
            std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(
                static_cast<double>(tick->ms - *previous) / speed));
        previous = tick->ms;
        for (int i = 0; i < tick->rollCalls; ++i)
            mplink::ClearTraffic();  // the roll call emptied the table here
        port.Load(*tick);
        mplink::TickResult r = mplink::ProcessMessages(port, watchdog);
        r.chatLines.insert(r.chatLines.begin(), tick->ownChat.begin(), tick->ownChat.end());
        // A controller's recording: the board again from what it took, as watch printed it.
        if (!tick->coordination.empty() && !coordinator)
            coordinator = std::make_unique<WatchCoordinator>(model::g_localPlayerId);
        if (coordinator)
            coordinator->Replay(tick->coordination, r.departed,
                                reader.Header().startUnixMs.value_or(0) + tick->ms);
        PrintSecond(++second, r.chatLines, coordinator.get());
        if (r.end != mplink::TickEnd::Normal) {
            Err(EndText(r.end));
            result = 3;
            break;
        }
    }
    if (reader.GetStatus() == mplink::RecordingReader::Status::Damaged)
        Err(reader.Problem(args[0].toStdString()));
    model::g_sessionJoined = model::g_connected = false;
    return result;
}

}  // namespace tools
