// The command line: numbers from arguments and the conventions every program
// keeps for its options, usage text and version.
#pragma once

// The exit status of a command line that names an unknown option.
constexpr int EXIT_USAGE = 2;

// Scans an argument as sscanf's "%d" does into value; an argument that does
// not begin with a number leaves value as it was. -1 after a message on
// stderr when the argument is too long or its number does not fit in an int.
int arg_scan_int(const char *arg, int *value, const char *what);

// Who reads a program's options.
enum arg_options {
    ARG_OPTIONS_SHARED,        // arg_conventions: the program takes only the shared options
    ARG_OPTIONS_AFTER_COMMAND, // arg_conventions up to the first argument, a command
                               // that reads the options after it itself (glimview)
    ARG_OPTIONS_OWN,           // the program reads every option itself (glimprep)
};

// What a program's command line holds, for arg_conventions.
struct arg_program {
    const char *name;         // "glimcut", for messages
    const char *const *usage; // the usage text, line by line, ended by nullptr
    const char *const *help;  // what --help adds to the usage text: one line
                              // per argument with its default; ended by nullptr
    bool needs_argument;      // without one: the usage text and exit status 1
    int number_places;        // the first number_places arguments are numbers
    arg_options options;      // who reads the options
};

// The conventions of the GNU tools, checked before anything is touched. "-h"
// or "--help" prints the usage text and the help lines, "--version" the
// program's name and version, whichever comes first. "--" ends the options
// and is taken out of argv (argc shrinks by one). Any other argument that
// begins with '-' and is more than "-" is an unknown option (unless it is a
// number such as -3 in a place that takes numbers): arg_unknown_option.
// Returns the exit status when the program is done, or -1 when it should go
// on, with argv[1] to argv[*argc - 1] its arguments.
int arg_conventions(int *argc, char *argv[], const arg_program &program);

// For a program that reads options of its own: the options every program
// takes, "-h", "--help" and "--version". Prints the help or the version and
// returns 0, or calls arg_unknown_option for any other arg.
int arg_option(const char *arg, const arg_program &program);

// Tells that option is unknown and where the help is, on stderr; returns
// EXIT_USAGE.
int arg_unknown_option(const char *program, const char *option);

// Takes flag when it is the first argument: drops it from *argc and *argv,
// keeping the program's name first, and returns true; false otherwise. For
// the flags that choose a mode before the usual conventions apply (--each).
bool arg_take_leading(int *argc, char ***argv, const char *flag);
