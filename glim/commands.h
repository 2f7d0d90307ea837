// The commands of glim, each run with its options and operands already read,
// and the option reader they share.
#pragma once

#include <map>
#include <string>
#include <vector>

constexpr int GLIM_USAGE = 2; // exit status of a command line that is wrong

// A command's arguments: options by their long name ("--object"), the value
// of the last time each was given ("" for options without a value), and the
// operands in order.
struct command_args {
    std::string model = "."; // --model DIR
    std::map<std::string, std::string> options;
    std::vector<std::string> operands;
    bool has(const char *option) const { return options.count(option) != 0; }
};

// Prints "glim COMMAND: what; see glim COMMAND --help." on stderr and returns GLIM_USAGE.
int command_usage_error(const char *command, const char *what);

// A whole number from 0 to most for an option's value; false after a usage message.
bool command_number(const char *command, const command_args &args, const char *option, int most,
                    int *value);

int command_teach(const command_args &args);
int command_forget(const command_args &args);
int command_ask(const command_args &args);
int command_list(const command_args &args);
int command_evaluate(const command_args &args);
