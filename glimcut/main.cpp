// glimcut: the pattern maker. Separates one picture into objects, encodes each
// object as an activation vector and writes it to a file of its own, numbered
// from 0. It does not use the network.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "actfile.h"
#include "cmdline.h"
#include "encoding.h"
#include "memory.h"
#include "messages.h"
#include "names.h"
#include "netsize.h"
#include "objects.h"
#include "savefile.h"
#include "scene.h"
#include "settings.h"

static char picture_name[NAME_SIZE];                 // first argument
static char out_mask[NAME_SIZE] = GLIM_PATTERN_MASK; // second argument
static bool each_picture;                            // --each: several pictures
static bool quiet;                                   // --quiet with --each: a line per object
static encoding_choice encoding;                     // --encoding and --sizes

static const char *const usage[] = {
    "Usage: glimcut <picture_file> <out_file_mask>\n",
    "  loads the picture (PPM P6), separates\n",
    "  and saves output to se-1.act, se-2.act,...\n",
    "  does NOT filter through the network! for glimlearn.\n",
    "\n",
    nullptr,
};
static const char *const help[] = {
    "Arguments:\n",
    "  picture_file   " GLIM_PICTURE_SIZE " binary PPM (P6) picture, maximum 255; required\n",
    "  out_file_mask  name of object N's pattern file, %d for N; default " GLIM_PATTERN_MASK "\n",
    "Several pictures: glimcut --each [--quiet] <picture_file>...\n",
    "  patterns of DIR/NAME.ppm go to DIR/NAME-" GLIM_PATTERN_MASK "; --quiet prints only\n",
    "  one line per object (picture=P object=J box=X,Y,W,H file=NAME) and failures\n",
    "Options:\n",
    "  --encoding NAME  classic (the default) or normalised: the box resampled to\n",
    "                   64 cells on its larger side, its samples taken from its\n",
    "                   ground and stretched to the 16 levels; or masked: as\n",
    "                   normalised, the ground outside the object's edges cleared;\n",
    "                   or silhouette: the box scaled to 16 cells on its larger\n",
    "                   side, a unit on for each cell off the box's ground; or\n",
    "                   detail: the silhouette on half the cells (a checkerboard),\n",
    "                   on the other half the cells far off the ground (its\n",
    "                   brightest parts), so same outlines differ by their inside\n",
    "  --sizes LIST     encode each object at each size of LIST (0.5 to 2, at\n",
    "                   most 8, e.g. 0.8,1,1.25); object N at size K of the list\n",
    "                   goes to pattern file N * (number of sizes) + K\n",
    nullptr,
};

// A picture holds at most MAX_OBJECTS objects and names grow with the
// number, so when the name of the last possible object fits, all do.
static bool take_arguments(int argc, char *argv[]) {
    char name[NAME_SIZE];
    return name_copy(picture_name, argv[1], "picture file") == 0 &&
           (argc < 3 || name_copy(out_mask, argv[2], "output file mask") == 0) &&
           name_check_mask(out_mask, MASK_EXACTLY_ONE) == 0 &&
           name_format(name, out_mask, MAX_OBJECTS * encoding.size_count - 1) == 0;
}

// With --each: every picture's name and pattern file mask are checked before
// anything runs.
static bool take_pictures(int argc, char *argv[]) {
    char mask[NAME_SIZE], name[NAME_SIZE];
    for (int i = 1; i < argc; i++)
        if (name_copy(name, argv[i], "picture file") != 0 ||
            name_picture_mask(mask, argv[i], out_mask) != 0 ||
            name_check_mask(mask, MASK_EXACTLY_ONE) != 0 ||
            name_format(name, mask, MAX_OBJECTS * encoding.size_count - 1) != 0)
            return false;
    return true;
}

// The steps of one picture, as a run of its own takes them; returns the exit
// status that run would have. inputs are the run's pictures, which no pattern
// file may replace: the encoder reads a picture again for each object, and
// the user's pictures must survive the run.
static int cut_picture(const char *picture, const char *mask, const name_inputs &inputs) {
    if (!quiet) printf("Separating picture...\n");
    bool whole = scene_load(picture) == 0;
    int count = object_count();
    if (!quiet) printf("Number of objects: %d\n", count);
    int sizes = encoding.size_count;
    if (name_check_outputs(mask, count * sizes, inputs) != 0) return EXIT_FAILURE;
    for (int j = 0; j < count; j++) {
        for (int k = 0; k < sizes; k++) {
            int act[NETSIZE];
            int number = j * sizes + k; // the pattern file of object j at size k
            // A picture that the scene reader took but the encoder refuses ends its run.
            if (quiet) {
                if (encode_object_as(picture, object_x(j), object_y(j), object_width(j),
                                     object_height(j), encoding.encoding, encoding.sizes[k],
                                     act) != 0)
                    return EXIT_FAILURE;
                if (object_save_line(act, mask, picture, number, "") != 0) whole = false;
                continue;
            }
            if (object_announce_and_encode_as(picture, j, encoding.encoding, encoding.sizes[k],
                                              act) != 0)
                return EXIT_FAILURE;
            if (sizes > 1) printf(" Size %g\n", encoding.sizes[k]);
            if (object_save(act, mask, number) != 0) whole = false;
        }
    }
    if (!quiet) printf("Programm beendet.\n");
    return whole ? EXIT_SUCCESS : EXIT_FAILURE;
}

static int run(int argc, char *argv[]) {
    message_set_program("glimcut");
    memory_set_task("cutting the pictures");
    int status;
    save_init();
    status = encoding_take_options(&argc, argv, &encoding, true);
    if (status >= 0) return status;
    // "--each" first selects the run over several pictures; the rest of the
    // command line follows the usual conventions.
    each_picture = arg_take_leading(&argc, &argv, "--each");
    // --quiet right after it keeps the console to a line per object.
    quiet = each_picture && arg_take_leading(&argc, &argv, "--quiet");
    status = arg_conventions(&argc, argv, {"glimcut", usage, help, true, 0, ARG_OPTIONS_SHARED});
    if (status >= 0) return status;
    if (each_picture ? !take_pictures(argc, argv) : !take_arguments(argc, argv))
        return EXIT_FAILURE;

    // A picture that is not a regular file is refused before anything runs.
    if (!each_picture && scene_check_picture(picture_name) != 0) return EXIT_FAILURE;
    for (int i = 1; each_picture && i < argc; i++)
        if (scene_check_picture(argv[i]) != 0) return EXIT_FAILURE;

    act_file_layout = ACT_LAYOUT_CHARACTERS;
    if (!each_picture) {
        const char *const names[] = {picture_name};
        name_inputs inputs;
        name_collect_inputs(&inputs, names, 1);
        return cut_picture(picture_name, out_mask, inputs);
    }
    // Patterns of many pictures reach the disk together at the end.
    save_set_sync_each(false);
    name_inputs inputs;
    name_collect_inputs(&inputs, argv + 1, argc - 1);
    int result = EXIT_SUCCESS;
    for (int i = 1; i < argc; i++) {
        char mask[NAME_SIZE];
        name_picture_mask(mask, argv[i], out_mask);
        if (cut_picture(argv[i], mask, inputs) != EXIT_SUCCESS) result = EXIT_FAILURE;
    }
    if (save_sync_all() != 0) result = EXIT_FAILURE;
    return result;
}

int main(int argc, char *argv[]) {
    int status = memory_run(run, argc, argv);
    // Console output that was lost (a full disk, a closed pipe) fails the run.
    return message_flush_stdout() == 0 ? status : EXIT_FAILURE;
}
