// glim's recognition over the suite's library: glimcut's segmentation and
// encoder, glimlearn's rules, and glimview report's verdict.
#include "recognise.h"

#include <cstring>

#include "net.h"
#include "netmargin.h"
#include "pict2.h"
#include "progress.h"
#include "scene.h"

constexpr int RECALL_LIMIT = 500; // sweeps, as glimsee settles a pattern

int found_size(const found_object &object) {
    return object.width * object.height;
}

void recognise_find(const unsigned char *raster, std::vector<found_object> *objects) {
    scene_segment_raster(raster, SCENE_WIDTH, SCENE_HEIGHT);
    objects->clear();
    for (int j = 0; j < object_count(); j++) {
        found_object object;
        object.x = object_x(j);
        object.y = object_y(j);
        object.width = object_width(j);
        object.height = object_height(j);
        encode_object_raster(raster, object.x, object.y, object.width, object.height, object.act);
        objects->push_back(object);
    }
}

static void show_cycle(int cycle, long moved, void *cycles) {
    (void)moved;
    progress_show("teaching, cycle", cycle + 1, *(int *)cycles);
}

void recognise_teach(const std::vector<const int *> &patterns, const std::string &rule,
                     int cycles) {
    net_verbose = 0;
    net_init();
    if (rule == "margin") {
        margin_learn(patterns.data(), (int)patterns.size(), cycles, show_cycle, &cycles);
        progress_end();
        return;
    }
    for (int cycle = 0; cycle < cycles; cycle++) {
        progress_show("teaching, cycle", cycle + 1, cycles);
        for (const int *pattern : patterns)
            net_learn(pattern, 1);
    }
    progress_end();
}

static int hamming_distance(const int *a, const int *b) {
    int distance = 0;
    for (int u = 0; u < NETSIZE; u++)
        distance += a[u] != b[u];
    return distance;
}

// The example nearest to act, the first of equals, or -1 without examples.
static int nearest_example(const std::vector<const int *> &examples, const int *act,
                           int *distance) {
    int best = -1;
    for (int n = 0; n < (int)examples.size(); n++) {
        int d = hamming_distance(act, examples[n]);
        if (best < 0 || d < *distance) {
            best = n;
            *distance = d;
        }
    }
    return best;
}

bool recognise_judge(const std::vector<const int *> &examples, const int *encoding, int limit,
                     verdict *result) {
    int settled[NETSIZE];
    memcpy(settled, encoding, sizeof settled);
    if (!net_iterate(settled, RECALL_LIMIT)) {
        net_warn_broken();
        return false;
    }
    // The network settles a shape it never learned into some learned pattern
    // too, but from farther away: an object is taken for the example it
    // settles into only when settling moved it little.
    int after = 0;
    int into = nearest_example(examples, settled, &after);
    result->recognised = -1;
    if (into >= 0 && after == 0) {
        result->nearest = into;
        result->bits = hamming_distance(encoding, settled);
        if (result->bits <= limit) result->recognised = into;
    } else {
        result->bits = 0;
        result->nearest = nearest_example(examples, encoding, &result->bits);
    }
    return true;
}

bool recognise_stable(const int *pattern) {
    int settled[NETSIZE];
    memcpy(settled, pattern, sizeof settled);
    if (!net_iterate(settled, RECALL_LIMIT)) return false;
    return memcmp(settled, pattern, sizeof settled) == 0;
}
