// glim: teach your objects from photos and ask what a photo shows, one
// command each, over a model folder that keeps the network, the examples and
// a manifest of both.
//
// glim [--model DIR] COMMAND [options] OPERANDS...; the options of each
// command may stand anywhere before "--", as "--name value" or "--name=value".
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "cmdline.h"
#include "commands.h"
#include "memory.h"
#include "messages.h"
#include "savefile.h"

struct option_rule {
    const char *name; // "--object", or a short "-o"
    bool takes_value; // the next argument, or what follows '='
};

struct glim_command {
    const char *name;
    const char *synopsis;       // after "glim "
    const char *summary;        // one line for glim help
    const char *const *help;    // what glim COMMAND --help adds, line by line
    const option_rule *options; // ended by a rule without a name
    int (*run)(const command_args &);
};

static const char *const teach_help[] = {
    "Brings each PICTURE in (any PNG, JPEG or PNM photo, shrunk to 80 x 60 as\n",
    "glimprep does, or an 80 x 60 PPM as it is), finds its objects and stores\n",
    "the largest as an example of LABEL; then teaches the network again from\n",
    "every example, so the order of teach commands does not matter. Prints one\n",
    "line per example taught: picture=P object=N box=X,Y,W,H size=PIXELS label=L\n",
    "Options:\n",
    "  --object N        take object N of each picture (glimcut's numbering)\n",
    "  --all             take every object of at least --min-size pixels\n",
    "  --min-size PIXELS with --all: the least box area; default 64 (8 x 8),\n",
    "                    which leaves out the specks of a photo's texture\n",
    "How a new model recognises (its first teach sets it; later teaches keep it):\n",
    "  --grey, --no-grey bring photos in as their luminance (objects of any\n",
    "                    colour are found), or as they are (blue edges only)\n",
    "  --levels auto|none  stretch each photo's levels to the full range, or not\n",
    "  --ground clear|keep  make the ground around the objects dark grey (glimprep\n",
    "                    --ground clear), or keep it (the default)\n",
    "  --encoding classic|normalised|masked|silhouette|detail  the object\n",
    "                    encoding (glimcut --encoding)\n",
    "  --sizes LIST      also teach each example at these sizes (0.5 to 2)\n",
    "  --verdict settled|nearest|agreed  recognised when the object settles\n",
    "                    into an example (settled), when its encoding lies near\n",
    "                    an example's (nearest), or both for the same label\n",
    "  --limit derived|UNITS  the most units an object may differ by; derived:\n",
    "                    under half the least distance between two labels\n",
    "  --gap UNITS       named only when every other label is at least UNITS\n",
    "                    farther than the nearest\n",
    "  --classic         as glimcut and glimview report: --no-grey --levels none\n",
    "                    --ground keep --encoding classic --sizes 1 --verdict\n",
    "                    settled --limit 6 --gap 0 (later settings options still\n",
    "                    apply)\n",
    "Defaults: --grey --levels auto --ground keep --encoding detail\n",
    "          --sizes 0.8,0.9,1,1.1,1.25 --verdict nearest --limit 24 --gap 8\n",
    "          (measured: README)\n",
    nullptr,
};
static const char *const ask_help[] = {
    "One line per object of each PICTURE:\n",
    "  picture=P object=N box=X,Y,W,H verdict=recognised|unknown nearest=LABEL\n",
    "  bits=D limit=L label=LABEL|-\n",
    "An object is recognised when it settles into an example's pattern and\n",
    "settling changed at most L units (bits); nearest names the example it\n",
    "settled into or, when it settled into none, the one nearest its encoding.\n",
    "The label runs to the end of the line. Nothing but stdout is written\n",
    "unless -o or --pictures asks for report pictures.\n",
    "Options:\n",
    "  -o FILE.png       with one PICTURE: write its report picture to FILE.png,\n",
    "                    as glimview report draws it\n",
    "  --pictures DIR    write each PICTURE's report picture to DIR/NAME-report.png\n",
    "                    (NAME the picture's name less its extension); DIR is made\n",
    "                    when it is missing\n",
    nullptr,
};
static const char *const list_help[] = {
    "The labels, how many examples each, and the network's health: how many\n",
    "examples are stable patterns of the network, and how many of its values\n",
    "diverged.\n",
    nullptr,
};
static const char *const forget_help[] = {
    "Removes every example of LABEL and teaches the network again from the rest.\n",
    nullptr,
};
static const char *const evaluate_help[] = {
    "Asks about every picture of TRUTH, a text file of lines picture,label\n",
    "(picture,- for a picture of nothing taught; split at the last comma), and\n",
    "takes the verdict on each picture's largest object as its answer. Prints\n",
    "the counts right, wrong and unknown with the accuracy, the confusion\n",
    "matrix (a row per truth, a column per answer, - for unknown), each label's\n",
    "precision and recall, and every never-taught picture that got a name.\n",
    "Options:\n",
    "  -o FILE.png       also draw the confusion matrix as a PNG picture\n",
    nullptr,
};
static const char *const help_help[] = {
    "Lists the commands, or prints the help of COMMAND.\n",
    nullptr,
};

static const option_rule teach_options[] = {
    {"--object", true},   {"--all", false},   {"--min-size", true}, {"--grey", false},
    {"--no-grey", false}, {"--levels", true}, {"--encoding", true}, {"--sizes", true},
    {"--verdict", true},  {"--limit", true},  {"--gap", true},      {"--classic", false},
    {"--ground", true},   {nullptr, false}};
static const option_rule ask_options[] = {{"-o", true}, {"--pictures", true}, {nullptr, false}};
static const option_rule evaluate_options[] = {{"-o", true}, {nullptr, false}};
static const option_rule no_options[] = {{nullptr, false}};

static int command_help(const command_args &args);

static const glim_command commands[] = {
    {"teach", "teach [--object N | --all [--min-size PIXELS]] [SETTINGS] LABEL PICTURE...",
     "store the largest object of each picture as an example of LABEL", teach_help, teach_options,
     command_teach},
    {"ask", "ask [-o FILE.png | --pictures DIR] PICTURE...",
     "which taught object each object of each picture is", ask_help, ask_options, command_ask},
    {"list", "list", "the labels, their examples and the network's health", list_help, no_options,
     command_list},
    {"forget", "forget LABEL", "remove a label's examples and teach again", forget_help, no_options,
     command_forget},
    {"evaluate", "evaluate [-o FILE.png] TRUTH.csv",
     "how often ask is right on pictures whose answer you know", evaluate_help, evaluate_options,
     command_evaluate},
    {"help", "help [COMMAND]", "this list, or a command's help", help_help, no_options,
     command_help},
};
constexpr int COMMAND_COUNT = sizeof commands / sizeof commands[0];

static const glim_command *find_command(const std::string &name) {
    for (const glim_command &command : commands)
        if (name == command.name) return &command;
    return nullptr;
}

// One line of the usage text, given without its line feed: on stdout for
// --help, on stderr through the message route when glim is run without a
// command.
static void usage_line(bool on_stderr, const std::string &line) {
    if (on_stderr)
        message_print_stderr("%s\n", line.c_str());
    else
        printf("%s\n", line.c_str());
}

static void print_usage(bool on_stderr) {
    usage_line(on_stderr, "Usage: glim [--model DIR] COMMAND [options] OPERANDS...");
    usage_line(on_stderr, "Commands:");
    for (const glim_command &command : commands) {
        char line[160];
        snprintf(line, sizeof line, "  %-8s %s", command.name, command.summary);
        usage_line(on_stderr, line);
    }
    usage_line(on_stderr, "Options:");
    usage_line(on_stderr, "  --model DIR  the model folder; default the current directory");
    usage_line(on_stderr, "  -h, --help   print this help, or with a command its help, and exit");
    usage_line(on_stderr, "  --version    print glim's version and exit");
    usage_line(on_stderr, "'glim COMMAND --help' tells more. Full manual: man glim");
}

static void print_command_help(const glim_command &command) {
    printf("Usage: glim [--model DIR] %s\n", command.synopsis);
    for (const char *const *line = command.help; *line; line++)
        printf("%s", *line);
    printf("  --model DIR       the model folder; default the current directory\n");
    printf("  -h, --help        print this help and exit\n");
    printf("  --                end the options: later arguments may begin with '-'\n");
}

static int command_help(const command_args &args) {
    if (args.operands.empty()) {
        print_usage(false);
        return EXIT_SUCCESS;
    }
    const glim_command *command = find_command(args.operands[0]);
    if (!command || args.operands.size() > 1)
        return command_usage_error("help", "give one command's name");
    print_command_help(*command);
    return EXIT_SUCCESS;
}

int command_usage_error(const char *command, const char *what) {
    message_error("cannot run %s: %s; see glim %s --help", command, what, command);
    return GLIM_USAGE;
}

bool command_number(const char *command, const command_args &args, const char *option, int most,
                    int *value) {
    const std::string &text = args.options.at(option);
    bool digits = !text.empty() && text.size() <= 9 &&
                  text.find_first_not_of("0123456789") == std::string::npos;
    if (digits && atol(text.c_str()) <= most) {
        *value = atoi(text.c_str());
        return true;
    }
    std::string what =
        std::string(option) + " takes a whole number from 0 to " + std::to_string(most);
    command_usage_error(command, what.c_str());
    return false;
}

static const option_rule *find_rule(const option_rule *rules, const std::string &name) {
    for (const option_rule *rule = rules; rule->name; rule++)
        if (name == rule->name) return rule;
    return nullptr;
}

// Reads the arguments after the command into args. Returns -1 to go on, or
// the exit status when the run is done (a help, or a usage error).
static int read_arguments(const glim_command &command, int argc, char *argv[], int first,
                          command_args *args) {
    static const option_rule model_rule = {"--model", true};
    bool options_done = false;
    for (int i = first; i < argc; i++) {
        const char *arg = argv[i];
        if (options_done || arg[0] != '-' || arg[1] == '\0') {
            args->operands.push_back(arg);
            continue;
        }
        if (strcmp(arg, "--") == 0) {
            options_done = true;
            continue;
        }
        if (strcmp(arg, "-h") == 0 || strcmp(arg, "--help") == 0) {
            print_command_help(command);
            return EXIT_SUCCESS;
        }
        const char *equals = arg[1] == '-' ? strchr(arg, '=') : nullptr;
        std::string name = equals ? std::string(arg, equals - arg) : std::string(arg);
        const option_rule *rule =
            name == "--model" ? &model_rule : find_rule(command.options, name);
        if (!rule) {
            std::string what = "unknown option '" + name + "'";
            return command_usage_error(command.name, what.c_str());
        }
        std::string value;
        if (rule->takes_value) {
            if (equals) {
                value = equals + 1;
            } else if (i + 1 < argc) {
                value = argv[++i];
            } else {
                std::string what = name + " needs a value";
                return command_usage_error(command.name, what.c_str());
            }
        } else if (equals) {
            std::string what = name + " takes no value";
            return command_usage_error(command.name, what.c_str());
        }
        if (name == "--model") {
            if (value.empty()) return command_usage_error(command.name, "--model needs a folder");
            args->model = value;
        } else {
            args->options[name] = value;
        }
    }
    return -1;
}

static int run(int argc, char *argv[]) {
    message_set_program("glim");
    save_init();
    // stdout holds the answers; what the readers say about files is an error.
    message_set_stream(stderr);
    command_args args;
    int at = 1;
    // The options before the command: --model, --help, --version.
    for (; at < argc && argv[at][0] == '-'; at++) {
        std::string arg = argv[at];
        if (arg == "-h" || arg == "--help") {
            print_usage(false);
            return EXIT_SUCCESS;
        }
        if (arg == "--version") {
            printf("glim %s\n", GLIM_VERSION);
            return EXIT_SUCCESS;
        }
        if (arg == "--model" && at + 1 < argc && argv[at + 1][0]) {
            args.model = argv[++at];
        } else if (arg.compare(0, 8, "--model=") == 0 && arg.size() > 8) {
            args.model = arg.substr(8);
        } else {
            if (arg.compare(0, 7, "--model") != 0) return arg_unknown_option("glim", arg.c_str());
            message_error("--model needs a folder");
            message_print_stderr("Try 'glim --help' for more information.\n");
            return GLIM_USAGE;
        }
    }
    if (at == argc) {
        print_usage(true);
        return GLIM_USAGE;
    }
    const glim_command *command = find_command(argv[at]);
    if (!command) {
        std::string names;
        for (int i = 0; i < COMMAND_COUNT; i++)
            names += std::string(i == 0                   ? ""
                                 : i + 1 == COMMAND_COUNT ? " and "
                                                          : ", ") +
                     commands[i].name;
        message_error("unknown command '%.80s'; the commands are %s (see glim --help)", argv[at],
                      names.c_str());
        return GLIM_USAGE;
    }
    int status = read_arguments(*command, argc, argv, at + 1, &args);
    if (status >= 0) return status;
    return command->run(args);
}

int main(int argc, char *argv[]) {
    int status = memory_run(run, argc, argv);
    // Console output that was lost (a full disk, a closed pipe) fails the run.
    return message_flush_stdout() == 0 ? status : EXIT_FAILURE;
}
