// glimcut: the pattern maker. Separates one picture into objects, encodes each
// object as an activation vector and writes it to a file of its own, numbered
// from 0. It does not use the network.
#include <cstdio>
#include <cstdlib>

#include "actfile.h"
#include "names.h"
#include "net.h"
#include "pict2.h"
#include "scene.h"

static char picture_name[NAME_SIZE] = "sep.ppm"; // first argument
static char out_mask[NAME_SIZE] = "se-%d.act";   // second argument

static void print_usage() {
    printf("Usage: glimcut <picture_file> <out_file_mask>\n");
    printf("  loads the picture (PPM P6), separates\n");
    printf("  and saves output to se-1.act, se-2.act,...\n");
    printf("  does NOT filter through the network! for glimlearn.\n");
    printf("\n");
}

int main(int argc, char *argv[]) {
    if (argc < 2) {
        print_usage();
        return EXIT_FAILURE;
    }
    if (arg_asks_help(argc, argv)) {
        print_usage();
        return EXIT_SUCCESS;
    }
    if (arg_print_version(argc, argv, "glimcut"))
        return EXIT_SUCCESS;
    if (name_copy(picture_name, argv[1], "picture file") != 0 ||
        (argc > 2 && name_copy(out_mask, argv[2], "output file mask") != 0) ||
        name_check_mask(out_mask, MASK_EXACTLY_ONE) != 0)
        return EXIT_FAILURE;
    // A picture holds at most MAX_OBJECTS objects, and names grow with the
    // number: if the name of the last possible object fits, all do.
    char name[NAME_SIZE];
    if (name_format(name, out_mask, MAX_OBJECTS - 1) != 0)
        return EXIT_FAILURE;

    // The verbose core writes activation files in the character layout.
    net_verbose = 1;
    printf("Separating picture...\n");
    bool whole = scene_load(picture_name) == 0;
    int count = object_count();
    printf("Number of objects: %d\n", count);
    for (int j = 0; j < count; j++) {
        printf("Processing Object Nr. %d\n", j);
        int act[NETSIZE];
        encode_object(picture_name, object_x(j), object_y(j), object_width(j), object_height(j),
                      act);
        printf(" Object coordinates: %d,%d-%dx%d\n", object_x(j), object_y(j), object_width(j),
               object_height(j));
        name_format(name, out_mask, j);
        printf(" Saving calculated activation to %s...\n", name);
        if (act_save(act, name) != 0)
            whole = false;
        printf("\n");
    }
    printf("Programm beendet.\n");
    return whole ? EXIT_SUCCESS : EXIT_FAILURE;
}
