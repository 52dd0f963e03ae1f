#pragma once

// A simhost run for tests: started on ports chosen at run time, its enumeration port read
// from its log, stopped when the object goes, and judged like every program a test starts
// (it must end cleanly, without a sanitizer report). SIMHOST_PATH names the executable.

#include <QByteArray>
#include <QStringList>
#include <QTest>
#include <cstdint>

#include "directplay/directplay.h"
#include "link/link.h"
#include "model/shared_state.h"
#include "tests/support/child_process.h"

namespace testing_support {

// New DirectPlay objects stay on the loopback and search for sessions briefly.
inline void UseLoopbackDirectPlay() {
    directplay::SessionOptions options;
    options.enumTimeoutMs = 600;
    options.bindAddress = QHostAddress(QHostAddress::LocalHost);
    directplay::DirectX7::SetDefaultOptions(options);
}

class SimHostProcess {
public:
    explicit SimHostProcess(const QStringList& extra) {
        // The mask makes every player ID negative as a signed number, as a Windows host's
        // random mask does for half of its sessions.
        QStringList args{"--enum-port", "0",   "--lat",      "47.4490", "--lon",     "-122.3090",
                         "--elev",      "433", "--duration", "90",      "--id-mask", "0xF00D0000"};
        m_process.Start(QStringLiteral(SIMHOST_PATH), args + extra);
        (void)QTest::qWaitFor(
            [&] {
                Read();
                const qsizetype at = m_log.indexOf("READY enum-port ");
                if (at < 0)
                    return false;
                const qsizetype end = m_log.indexOf(" ", at + 16);
                m_port = static_cast<std::uint16_t>(m_log.mid(at + 16, end - at - 16).toUInt());
                return m_port != 0;
            },
            10000);
    }
    ~SimHostProcess() = default;
    SimHostProcess(const SimHostProcess&) = delete;
    SimHostProcess& operator=(const SimHostProcess&) = delete;

    std::uint16_t Port() const { return m_port; }
    ChildProcess& Child() { return m_process; }
    QString Address() const { return QStringLiteral("127.0.0.1:%1").arg(m_port); }

    // Waits up to `timeoutMs` for the text to appear in the log.
    bool LogHas(const QString& text, int timeoutMs = 8000) {
        return QTest::qWaitFor(
            [&] {
                Read();
                return m_log.contains(text.toUtf8());
            },
            timeoutMs);
    }

    // The callsigns of the AI aircraft, in the order the host created them; waits up to
    // `timeoutMs` for `expected` of them, as the host logs its players after READY.
    QStringList Callsigns(qsizetype expected, int timeoutMs = 10000) {
        QStringList callsigns;
        (void)QTest::qWaitFor(
            [&] {
                Read();
                callsigns.clear();
                for (const QByteArray& line : m_log.split('\n'))
                    if (line.startsWith("PLAYER ") && !line.endsWith(" host") &&
                        line.count('"') == 2)
                        callsigns << QString::fromLatin1(line.split('"')[1]);
                return callsigns.size() >= expected;
            },
            timeoutMs);
        return callsigns;
    }

private:
    void Read() { m_log = m_process.Out(); }

    ChildProcess m_process;
    QByteArray m_log;
    std::uint16_t m_port = 0;
};

// Joins the host's session as the Connection window does (a fresh DirectPlay object, TCP/IP to
// its address, the first session, "ATC Controller") and waits for the acceptance; the globals
// are then as the window leaves them.
// Joins as "ATC Controller", the player created with `playerData` (a controller's mark).
inline bool JoinSession(const SimHostProcess& host,
                        const std::vector<std::uint8_t>& playerData = {}) {
    namespace dp = directplay;
    mplink::InitDirectPlay();
    auto& play = *model::g_directPlay;
    play.InitializeConnection(dp::ConnectionAddress::TcpIp(host.Address().toStdString()));
    auto sessions = play.GetDPEnumSessions(*play.CreateSessionData(), 0, dp::kEnumAvailable);
    if (sessions->GetCount() != 1)
        return false;
    play.Open(*sessions->GetItem(1), dp::kOpenJoin);
    model::g_localPlayerId = playerData.empty()
                                 ? play.CreatePlayer("ATC Controller", "Player", 0, 0)
                                 : play.CreatePlayer("ATC Controller", "Player", playerData);
    mplink::DirectPlayPort port(model::g_directPlay);
    port.Send(model::g_localPlayerId, 0, mplink::EmptyMessage(mplink::MP_JOIN_REQUEST));
    const bool accepted = QTest::qWaitFor(
        [&] { return mplink::PollJoinAnswer(port) == mplink::JoinAnswer::Accepted; }, 8000);
    model::g_sessionJoined = model::g_connected = accepted;
    return accepted;
}

}  // namespace testing_support
