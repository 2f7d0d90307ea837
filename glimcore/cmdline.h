// The command line: numbers from arguments and the conventions every program
// keeps for its usage text and version.
#pragma once

// Scans an argument as sscanf's "%d" does into value; an argument that does
// not begin with a number leaves value as it was. -1 after a message on
// stderr when the argument is too long or its number does not fit in an int.
int arg_scan_int(const char *arg, int *value, const char *what);

// The command-line conventions every program keeps: without arguments (when
// it needs one) it prints its usage text and fails; "-h" or "--help" as the
// first argument prints the usage text, "--version" the program's name and
// version. usage holds the lines of the usage text, ended by nullptr. Returns
// the exit status when the program is done, or -1 when it should go on.
int arg_conventions(int argc, char *const argv[], const char *program, const char *const usage[],
                    bool needs_argument);
