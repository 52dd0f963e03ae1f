#pragma once

// A program of ours (simhost, tarvolo-tool, tarvolo) started by a test. However the test
// ends, the run is judged when the program has ended or when this object goes: the test fails
// when the program crashed, ended with a status the test did not allow, or wrote a sanitizer
// report to its standard error. A program the test stops itself (Stop) must end cleanly on
// SIGTERM; one it kills (Kill) is not judged by its status, only by what it wrote.

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <initializer_list>
#include <set>
#include <string>

#if defined(GTEST_API_)
#include <gtest/gtest.h>
#else
#include <QTest>
#endif

namespace testing_support {

// What in a program's standard error means the sanitizers found something.
inline bool HasSanitizerReport(const QByteArray& err) {
    for (const char* mark : {"ERROR: AddressSanitizer", "ERROR: LeakSanitizer", "runtime error:",
                             "ERROR: UndefinedBehaviorSanitizer", "WARNING: ThreadSanitizer"})
        if (err.contains(mark))
            return true;
    return false;
}

inline void ReportChildProblem(const std::string& text) {
#if defined(GTEST_API_)
    ADD_FAILURE() << text;
#else
    QTest::qFail(text.c_str(), __FILE__, __LINE__);
#endif
}

class ChildProcess {
public:
    ChildProcess() {
        // The sanitizers' reports go to standard error, which is read here.
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
    }
    ChildProcess(const QString& program, const QStringList& args) : ChildProcess() {
        Start(program, args);
    }
    ~ChildProcess() {
        if (m_process.state() != QProcess::NotRunning) {
            Stop();
        } else {
            Judge();
        }
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    QProcess& Process() { return m_process; }
    void SetWorkingDirectory(const QString& dir) { m_process.setWorkingDirectory(dir); }
    void SetEnvironment(const QProcessEnvironment& env) { m_process.setProcessEnvironment(env); }
    // The exit statuses that are no failure (0 unless said otherwise).
    void Allow(std::initializer_list<int> codes) { m_allowed = codes; }

    void Start(const QString& program, const QStringList& args) {
        m_name =
            QStringLiteral("%1 %2").arg(program.section('/', -1), args.join(' ')).toStdString();
        m_process.start(program, args);
    }
    bool WaitForFinished(int timeoutMs) {
        const bool ended = m_process.waitForFinished(timeoutMs);
        if (ended)
            Judge();
        return ended;
    }
    // SIGTERM, then a bounded wait; one that does not end goes with SIGKILL (and fails).
    void Stop(int timeoutMs = 10000) {
        if (m_process.state() == QProcess::NotRunning)
            return Judge();
        m_process.terminate();
        if (!m_process.waitForFinished(timeoutMs)) {
            ReportChildProblem(m_name + ": did not end on SIGTERM");
            m_killed = true;
            m_process.kill();
            m_process.waitForFinished(3000);
        }
        Judge();
    }
    // Whether it has ended (judged then), without blocking: for waits that keep the event
    // loop running.
    bool Finished() {
        if (m_process.state() != QProcess::NotRunning)
            return false;
        Judge();
        return true;
    }
    // Ended without a say (a test of what happens when a program vanishes).
    void Kill() {
        m_killed = true;
        m_process.kill();
        m_process.waitForFinished(3000);
        Judge();
    }

    // To the program's standard input; closing it ends what the program reads.
    void Write(const QByteArray& bytes) {
        m_process.write(bytes);
        m_process.waitForBytesWritten(3000);
    }
    void CloseInput() { m_process.closeWriteChannel(); }

    int ExitCode() const { return m_process.exitCode(); }
    // Everything the program has written so far (read on each call).
    const QByteArray& Out() {
        m_out += m_process.readAllStandardOutput();
        return m_out;
    }
    const QByteArray& Err() {
        m_err += m_process.readAllStandardError();
        return m_err;
    }

private:
    void Judge() {
        if (m_judged || m_process.state() != QProcess::NotRunning)
            return;
        m_judged = true;
        const QByteArray& err = Err();
        if (HasSanitizerReport(err))
            ReportChildProblem(m_name + ": sanitizer report:\n" + err.toStdString());
        if (m_killed)
            return;
        if (m_process.exitStatus() == QProcess::CrashExit)
            ReportChildProblem(m_name + ": crashed\n" + err.toStdString());
        else if (!m_allowed.count(m_process.exitCode()))
            ReportChildProblem(m_name + ": exit status " + std::to_string(m_process.exitCode()) +
                               "\n" + err.toStdString());
    }

    QProcess m_process;
    std::string m_name;
    std::set<int> m_allowed{0};
    QByteArray m_out;
    QByteArray m_err;
    bool m_killed = false;
    bool m_judged = false;
};

}  // namespace testing_support
