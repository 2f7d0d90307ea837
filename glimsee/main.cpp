// glimsee: the recogniser. Loads a trained network, separates one picture into
// objects, encodes each object, lets its encoding settle in the network and
// writes the settled pattern to a file of its own, numbered from 0.
#include <cstdio>
#include <cstdlib>

#include "actfile.h"
#include "names.h"
#include "net.h"
#include "netfile.h"
#include "pict2.h"
#include "scene.h"

constexpr int RECALL_LIMIT = 500;

static char net_file_name[NAME_SIZE] = "glimnet.net"; // second argument
static char picture_name[NAME_SIZE] = "sep.ppm";      // first argument
static char result_mask[NAME_SIZE] = "ca-%d.act";     // third argument

static void print_usage() {
    printf("Usage: glimsee <picture_file> <network_file> <ca_file_name>\n");
    printf("  loads the picture (PPM P6), separates&filters through net\n");
    printf("  and saves output to ca-1.act, ca-2.act,...\n");
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
    if (arg_print_version(argc, argv, "glimsee"))
        return EXIT_SUCCESS;
    if (name_copy(picture_name, argv[1], "picture file") != 0 ||
        (argc > 2 && name_copy(net_file_name, argv[2], "network file") != 0) ||
        (argc > 3 && name_copy(result_mask, argv[3], "result file mask") != 0) ||
        name_check_mask(result_mask, MASK_EXACTLY_ONE) != 0)
        return EXIT_FAILURE;
    // A picture holds at most MAX_OBJECTS objects, and names grow with the
    // number: if the name of the last possible object fits, all do.
    char name[NAME_SIZE];
    if (name_format(name, result_mask, MAX_OBJECTS - 1) != 0)
        return EXIT_FAILURE;

    // The quiet core writes activation files in the row layout.
    net_verbose = 0;
    printf("Initializing network...\n");
    net_init();
    printf("Loading network %s...\n", net_file_name);
    // A missing network file is no fault: recall then uses the fresh network.
    bool whole = net_load(net_file_name) != LOAD_FAILED;
    printf("Separating picture...\n");
    if (scene_load(picture_name) != 0)
        whole = false;
    int count = object_count();
    printf("Number of objects: %d\n", count);
    for (int j = 0; j < count; j++) {
        printf("Processing Object Nr. %d\n", j);
        int act[NETSIZE];
        encode_object(picture_name, object_x(j), object_y(j), object_width(j), object_height(j),
                      act);
        printf(" Object coordinates: %d,%d-%dx%d\n", object_x(j), object_y(j), object_width(j),
               object_height(j));
        act_print(act, "Activation before");
        printf(" Iterating network... (max. %d steps)\n", RECALL_LIMIT);
        net_iterate(act, RECALL_LIMIT);
        act_print(act, "Activation after");
        name_format(name, result_mask, j);
        printf(" Saving calculated activation to %s...\n", name);
        if (act_save(act, name) != 0)
            whole = false;
        printf("\n");
    }
    printf("Programm beendet.\n");
    return whole && !net_broken ? EXIT_SUCCESS : EXIT_FAILURE;
}
