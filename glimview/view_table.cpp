// glimview's commands: one table of views and one reader of their command
// lines. Each view's entry says how many operands it takes, which options,
// what its picture is called by default and which function makes it; the
// reader checks the command line against the entry, names the output and
// refuses an output that would replace an input, so each view's function
// starts from a request that is whole.
//
// Adding a view: write its function in a file of its own (declared in
// views.h, taking what a request holds), and give it an entry in COMMANDS
// below with its synopsis, help, operand counts, options and output name.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cmdline.h"
#include "messages.h"
#include "names.h"
#include "settings.h"
#include "views.h"

namespace {

// The options of glimview, as bits of a view's entry.
enum view_option : unsigned {
    TAKES_OUT = 1u << 0,      // -o FILE
    TAKES_NET = 1u << 1,      // --net FILE: a network the view reads
    TAKES_CYCLES = 1u << 2,   // --cycles N
    TAKES_RULE = 1u << 3,     // --rule NAME
    TAKES_LEARNED = 1u << 4,  // --learned PICTURE..., --labels FILE, --limit BITS
    TAKES_ENCODING = 1u << 5, // --encoding NAME, --sizes LIST
};

// How a view's picture is named when -o does not name it.
enum default_output {
    OUT_NONE,       // the view writes no picture
    OUT_FIXED,      // the name as it stands
    OUT_AFTER_STEM, // the first operand's file name without its extension, then this
};

struct view_command {
    const char *name;
    const char *synopsis; // after "glimview ", one or more lines
    const char *summary;  // the lines of --help that say what the view shows
    int least_operands;
    int most_operands; // -1: any number
    const char *too_few;
    const char *too_many;
    unsigned options;
    default_output output;
    const char *output_name;     // the fixed name or what follows the stem
    const char *default_operand; // the operand when none is given, or null
    int (*run)(const view_request &request);
};

// The views' functions, each called with a request the reader has checked.
int run_scene(const view_request &r) {
    return view_scene(r.operands[0], r.out_name);
}
int run_pattern(const view_request &r) {
    return view_patterns(r.operands.data(), (int)r.operands.size(), r.out_name);
}
int run_net(const view_request &r) {
    return view_net(r.operands[0], r.out_name);
}
int run_match(const view_request &r) {
    return view_match(r.operands[0], r.operands.data() + 1, (int)r.operands.size() - 1);
}
int run_settle(const view_request &r) {
    return view_settle(r.operands[0], r.network, r.out_name);
}
int run_robustness(const view_request &r) {
    return view_robustness(r.operands.data(), (int)r.operands.size(), r.network, r.out_name);
}
int run_capacity(const view_request &r) {
    return view_capacity(r.operands.data(), (int)r.operands.size(), r.cycles, r.rule, r.out_name);
}

// The views, in the order of the usage text. To add a view: write its
// function in a file of its own (declared in views.h, taking what it needs
// from view_request), add that file to glimview's sources in CMakeLists.txt,
// and give it an entry here; an option that no view takes yet needs a bit
// above and a line in the option table below.
const view_command COMMANDS[] = {
    {"scene", "scene [-o FILE] PICTURE\n",
     "  scene    the picture enlarged with its numbered object boxes, beside\n"
     "           its thinned edge map (default output PICTURE-scene.png)\n",
     1, 1, "give one picture file", "give one picture file", TAKES_OUT, OUT_AFTER_STEM,
     "-scene.png", nullptr, run_scene},
    {"pattern", "pattern [-o FILE] FILE.act...\n",
     "  pattern  each 16 x 16 pattern as a grid with its file name\n"
     "           (default output pattern.png)\n",
     1, -1, "give at least one activation file", nullptr, TAKES_OUT, OUT_FIXED, "pattern.png",
     nullptr, run_pattern},
    {"net", "net [-o FILE] [NETWORK_FILE]\n",
     "  net      the weights as a colour map, the thresholds as a strip\n"
     "           (network file " GLIM_NETWORK_DEFAULT " by default; output NETWORK.png)\n",
     0, 1, nullptr, "give at most one network file", TAKES_OUT, OUT_AFTER_STEM, ".png",
     GLIM_NETWORK_DEFAULT, run_net},
    {"match", "match RESULT.act LEARNED.act...\n",
     "  match    the Hamming distance from a result to each learned pattern,\n"
     "           nearest first, and whether the result is one of them\n",
     2, -1, "give a result file and at least one learned file", nullptr, 0, OUT_NONE, nullptr,
     nullptr, run_match},
    {"report",
     "report PICTURE --learned TRAINING.ppm... [--net NETWORK_FILE]\n"
     "                [--labels FILE] [--limit BITS] [--encoding NAME] [--sizes LIST]\n"
     "                [-o FILE]\n",
     "  report   which learned object each object of PICTURE is: the training\n"
     "           pictures (each --learned, in glimcut's order, numbered on from\n"
     "           one to the next) are cut and encoded, PICTURE's objects settled\n"
     "           in the network (" GLIM_NETWORK_DEFAULT " by default). An object is recognised\n"
     "           as N when it settles into learned pattern N and settling changed\n"
     "           at most BITS units (default 6). One line per object on stdout:\n"
     "           object=J box=X,Y,W,H before=N before_bits=D after=N after_bits=D\n"
     "           moved_bits=D verdict=recognised|unknown learned=N|- label=TEXT|-\n"
     "           (before/after: the nearest learned pattern to the encoding and to\n"
     "           the settled pattern; the label runs to the end of the line).\n"
     "           --labels FILE names the learned objects, one per line. The PNG\n"
     "           (default PICTURE-report.png) shows the verdicts beside the\n"
     "           learned objects. With --encoding or --sizes a first line gives\n"
     "           encoding=E sizes=L learned=N patterns=P limit=B limit_from=F, the\n"
     "           limit is derived from the learned patterns unless --limit gives\n"
     "           it, and an unknown object's line adds nearest=LABEL|N\n"
     "           nearest_bits=D before its label.\n",
     1, 1, "give a picture", "give one picture; more go with --learned",
     TAKES_OUT | TAKES_NET | TAKES_LEARNED | TAKES_ENCODING, OUT_AFTER_STEM, "-report.png", nullptr,
     view_report},
    {"settle", "settle [-o FILE] [--net FILE] PATTERN.act\n",
     "  settle   the pattern settling sweep by sweep with its energy\n"
     "           (default output PATTERN-settle.png)\n",
     1, 1, "give one activation file", "give one activation file", TAKES_OUT | TAKES_NET,
     OUT_AFTER_STEM, "-settle.png", nullptr, run_settle},
    {"robustness", "robustness [-o FILE] [--net FILE] PATTERN.act...\n",
     "  robustness  how many noisy copies of each pattern settle back into it\n"
     "           (default output robustness.png)\n",
     1, -1, "give at least one activation file", nullptr, TAKES_OUT | TAKES_NET, OUT_FIXED,
     "robustness.png", nullptr, run_robustness},
    {"capacity", "capacity [-o FILE] [--cycles N] [--rule NAME] PATTERN.act...\n",
     "  capacity how many of the first n patterns a fresh network holds, for\n"
     "           each n (default output capacity.png; no network file is used)\n",
     1, -1, "give at least one activation file", nullptr, TAKES_OUT | TAKES_CYCLES | TAKES_RULE,
     OUT_FIXED, "capacity.png", nullptr, run_capacity},
};
constexpr int COMMAND_COUNT = sizeof COMMANDS / sizeof COMMANDS[0];

// The options with a value, the view option bit that takes each, what is
// said when its value is missing or refused, and its line of --help.
struct option_entry {
    const char *name;
    unsigned bit;
    const char *needs;
    const char *help;
};
const option_entry OPTIONS[] = {
    {"-o", TAKES_OUT, "-o needs a file name",
     "  -o FILE        write the picture to FILE instead of the default name\n"},
    {"--net", TAKES_NET, "--net needs a file name",
     "  --net FILE     settle, robustness, report: the network; default " GLIM_NETWORK_DEFAULT
     "\n"},
    {"--cycles", TAKES_CYCLES, "--cycles needs a whole number from 0 to 1000000",
     "  --cycles N     capacity: learning cycles per pattern set; default " GLIM_TEXT(
         GLIM_CYCLES_DEFAULT) "\n"},
    {"--rule", TAKES_RULE, "--rule needs a learning rule, classic or margin",
     "  --rule NAME    capacity: learning rule, classic or margin; default classic\n"},
    {"--learned", TAKES_LEARNED, "--learned needs a picture file",
     "  --learned PICTURE  report: a training picture; one or more, required\n"},
    {"--labels", TAKES_LEARNED, "--labels needs a file name",
     "  --labels FILE  report: the learned objects' names, one per line; default none\n"},
    {"--limit", TAKES_LEARNED, "--limit takes a number of bits from 0 to 256",
     "  --limit BITS   report: the most units settling may change; default 6, or\n"
     "                 with --encoding or --sizes under half the least distance\n"
     "                 between two learned objects' patterns, at most 24\n"},
    {"--encoding", TAKES_ENCODING, nullptr,
     "  --encoding NAME  report: how objects are encoded, classic, normalised,\n"
     "                 masked, silhouette or detail; default classic\n"},
    {"--sizes", TAKES_ENCODING, nullptr,
     "  --sizes LIST   report: the sizes each learned object is encoded at, each\n"
     "                 pattern labelled as its object (0.5 to 2, at most 8, such as\n"
     "                 0.8,1,1.25); default 1\n"},
};

// Options that a view refuses with a reason of its own; any other is "V
// takes no OPTION".
struct refusal {
    const char *command; // null: every view but the one that takes it
    const char *option;
    const char *reason;
};
const refusal REFUSALS[] = {
    {"capacity", "--net", "capacity teaches a fresh network and takes no --net"},
    {"match", "-o", "match prints a table and takes no -o"},
    {nullptr, "--rule", "only capacity takes --rule"},
};

char out_buffer[NAME_SIZE];                            // -o FILE, or the view's default
char network_buffer[NAME_SIZE] = GLIM_NETWORK_DEFAULT; // --net FILE
std::vector<const char *> usage_lines;
std::vector<const char *> help_lines;

int usage_error(const char *reason, const char *command) {
    message_error("cannot run %s: %s; see glimview --help", command, reason);
    return EXIT_FAILURE;
}

int refuse_option(const view_command &command, const char *option) {
    for (const refusal &r : REFUSALS)
        if (strcmp(r.option, option) == 0 && (!r.command || strcmp(r.command, command.name) == 0))
            return usage_error(r.reason, command.name);
    std::string reason = std::string(command.name) + " takes no " + option;
    return usage_error(reason.c_str(), command.name);
}

// The output name: the input's file name without its directory and its last
// extension, followed by suffix, in the current directory.
int default_name(const char *input, const char *suffix) {
    const char *base = name_base(input);
    int stem = (int)(name_stem_length(input) - (size_t)(base - input));
    int length = snprintf(out_buffer, NAME_SIZE, "%.*s%s", stem, base, suffix);
    if (length < 0 || length >= NAME_SIZE) {
        message_error("cannot name the output of %s: the name would be too long; give one with -o",
                      input);
        return -1;
    }
    return 0;
}

// Takes the value of one option into the request. -1 to go on, or the exit
// status after a message.
int take_value(const view_command &command, const option_entry &option, const char *value,
               view_request *request) {
    const char *name = option.name;
    bool fits = true;
    if (strcmp(name, "-o") == 0) {
        if (name_copy(out_buffer, value, "output file") != 0) return EXIT_FAILURE;
        request->out_name = out_buffer;
    } else if (strcmp(name, "--net") == 0) {
        if (name_copy(network_buffer, value, "network file") != 0) return EXIT_FAILURE;
    } else if (strcmp(name, "--cycles") == 0) {
        fits = view_scan_number(value, 1000000, &request->cycles) == 0;
    } else if (strcmp(name, "--rule") == 0) {
        fits = rule_from_name(value, &request->rule);
    } else if (strcmp(name, "--learned") == 0) {
        request->learned.push_back(value);
    } else if (strcmp(name, "--labels") == 0) {
        request->labels = value;
    } else if (strcmp(name, "--limit") == 0) {
        fits = view_scan_number(value, NETSIZE, &request->limit) == 0;
        request->limit_given = true;
    } else if (strcmp(name, "--encoding") == 0) {
        if (encoding_parse(value, &request->choice.encoding) != 0) return EXIT_USAGE;
        request->chosen = true;
    } else if (strcmp(name, "--sizes") == 0) {
        if (encoding_parse_sizes(value, &request->choice) != 0) return EXIT_USAGE;
        request->chosen = true;
    }
    return fits ? -1 : usage_error(option.needs, command.name);
}

// Reads the arguments after the command into request. -1 to go on, or the
// exit status after a message (or after the help of -h, --help, --version).
int read_arguments(const view_command &command, int argc, char *argv[], view_request *request) {
    bool options_done = false;
    bool after_learned = false; // the operands right after --learned's value are more of them
    for (int i = 2; i < argc; i++) {
        char *arg = argv[i];
        if (options_done || arg[0] != '-' || arg[1] == '\0') {
            if (after_learned && !request->operands.empty())
                request->learned.push_back(arg);
            else
                request->operands.push_back(arg);
            continue;
        }
        if (strcmp(arg, "--") == 0) {
            options_done = true;
            continue;
        }
        // "--option=value" as well as "--option value".
        const char *equals = strncmp(arg, "--", 2) == 0 ? strchr(arg, '=') : nullptr;
        std::string name = equals ? std::string(arg, equals - arg) : std::string(arg);
        const option_entry *option = nullptr;
        for (const option_entry &o : OPTIONS)
            if (name == o.name) option = &o;
        if (!option) return glimview_option(arg);
        if (!(command.options & option->bit)) return refuse_option(command, option->name);
        const char *value = equals ? equals + 1 : i + 1 < argc ? argv[++i] : nullptr;
        if (!value) {
            if (!option->needs) {
                message_error("%s: the option needs a value", arg);
                return EXIT_USAGE;
            }
            return usage_error(option->needs, command.name);
        }
        int status = take_value(command, *option, value, request);
        if (status >= 0) return status;
        after_learned = strcmp(option->name, "--learned") == 0;
    }
    return -1;
}

} // namespace

int view_scan_number(const char *arg, int most, int *value) {
    long number = 0;
    if (*arg == '\0') return -1;
    for (const char *c = arg; *c; c++) {
        if (*c < '0' || *c > '9') return -1;
        number = number * 10 + (*c - '0');
        if (number > most) return -1;
    }
    *value = (int)number;
    return 0;
}

int glimview_run_command(int argc, char *argv[]) {
    const char *name = argv[1];
    const view_command *command = nullptr;
    for (const view_command &c : COMMANDS)
        if (strcmp(c.name, name) == 0) command = &c;
    if (!command) {
        // The options come first: -h or an unknown option wins over the command.
        std::string list;
        for (int c = 0; c < COMMAND_COUNT; c++)
            list += std::string(c == 0                   ? ""
                                : c == COMMAND_COUNT - 1 ? " and "
                                                         : ", ") +
                    COMMANDS[c].name;
        view_command unknown = {};
        unknown.name = name;
        unknown.options = ~0u;
        view_request ignored;
        int status = read_arguments(unknown, argc, argv, &ignored);
        if (status >= 0) return status;
        message_error("cannot run %s: it is not a command; the commands are %s (see glimview "
                      "--help)",
                      name, list.c_str());
        return EXIT_FAILURE;
    }
    view_request request;
    request.network = network_buffer;
    int status = read_arguments(*command, argc, argv, &request);
    if (status >= 0) return status;

    int count = (int)request.operands.size();
    if (count < command->least_operands) return usage_error(command->too_few, command->name);
    if (command->most_operands >= 0 && count > command->most_operands)
        return usage_error(command->too_many, command->name);
    if (count == 0 && command->default_operand)
        request.operands.push_back(const_cast<char *>(command->default_operand));

    if (command->output != OUT_NONE) {
        if (!request.out_name) {
            if (command->output == OUT_FIXED) {
                snprintf(out_buffer, NAME_SIZE, "%s", command->output_name);
            } else if (default_name(request.operands[0], command->output_name) != 0) {
                return EXIT_FAILURE;
            }
            request.out_name = out_buffer;
        }
        // A picture written over an input would destroy the user's work.
        std::vector<const char *> inputs(request.operands.begin(), request.operands.end());
        inputs.insert(inputs.end(), request.learned.begin(), request.learned.end());
        if (command->options & TAKES_NET) inputs.push_back(request.network);
        if (request.labels) inputs.push_back(request.labels);
        if (name_check_output(request.out_name, inputs.data(), (int)inputs.size()) != 0)
            return EXIT_FAILURE;
    }
    return command->run(request) == 0 ? EXIT_SUCCESS : EXIT_FAILURE;
}

const char *const *glimview_usage() {
    if (usage_lines.empty()) {
        for (int c = 0; c < COMMAND_COUNT; c++) {
            usage_lines.push_back(c == 0 ? "Usage: glimview " : "       glimview ");
            usage_lines.push_back(COMMANDS[c].synopsis);
        }
        for (const view_command &c : COMMANDS)
            usage_lines.push_back(c.summary);
        usage_lines.push_back(nullptr);
    }
    return usage_lines.data();
}

const char *const *glimview_help() {
    if (help_lines.empty()) {
        help_lines.push_back("\nOptions:\n");
        for (const option_entry &o : OPTIONS)
            help_lines.push_back(o.help);
        help_lines.push_back(nullptr);
    }
    return help_lines.data();
}
