// simhost: hosts a DirectPlay session the way the simulator does, with AI aircraft flying
// around an airport, so Tarvolo can join it without the simulator. One log line per event.

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <optional>
#include <random>
#include <set>

#include "builder/database_file.h"
#include "directplay/directplay.h"
#include "link/coordinator.h"
#include "link/link.h"
#include "link/recording.h"
#include "model/own_files.h"
#include "model/settings_record.h"
#include "tools/simhost/controller.h"
#include "tools/simhost/mp_messages.h"
#include "tools/simhost/traffic.h"
#include "tools/stop_signals.h"

namespace dp = directplay;

namespace {

void Log(const QString& line) {
    std::fprintf(stdout, "%s\n", line.toLocal8Bit().constData());
    std::fflush(stdout);
}

std::uint64_t MonotonicMicros() {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}

QByteArray ReadWhole(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

std::span<const std::uint8_t> AsBytes(const QByteArray& data) {
    return {reinterpret_cast<const std::uint8_t*>(data.constData()),
            static_cast<std::size_t>(data.size())};
}

// The runway of airport `index` in a database directory, or an error text.
std::optional<simhost::Runway> RunwayFromDatabase(const QString& dir, int index, QString& error,
                                                  QString& airportName) {
    const QByteArray settingsBytes = ReadWhole(dir + "/" + model::kSettingsFileName);
    if (settingsBytes.isEmpty()) {
        error = "cannot read " + dir + "/" + model::kSettingsFileName;
        return std::nullopt;
    }
    const auto settings = model::DecodeSettings(AsBytes(settingsBytes));
    const auto airports = builder::DecodeAirportDatabase(
        AsBytes(ReadWhole(dir + "/" + model::kAirportsFileName)), settings.airportCount);
    if (index < 0 || static_cast<std::size_t>(index) >= airports.items.size()) {
        error = QString("no airport %1 in the database").arg(index);
        return std::nullopt;
    }
    const auto& airport = airports.items[static_cast<std::size_t>(index)];
    airportName = QString::fromStdString(airport.ident + " " + airport.name);
    simhost::Runway runway;
    runway.latitude = airport.latitude;
    runway.longitude = airport.longitude;
    runway.elevationFeet = airport.elevation;
    if (airport.runwayCount > 0 && !airport.runways.empty()) {
        const auto& r = airport.runways[0];
        runway.latitude = r.end1Latitude;
        runway.longitude = r.end1Longitude;
        const double kDeg = 3.14159265358979323846 / 180.0;
        const double north = (r.end2Latitude - r.end1Latitude) * 40007000.0 / 360.0;
        const double east = (r.end2Longitude - r.end1Longitude) * 40007000.0 / 360.0 *
                            std::cos(r.end1Latitude * kDeg);
        runway.trueHeading = std::fmod(std::atan2(east, north) / kDeg + 360.0, 360.0);
        runway.lengthMetres = std::max(600.0, std::hypot(north, east));
    }
    return runway;
}

struct Joiner {
    std::int32_t id = 0;
    qint64 acceptedAt = -1;
    bool removed = false;
};

class Host : public QObject {
public:
    Host(std::shared_ptr<dp::DirectPlay4> play, std::vector<simhost::Aircraft> fleet,
         simhost::Aircraft parked, QCommandLineParser& args, const std::string& airportIdent)
        : m_play(std::move(play)), m_fleet(std::move(fleet)), m_parked(std::move(parked)) {
        m_refuse = args.isSet("refuse");
        m_removeAfterMs = args.value("remove-after").toDouble() * 1000.0;
        m_silentAfterMs = args.value("silent-after").toDouble() * 1000.0;
        m_leaveAfterMs = args.value("leave-after").toDouble() * 1000.0;
        m_rate = std::max(0.1, args.value("rate").toDouble());
        m_chatLines = args.values("chat");
        m_longEvery = std::max(0, args.value("long-every").toInt());
        m_clock.start();

        m_hostPlayer = m_play->CreatePlayer(args.value("host-name").toStdString(), "Host", 0, 0);
        Log(QString("PLAYER %1 \"%2\" host").arg(m_hostPlayer).arg(args.value("host-name")));
        for (auto& aircraft : m_fleet) {
            const std::int32_t id = m_play->CreatePlayer(aircraft.Callsign(), "AI", 0, 0);
            m_ids.push_back(id);
            Log(QString("PLAYER %1 \"%2\" %3")
                    .arg(id)
                    .arg(QString::fromStdString(aircraft.Callsign()),
                         QString::fromStdString(aircraft.Model())));
        }

        // The controllers it plays: players carrying the coordination mark.
        for (const QString& value : args.values("controller")) {
            const auto [position, frequency] = *simhost::ParseController(value.toStdString());
            const std::int32_t id =
                m_play->CreatePlayer(position, "Controller", coord::PlayerMark());
            auto& controller = m_controllers[id];
            controller.session = std::make_unique<coord::DirectPlaySession>(*m_play, id);
            controller.script = std::make_unique<simhost::ScriptedController>(
                *controller.session, id, coord::Identity{position, frequency, airportIdent},
                QDateTime::currentMSecsSinceEpoch());
            Log(QString("CONTROLLER %1 %2 %3")
                    .arg(id)
                    .arg(QString::fromStdString(position), QString::fromStdString(frequency)));
        }
        connect(&m_controllerTimer, &QTimer::timeout, this, [this] { RunControllers(); });
        if (!m_controllers.empty())
            m_controllerTimer.start(1000);

        connect(&m_positionTimer, &QTimer::timeout, this, [this] { SendPositions(); });
        m_positionTimer.start(static_cast<int>(std::lround(1000.0 / m_rate)));
        connect(&m_aliveTimer, &QTimer::timeout, this,
                [this] { Broadcast(m_hostPlayer, mplink::EmptyMessage(mplink::MP_ALIVE)); });
        m_aliveTimer.start(5000);
        connect(&m_parkedTimer, &QTimer::timeout, this, [this] {
            Broadcast(m_hostPlayer,
                      simhost::EncodePosition(m_parked.State(), MonotonicMicros(), 0));
        });
        m_parkedTimer.start(1000);
        connect(&m_chatTimer, &QTimer::timeout, this, [this] { SendChat(); });
        if (!m_chatLines.isEmpty())
            m_chatTimer.start(args.value("chat-every").toInt() * 1000);
        connect(&m_poll, &QTimer::timeout, this, [this] { Poll(); });
        m_poll.start(5);
        m_lastTick = m_clock.elapsed();
    }

    // Hosts a recording: a player for each recorded sender (the recorded host is ours), whose
    // messages go out at their recorded times from the first joiner's acceptance on.
    void Replay(mplink::Recording recording) {
        m_parkedTimer.stop();
        m_replay = std::move(recording);
        const std::string hostName = NameOf(m_hostPlayer).toStdString();
        for (const auto& tick : m_replay.ticks) {
            for (const auto& message : tick.messages) {
                if (message.from == 0 || !message.senderName || m_replayIds.count(message.from))
                    continue;
                const std::int32_t id =
                    *message.senderName == hostName
                        ? m_hostPlayer
                        : m_play->CreatePlayer(*message.senderName, "Replay", 0, 0);
                m_replayIds[message.from] = id;
                if (id != m_hostPlayer)
                    m_ids.push_back(id);
                Log(QString("PLAYER %1 \"%2\" replayed")
                        .arg(id)
                        .arg(QString::fromStdString(*message.senderName)));
            }
        }
        Log(QString("REPLAY %1 ticks, %2 players")
                .arg(m_replay.ticks.size())
                .arg(m_replayIds.size()));
        connect(&m_replayTimer, &QTimer::timeout, this, [this] { ReplayDue(); });
        m_replayTimer.start(20);
    }

private:
    void RunControllers() {
        std::vector<simhost::Flight> flights;
        for (const auto& aircraft : m_fleet)
            flights.push_back({aircraft.Callsign(),
                               aircraft.Arriving()    ? simhost::Phase::Arriving
                               : aircraft.Departing() ? simhost::Phase::Departing
                                                      : simhost::Phase::Other,
                               aircraft.DistanceNm()});
        const std::int64_t now = QDateTime::currentMSecsSinceEpoch();
        for (auto& [id, controller] : m_controllers) {
            for (const std::string& line :
                 controller.script->Tick(controller.inbox, m_departed, flights, now))
                Log("CONTROLLER " + QString::fromStdString(line));
            controller.inbox.clear();
        }
        m_departed.clear();
    }

    void ReplayDue() {
        qint64 started = -1;
        for (const auto& [id, joiner] : m_joiners)
            if (joiner.acceptedAt >= 0 && (started < 0 || joiner.acceptedAt < started))
                started = joiner.acceptedAt;
        if (started < 0 || m_replay.ticks.empty())
            return;
        const std::int64_t origin = m_replay.ticks.front().ms;
        const qint64 now = m_clock.elapsed() - started;
        while (m_nextTick < m_replay.ticks.size() &&
               m_replay.ticks[m_nextTick].ms - origin <= now) {
            for (const auto& message : m_replay.ticks[m_nextTick].messages)
                ReplayMessage(message);
            ++m_nextTick;
        }
        if (m_nextTick == m_replay.ticks.size() && !m_saidReplayed) {
            m_saidReplayed = true;
            Log("REPLAYED");
        }
    }

    void ReplayMessage(const mplink::RecordedMessage& message) {
        auto sender = m_replayIds.find(message.from);
        if (sender == m_replayIds.end() || message.to != 0)
            return;  // DirectPlay's notices and what was said to the recorder alone
        simhost::Bytes bytes = message.data;
        std::int32_t type = 0;
        std::int32_t size = 0;
        if (!simhost::ReadHeader(bytes, type, size))
            return;
        if (type == mplink::MP_PLAYER_HERE) {
            // A player announcing itself is announced under its new ID; others are passed over.
            if (bytes.size() < 12 || simhost::ReadInt32(bytes, 8) != message.from)
                return;
            bytes = mplink::PlayerHereMessage(sender->second);
        } else if (type == mplink::MP_REMOVED || type == mplink::MP_JOIN_REFUSED) {
            return;
        }
        Broadcast(sender->second, bytes);
    }

    bool Silent() const {
        return m_silentAfterMs > 0 && static_cast<double>(m_clock.elapsed()) >= m_silentAfterMs;
    }

    void Broadcast(std::int32_t from, const simhost::Bytes& bytes, std::int32_t to = 0) {
        if (Silent()) {
            if (!m_saidSilent)
                Log("SILENT from now on");
            m_saidSilent = true;
            return;
        }
        try {
            m_play->Send(from, to, dp::kSendGuaranteed, dp::DirectPlayMessage(bytes));
        } catch (const dp::DirectPlayError& e) {
            Log(QString("ERROR send: %1").arg(e.what()));
        }
    }

    void SendPositions() {
        const qint64 now = m_clock.elapsed();
        const double seconds = static_cast<double>(now - m_lastTick) / 1000.0;
        m_lastTick = now;
        ++m_round;
        for (std::size_t i = 0; i < m_fleet.size(); ++i) {
            m_fleet[i].Advance(seconds);
            const bool useLong =
                m_longEvery > 0 && (m_round + static_cast<std::int64_t>(i)) % m_longEvery == 0;
            const auto state = m_fleet[i].State();
            const auto stamp = MonotonicMicros();
            const auto sequence = static_cast<std::int32_t>(m_round);
            Broadcast(m_ids[i], useLong ? simhost::EncodePositionLong(state, stamp, sequence)
                                        : simhost::EncodePosition(state, stamp, sequence));
        }
        if (m_leaveAfterMs > 0 && static_cast<double>(now) >= m_leaveAfterMs && !m_fleet.empty() &&
            m_ids.size() == m_fleet.size()) {
            // The last aircraft leaves the session, as a pilot who quits.
            m_leaveAfterMs = 0;
            Log(QString("LEAVE %1").arg(QString::fromStdString(m_fleet.back().Callsign())));
            try {
                m_play->DestroyPlayer(m_ids.back());
            } catch (const dp::DirectPlayError&) {
            }
            m_ids.pop_back();
            m_fleet.pop_back();
        }
        for (auto& [id, joiner] : m_joiners) {
            if (!joiner.removed && joiner.acceptedAt >= 0 && m_removeAfterMs > 0 &&
                static_cast<double>(now - joiner.acceptedAt) >= m_removeAfterMs) {
                joiner.removed = true;
                Log(QString("REMOVE %1").arg(id));
                Broadcast(m_hostPlayer, mplink::EmptyMessage(mplink::MP_REMOVED), id);
            }
        }
    }

    void SendChat() {
        if (m_fleet.empty())
            return;
        const QString line = m_chatLines[m_chatIndex++ % m_chatLines.size()];
        const std::size_t who = static_cast<std::size_t>(m_chatIndex) % m_fleet.size();
        Log(QString("CHAT out %1: %2").arg(QString::fromStdString(m_fleet[who].Callsign()), line));
        Broadcast(m_ids[who], simhost::EncodeChat(line.toLatin1().toStdString()));
    }

    void Poll() {
        std::int32_t count = 0;
        try {
            // The controllers' players have messages of their own; what goes to all is
            // counted once for each, and the loop ends when the queue is empty.
            count = m_play->GetMessageCount(m_hostPlayer);
            for (const auto& [id, controller] : m_controllers)
                count += m_play->GetMessageCount(id);
        } catch (const dp::DirectPlayError&) {
            return;
        }
        for (; count > 0; --count) {
            std::int32_t from = 0;
            std::int32_t to = 0;
            std::shared_ptr<dp::DirectPlayMessage> message;
            try {
                message = m_play->Receive(from, to, dp::kReceiveAll);
            } catch (const dp::DirectPlayError&) {
                return;
            }
            if (auto controller = m_controllers.find(to);
                controller != m_controllers.end() && from != 0) {
                controller->second.inbox.emplace_back(from, message->Bytes());
                continue;  // a controller's, not the simulator's
            }
            Handle(from, message->Bytes());
        }
    }

    QString NameOf(std::int32_t id) {
        try {
            return QString::fromLatin1(m_play->GetPlayerFriendlyName(id).c_str());
        } catch (const dp::DirectPlayError&) {
            return QString("#%1").arg(id);
        }
    }

    void Handle(std::int32_t from, const simhost::Bytes& bytes) {
        std::int32_t type = 0;
        std::int32_t size = 0;
        if (!simhost::ReadHeader(bytes, type, size))
            return;
        if (from == 0) {
            const auto kind = static_cast<std::uint32_t>(type);
            if (kind == dp::system_message::kCreatePlayer)
                Log(QString("DP player %1 \"%2\" joined the session")
                        .arg(simhost::ReadInt32(bytes, 4))
                        .arg(NameOf(simhost::ReadInt32(bytes, 4))));
            else if (kind == dp::system_message::kDestroyPlayer) {
                Log(QString("DP player %1 left the session").arg(simhost::ReadInt32(bytes, 4)));
                if (!m_controllers.empty())
                    m_departed.push_back(simhost::ReadInt32(bytes, 4));
            }
            return;
        }
        switch (type) {
            case mplink::MP_JOIN_REQUEST:
            case mplink::MP_JOIN_PENDING: {
                Joiner& joiner = m_joiners[from];
                joiner.id = from;
                Log(QString("%1 %2 \"%3\"")
                        .arg(type == mplink::MP_JOIN_REQUEST ? "JOIN request" : "JOIN pending")
                        .arg(from)
                        .arg(NameOf(from)));
                if (m_refuse) {
                    Log(QString("JOIN refused %1").arg(from));
                    Broadcast(m_hostPlayer, mplink::EmptyMessage(mplink::MP_JOIN_REFUSED), from);
                } else {
                    if (joiner.acceptedAt < 0)
                        joiner.acceptedAt = m_clock.elapsed();
                    Log(QString("JOIN accepted %1").arg(from));
                    Broadcast(m_hostPlayer, mplink::PlayerHereMessage(from));
                }
                return;
            }
            case mplink::MP_ROLL_CALL:
                Log(QString("ROLL CALL from %1").arg(from));
                Broadcast(m_hostPlayer, mplink::PlayerHereMessage(m_hostPlayer));
                for (std::int32_t id : m_ids)
                    Broadcast(id, mplink::PlayerHereMessage(id));
                return;
            case mplink::MP_AIRCRAFT_INFO_REQUEST:
                Log(QString("INFO request from %1").arg(from));
                Broadcast(m_hostPlayer, simhost::EncodeAircraftInfo(0, "Cessna Skyhawk 172SP"));
                for (std::size_t i = 0; i < m_fleet.size(); ++i)
                    Broadcast(m_ids[i], simhost::EncodeAircraftInfo(m_fleet[i].Category(),
                                                                    m_fleet[i].Model()));
                return;
            case mplink::MP_PLAYER_HERE:
                Log(QString("HERE %1 \"%2\"").arg(simhost::ReadInt32(bytes, 8)).arg(NameOf(from)));
                return;
            case mplink::MP_CHAT: {
                const std::size_t length =
                    size > 1 ? std::min(bytes.size() - 8, static_cast<std::size_t>(size - 1)) : 0;
                std::string text(bytes.begin() + 8,
                                 bytes.begin() + 8 + static_cast<std::ptrdiff_t>(length));
                while (!text.empty() && text.back() == '\0')
                    text.pop_back();
                const auto zero = text.find('\0');
                if (zero != std::string::npos)
                    text.resize(zero);
                Log(QString("CHAT in %1: %2").arg(NameOf(from), QString::fromLatin1(text.c_str())));
                return;
            }
            default:
                Log(QString("MESSAGE %1 from %2, %3 bytes").arg(type).arg(from).arg(bytes.size()));
                return;
        }
    }

    std::shared_ptr<dp::DirectPlay4> m_play;
    struct Controller {
        std::unique_ptr<coord::DirectPlaySession> session;
        std::unique_ptr<simhost::ScriptedController> script;
        std::vector<std::pair<std::int32_t, coord::Bytes>> inbox;
    };
    std::map<std::int32_t, Controller> m_controllers;
    std::vector<std::int32_t> m_departed;  // players that left since the controllers' tick
    QTimer m_controllerTimer;
    std::vector<simhost::Aircraft> m_fleet;
    simhost::Aircraft m_parked;
    std::vector<std::int32_t> m_ids;
    std::int32_t m_hostPlayer = 0;
    std::map<std::int32_t, Joiner> m_joiners;
    QElapsedTimer m_clock;
    QTimer m_positionTimer, m_aliveTimer, m_parkedTimer, m_chatTimer, m_poll;
    qint64 m_lastTick = 0;
    std::int64_t m_round = 0;
    bool m_refuse = false;
    bool m_saidSilent = false;
    double m_removeAfterMs = 0;
    double m_leaveAfterMs = 0;
    double m_silentAfterMs = 0;
    double m_rate = 1;
    int m_longEvery = 0;
    QStringList m_chatLines;
    int m_chatIndex = 0;
    mplink::Recording m_replay;
    std::map<std::int32_t, std::int32_t> m_replayIds;  // recorded sender -> player here
    std::size_t m_nextTick = 0;
    QTimer m_replayTimer;
    bool m_saidReplayed = false;
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    tools::QuitOnStopSignals(app);
    QCoreApplication::setApplicationVersion(QStringLiteral(TARVOLO_VERSION));
    QCommandLineParser args;
    args.setApplicationDescription(
        "Hosts a simulator multiplayer session with AI traffic.\n"
        "Exit status: 0 when it ends (--duration, SIGTERM), 2 for a command line it does not "
        "take or a database it cannot read, 1 when the session cannot be hosted.");
    args.addHelpOption();
    args.addVersionOption();
    args.addOptions({
        {"name", "Session name.", "text", "Tarvolo Demo"},
        {"max-players", "Maximum players of the session (0: the aircraft, the host and 8 more).",
         "n", "0"},
        {"database", "Database directory (atc_settings.tcs, world_airports.dat).", "dir"},
        {"index", "Airport index in the database.", "n", "0"},
        {"lat", "Runway threshold latitude.", "deg", "47.4490"},
        {"lon", "Runway threshold longitude.", "deg", "-122.3090"},
        {"elev", "Runway elevation in feet.", "ft", "433"},
        {"runway-heading", "True heading of the runway.", "deg", "160"},
        {"aircraft", "Number of AI aircraft.", "n", "8"},
        {"host-name", "Name of the host's own player.", "text", "FS Host"},
        {"enum-port", "UDP port answering enumeration (0: any).", "port", "47624"},
        {"tcp-port", "TCP port (0: first free of 2300-2349).", "port", "0"},
        {"rate", "Position messages per second per aircraft.", "n", "1"},
        {"long-every", "Every n-th position goes as the long form (0: never).", "n", "4"},
        {"refuse", "Refuse every joiner."},
        {"remove-after", "Remove a joiner this many seconds after accepting it (0: never).", "s",
         "0"},
        {"silent-after", "Stop sending anything after this many seconds (0: never).", "s", "0"},
        {"leave-after",
         "The last AI aircraft leaves the session this many seconds after the start "
         "(0: never).",
         "s", "0"},
        {"chat", "A chat line the AI pilots say (repeatable).", "text"},
        {"chat-every", "Seconds between chat lines.", "s", "20"},
        {"seed", "Seed of the fleet.", "n", "7"},
        {{"duration", "seconds"},
         "Exit after this many seconds (0: run until stopped); --seconds is the same.",
         "s",
         "0"},
        {"ping-ms", "DirectPlay keep-alive interval.", "ms", "35000"},
        {"id-mask",
         "The mask player IDs are XORed with (the session's Reserved1), e.g. 0x9E370000; "
         "random: a new one each run, as Windows does (about half of the IDs are negative).",
         "mask", "random"},
        {"reliable", "Carry the session's traffic in DirectPlay's reliable protocol."},
        {"loss", "Drop this share of the datagrams the host sends (a bad network).", "percent",
         "0"},
        {"duplicate", "Send this share of the datagrams twice.", "percent", "0"},
        {"reorder", "Hold back this share of the datagrams so later ones overtake them.", "percent",
         "0"},
        {"loss-seed", "Seed of --loss, --duplicate and --reorder.", "n", "1"},
        {"controller",
         "Play a controller at POSITION on FREQUENCY (repeatable), e.g. APP:119.20: it claims "
         "the arrivals, offers each to the tower 10 nm out and takes the departures offered "
         "to it.",
         "POSITION:FREQUENCY"},
        {"replay",
         "Host a recorded session again: its aircraft are the players, sending what was "
         "recorded, from when the first joiner is accepted (no AI aircraft of its own).",
         "file.tvr"},
    });
    // Help and version on standard output with status 0; a command line it does not take on
    // standard error with status 2, as tarvolo and tarvolo-tool do.
    if (!args.parse(QCoreApplication::arguments())) {
        std::fprintf(stderr, "simhost: %s\n%s", qPrintable(args.errorText()),
                     qPrintable(args.helpText()));
        return 2;
    }
    if (args.isSet("help"))
        args.showHelp(0);
    if (args.isSet("version"))
        args.showVersion();
    if (!args.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "simhost: takes no \"%s\"\n%s",
                     qPrintable(args.positionalArguments().first()), qPrintable(args.helpText()));
        return 2;
    }

    for (const QString& value : args.values("controller")) {
        if (!simhost::ParseController(value.toStdString())) {
            std::fprintf(stderr, "simhost: --controller takes POSITION:FREQUENCY, not \"%s\"\n",
                         qPrintable(value));
            return 2;
        }
    }
    simhost::Runway runway;
    QString airport = "position given";
    if (args.isSet("database")) {
        QString error;
        auto found =
            RunwayFromDatabase(args.value("database"), args.value("index").toInt(), error, airport);
        if (!found) {
            Log("ERROR " + error);
            return 2;
        }
        runway = *found;
    } else {
        runway.latitude = args.value("lat").toDouble();
        runway.longitude = args.value("lon").toDouble();
        runway.elevationFeet = args.value("elev").toDouble();
        runway.trueHeading = args.value("runway-heading").toDouble();
    }

    dp::SessionOptions options;
    options.enumPort = static_cast<std::uint16_t>(args.value("enum-port").toUInt());
    options.tcpPort = static_cast<std::uint16_t>(args.value("tcp-port").toUInt());
    options.pingIntervalMs = std::max(100, args.value("ping-ms").toInt());
    options.impairment = {std::clamp(args.value("loss").toInt(), 0, 100),
                          std::clamp(args.value("duplicate").toInt(), 0, 100),
                          std::clamp(args.value("reorder").toInt(), 0, 100),
                          args.value("loss-seed").toUInt()};
    if (const QString mask = args.value("id-mask"); mask != "random") {
        bool ok = false;
        const std::uint32_t value = mask.toUInt(&ok, 0);
        if (!ok) {
            Log("ERROR --id-mask takes a number (0x... for hexadecimal) or random");
            return 2;
        }
        options.idMask = value;
    }
    dp::DirectX7 directX(options);
    auto play = directX.DirectPlayCreate("");
    auto description = play->CreateSessionData();
    description->SetSessionName(args.value("name").toStdString());
    std::optional<mplink::Recording> replay;
    if (args.isSet("replay")) {
        replay = mplink::ReadRecording(args.value("replay").toStdString());
        if (!replay) {
            Log("ERROR not a recording: " + args.value("replay"));
            return 2;
        }
    }
    const int aircraft = replay ? 0 : std::max(0, args.value("aircraft").toInt());
    const int maxPlayers = args.value("max-players").toInt();
    description->SetMaxPlayers(maxPlayers > 0 ? maxPlayers : aircraft + 9 + (replay ? 40 : 0));
    description->SetFlags(
        dp::wire::session_flag::kKeepAlive | dp::wire::session_flag::kMigrateHost |
        (args.isSet("reliable") ? dp::wire::session_flag::kReliableProtocol : 0u));
    try {
        play->Open(*description, dp::kOpenCreate);
    } catch (const dp::DirectPlayError& e) {
        Log(QString("ERROR cannot host: %1").arg(e.what()));
        return 2;
    }
    Log(QString("HOST \"%1\" airport %2 runway %3 deg, %4 aircraft")
            .arg(args.value("name"), airport)
            .arg(runway.trueHeading, 0, 'f', 0)
            .arg(aircraft));
    Log(QString("READY enum-port %1 tcp-port %2")
            .arg(play->Engine().EnumPort())
            .arg(play->Engine().TcpPort()));
    Log(QString("SESSION id-mask 0x%1 flags 0x%2")
            .arg(play->Engine().Desc().reserved1, 8, 16, QChar('0'))
            .arg(play->Engine().Desc().flags, 0, 16));

    // The host's own pilot waits parked beside the runway.
    simhost::Aircraft parked(args.value("host-name").toStdString(), "Cessna Skyhawk 172SP", 0,
                             simhost::Pattern::Parked, runway, 0);
    std::unique_ptr<Host> host;
    try {
        host = std::make_unique<Host>(
            play, simhost::MakeFleet(aircraft, runway, args.value("seed").toUInt()), parked, args,
            args.isSet("database") ? airport.section(QChar(' '), 0, 0).toStdString() : "");
        if (replay)
            host->Replay(std::move(*replay));
    } catch (const dp::DirectPlayError& e) {
        Log(QString("ERROR cannot create the players: %1").arg(e.what()));
        return 2;
    }
    if (const double duration = args.value("duration").toDouble(); duration > 0)
        QTimer::singleShot(static_cast<int>(duration * 1000), &app, &QCoreApplication::quit);
    // Stopped while it was setting up: it closes the session at once.
    const int result = tools::StopRequested() ? 0 : app.exec();
    play->Close();
    Log("CLOSED");
    return result;
}
