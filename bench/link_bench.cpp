// The multiplayer link under the load of a busy session: simhost with 40 aircraft at 10
// positions a second each, and one joiner on this program's DirectPlay layer, over TCP and
// over the reliable protocol through 5 % loss. Prints what arrived against what was sent, the
// latency from the sender's clock to the joiner's queue, and the CPU both processes used.

#include <sys/resource.h>

#include <unistd.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <set>

#include "directplay/directplay.h"
#include "link/link.h"
#include "tools/simhost/mp_messages.h"

namespace dp = directplay;

namespace {

std::uint64_t NowMicros() {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}

double ProcessCpuSeconds(qint64 pid) {
    QFile stat(QString("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return 0;
    return (fields[11].toDouble() + fields[12].toDouble()) /
           static_cast<double>(sysconf(_SC_CLK_TCK));
}

double OwnCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void Spin(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

struct Row {
    const char* name;
    QStringList extra;
    bool ok = false;
    std::size_t senders = 0;
    double elapsed = 0, rate = 0, median = 0, p99 = 0, max = 0, hostCpu = 0, ownCpu = 0;
};

constexpr int kAircraft = 40;
constexpr int kRate = 10;

// One run: simhost with the fleet and the row's options, one joiner measuring.
void Measure(const QString& simhostPath, int seconds, Row& row) {
    QProcess host;
    host.start(simhostPath,
               QStringList{"--enum-port", "0", "--aircraft", QString::number(kAircraft), "--rate",
                           QString::number(kRate), "--long-every", "0", "--duration",
                           QString::number(seconds + 20)} +
                   row.extra);
    QByteArray log;
    std::uint16_t port = 0;
    for (int i = 0; i < 500 && port == 0; ++i) {
        Spin(10);
        log += host.readAllStandardOutput();
        const qsizetype at = log.indexOf("READY enum-port ");
        if (at >= 0)
            port = static_cast<std::uint16_t>(
                log.mid(at + 16, log.indexOf(" ", at + 16) - at - 16).toUInt());
    }
    if (port == 0) {
        std::fprintf(stderr, "simhost did not start\n");
        return;
    }
    dp::SessionOptions options;
    options.bindAddress = QHostAddress(QHostAddress::LocalHost);
    options.enumTimeoutMs = 1000;
    auto play = dp::DirectX7(options).DirectPlayCreate("");
    play->InitializeConnection(dp::ConnectionAddress::TcpIp("127.0.0.1:" + std::to_string(port)));
    auto sessions = play->GetDPEnumSessions(*play->CreateSessionData(), 0, dp::kEnumAvailable);
    if (sessions->GetCount() != 1) {
        std::fprintf(stderr, "the session was not found on port %u\n", port);
        return;
    }
    play->Open(*sessions->GetItem(1), dp::kOpenJoin);
    const std::int32_t me = play->CreatePlayer("ATC Controller", "Player", 0, 0);

    std::vector<double> latencies;
    std::set<std::int32_t> senders;
    std::size_t positions = 0;
    auto drain = [&](bool count) {
        const std::uint64_t now = NowMicros();
        while (play->GetMessageCount(me) > 0) {
            std::int32_t from = 0, to = 0;
            const auto m = play->Receive(from, to, dp::kReceiveAll)->Bytes();
            if (!count || simhost::ReadInt32(m, 0) != mplink::MP_POSITION)
                continue;
            ++positions;
            senders.insert(from);
            const std::uint64_t stamp =
                static_cast<std::uint32_t>(simhost::ReadInt32(m, 8)) |
                (std::uint64_t{static_cast<std::uint32_t>(simhost::ReadInt32(m, 12))} << 32);
            latencies.push_back(static_cast<double>(now - stamp) / 1000.0);
        }
    };
    // Warm up, then measure; the queue is emptied as soon as anything arrives.
    QElapsedTimer warm;
    warm.start();
    while (warm.elapsed() < 1000) {
        Spin(1);
        drain(false);
    }
    const double hostCpu0 = ProcessCpuSeconds(host.processId());
    const double ownCpu0 = OwnCpuSeconds();
    QElapsedTimer clock;
    clock.start();
    const auto connection =
        QObject::connect(&play->Engine(), &dp::Session::messageQueued, [&] { drain(true); });
    while (clock.elapsed() < seconds * 1000)
        Spin(50);
    QObject::disconnect(connection);
    row.elapsed = static_cast<double>(clock.elapsed()) / 1000.0;
    row.hostCpu = (ProcessCpuSeconds(host.processId()) - hostCpu0) / row.elapsed * 100.0;
    row.ownCpu = (OwnCpuSeconds() - ownCpu0) / row.elapsed * 100.0;
    play->Close();
    host.terminate();
    if (!host.waitForFinished(3000))
        host.kill();
    host.waitForFinished(1000);

    std::sort(latencies.begin(), latencies.end());
    auto pct = [&](double p) {
        return latencies.empty() ? 0.0
                                 : latencies[static_cast<std::size_t>(
                                       p * static_cast<double>(latencies.size() - 1))];
    };
    row.senders = senders.size();
    row.rate = static_cast<double>(positions) / row.elapsed;
    row.median = pct(0.5);
    row.p99 = pct(0.99);
    row.max = latencies.empty() ? 0.0 : latencies.back();
    row.ok = true;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString simhostPath = argc > 1 ? argv[1] : "simhost";
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 10;
    Row rows[] = {
        {"TCP, no loss", {}},
        {"reliable protocol, 5 % loss", {"--reliable", "--loss", "5", "--loss-seed", "3"}}};
    for (Row& row : rows)
        Measure(simhostPath, seconds, row);
    const double expected = kAircraft * kRate;
    std::printf("link: %d aircraft x %d/s for %d s each\n", kAircraft, kRate, seconds);
    std::printf("  %-28s %9s %7s %10s %9s %9s %9s %8s %8s\n", "", "senders", "msg/s", "ratio",
                "median", "p99", "max", "cpu host", "cpu ours");
    bool good = true;
    for (const Row& row : rows) {
        if (!row.ok) {
            std::printf("  %-28s did not run\n", row.name);
            good = false;
            continue;
        }
        std::printf("  %-28s %9zu %7.1f %10.3f %6.3f ms %6.3f ms %6.3f ms %7.1f%% %7.1f%%\n",
                    row.name, row.senders, row.rate, row.rate / expected, row.median, row.p99,
                    row.max, row.hostCpu, row.ownCpu);
        if (&row == &rows[0])  // the targets are the plain link's; the second row is reported
            good = good && row.rate / expected >= 0.99 && row.median < 5.0;
    }
    std::printf(
        "  targets (TCP row): delivered ratio >= 0.99 of %.0f msg/s, median latency < 5 ms\n",
        expected);
    return good ? 0 : 3;
}
