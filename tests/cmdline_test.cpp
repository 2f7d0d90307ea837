// The command line: numbers from arguments and the usage and version conventions.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

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

const char *const usage[] = {"Usage: glimx\n", "  does x\n", nullptr};
const char *const help[] = {"  count  how many; default 1\n", nullptr};
const std::string usage_text = "Usage: glimx\n  does x\n";
const std::string help_text =
    usage_text + "  count  how many; default 1\n" +
    "  -h, --help     print this help and exit\n"
    "  --version      print the program's name and version and exit\n"
    "  --             end the options: later arguments may begin with '-'\n"
    "Full manual: man glimx; file formats: man 5 glim\n";
const std::string unknown_x =
    "glimx: unknown option '-x'\nTry 'glimx --help' for more information.\n";

struct convention_case {
    std::vector<std::string> args;
    int status; // -1: the program goes on
    std::string out;
    std::string err;
    std::vector<std::string> left; // the arguments the program goes on with
};

void check(const arg_program &program, const std::vector<convention_case> &cases) {
    for (const auto &c : cases) {
        std::vector<std::string> storage = c.args;
        storage.insert(storage.begin(), "glimx");
        std::vector<char *> argv;
        for (auto &arg : storage)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        int argc = (int)storage.size();
        std::string trace;
        for (const auto &arg : c.args)
            trace += arg + " ";
        SCOPED_TRACE(trace);

        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        EXPECT_EQ(arg_conventions(&argc, argv.data(), program), c.status);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.out);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.err);
        if (c.status < 0) {
            std::vector<std::string> left(argv.begin() + 1, argv.begin() + argc);
            EXPECT_EQ(left, c.left);
            EXPECT_EQ(argv[argc], nullptr);
        }
    }
}

TEST(CommandLineConvention, OptionsBeforeTheDoubleDashDecideInTheirOrder) {
    arg_program program = {"glimx", usage, help, true, 0, ARG_OPTIONS_SHARED};
    check(program, {
                       {{}, EXIT_FAILURE, usage_text, "", {}},
                       {{"--"}, EXIT_FAILURE, usage_text, "", {}},
                       {{"-h"}, EXIT_SUCCESS, help_text, "", {}},
                       {{"a.ppm", "--help"}, EXIT_SUCCESS, help_text, "", {}},
                       {{"--version", "-x"},
                        EXIT_SUCCESS,
                        std::string("glimx ") + GLIM_VERSION + "\n",
                        "",
                        {}},
                       {{"a.ppm", "-x", "--help"}, EXIT_USAGE, "", unknown_x, {}},
                       {{"-3"},
                        EXIT_USAGE,
                        "",
                        "glimx: unknown option '-3'\nTry 'glimx --help' for more information.\n",
                        {}},
                       {{"-"}, -1, "", "", {"-"}},
                       {{"./-x", "b"}, -1, "", "", {"./-x", "b"}},
                       {{"a", "--", "-x", "--help", "--"}, -1, "", "", {"a", "-x", "--help", "--"}},
                   });
}

TEST(CommandLineConvention, NumbersStayNumbersWhereNumbersAreTaken) {
    arg_program program = {"glimx", usage, help, true, 2, ARG_OPTIONS_SHARED};
    check(program, {
                       {{"-3", "-50", "-%d"},
                        EXIT_USAGE,
                        "",
                        "glimx: unknown option '-%d'\nTry 'glimx --help' for more information.\n",
                        {}},
                       {{"-3", "-50", "--", "-%d"}, -1, "", "", {"-3", "-50", "-%d"}},
                       {{"-3x"}, -1, "", "", {"-3x"}},
                       {{"-x"}, EXIT_USAGE, "", unknown_x, {}},
                       {{"6", "-v"},
                        EXIT_USAGE,
                        "",
                        "glimx: unknown option '-v'\nTry 'glimx --help' for more information.\n",
                        {}},
                   });
}

TEST(CommandLineConvention, ProgramWithACommandReadsTheOptionsAfterIt) {
    arg_program program = {"glimx", usage, help, true, 0, ARG_OPTIONS_AFTER_COMMAND};
    check(program, {
                       {{"-x", "scene"}, EXIT_USAGE, "", unknown_x, {}},
                       {{"scene", "-x", "--help"}, -1, "", "", {"scene", "-x", "--help"}},
                       {{"--", "-scene"}, -1, "", "", {"-scene"}},
                   });
    testing::internal::CaptureStderr();
    EXPECT_EQ(arg_option("-o", program), EXIT_USAGE);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "glimx: unknown option '-o'\nTry 'glimx --help' for more information.\n");
}

} // namespace
