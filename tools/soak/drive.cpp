// The soak harness's driver: one row of churn (a session over TCP, or one in the reliable
// protocol with 10 % of the host's datagrams lost), every process watched to its end.

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <memory>
#include <vector>

#include "tools/soak/soak.h"

namespace soak {

namespace {

bool HasSanitizerReport(const QByteArray& err) {
    for (const char* mark : {"ERROR: AddressSanitizer", "ERROR: LeakSanitizer",
                             "runtime error:", "ERROR: UndefinedBehaviorSanitizer"})
        if (err.contains(mark))
            return true;
    return false;
}

struct Child {
    QString name;
    std::unique_ptr<QProcess> process;
    bool longLived = false;  // simhost and the residents: their memory is sampled
    bool killed = false;     // vanished on purpose: judged by what it wrote only
    bool frozen = false;
    QByteArray out;
    QByteArray err;
    long rssAfterMinute = -1;
    long rssPeak = 0;
    long rssFinal = -1;
};

class Drive {
public:
    explicit Drive(const DriveOptions& options) : m_o(options), m_random(options.seed) {}

    int Run() {
        m_clock.start();
        const bool reliable = m_o.row == "reliable";
        QStringList hostArgs{"--enum-port",   "0",  "--aircraft", "4",    "--rate", "1",
                             "--max-players", "64", "--ping-ms",  "5000", "--name", "Soak"};
        if (reliable)
            hostArgs << "--reliable"
                     << "--loss"
                     << "10"
                     << "--loss-seed" << QString::number(m_o.seed);
        Child& host = Start("simhost", m_o.simhost, hostArgs, true);
        m_host = &host;
        QElapsedTimer wait;
        wait.start();
        while (m_enumPort == 0 && wait.elapsed() < 30000 &&
               host.process->state() != QProcess::NotRunning) {
            host.process->waitForReadyRead(200);
            Read(host);
            const qsizetype at = host.out.indexOf("READY enum-port ");
            if (at >= 0) {
                const QList<QByteArray> words = host.out.mid(at).split('\n')[0].split(' ');
                m_enumPort = words.value(2).toUShort();
                m_tcpPort = words.value(4).toUShort();
            }
        }
        if (m_enumPort == 0) {
            std::fprintf(stderr, "soak: simhost did not start\n%s\n", host.err.constData());
            return 1;
        }
        const QString address = QStringLiteral("127.0.0.1:%1").arg(m_enumPort);
        const int outageAt = std::min(40, m_o.seconds / 4);
        for (int i = 0; i < m_o.residents; ++i) {
            QStringList args{
                "peer",      "--host", address, "--name", QStringLiteral("R%1").arg(i + 1),
                "--seconds", "0"};
            if (reliable)
                args << "--outage-every"
                     << "120"
                     << "--outage-at" << QString::number(outageAt + 10 * i) << "--outage-ms"
                     << "15000";
            Start(QStringLiteral("R%1").arg(i + 1), m_o.self, args, true);
        }
        Start("stranger", m_o.self,
              {"stranger", "--enum-port", QString::number(m_enumPort), "--tcp-port",
               QString::number(m_tcpPort), "--seconds", "0"},
              false);

        const qint64 end = static_cast<qint64>(m_o.seconds) * 1000;
        const qint64 hostLeaves = end - std::min<qint64>(30000, end / 4);
        const qint64 churnEnds = hostLeaves - 10000;
        qint64 nextChurn = 3000;
        qint64 nextFreeze = static_cast<qint64>(outageAt) * 1000;
        qint64 thawAt = -1;
        int churned = 0;
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, [&] {
            const qint64 now = m_clock.elapsed();
            for (auto& c : m_children)
                Read(*c);
            SampleMemory(now);
            // Over TCP an outage is a machine that stops: frozen for 15 s, every 120 s.
            if (!reliable && now >= nextFreeze && thawAt < 0 && now < hostLeaves) {
                Child& r = *m_children[1 + static_cast<std::size_t>(churned) %
                                               static_cast<std::size_t>(m_o.residents)];
                ::kill(static_cast<pid_t>(r.process->processId()), SIGSTOP);
                r.frozen = true;
                thawAt = now + 15000;
                nextFreeze += 120000;
            }
            if (thawAt >= 0 && now >= thawAt) {
                for (auto& c : m_children)
                    if (c->frozen) {
                        ::kill(static_cast<pid_t>(c->process->processId()), SIGCONT);
                        c->frozen = false;
                    }
                thawAt = -1;
            }
            if (now >= nextChurn && now < churnEnds) {
                const int count = m_random.bounded(4) == 0 ? 2 : 1;  // now and then, at once
                for (int i = 0; i < count; ++i) {
                    const int life = 5 + m_random.bounded(31);
                    const QString name = QStringLiteral("C%1").arg(++churned);
                    Child& c = Start(name, m_o.self,
                                     {"peer", "--host", address, "--name", name, "--seconds",
                                      QString::number(life)},
                                     false);
                    if (m_random.bounded(100) < 15) {  // vanishes without a word
                        QProcess* p = c.process.get();
                        Child* victim = &c;
                        QTimer::singleShot(1000 * (2 + m_random.bounded(life)), p, [p, victim] {
                            victim->killed = true;
                            p->kill();
                        });
                    }
                }
                nextChurn = now + 1000 + m_random.bounded(4000);
            }
            if (now >= hostLeaves && host.process->state() != QProcess::NotRunning &&
                !m_hostStopped) {
                m_hostStopped = true;
                host.process->terminate();  // the host leaves; the session migrates
            }
            if (now >= end)
                QCoreApplication::quit();
        });
        tick.start(100);
        QCoreApplication::exec();
        tick.stop();
        for (auto& c : m_children)
            if (c->frozen)
                ::kill(static_cast<pid_t>(c->process->processId()), SIGCONT);
        for (auto& c : m_children)
            if (c->process->state() != QProcess::NotRunning)
                c->process->terminate();
        for (auto& c : m_children) {
            if (c->process->state() != QProcess::NotRunning &&
                !c->process->waitForFinished(15000)) {
                std::fprintf(stderr, "soak: %s did not end on SIGTERM\n", qPrintable(c->name));
                c->process->kill();
                c->process->waitForFinished(3000);
                ++m_crashes;
            }
            Read(*c);
        }
        return Report();
    }

private:
    Child& Start(const QString& name, const QString& program, const QStringList& args,
                 bool longLived) {
        auto child = std::make_unique<Child>();
        child->name = name;
        child->longLived = longLived;
        child->process = std::make_unique<QProcess>();
        child->process->start(program, args);
        child->process->waitForStarted(10000);
        m_children.push_back(std::move(child));
        return *m_children.back();
    }

    void Read(Child& c) {
        c.out += c.process->readAllStandardOutput();
        c.err += c.process->readAllStandardError();
    }

    void SampleMemory(qint64 now) {
        if (now - m_lastSample < 2000)
            return;
        m_lastSample = now;
        for (auto& c : m_children) {
            if (!c->longLived || c->process->state() == QProcess::NotRunning)
                continue;
            if (c.get() == m_host && m_hostStopped)
                continue;
            const long kb = StatusKb(c->process->processId(), "VmRSS:");
            if (kb <= 0)
                continue;
            c->rssPeak = std::max(c->rssPeak, kb);
            c->rssFinal = kb;
            if (c->rssAfterMinute < 0 && now >= 60000)
                c->rssAfterMinute = kb;
        }
    }

    int Report() {
        QJsonObject row;
        std::uint64_t joins = 0, departures = 0, vanished = 0, notJoined = 0, sent = 0,
                      delivered = 0, lost = 0, duplicated = 0, outOfOrder = 0, reports = 0,
                      lostSessions = 0;
        QJsonObject memory;
        bool memoryHeld = true;
        for (auto& c : m_children) {
            if (!m_o.logs.isEmpty()) {
                QDir().mkpath(m_o.logs);
                QFile out(QStringLiteral("%1/%2-%3.out").arg(m_o.logs, m_o.row, c->name));
                if (out.open(QIODevice::WriteOnly))
                    out.write(c->out);
                QFile err(QStringLiteral("%1/%2-%3.err").arg(m_o.logs, m_o.row, c->name));
                if (err.open(QIODevice::WriteOnly))
                    err.write(c->err);
            }
            if (HasSanitizerReport(c->err)) {
                ++reports;
                std::fprintf(stderr, "soak: sanitizer report from %s:\n%s\n", qPrintable(c->name),
                             c->err.constData());
            }
            if (!c->killed && c->process->exitStatus() == QProcess::CrashExit) {
                ++m_crashes;
                std::fprintf(stderr, "soak: %s crashed\n%s\n", qPrintable(c->name),
                             c->err.right(4000).constData());
            }
            for (const QByteArray& line : c->out.split('\n')) {
                const QJsonObject event = QJsonDocument::fromJson(line).object();
                if (event["event"] == "joined")
                    ++joins;
                if (event["event"] != "end" || c->name == "stranger")
                    continue;
                if (!event["joined"].toBool()) {
                    ++notJoined;
                    continue;
                }
                ++departures;
                sent += static_cast<std::uint64_t>(event["sent"].toDouble());
                delivered += static_cast<std::uint64_t>(event["delivered"].toDouble());
                lost += static_cast<std::uint64_t>(event["lost"].toDouble());
                duplicated += static_cast<std::uint64_t>(event["duplicated"].toDouble());
                outOfOrder += static_cast<std::uint64_t>(event["outOfOrder"].toDouble());
                if (event["status"].toInt() == kSessionLost)
                    ++lostSessions;
            }
            if (c->killed)
                ++vanished;
            if (!c->killed && c->process->exitStatus() == QProcess::NormalExit &&
                c->process->exitCode() != 0 && c->process->exitCode() != kNotJoined) {
                std::fprintf(stderr, "soak: %s ended with status %d\n%s\n", qPrintable(c->name),
                             c->process->exitCode(), c->err.right(2000).constData());
                ++m_badStatus;
            }
            if (c->longLived) {
                QJsonObject m;
                m["afterMinuteKb"] = static_cast<double>(c->rssAfterMinute);
                m["peakKb"] = static_cast<double>(c->rssPeak);
                m["finalKb"] = static_cast<double>(c->rssFinal);
                memory[c->name] = m;
                // Held: at the end within 10 % of its size after the first minute (rows of ten
                // minutes or more; a shorter one is all warming up).
                if (m_o.seconds >= 600 && c->rssAfterMinute > 0 &&
                    c->rssFinal > c->rssAfterMinute * 11 / 10)
                    memoryHeld = false;
            }
        }
        row["row"] = m_o.row;
        row["seconds"] = m_o.seconds;
        row["joins"] = static_cast<double>(joins);
        row["departures"] = static_cast<double>(departures + vanished);
        row["vanished"] = static_cast<double>(vanished);
        row["refusedJoins"] = static_cast<double>(notJoined);
        row["sent"] = static_cast<double>(sent);
        row["delivered"] = static_cast<double>(delivered);
        row["lost"] = static_cast<double>(lost);
        row["duplicated"] = static_cast<double>(duplicated);
        row["outOfOrder"] = static_cast<double>(outOfOrder);
        row["lostSessions"] = static_cast<double>(lostSessions);
        row["sanitizerReports"] = static_cast<double>(reports);
        row["crashes"] = static_cast<double>(m_crashes);
        row["badExits"] = static_cast<double>(m_badStatus);
        row["memory"] = memory;
        row["memoryHeld"] = memoryHeld;
        std::fprintf(
            stderr,
            "%-8s %5ds joins %4llu departures %4llu (vanished %llu) sent %7llu "
            "delivered %8llu lost %llu duplicated %llu out-of-order %llu sanitizer "
            "reports %llu crashes %llu\n",
            qPrintable(m_o.row), m_o.seconds, static_cast<unsigned long long>(joins),
            static_cast<unsigned long long>(departures + vanished),
            static_cast<unsigned long long>(vanished), static_cast<unsigned long long>(sent),
            static_cast<unsigned long long>(delivered), static_cast<unsigned long long>(lost),
            static_cast<unsigned long long>(duplicated),
            static_cast<unsigned long long>(outOfOrder), static_cast<unsigned long long>(reports),
            static_cast<unsigned long long>(m_crashes));
        for (auto& c : m_children)
            if (c->longLived)
                std::fprintf(stderr,
                             "%-8s   %-8s RSS after 1 min %6ld kB, peak %6ld kB, end %6ld kB\n",
                             qPrintable(m_o.row), qPrintable(c->name), c->rssAfterMinute,
                             c->rssPeak, c->rssFinal);
        std::printf("%s\n", QJsonDocument(row).toJson(QJsonDocument::Compact).constData());
        std::fflush(stdout);
        const bool met = lost == 0 && duplicated == 0 && outOfOrder == 0 && reports == 0 &&
                         m_crashes == 0 && m_badStatus == 0 && lostSessions == 0 && memoryHeld &&
                         joins > 0 && delivered > 0;
        return met ? 0 : 1;
    }

    DriveOptions m_o;
    QRandomGenerator m_random;
    QElapsedTimer m_clock;
    std::vector<std::unique_ptr<Child>> m_children;
    Child* m_host = nullptr;
    bool m_hostStopped = false;
    std::uint16_t m_enumPort = 0;
    std::uint16_t m_tcpPort = 0;
    qint64 m_lastSample = -100000;
    std::uint64_t m_crashes = 0;
    std::uint64_t m_badStatus = 0;
};

}  // namespace

int RunDrive(const DriveOptions& options) {
    return Drive(options).Run();
}

}  // namespace soak
