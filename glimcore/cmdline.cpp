// Numbers from arguments and the command-line conventions of the programs.
#include "cmdline.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "names.h"

// A number argument is held to the length of a file name, the longest
// argument any program takes.
constexpr int ARGUMENT_MAX_LENGTH = NAME_SIZE - 1;

// strtol with base 10 reads what "%d" reads, but tells when the number is out
// of range instead of leaving the result undefined.
int arg_scan_int(const char *arg, int *value, const char *what) {
    size_t length = strlen(arg);
    if (length > (size_t)ARGUMENT_MAX_LENGTH) {
        fprintf(stderr, "  Argument for the %s too long (%zu characters, at most %d).\n", what,
                length, ARGUMENT_MAX_LENGTH);
        return -1;
    }
    char *end;
    errno = 0;
    long number = strtol(arg, &end, 10);
    if (end == arg) return 0;
    if (errno == ERANGE || number < INT_MIN || number > INT_MAX) {
        fprintf(stderr, "  Number for the %s out of range: %s\n", what, arg);
        return -1;
    }
    *value = (int)number;
    return 0;
}

// True when the first argument asks for the usage text: "-h" or "--help".
static bool asks_help(int argc, char *const argv[]) {
    return argc > 1 && (strcmp(argv[1], "-h") == 0 || strcmp(argv[1], "--help") == 0);
}

// When the first argument is "--version", prints the program's name and
// version on stdout and returns true.
static bool print_version(int argc, char *const argv[], const char *program) {
    if (argc < 2 || strcmp(argv[1], "--version") != 0) return false;
    printf("%s %s\n", program, GLIM_VERSION);
    return true;
}

static void print_usage(const char *const usage[]) {
    for (const char *const *line = usage; *line; line++)
        printf("%s", *line);
}

int arg_conventions(int argc, char *const argv[], const char *program, const char *const usage[],
                    bool needs_argument) {
    if (needs_argument && argc < 2) {
        print_usage(usage);
        return EXIT_FAILURE;
    }
    if (asks_help(argc, argv)) {
        print_usage(usage);
        return EXIT_SUCCESS;
    }
    if (print_version(argc, argv, program)) return EXIT_SUCCESS;
    return -1;
}
