// glimsee: the recogniser. Loads a trained network, separates one picture into
// objects, encodes each object, lets its encoding settle in the network and
// writes the settled pattern to a file of its own, numbered from 0.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "actfile.h"
#include "cmdline.h"
#include "encoding.h"
#include "memory.h"
#include "messages.h"
#include "names.h"
#include "net.h"
#include "netfile.h"
#include "objects.h"
#include "savefile.h"
#include "scene.h"
#include "settings.h"

static char net_file_name[NAME_SIZE] = GLIM_NETWORK_DEFAULT; // second argument
static char picture_name[NAME_SIZE];                         // first argument
static char result_mask[NAME_SIZE] = GLIM_RESULT_MASK;       // third argument
static bool each_picture;        // --each: a network file, then several pictures
static bool quiet;               // --quiet with --each: a line per object
static encoding_choice encoding; // --encoding

static const char *const usage[] = {
    "Usage: glimsee <picture_file> <network_file> <ca_file_name>\n",
    "  loads the picture (PPM P6), separates&filters through net\n",
    "  and saves output to ca-1.act, ca-2.act,...\n",
    "\n",
    nullptr,
};
static const char *const help[] = {
    "Arguments:\n",
    "  picture_file   " GLIM_PICTURE_SIZE " binary PPM (P6) picture, maximum 255; required\n",
    "  network_file   the trained network; default " GLIM_NETWORK_DEFAULT "\n",
    "  ca_file_name   name of object N's result file, %d for N; default " GLIM_RESULT_MASK "\n",
    "Several pictures: glimsee --each [--quiet] <network_file> <picture_file>...\n",
    "  --quiet prints only one line per object (picture=P object=J box=X,Y,W,H\n",
    "  file=NAME moved_bits=D: units that settling changed) and failures\n",
    "  results of DIR/NAME.ppm go to DIR/NAME-" GLIM_RESULT_MASK "; the network is read once\n",
    "Options:\n",
    "  --encoding NAME  classic (the default), normalised, masked, silhouette or\n",
    "                   detail,\n",
    "                   as glimcut encodes: give the encoding the network's\n",
    "                   patterns were cut with\n",
    nullptr,
};

// A picture holds at most MAX_OBJECTS objects and names grow with the
// number, so when the name of the last possible object fits, all do.
static bool take_arguments(int argc, char *argv[]) {
    char name[NAME_SIZE];
    return name_copy(picture_name, argv[1], "picture file") == 0 &&
           (argc < 3 || name_copy(net_file_name, argv[2], "network file") == 0) &&
           (argc < 4 || name_copy(result_mask, argv[3], "result file mask") == 0) &&
           name_check_mask(result_mask, MASK_EXACTLY_ONE) == 0 &&
           name_format(name, result_mask, MAX_OBJECTS - 1) == 0;
}

// With --each: the network file and every picture's name and result mask are
// checked before anything runs.
static bool take_pictures(int argc, char *argv[]) {
    char mask[NAME_SIZE], name[NAME_SIZE];
    if (argc < 3) {
        message_error("cannot run --each: give a network file and at least one picture");
        return false;
    }
    if (name_copy(net_file_name, argv[1], "network file") != 0) return false;
    for (int i = 2; i < argc; i++)
        if (name_copy(name, argv[i], "picture file") != 0 ||
            name_picture_mask(mask, argv[i], result_mask) != 0 ||
            name_check_mask(mask, MASK_EXACTLY_ONE) != 0 ||
            name_format(name, mask, MAX_OBJECTS - 1) != 0)
            return false;
    return true;
}

// The steps of one picture once the network is loaded, as a run of its own
// takes them; returns the exit status that run would have. inputs are the
// run's network and pictures, which no result file may replace.
static int see_picture(const char *picture, const char *mask, const name_inputs &inputs) {
    bool whole = true;
    if (!quiet) printf("Separating picture...\n");
    if (scene_load(picture) != 0) whole = false;
    int count = object_count();
    if (!quiet) printf("Number of objects: %d\n", count);
    if (name_check_outputs(mask, count, inputs) != 0) return EXIT_FAILURE;
    for (int j = 0; j < count; j++) {
        int act[NETSIZE];
        // A picture that the scene reader took but the encoder refuses ends its run.
        if (quiet) {
            if (encode_object_as(picture, object_x(j), object_y(j), object_width(j),
                                 object_height(j), encoding.encoding, 1.0, act) != 0)
                return EXIT_FAILURE;
            int before[NETSIZE];
            memcpy(before, act, sizeof before);
            net_iterate(act, RECALL_LIMIT);
            int moved = 0;
            for (int u = 0; u < NETSIZE; u++)
                moved += before[u] != act[u];
            char extra[32];
            snprintf(extra, sizeof extra, "moved_bits=%d", moved);
            if (object_save_line(act, mask, picture, j, extra) != 0) whole = false;
            continue;
        }
        if (object_announce_and_encode_as(picture, j, encoding.encoding, 1.0, act) != 0)
            return EXIT_FAILURE;
        act_print(act, "Activation before");
        printf(" Iterating network... (max. %d steps)\n", RECALL_LIMIT);
        net_iterate(act, RECALL_LIMIT);
        act_print(act, "Activation after");
        if (object_save(act, mask, j) != 0) whole = false;
    }
    if (!quiet) printf("Programm beendet.\n");
    return whole && !net_broken ? EXIT_SUCCESS : EXIT_FAILURE;
}

static int run(int argc, char *argv[]) {
    message_set_program("glimsee");
    memory_set_task("recognising the pictures");
    save_init();
    int status = encoding_take_options(&argc, argv, &encoding, false);
    if (status >= 0) return status;
    // "--each" first selects the run over several pictures; the rest of the
    // command line follows the usual conventions.
    each_picture = arg_take_leading(&argc, &argv, "--each");
    // --quiet right after it keeps the console to a line per object.
    quiet = each_picture && arg_take_leading(&argc, &argv, "--quiet");
    status = arg_conventions(&argc, argv, {"glimsee", usage, help, true, 0, ARG_OPTIONS_SHARED});
    if (status >= 0) return status;
    if (each_picture ? !take_pictures(argc, argv) : !take_arguments(argc, argv))
        return EXIT_FAILURE;
    // A picture that is not a regular file is refused before anything runs.
    if (!each_picture && scene_check_picture(picture_name) != 0) return EXIT_FAILURE;
    for (int i = 2; each_picture && i < argc; i++)
        if (scene_check_picture(argv[i]) != 0) return EXIT_FAILURE;

    net_verbose = 0;
    act_file_layout = ACT_LAYOUT_ROWS;
    if (!quiet) printf("Initializing network...\n");
    net_init();
    if (!quiet) printf("Loading network %s...\n", message_printable(net_file_name).c_str());
    // Recall in a network that did not load would write results that look
    // real; none are written instead.
    load_result loaded = net_load(net_file_name);
    if (loaded != LOAD_OK) {
        message_error("cannot recognise with network %s: it %s", net_file_name,
                      loaded == LOAD_MISSING ? "is missing" : "does not load whole");
        return EXIT_FAILURE;
    }
    if (!each_picture) {
        const char *const names[] = {picture_name, net_file_name};
        name_inputs inputs;
        name_collect_inputs(&inputs, names, 2);
        return see_picture(picture_name, result_mask, inputs);
    }
    // Results of many pictures reach the disk together at the end; the
    // network file is only read.
    save_set_sync_each(false);
    name_inputs inputs;
    name_collect_inputs(&inputs, argv + 1, argc - 1);
    int result = EXIT_SUCCESS;
    for (int i = 2; i < argc; i++) {
        char mask[NAME_SIZE];
        name_picture_mask(mask, argv[i], result_mask);
        if (see_picture(argv[i], mask, inputs) != EXIT_SUCCESS) result = EXIT_FAILURE;
    }
    if (save_sync_all() != 0) result = EXIT_FAILURE;
    return result;
}

int main(int argc, char *argv[]) {
    int status = memory_run(run, argc, argv);
    // Console output that was lost (a full disk, a closed pipe) fails the run.
    return message_flush_stdout() == 0 ? status : EXIT_FAILURE;
}
