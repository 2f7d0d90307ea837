// glimtest: the self-test of the network core. Teaches two built-in patterns
// for 200 passes, lets each settle again, compares it with the pattern it was
// taught from, waits for a key after each comparison and saves "glimtest.net".
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cmdline.h"
#include "keywait.h"
#include "memory.h"
#include "messages.h"
#include "net.h"
#include "netfile.h"
#include "savefile.h"

constexpr int TEACHING_PASSES = 200;
constexpr int RECALL_LIMIT = 100;

// Row r of a pattern is string r, column 0 first; unit u is row u / 16, column u % 16.
static const char *const pattern1_rows[16] = {
    "1111111111111111", "1111111111111100", "1111111111111100", "1111111111111000",
    "1111111111111100", "1111111111111000", "1111111111111000", "1111111111110000",
    "1111111111111000", "1111111111100000", "1111111111111000", "1111111111000000",
    "1111111111111000", "1111111000000000", "1111111111110000", "1111111111000000",
};
static const char *const pattern2_rows[16] = {
    "1111111111111111", "1111111111111110", "1111111111100000", "1111111100000000",
    "1111111111110000", "1111111111111000", "1111111111100000", "1111111110000000",
    "1111111111000000", "1111111111100000", "1111111100000000", "1111111000000000",
    "0000000000000000", "1111110000000000", "1111100000000000", "1111100000000000",
};

static void pattern_from_rows(int *pattern, const char *const rows[16]) {
    for (int u = 0; u < NETSIZE; u++)
        pattern[u] = rows[u / 16][u % 16] == '1';
}

// Prints "settled/expected " per unit, one line per pattern row.
static void print_comparison(const int *settled, const int *expected) {
    for (int u = 0; u < NETSIZE; u++) {
        printf("%d/%d ", settled[u], expected[u]);
        if (u % 16 == 15) printf("\n");
    }
}

// Lets a copy of the pattern settle and compares it with the pattern.
// Returns false when the network gave no result.
static bool test_pattern(int number, const int *pattern) {
    int work[NETSIZE];
    memcpy(work, pattern, sizeof work);
    printf("testing pattern %d...\n", number);
    if (!net_iterate(work, RECALL_LIMIT)) {
        printf("  Recall gave no result.\n");
        return false;
    }
    print_comparison(work, pattern);
    return true;
}

static const char *const usage[] = {
    "Usage: glimtest\n",
    "  teaches the network two built-in patterns, shows how each settles,\n",
    "  waits for a key after each and saves the network to glimtest.net .\n",
    "\n",
    nullptr,
};
static const char *const help[] = {
    "Arguments: none; any that is not an option is ignored.\n",
    nullptr,
};

// Arguments are ignored, but for the options every program takes.
static int run(int argc, char *argv[]) {
    message_set_program("glimtest");
    memory_set_task("testing the network");
    save_init();
    int status =
        arg_conventions(&argc, argv, {"glimtest", usage, help, false, 0, ARG_OPTIONS_SHARED});
    if (status >= 0) return status;

    key_wait_setup();
    static int pattern1[NETSIZE], pattern2[NETSIZE];
    pattern_from_rows(pattern1, pattern1_rows);
    pattern_from_rows(pattern2, pattern2_rows);

    net_verbose = 1;
    net_init();

    printf("teaching net...\n  0");
    for (int pass = 0; pass < TEACHING_PASSES; pass++) {
        printf("\b\b\b%3d", pass);
        net_learn(pattern1, 1);
        net_learn(pattern2, 1);
    }
    printf("\n\n");

    bool recalled = test_pattern(1, pattern1);
    key_wait();
    recalled = test_pattern(2, pattern2) && recalled;
    key_wait();

    bool saved = net_save("glimtest.net") == 0;
    return recalled && saved && !net_broken ? 0 : 1;
}

int main(int argc, char *argv[]) {
    int status = memory_run(run, argc, argv);
    // Console output that was lost (a full disk, a closed pipe) fails the run.
    return message_flush_stdout() == 0 ? status : EXIT_FAILURE;
}
