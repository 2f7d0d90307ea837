// The command line: numbers from arguments and the usage and version conventions.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>

#include "cmdline.h"

namespace {

TEST(ArgScanInt, ReadsWhatPercentDReadsAndRefusesOverflow) {
    struct {
        const char *arg;
        int expected; // the value starts at 50
    } good[] = {{"3", 3},
                {" 12abc", 12},
                {"abc", 50},
                {"", 50},
                {"-5", -5},
                {"+7", 7},
                {"- 5", 50},
                {"2147483647", INT_MAX},
                {"-2147483648", INT_MIN}};
    for (const auto &c : good) {
        int value = 50;
        EXPECT_EQ(arg_scan_int(c.arg, &value, "file count"), 0) << c.arg;
        EXPECT_EQ(value, c.expected) << c.arg;
    }
    std::string padded = std::string(256, ' ') + "1";
    for (const std::string &arg : {std::string("2147483648"), std::string("-2147483649"),
                                   std::string("99999999999999999999999"), padded}) {
        int value = 50;
        testing::internal::CaptureStderr();
        EXPECT_EQ(arg_scan_int(arg.c_str(), &value, "file count"), -1) << arg;
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find("file count"), std::string::npos) << err;
        EXPECT_EQ(value, 50);
    }
}

TEST(CommandLineConvention, LooksAtTheFirstArgumentOnly) {
    char program[] = "prog", help[] = "--help", h[] = "-h", version[] = "--version", other[] = "3";
    char *with_help[] = {program, help, nullptr};
    char *with_h[] = {program, h, nullptr};
    char *with_version[] = {program, version, nullptr};
    char *later[] = {program, other, help, version, nullptr};
    char *none[] = {program, nullptr};
    const char *const usage[] = {"Usage: glimx\n", "  does x\n", nullptr};
    const std::string usage_text = "Usage: glimx\n  does x\n";
    struct {
        int argc;
        char **argv;
        bool needs_argument;
        int status; // -1: the program goes on
        std::string out;
    } cases[] = {
        {2, with_help, true, EXIT_SUCCESS, usage_text},
        {2, with_h, false, EXIT_SUCCESS, usage_text},
        {2, with_version, true, EXIT_SUCCESS, std::string("glimx ") + GLIM_VERSION + "\n"},
        {4, later, true, -1, ""},
        {1, none, false, -1, ""},
        {1, none, true, EXIT_FAILURE, usage_text},
    };
    for (const auto &c : cases) {
        testing::internal::CaptureStdout();
        EXPECT_EQ(arg_conventions(c.argc, c.argv, "glimx", usage, c.needs_argument), c.status)
            << c.argc << " " << c.argv[c.argc - 1];
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.out) << c.argv[c.argc - 1];
    }
}

} // namespace
