// Numbers from arguments and the command-line conventions of the programs.
#include "cmdline.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "messages.h"
#include "names.h"

// A number argument is held to the length of a file name, the longest
// argument any program takes.
constexpr int ARGUMENT_MAX_LENGTH = NAME_SIZE - 1;

// strtol with base 10 reads what "%d" reads, but tells when the number is out
// of range instead of leaving the result undefined.
int arg_scan_int(const char *arg, int *value, const char *what) {
    size_t length = strlen(arg);
    if (length > (size_t)ARGUMENT_MAX_LENGTH) {
        message_error("cannot read the %s: the argument is %zu characters long, at most %d fit",
                      what, length, ARGUMENT_MAX_LENGTH);
        return -1;
    }
    char *end;
    errno = 0;
    long number = strtol(arg, &end, 10);
    if (end == arg) return 0;
    if (errno == ERANGE || number < INT_MIN || number > INT_MAX) {
        message_error("cannot read the %s %s: the number is out of range", what, arg);
        return -1;
    }
    *value = (int)number;
    return 0;
}

int arg_unknown_option(const char *program, const char *option) {
    // The two lines of the GNU tools, which scripts and users know.
    message_print_stderr("%s: unknown option '%s'\n", program, option);
    message_print_stderr("Try '%s --help' for more information.\n", program);
    return EXIT_USAGE;
}

bool arg_take_leading(int *argc, char ***argv, const char *flag) {
    if (*argc < 2 || strcmp((*argv)[1], flag) != 0) return false;
    (*argv)[1] = (*argv)[0];
    (*argv)++;
    (*argc)--;
    return true;
}

static void print_lines(const char *const lines[]) {
    for (const char *const *line = lines; line && *line; line++)
        printf("%s", *line);
}

// The usage text, the program's arguments with their defaults, the options
// every program takes, and where the manual is.
static void print_help(const arg_program &program) {
    print_lines(program.usage);
    print_lines(program.help);
    printf("  -h, --help     print this help and exit\n");
    printf("  --version      print the program's name and version and exit\n");
    printf("  --             end the options: later arguments may begin with '-'\n");
    printf("Full manual: man %s; file formats: man 5 glim\n", program.name);
}

int arg_option(const char *arg, const arg_program &program) {
    if (strcmp(arg, "-h") == 0 || strcmp(arg, "--help") == 0) {
        print_help(program);
        return EXIT_SUCCESS;
    }
    if (strcmp(arg, "--version") == 0) {
        printf("%s %s\n", program.name, GLIM_VERSION);
        return EXIT_SUCCESS;
    }
    return arg_unknown_option(program.name, arg);
}

// An argument that arg_scan_int reads a number from, such as -3.
static bool is_number(const char *arg) {
    char *end;
    strtol(arg, &end, 10);
    return end != arg;
}

// Takes argv[at] out of argv.
static void remove_argument(int *argc, char *argv[], int at) {
    memmove(&argv[at], &argv[at + 1], (size_t)(*argc - at) * sizeof argv[0]);
    (*argc)--;
}

// Reads the options up to "--" or, for a program with a command, up to the
// command, left to right; the first option that ends the program decides.
// A program that reads its own options only gets the check for an argument.
int arg_conventions(int *argc, char *argv[], const arg_program &program) {
    int places = 0; // arguments before this one, options not counted
    for (int i = 1; i < *argc && program.options != ARG_OPTIONS_OWN; i++) {
        const char *arg = argv[i];
        if (strcmp(arg, "--") == 0) {
            remove_argument(argc, argv, i);
            break;
        }
        bool option =
            arg[0] == '-' && arg[1] != '\0' && !(places < program.number_places && is_number(arg));
        if (!option) {
            if (program.options == ARG_OPTIONS_AFTER_COMMAND) break;
            places++;
            continue;
        }
        return arg_option(arg, program);
    }
    if (program.needs_argument && *argc < 2) {
        print_lines(program.usage);
        return EXIT_FAILURE;
    }
    return -1;
}
