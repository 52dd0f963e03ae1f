// The soak harness's machines of the session: a peer that joins, sends a numbered stream of
// guaranteed messages to every player and counts what arrives of everybody else's, and a
// stranger on another address that knocks with forged frames and datagrams.

#include "tools/soak/soak.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QRandomGenerator>
#include <QTcpSocket>
#include <QTimer>
#include <QUdpSocket>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <map>
#include <memory>
#include <set>

#include "directplay/directplay.h"
#include "directplay/errors.h"
#include "directplay/wire.h"

namespace soak {

namespace dp = directplay;
namespace wire = directplay::wire;

namespace {

constexpr std::int32_t kMagic = 0x4B414F53;  // "SOAK"

volatile std::sig_atomic_t g_stop = 0;

void InstallStop() {
    std::signal(SIGTERM, [](int) { g_stop = 1; });
    std::signal(SIGINT, [](int) { g_stop = 1; });
}

struct Streams {
    std::uint64_t sent = 0;
    std::uint64_t delivered = 0;
    std::uint64_t lost = 0;
    std::uint64_t duplicated = 0;
    std::uint64_t outOfOrder = 0;
    struct Stream {
        std::uint32_t first = 0;
        std::uint32_t last = 0;           // the highest number taken
        std::set<std::uint32_t> missing;  // numbers passed over, still welcome late
    };
    std::map<std::int32_t, Stream> streams;  // by sender

    // Guaranteed messages come once each and in order: a number seen before is a duplicate,
    // one that comes after a later one is out of order, one that never comes is lost.
    void Take(std::int32_t from, std::uint32_t number) {
        ++delivered;
        auto [it, first] = streams.try_emplace(from, Stream{number, number, {}});
        if (first)
            return;
        Stream& s = it->second;
        if (number > s.last) {
            for (std::uint32_t n = s.last + 1; n < number && s.missing.size() < 100000; ++n)
                s.missing.insert(n);
            s.last = number;
        } else if (s.missing.erase(number)) {
            ++outOfOrder;
            std::fprintf(stderr, "soak: %d's message %u came after %u\n", from, number, s.last);
        } else if (number >= s.first) {
            ++duplicated;
            std::fprintf(stderr, "soak: %d's message %u came twice\n", from, number);
        } else {
            ++outOfOrder;  // before the first one taken from this sender
            std::fprintf(stderr, "soak: %d's message %u came after its first, %u\n", from, number,
                         s.first);
        }
    }
    std::uint64_t Lost() const {
        std::uint64_t n = 0;
        for (const auto& [from, s] : streams)
            n += s.missing.size();
        return n;
    }
};

void PrintStats(const char* name, const Streams& s, bool joined, int code) {
    std::printf(
        "{\"event\": \"end\", \"name\": \"%s\", \"joined\": %s, \"sent\": %llu, "
        "\"delivered\": %llu, \"lost\": %llu, \"duplicated\": %llu, \"outOfOrder\": %llu, "
        "\"streams\": %zu, \"rssKb\": %ld, \"peakRssKb\": %ld, \"status\": %d}\n",
        name, joined ? "true" : "false", static_cast<unsigned long long>(s.sent),
        static_cast<unsigned long long>(s.delivered), static_cast<unsigned long long>(s.Lost()),
        static_cast<unsigned long long>(s.duplicated),
        static_cast<unsigned long long>(s.outOfOrder), s.streams.size(), StatusKb(0, "VmRSS:"),
        StatusKb(0, "VmHWM:"), code);
    std::fflush(stdout);
}

}  // namespace

long StatusKb(long long pid, const char* field) {
    QFile status(pid > 0 ? QStringLiteral("/proc/%1/status").arg(pid)
                         : QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray key(field);
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ')[0].toLong();
    return -1;
}

int RunPeer(const PeerOptions& o) {
    InstallStop();
    static std::atomic<bool> dark{false};
    dp::SessionOptions options;
    options.bindAddress = QHostAddress(QHostAddress::LocalHost);
    options.enumTimeoutMs = 3000;
    options.blackout = [] { return dark.load(); };
    auto play = dp::DirectX7(options).DirectPlayCreate("");
    const std::string name = o.name.toStdString();
    Streams streams;
    std::int32_t me = 0;
    try {
        play->InitializeConnection(dp::ConnectionAddress::TcpIp(o.host.toStdString()));
        auto sessions = play->GetDPEnumSessions(*play->CreateSessionData(), 0, dp::kEnumAvailable);
        if (sessions->GetCount() < 1)
            throw dp::DirectPlayError(dp::hresult::kNoSessions, "no session found");
        play->Open(*sessions->GetItem(1), dp::kOpenJoin);
        me = play->CreatePlayer(name, "Soak", 0, 0);
    } catch (const dp::DirectPlayError& e) {
        std::fprintf(stderr, "%s: no join: %s\n", name.c_str(), e.what());
        if (const auto* link = play->Engine().LinkOf(play->Engine().HostSystemPlayerId())) {
            const auto& st = link->Stats();
            std::fprintf(stderr,
                         "%s: link to the host: sent %llu, resent %llu, delivered %llu, "
                         "duplicates %llu, ignored %llu, outstanding %zu, waiting %zu\n",
                         name.c_str(), static_cast<unsigned long long>(st.framesSent),
                         static_cast<unsigned long long>(st.retransmissions),
                         static_cast<unsigned long long>(st.delivered),
                         static_cast<unsigned long long>(st.duplicates),
                         static_cast<unsigned long long>(st.ignored), link->Outstanding(),
                         link->Waiting());
        }
        std::fprintf(stderr, "%s: malformed %llu, refused %llu\n", name.c_str(),
                     static_cast<unsigned long long>(play->Engine().MalformedCount()),
                     static_cast<unsigned long long>(play->Engine().RefusedMessages()));
        PrintStats(name.c_str(), streams, false, kNotJoined);
        return kNotJoined;
    }
    std::printf("{\"event\": \"joined\", \"name\": \"%s\", \"id\": %d}\n", name.c_str(), me);
    std::fflush(stdout);

    QElapsedTimer clock;
    clock.start();
    int code = 0;
    bool wasHost = false;
    QTimer send;
    QObject::connect(&send, &QTimer::timeout, [&] {
        dp::DirectPlayMessage m;
        m.WriteLong(kMagic);
        m.WriteLong(static_cast<std::int32_t>(streams.sent + 1));
        try {
            play->Send(me, 0, dp::kSendGuaranteed, m);
            ++streams.sent;
        } catch (const dp::DirectPlayError&) {
        }
    });
    send.start(o.sendEveryMs);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        try {
            while (play->GetMessageCount(me) > 0) {
                std::int32_t from = 0, to = 0;
                auto m = play->Receive(from, to, dp::kReceiveAll);
                const std::int32_t first = m->ReadLong();
                if (from == 0 &&
                    static_cast<std::uint32_t>(first) == dp::system_message::kSessionLost)
                    code = kSessionLost;
                else if (from != 0 && first == kMagic)
                    streams.Take(from, static_cast<std::uint32_t>(m->ReadLong()));
            }
        } catch (const dp::DirectPlayError&) {
            code = kSessionLost;
        }
        if (play->Engine().IsHost() && !wasHost) {
            wasHost = true;
            std::printf("{\"event\": \"host\", \"name\": \"%s\", \"enumPort\": %u}\n", name.c_str(),
                        play->Engine().EnumPort());
            std::fflush(stdout);
        }
        // Outages: every so often nothing passes for a while.
        if (o.outageEverySeconds > 0) {
            const qint64 t = clock.elapsed() - static_cast<qint64>(o.outageAtSeconds) * 1000;
            const qint64 period = static_cast<qint64>(o.outageEverySeconds) * 1000;
            dark = t >= 0 && t % period < o.outageMs;
        }
        const bool timeUp =
            o.seconds > 0 && clock.elapsed() >= static_cast<qint64>(o.seconds) * 1000;
        if (g_stop || timeUp || code != 0)
            QCoreApplication::quit();
    });
    poll.start(20);
    QCoreApplication::exec();
    send.stop();
    poll.stop();
    dark = false;
    if (code == 0) {
        try {
            play->Close();
        } catch (const dp::DirectPlayError&) {
        }
    }
    const std::uint64_t dead = play->Engine().DeadLinks();
    if (dead != 0)
        std::fprintf(stderr, "%s: %llu links declared dead\n", name.c_str(),
                     static_cast<unsigned long long>(dead));
    PrintStats(name.c_str(), streams, true, code);
    return code;
}

int RunStranger(const StrangerOptions& o) {
    InstallStop();
    auto* random = QRandomGenerator::global();
    const QHostAddress self("127.0.0.2");
    const QHostAddress target(QHostAddress::LocalHost);
    QUdpSocket udp;
    if (!udp.bind(self, 0)) {
        std::fprintf(stderr, "stranger: cannot bind 127.0.0.2\n");
        return 2;
    }
    std::vector<std::unique_ptr<QTcpSocket>> open;
    std::uint64_t frames = 0, datagrams = 0;
    auto anyId = [&] { return static_cast<std::int32_t>(random->generate()); };
    auto forged = [&](std::uint16_t port) {
        const wire::SockAddr sender{0, port};
        wire::PlayerCreate create;
        create.playerId = anyId();
        create.player.id = create.playerId;
        create.player.systemPlayerId = anyId();
        create.player.flags = random->bounded(2) ? wire::player_flag::kSystem : 0u;
        create.player.shortName = u"Stranger";
        switch (random->bounded(9)) {
            case 0:
                return wire::EncodeFrame(sender, wire::Command::YouAreDead, 14, {});
            case 1:
                return wire::EncodeFrame(sender, wire::Command::DeletePlayer, 14,
                                         wire::EncodeDeletePlayer(anyId()));
            case 2:
                return wire::EncodeFrame(sender, wire::Command::AddForwardRequest, 14,
                                         wire::EncodeAddForwardRequest(create));
            case 3:
                return wire::EncodeFrame(sender, wire::Command::RequestPlayerId, 14,
                                         wire::EncodeRequestPlayerId(random->bounded(2) ? 9u : 8u));
            case 4:
                return wire::EncodeFrame(sender, wire::Command::CreatePlayer, 14,
                                         wire::EncodeCreatePlayer(create));
            case 5: {
                wire::IAmNameServer claim;
                claim.idHost = anyId();
                return wire::EncodeFrame(sender, wire::Command::IAmNameServer, 14,
                                         wire::EncodeIAmNameServer(claim));
            }
            case 6:
                return wire::EncodeFrame(sender, wire::Command::Ping, 14,
                                         wire::EncodePing({anyId(), 1}));
            case 7:
                return wire::EncodePlayerMessage(sender, 14, {anyId(), 0, {1, 2, 3, 4}}, false);
            default: {
                wire::Bytes junk(1 + random->bounded(200u));
                for (auto& b : junk)
                    b = static_cast<std::uint8_t>(random->bounded(256));
                return junk;
            }
        }
    };
    QElapsedTimer clock;
    clock.start();
    QTimer knock;
    QObject::connect(&knock, &QTimer::timeout, [&] {
        if (g_stop || (o.seconds > 0 && clock.elapsed() >= static_cast<qint64>(o.seconds) * 1000)) {
            QCoreApplication::quit();
            return;
        }
        switch (random->bounded(3)) {
            case 0: {
                // A connection to the host that stays open, as long as the host lets it.
                auto socket = std::make_unique<QTcpSocket>();
                socket->bind(self, 0);
                socket->connectToHost(target, o.tcpPort);
                const wire::Bytes bytes =
                    forged(static_cast<std::uint16_t>(2300 + random->bounded(50)));
                QTcpSocket* raw = socket.get();
                QObject::connect(raw, &QTcpSocket::connected, raw, [raw, bytes] {
                    raw->write(reinterpret_cast<const char*>(bytes.data()),
                               static_cast<qint64>(bytes.size()));
                });
                open.push_back(std::move(socket));
                if (open.size() > 20)
                    open.erase(open.begin());
                ++frames;
                break;
            }
            case 1: {
                const wire::Bytes bytes =
                    forged(static_cast<std::uint16_t>(2300 + random->bounded(50)));
                udp.writeDatagram(reinterpret_cast<const char*>(bytes.data()),
                                  static_cast<qint64>(bytes.size()), target, o.enumPort);
                ++datagrams;
                break;
            }
            default: {
                // Any of DirectPlay's datagram ports, where the session's machines listen.
                const wire::Bytes bytes =
                    forged(static_cast<std::uint16_t>(2300 + random->bounded(50)));
                udp.writeDatagram(reinterpret_cast<const char*>(bytes.data()),
                                  static_cast<qint64>(bytes.size()), target,
                                  static_cast<quint16>(2350 + random->bounded(50)));
                ++datagrams;
                break;
            }
        }
    });
    knock.start(o.everyMs);
    QCoreApplication::exec();
    open.clear();
    std::printf(
        "{\"event\": \"end\", \"name\": \"stranger\", \"frames\": %llu, \"datagrams\": %llu}\n",
        static_cast<unsigned long long>(frames), static_cast<unsigned long long>(datagrams));
    std::fflush(stdout);
    return 0;
}

}  // namespace soak
