#include "platform/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace auralyn::platform {
namespace {

int handle(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    return handleCommandLine(static_cast<int>(args.size()), argv.data(), "prog", "usage\n");
}

TEST(CommandLine, NoArgumentsRunsTheProgram) { EXPECT_EQ(handle({"prog"}), -1); }

TEST(CommandLine, HelpAndVersionEndWithZero) {
    testing::internal::CaptureStdout();
    EXPECT_EQ(handle({"prog", "--help"}), 0);
    EXPECT_EQ(handle({"prog", "--version"}), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "usage\nprog (Auralyn) 1.0\n");
}

TEST(CommandLine, AnythingElseShowsTheUsageOnStandardErrorWithTwo) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(handle({"prog", "--bogus"}), 2);
    EXPECT_EQ(handle({"prog", "sweep.wav"}), 2);
    EXPECT_EQ(handle({"prog", "--help", "--version"}), 2);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "usage\nusage\nusage\n");
}

}  // namespace
}  // namespace auralyn::platform
