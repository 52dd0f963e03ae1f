// The three programs on the command line alike: help and version on standard output with
// status 0, a command line they do not take on standard error with status 2.

#include <gtest/gtest.h>

#include <QProcessEnvironment>

#include "tests/support/child_process.h"

namespace {

struct Row {
    const char* name;
    const char* program;
    QStringList args;
    int status;
    bool toStdout;      // the text goes to standard output (else standard error)
    const char* reads;  // and holds this
};

class CommandLines : public testing::TestWithParam<Row> {};

TEST_P(CommandLines, AgreeOnHelpVersionAndRefusals) {
    const Row& row = GetParam();
    testing_support::ChildProcess process;
    process.Allow({0, 1, 2});  // the status is the row's to check
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.remove("QT_QPA_PLATFORM");
    process.SetEnvironment(env);
    process.Start(row.program, row.args);
    ASSERT_TRUE(process.WaitForFinished(20000));
    EXPECT_EQ(process.ExitCode(), row.status);
    const QByteArray wanted = row.toStdout ? process.Out() : process.Err();
    const QByteArray other = row.toStdout ? process.Err() : process.Out();
    EXPECT_TRUE(wanted.contains(row.reads)) << wanted.toStdString();
    EXPECT_TRUE(other.isEmpty()) << other.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Programs, CommandLines,
    testing::Values(
        Row{"TarvoloHelp", TARVOLO_PATH, {"--help"}, 0, true, "Exit status"},
        Row{"TarvoloVersion", TARVOLO_PATH, {"--version"}, 0, true, "tarvolo 1."},
        Row{"TarvoloWrongOption", TARVOLO_PATH, {"--bogus"}, 2, false, "usage: tarvolo"},
        Row{"ToolHelp", TARVOLO_TOOL_PATH, {"--help"}, 0, true, "Exit status"},
        Row{"ToolCommandHelp", TARVOLO_TOOL_PATH, {"watch", "--help"}, 0, true, "watch HOST"},
        Row{"ToolVersion", TARVOLO_TOOL_PATH, {"--version"}, 0, true, "tarvolo-tool 1."},
        Row{"ToolWrongCommand", TARVOLO_TOOL_PATH, {"--bogus"}, 2, false, "usage: tarvolo-tool"},
        Row{"ToolWrongOption",
            TARVOLO_TOOL_PATH,
            {"replay", "x.tvr", "--bogus", "1"},
            2,
            false,
            "usage: tarvolo-tool replay"},
        Row{"ToolEqualsForm",
            TARVOLO_TOOL_PATH,
            {"replay", "/no/such.tvr", "--speed=0"},
            1,
            false,
            "cannot be opened"},
        Row{"SimhostHelp", SIMHOST_PATH, {"--help"}, 0, true, "Exit status"},
        Row{"SimhostVersion", SIMHOST_PATH, {"--version"}, 0, true, "simhost 1."},
        Row{"SimhostWrongOption", SIMHOST_PATH, {"--bogus"}, 2, false, "Unknown option"}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
