// glimview: pictures of what the suite sees, and which learned pattern a
// result is. Reads the suite's files through glimcore; each command writes a
// PNG picture, a table on stdout, or both (match prints a table only).
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <vector>

#include "cmdline.h"
#include "memory.h"
#include "messages.h"
#include "names.h"
#include "savefile.h"
#include "views.h"

static char out_name[NAME_SIZE];                     // -o FILE, or the command's default
static char network_name[NAME_SIZE] = "glimnet.net"; // --net FILE

static const char *const usage[] = {
    "Usage: glimview scene [-o FILE] PICTURE\n",
    "       glimview pattern [-o FILE] FILE.act...\n",
    "       glimview net [-o FILE] [NETWORK_FILE]\n",
    "       glimview match RESULT.act LEARNED.act...\n",
    "       glimview report PICTURE --learned TRAINING.ppm... [--net NETWORK_FILE]\n",
    "                [--labels FILE] [--limit BITS] [--encoding NAME] [--sizes LIST]\n",
    "                [-o FILE]\n",
    "       glimview settle [-o FILE] [--net FILE] PATTERN.act\n",
    "       glimview robustness [-o FILE] [--net FILE] PATTERN.act...\n",
    "       glimview capacity [-o FILE] [--cycles N] [--rule NAME] PATTERN.act...\n",
    "  scene    the picture enlarged with its numbered object boxes, beside\n",
    "           its thinned edge map (default output PICTURE-scene.png)\n",
    "  pattern  each 16 x 16 pattern as a grid with its file name\n",
    "           (default output pattern.png)\n",
    "  net      the weights as a colour map, the thresholds as a strip\n",
    "           (network file glimnet.net by default; output NETWORK.png)\n",
    "  match    the Hamming distance from a result to each learned pattern,\n",
    "           nearest first, and whether the result is one of them\n",
    "  report   which learned object each object of PICTURE is: the training\n",
    "           pictures (each --learned, in glimcut's order, numbered on from\n",
    "           one to the next) are cut and encoded, PICTURE's objects settled\n",
    "           in the network (glimnet.net by default). An object is recognised\n",
    "           as N when it settles into learned pattern N and settling changed\n",
    "           at most BITS units (default 6). One line per object on stdout:\n",
    "           object=J box=X,Y,W,H before=N before_bits=D after=N after_bits=D\n",
    "           moved_bits=D verdict=recognised|unknown learned=N|- label=TEXT|-\n",
    "           (before/after: the nearest learned pattern to the encoding and to\n",
    "           the settled pattern; the label runs to the end of the line).\n",
    "           --labels FILE names the learned objects, one per line. The PNG\n",
    "           (default PICTURE-report.png) shows the verdicts beside the\n",
    "           learned objects. With --encoding or --sizes a first line gives\n",
    "           encoding=E sizes=L learned=N patterns=P limit=B limit_from=F, the\n",
    "           limit is derived from the learned patterns unless --limit gives\n",
    "           it, and an unknown object's line adds nearest=LABEL|N\n",
    "           nearest_bits=D before its label.\n",
    "  settle   the pattern settling sweep by sweep with its energy\n",
    "           (default output PATTERN-settle.png)\n",
    "  robustness  how many noisy copies of each pattern settle back into it\n",
    "           (default output robustness.png)\n",
    "  capacity how many of the first n patterns a fresh network holds, for\n",
    "           each n (default output capacity.png; no network file is used)\n",
    nullptr,
};
static const char *const help[] = {
    "\n",
    "Options:\n",
    "  -o FILE        write the picture to FILE instead of the default name\n",
    "  --net FILE     settle, robustness, report: the network; default glimnet.net\n",
    "  --cycles N     capacity: learning cycles per pattern set; default 50\n",
    "  --rule NAME    capacity: learning rule, classic or margin; default classic\n",
    "  --learned PICTURE  report: a training picture; one or more, required\n",
    "  --labels FILE  report: the learned objects' names, one per line; default none\n",
    "  --limit BITS   report: the most units settling may change; default 6, or\n",
    "                 with --encoding or --sizes under half the least distance\n",
    "                 between two learned objects' patterns, at most 24\n",
    "  --encoding NAME  report: how objects are encoded, classic or normalised;\n",
    "                 default classic\n",
    "  --sizes LIST   report: the sizes each learned object is encoded at, each\n",
    "                 pattern labelled as its object (0.5 to 2, at most 8, such as\n",
    "                 0.8,1,1.25); default 1\n",
    nullptr,
};
static const arg_program program = {"glimview", usage, help, true, 0, ARG_OPTIONS_AFTER_COMMAND};

// The default output name: the input's file name without its directory and
// its last extension, followed by suffix, in the current directory.
static int default_name(const char *input, const char *suffix) {
    const char *slash = strrchr(input, '/');
    const char *base = slash ? slash + 1 : input;
    const char *dot = strrchr(base, '.');
    int stem = dot && dot != base ? (int)(dot - base) : (int)strlen(base);
    int length = snprintf(out_name, NAME_SIZE, "%.*s%s", stem, base, suffix);
    if (length < 0 || length >= NAME_SIZE) {
        message_error("cannot name the output of %s: the name would be too long; give one with -o",
                      input);
        return -1;
    }
    return 0;
}

// A picture written over an input would destroy the user's work.
static int check_not_input(char *const inputs[], int count) {
    return name_check_output(out_name, inputs, count);
}

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

int glimview_option(const char *arg) {
    return arg_option(arg, program);
}

static int usage_error(const char *reason, const char *command) {
    message_error("cannot run %s: %s; see glimview --help", command, reason);
    return EXIT_FAILURE;
}

static int run(int argc, char *argv[]) {
    message_set_program("glimview");
    memory_set_task("making the view");
    save_init();
    // The reader messages are errors here, and stdout may hold a table.
    message_set_stream(stderr);
    int status = arg_conventions(&argc, argv, program);
    if (status >= 0) return status;

    // After the command: "-o FILE" anywhere, and "--" before operands that
    // begin with a dash.
    const char *command = argv[1];
    // report reads options of its own.
    if (strcmp(command, "report") == 0) {
        int result = view_report(argc - 2, argv + 2);
        return result < 0 ? EXIT_FAILURE : result;
    }
    std::vector<char *> operands;
    bool has_out = false;
    bool options_done = false;
    bool has_network = false;
    int cycles = 50; // --cycles N, as glimlearn teaches by default
    bool has_cycles = false;
    learning_rule rule = RULE_CLASSIC; // --rule NAME, as glimlearn
    bool has_rule = false;
    for (int i = 2; i < argc; i++) {
        if (options_done || argv[i][0] != '-' || argv[i][1] == '\0') {
            operands.push_back(argv[i]);
        } else if (strcmp(argv[i], "--") == 0) {
            options_done = true;
        } else if (strcmp(argv[i], "-o") == 0) {
            if (i + 1 == argc) return usage_error("-o needs a file name", command);
            if (name_copy(out_name, argv[++i], "output file") != 0) return EXIT_FAILURE;
            has_out = true;
        } else if (strcmp(argv[i], "--net") == 0) {
            if (i + 1 == argc) return usage_error("--net needs a file name", command);
            if (name_copy(network_name, argv[++i], "network file") != 0) return EXIT_FAILURE;
            has_network = true;
        } else if (strcmp(argv[i], "--cycles") == 0) {
            if (i + 1 == argc || view_scan_number(argv[i + 1], 1000000, &cycles) != 0)
                return usage_error("--cycles needs a whole number from 0 to 1000000", command);
            i++;
            has_cycles = true;
        } else if (strcmp(argv[i], "--rule") == 0) {
            if (i + 1 == argc || !rule_from_name(argv[i + 1], &rule))
                return usage_error("--rule needs a learning rule, classic or margin", command);
            i++;
            has_rule = true;
        } else {
            return glimview_option(argv[i]);
        }
    }
    int count = (int)operands.size();

    if (has_rule && strcmp(command, "capacity") != 0)
        return usage_error("only capacity takes --rule", command);
    int result;
    if (strcmp(command, "scene") == 0) {
        if (count != 1) return usage_error("give one picture file", command);
        if (!has_out && default_name(operands[0], "-scene.png") != 0) return EXIT_FAILURE;
        if (check_not_input(operands.data(), count) != 0) return EXIT_FAILURE;
        result = view_scene(operands[0], out_name);
    } else if (strcmp(command, "pattern") == 0) {
        if (count < 1) return usage_error("give at least one activation file", command);
        if (!has_out) strcpy(out_name, "pattern.png");
        if (check_not_input(operands.data(), count) != 0) return EXIT_FAILURE;
        result = view_patterns(operands.data(), count, out_name);
    } else if (strcmp(command, "net") == 0) {
        if (count > 1) return usage_error("give at most one network file", command);
        static char default_network[] = "glimnet.net";
        char *network = count == 1 ? operands[0] : default_network;
        if (!has_out && default_name(network, ".png") != 0) return EXIT_FAILURE;
        if (check_not_input(&network, 1) != 0) return EXIT_FAILURE;
        result = view_net(network, out_name);
    } else if (strcmp(command, "match") == 0) {
        if (has_out) return usage_error("match prints a table and takes no -o", command);
        if (count < 2)
            return usage_error("give a result file and at least one learned file", command);
        result = view_match(operands[0], operands.data() + 1, count - 1);
    } else if (strcmp(command, "settle") == 0) {
        if (has_cycles) return usage_error("settle takes no --cycles", command);
        if (count != 1) return usage_error("give one activation file", command);
        if (!has_out && default_name(operands[0], "-settle.png") != 0) return EXIT_FAILURE;
        operands.push_back(network_name);
        if (check_not_input(operands.data(), 2) != 0) return EXIT_FAILURE;
        result = view_settle(operands[0], network_name, out_name);
    } else if (strcmp(command, "robustness") == 0) {
        if (has_cycles) return usage_error("robustness takes no --cycles", command);
        if (count < 1) return usage_error("give at least one activation file", command);
        if (!has_out) strcpy(out_name, "robustness.png");
        operands.push_back(network_name);
        if (check_not_input(operands.data(), count + 1) != 0) return EXIT_FAILURE;
        result = view_robustness(operands.data(), count, network_name, out_name);
    } else if (strcmp(command, "capacity") == 0) {
        if (has_network)
            return usage_error("capacity teaches a fresh network and takes no --net", command);
        if (count < 1) return usage_error("give at least one activation file", command);
        if (!has_out) strcpy(out_name, "capacity.png");
        if (check_not_input(operands.data(), count) != 0) return EXIT_FAILURE;
        result = view_capacity(operands.data(), count, cycles, rule, out_name);
    } else {
        message_error("cannot run %s: it is not a command; the commands are scene, pattern, net, "
                      "match, report, settle, robustness and capacity (see glimview --help)",
                      command);
        return EXIT_FAILURE;
    }
    return result == 0 ? EXIT_SUCCESS : EXIT_FAILURE;
}

int main(int argc, char *argv[]) {
    int status = memory_run(run, argc, argv);
    // Console output that was lost (a full disk, a closed pipe) fails the run.
    return message_flush_stdout() == 0 ? status : EXIT_FAILURE;
}
