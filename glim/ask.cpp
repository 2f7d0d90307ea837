// glim ask and glim list: the model read, never changed.
#include <cstdio>
#include <cstdlib>
#include <map>

#include "commands.h"
#include "messages.h"
#include "model.h"
#include "netmeasure.h"
#include "photo.h"
#include "progress.h"
#include "recognise.h"

static std::vector<const int *> example_patterns(const model &m) {
    std::vector<const int *> patterns;
    for (const model_example &e : m.examples)
        patterns.push_back(e.act);
    return patterns;
}

// One line per object, fields in a fixed order; the label, which may hold
// spaces, comes last and runs to the end of the line.
static void print_verdict(const model &m, const char *picture, int j, const found_object &object,
                          const verdict &v) {
    const char *nearest = v.nearest >= 0 ? m.examples[v.nearest].label.c_str() : "-";
    const char *label = v.recognised >= 0 ? m.examples[v.recognised].label.c_str() : "-";
    printf("picture=%s object=%d box=%d,%d,%d,%d verdict=%s nearest=%s bits=%d limit=%d "
           "label=%s\n",
           picture, j, object.x, object.y, object.width, object.height,
           v.recognised >= 0 ? "recognised" : "unknown", nearest, v.bits, m.limit, label);
}

int command_ask(const command_args &args) {
    if (args.operands.empty()) return command_usage_error("ask", "give at least one PICTURE");
    model m;
    if (model_open_for_recall(args.model.c_str(), &m) != 0) return EXIT_FAILURE;
    // The examples' patterns are read once, with the network, for every picture.
    std::vector<const int *> examples = example_patterns(m);
    std::vector<unsigned char> raster(PHOTO_BYTES);
    std::vector<found_object> found;
    bool failed = false;
    long count = (long)args.operands.size();
    for (long i = 0; i < count; i++) {
        const char *picture = args.operands[i].c_str();
        if (count > 1) progress_show("asking, picture", i + 1, count);
        char error[PHOTO_ERROR_SIZE];
        if (!photo_read(picture, raster.data(), error)) {
            progress_end();
            message_error("%s", error);
            failed = true;
            continue;
        }
        recognise_find(raster.data(), &found);
        if (found.empty()) {
            progress_end();
            message_error("%s: no object found", picture);
        }
        for (int j = 0; j < (int)found.size(); j++) {
            verdict v;
            if (!recognise_judge(examples, found[j].act, m.limit, &v)) return EXIT_FAILURE;
            print_verdict(m, picture, j, found[j], v);
        }
    }
    progress_end();
    return failed ? EXIT_FAILURE : EXIT_SUCCESS;
}

int command_list(const command_args &args) {
    if (!args.operands.empty()) return command_usage_error("list", "takes no operands");
    model m;
    if (model_open(args.model.c_str(), false, &m) != 0) return EXIT_FAILURE;
    if (m.examples.empty()) {
        printf("nothing taught yet\n");
        return EXIT_SUCCESS;
    }
    std::map<std::string, int> counts;
    for (const model_example &e : m.examples)
        counts[e.label]++;
    for (const auto &entry : counts)
        printf("%s: %d example%s\n", entry.first.c_str(), entry.second,
               entry.second == 1 ? "" : "s");
    if (model_recall_network(&m) != 0) return EXIT_FAILURE;
    int stable = 0;
    for (const model_example &e : m.examples)
        stable += recognise_stable(e.act);
    printf("network: %d of %d examples stable, %d values diverged (encoding %s, rule %s, %d "
           "cycles)\n",
           stable, (int)m.examples.size(), net_count_diverged(), m.encoding.c_str(), m.rule.c_str(),
           m.cycles);
    return EXIT_SUCCESS;
}
