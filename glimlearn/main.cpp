// glimlearn: teaches the network a numbered series of pattern files.
//
// Loads "glimnet.net" if there is one, so that every run goes on from where
// the last one left the network, teaches all patterns for a number of cycles,
// shows how the first pattern settles and writes the network back.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "actfile.h"
#include "cmdline.h"
#include "divergence.h"
#include "folderlock.h"
#include "memory.h"
#include "messages.h"
#include "names.h"
#include "net.h"
#include "netfile.h"
#include "netmargin.h"
#include "savefile.h"
#include "settings.h"

static int nr_of_files = 1;                                  // first argument
static int nr_of_cycles = CYCLES_DEFAULT;                    // second argument
static char pat_file_mask[NAME_SIZE] = GLIM_PATTERN_MASK;    // third argument
static char net_file_name[NAME_SIZE] = GLIM_NETWORK_DEFAULT; // read at start, written at the end
static learning_rule rule = RULE_CLASSIC;                    // --rule NAME

// One pattern file's vector.
struct pattern_node {
    pattern_node *next;
    int act[NETSIZE];
};

static pattern_node *pattern_head; // first node: the recall test's pattern
static pattern_node *pattern_tail; // last node, for appending

static const char *const usage[] = {
    "Usage: glimlearn <nr_of_files> <nr_of_cycles> <pat_file_mask>\n",
    "  where the network will learn the patterns which are stored in\n",
    "  <nr_of_files> consecutive files named se-1.act, se-2.act,...\n",
    "  and stored to file " GLIM_NETWORK_DEFAULT " .",
    "\n",
    nullptr,
};
static const char *const help[] = {
    "\n",
    "Arguments:\n",
    "  nr_of_files    how many pattern files, numbered from 0; required\n",
    "  nr_of_cycles   times each pattern is taught; default " GLIM_TEXT(GLIM_CYCLES_DEFAULT) "\n",
    "  pat_file_mask  name of pattern file N, %d for N; default " GLIM_PATTERN_MASK "\n",
    "\n",
    "Options:\n",
    "  --rule NAME    the learning rule: classic (error-correcting) or margin\n",
    "                 (stores every pattern with a margin, stops when it does);\n",
    "                 default classic\n",
    nullptr,
};

// Takes "--rule NAME" and "--rule=NAME" out of the arguments before "--",
// so that the shared conventions see only the rest. An unknown name, a
// missing one or two different ones end the run before anything is read.
static int take_rule(int *argc, char *argv[]) {
    const char *chosen = nullptr;
    for (int i = 1; i < *argc && strcmp(argv[i], "--") != 0;) {
        const char *name;
        int taken;
        if (strcmp(argv[i], "--rule") == 0) {
            name = i + 1 < *argc ? argv[i + 1] : nullptr;
            taken = name ? 2 : 1;
        } else if (strncmp(argv[i], "--rule=", 7) == 0) {
            name = argv[i] + 7;
            taken = 1;
        } else {
            i++;
            continue;
        }
        if (!name || !name[0]) {
            message_error("learning rule missing after --rule (classic or margin)");
            return EXIT_USAGE;
        }
        learning_rule named;
        if (!rule_from_name(name, &named)) {
            message_error("unknown learning rule '%.*s' (classic or margin)", NAME_SIZE, name);
            return EXIT_USAGE;
        }
        if (chosen && strcmp(chosen, name) != 0) {
            message_error("two learning rules, '%s' and '%s' (give --rule once)", chosen, name);
            return EXIT_USAGE;
        }
        chosen = name;
        rule = named;
        memmove(&argv[i], &argv[i + taken], (size_t)(*argc + 1 - i - taken) * sizeof argv[0]);
        *argc -= taken;
    }
    return -1;
}

// Takes the settings from the arguments and checks that every file name the
// run will form fits its buffer. Names grow with the file number, so the
// first and the last name stand for all of them.
static bool take_arguments(int argc, char *argv[]) {
    if (arg_scan_int(argv[1], &nr_of_files, "file count") != 0) return false;
    if (argc > 2 && arg_scan_int(argv[2], &nr_of_cycles, "cycle count") != 0) return false;
    if (argc > 3 && name_copy(pat_file_mask, argv[3], "pattern file mask") != 0) return false;
    if (name_check_mask(pat_file_mask, MASK_AT_MOST_ONE) != 0) return false;
    char name[NAME_SIZE];
    if (nr_of_files > 0 && (name_format(name, pat_file_mask, 0) != 0 ||
                            name_format(name, pat_file_mask, nr_of_files - 1) != 0))
        return false;
    return true;
}

// Reads the pattern files into a list in file order. Each file is read whole
// before a node is made for it, so that a file that is not there costs no
// memory. Stops at the first file that does not load whole, or whose node
// finds no memory, and gives its name and what is wrong in failed; returns
// false then. Teaching a part of the set would replace the user's network
// with one that lacks the rest, so a short list is a failure too.
static bool load_patterns(char *failed, size_t failed_size) {
    printf("     ");
    for (int i = 0; i < nr_of_files; i++) {
        printf("\b\b\b\b\b%5d", i);
        char name[NAME_SIZE];
        name_format(name, pat_file_mask, i);
        int act[NETSIZE] = {};
        load_result loaded = act_load(act, name);
        if (loaded != LOAD_OK) {
            snprintf(failed, failed_size, "pattern file %s %s", name,
                     loaded == LOAD_MISSING ? "is missing" : "does not load whole");
            return false;
        }
        pattern_node *node = (pattern_node *)malloc(sizeof(pattern_node));
        if (!node) {
            snprintf(failed, failed_size, "out of memory while loading pattern file %s", name);
            return false;
        }
        node->next = nullptr;
        memcpy(node->act, act, sizeof act);
        if (!pattern_head)
            pattern_head = node;
        else
            pattern_tail->next = node;
        pattern_tail = node;
    }
    printf("\n");
    return true;
}

// The counter after "Learning cycle %d -" overwrites the last five of its six
// blanks, so a finished line shows the number of patterns taught.
static void teach_patterns() {
    for (int cycle = 0; cycle < nr_of_cycles; cycle++) {
        printf("Learning cycle %d -      ", cycle);
        int k = 0;
        for (pattern_node *node = pattern_head; node; node = node->next) {
            printf("\b\b\b\b\b%5d", ++k);
            net_learn(node->act, 1);
        }
        printf("\n");
        divergence_watch(cycle);
    }
}

// After each margin cycle: the cycle line, as the classic rule's line ends,
// and the units that missed the margin and moved.
static void report_margin_cycle(int cycle, long moved, void *context) {
    printf("Learning cycle %d - %5d, %ld units moved\n", cycle, *(const int *)context, moved);
}

// The margin rule teaches the whole list at once and stops after the first
// cycle that changes nothing.
static void teach_patterns_margin() {
    int count = 0;
    for (pattern_node *node = pattern_head; node; node = node->next)
        count++;
    const int **patterns = (const int **)malloc((size_t)(count ? count : 1) * sizeof(int *));
    if (!patterns) {
        message_error("nothing learned: not enough memory for the list of %d patterns", count);
        return;
    }
    int k = 0;
    for (pattern_node *node = pattern_head; node; node = node->next)
        patterns[k++] = node->act;
    margin_report report = margin_learn(patterns, count, nr_of_cycles, report_margin_cycle, &count);
    free(patterns);
    if (report.broken) return;
    if (report.learned)
        printf("Learned every pattern in %d cycle%s\n", report.cycles,
               report.cycles == 1 ? "" : "s");
    else
        printf("After %d cycle%s, %ld units of %d patterns still miss the margin\n", report.cycles,
               report.cycles == 1 ? "" : "s", report.missing, count);
    divergence_watch(report.cycles - 1);
}

// Lets a copy of the first pattern settle; the network and the pattern stay as they are.
static void test_recall() {
    if (!pattern_head) {
        printf("No patterns, no recall test.\n");
        return;
    }
    int work[NETSIZE];
    memcpy(work, pattern_head->act, sizeof work);
    act_print(work, "Activation before");
    printf(" Iterating network... (max. %d steps)\n", RECALL_LIMIT);
    net_iterate(work, RECALL_LIMIT);
    act_print(work, "Activation after");
}

static void free_patterns() {
    pattern_node *node = pattern_head;
    while (node) {
        pattern_node *next = node->next;
        free(node);
        node = next;
    }
    pattern_head = pattern_tail = nullptr;
}

// Learning over a file that did not load would replace the user's network
// with one taught from a part of what they meant; nothing is saved instead.
static int refuse_learning(const char *why) {
    free_patterns();
    message_error("cannot learn: %s; nothing saved", why);
    return EXIT_FAILURE;
}

static int run(int argc, char *argv[]) {
    message_set_program("glimlearn");
    save_init();
    int status = take_rule(&argc, argv);
    if (status >= 0) return status;
    // The first two arguments are numbers, so -3 there is a number, not an option.
    status = arg_conventions(&argc, argv, {"glimlearn", usage, help, true, 2, ARG_OPTIONS_SHARED});
    if (status >= 0) return status;
    if (!take_arguments(argc, argv)) return EXIT_FAILURE;

    net_verbose = 0;
    bool whole = true;
    memory_set_task("loading the network; nothing learned or saved");
    printf("Initializing network...\n");
    net_init();
    // Runs that share a network file take turns from loading it to saving it,
    // so each goes on from the network the one before saved and none is lost.
    folder_lock_file(net_file_name, "glimlearn");
    printf("Loading network %s...\n", message_printable(net_file_name).c_str());
    // A missing network file is the first run, not a fault.
    if (net_load(net_file_name) == LOAD_FAILED) {
        char why[NAME_SIZE + 64];
        snprintf(why, sizeof why, "network file %s does not load whole", net_file_name);
        return refuse_learning(why);
    }
    divergence_watch(DIVERGENCE_LOADED);
    printf("Loading patterns ...\n");
    memory_set_task("loading the patterns; nothing learned or saved");
    char failed[NAME_SIZE + 64] = "";
    if (!load_patterns(failed, sizeof failed)) return refuse_learning(failed);
    memory_set_task("learning; nothing saved");
    if (rule == RULE_MARGIN)
        teach_patterns_margin();
    else
        teach_patterns();
    test_recall();
    printf("Saving network to %s...\n", message_printable(net_file_name).c_str());
    memory_set_task("saving the network; the earlier network file is kept");
    if (net_save(net_file_name) != 0) whole = false;
    divergence_warn(net_file_name);
    free_patterns();
    printf("Programm beendet.\n");
    return whole && !net_broken ? EXIT_SUCCESS : EXIT_FAILURE;
}

int main(int argc, char *argv[]) {
    int status = memory_run(run, argc, argv);
    // Console output that was lost (a full disk, a closed pipe) fails the run.
    return message_flush_stdout() == 0 ? status : EXIT_FAILURE;
}
