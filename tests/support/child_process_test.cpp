// The judgement every test passes on the programs it starts: a crash, an exit status the test
// did not allow, a sanitizer report on standard error, or a program that ignores SIGTERM each
// fail the test; a clean run and an allowed status do not.

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <functional>
#include <string>

#include "tests/support/child_process.h"

namespace {

using testing_support::ChildProcess;

// The failures the judgement reported while `body` ran, as one text.
std::string FailuresOf(const std::function<void()>& body) {
    testing::TestPartResultArray results;
    {
        testing::ScopedFakeTestPartResultReporter reporter(
            testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &results);
        body();
    }
    std::string text;
    for (int i = 0; i < results.size(); ++i)
        text += results.GetTestPartResult(i).message();
    return text;
}

std::string RunScript(const char* script, std::initializer_list<int> allowed = {0}) {
    return FailuresOf([&] {
        ChildProcess child;
        child.Allow(allowed);
        child.Start("/bin/sh", {"-c", script});
        ASSERT_TRUE(child.WaitForFinished(10000));
    });
}

TEST(ChildProcess, FailsTheTestOnACrashAStatusOrASanitizerReport) {
    struct Row {
        const char* name;
        const char* script;
        const char* failure;  // nullptr: no failure
    };
    for (const Row& row : {
             Row{"clean", "echo fine", nullptr},
             Row{"segmentation fault", "kill -SEGV $$", "crashed"},
             Row{"abort", "kill -ABRT $$", "crashed"},
             Row{"exit status 3", "exit 3", "exit status 3"},
             Row{"heap-use-after-free, exit 0",
                 "echo '==1==ERROR: AddressSanitizer: heap-use-after-free' >&2", "sanitizer"},
             Row{"undefined behaviour", "echo 'a.cpp:1:2: runtime error: overflow' >&2",
                 "sanitizer"},
             Row{"leak", "echo '==1==ERROR: LeakSanitizer: detected memory leaks' >&2; exit 23",
                 "sanitizer"},
         }) {
        SCOPED_TRACE(row.name);
        const std::string failures = RunScript(row.script);
        if (row.failure)
            EXPECT_NE(failures.find(row.failure), std::string::npos) << failures;
        else
            EXPECT_EQ(failures, "");
    }
    EXPECT_EQ(RunScript("exit 2", {0, 2}), "");  // a status the test allowed
}

TEST(ChildProcess, AProgramStoppedByTheTestMustEndCleanly) {
    const std::string stubborn = FailuresOf([] {
        ChildProcess child("/bin/sh", {"-c", "trap '' TERM; echo ready; sleep 30"});
        ASSERT_TRUE(child.Process().waitForReadyRead(5000));
        child.Stop(500);
    });
    EXPECT_NE(stubborn.find("did not end on SIGTERM"), std::string::npos) << stubborn;
    // One that ends on SIGTERM by its own handler is no failure; one killed is judged only by
    // what it wrote.
    ChildProcess handled("/bin/sh",
                         {"-c", "trap 'exit 0' TERM; echo ready; while :; do sleep 0.05; done"});
    ASSERT_TRUE(handled.Process().waitForReadyRead(5000));  // its handler is in place
    handled.Stop();
    ChildProcess killed("/bin/sh", {"-c", "sleep 30"});
    ASSERT_TRUE(killed.Process().waitForStarted(5000));
    killed.Kill();
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
