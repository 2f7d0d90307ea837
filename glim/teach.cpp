// glim teach and glim forget: add or remove examples, then teach the network
// again from all of them and save the model as one change.
#include <cstdio>
#include <cstdlib>

#include "commands.h"
#include "messages.h"
#include "model.h"
#include "photo.h"
#include "recognise.h"

// The least box area, in pixels, that --all takes: the specks that a photo's
// texture and noise leave are boxes of a few pixels, objects worth a name
// span at least about 8 x 8 of the 80 x 60 picture.
constexpr int DEFAULT_MIN_SIZE = 64;

// The objects of one picture that teach takes: the largest (the first of
// equals), object N, or every one of at least min_size pixels.
static bool choose_objects(const char *picture, const std::vector<found_object> &found, int object,
                           bool all, int min_size, std::vector<int> *chosen) {
    if (found.empty()) {
        message_error("%s: no object found; nothing taught", picture);
        return false;
    }
    if (all) {
        for (int j = 0; j < (int)found.size(); j++)
            if (found_size(found[j]) >= min_size) chosen->push_back(j);
        if (chosen->empty())
            message_error("%s: no object of at least %d pixels (--min-size); nothing taught",
                          picture, min_size);
        return !chosen->empty();
    }
    if (object >= 0) {
        if (object >= (int)found.size()) {
            message_error("%s: no object %d (its objects are 0 to %d); nothing taught", picture,
                          object, (int)found.size() - 1);
            return false;
        }
        chosen->push_back(object);
        return true;
    }
    int largest = 0;
    for (int j = 1; j < (int)found.size(); j++)
        if (found_size(found[j]) > found_size(found[largest])) largest = j;
    chosen->push_back(largest);
    return true;
}

static void print_example(const model_example &e) {
    printf("picture=%s object=%d box=%d,%d,%d,%d size=%d label=%s\n",
           message_printable(e.source.c_str()).c_str(), e.object, e.x, e.y, e.width, e.height,
           e.width * e.height, message_printable(e.label.c_str()).c_str());
}

int command_teach(const command_args &args) {
    if (args.operands.size() < 2)
        return command_usage_error("teach", "give a LABEL and at least one PICTURE");
    if (args.has("--object") && args.has("--all"))
        return command_usage_error("teach", "--object and --all exclude each other");
    if (args.has("--min-size") && !args.has("--all"))
        return command_usage_error("teach", "--min-size goes with --all");
    int object = -1;
    int min_size = DEFAULT_MIN_SIZE;
    if (args.has("--object") && !command_number("teach", args, "--object", 999, &object))
        return GLIM_USAGE;
    if (args.has("--min-size") &&
        !command_number("teach", args, "--min-size", PICTURE_WIDTH * PICTURE_HEIGHT, &min_size))
        return GLIM_USAGE;
    const std::string &label = args.operands[0];
    if (!model_check_label(label.c_str())) return GLIM_USAGE;

    model m;
    if (model_open(args.model.c_str(), true, &m) != 0) return EXIT_FAILURE;
    if (int status = recognise_options(args, &m)) return status;
    size_t first_new = m.examples.size();
    std::vector<unsigned char> raster(PICTURE_RASTER_BYTES);
    std::vector<found_object> found;
    for (size_t i = 1; i < args.operands.size(); i++) {
        const char *picture = args.operands[i].c_str();
        char error[PHOTO_ERROR_SIZE];
        if (!recognise_read(m, picture, raster.data(), error)) {
            message_error("%s; nothing taught", error);
            return EXIT_FAILURE;
        }
        recognise_find(m, raster.data(), &found);
        std::vector<int> chosen;
        if (!choose_objects(picture, found, object, args.has("--all"), min_size, &chosen))
            return EXIT_FAILURE;
        for (int j : chosen) {
            model_example e;
            e.number = m.next_number++;
            e.label = label;
            e.source = picture;
            e.object = j;
            e.x = found[j].x;
            e.y = found[j].y;
            e.width = found[j].width;
            e.height = found[j].height;
            std::copy(found[j].act, found[j].act + NETSIZE, e.act);
            e.sized = found[j].sized;
            e.rgb = raster;
            e.fresh = true;
            m.examples.push_back(e);
        }
    }
    model_teach(m);
    if (model_save(&m) != 0) return EXIT_FAILURE;
    for (size_t n = first_new; n < m.examples.size(); n++)
        print_example(m.examples[n]);
    return EXIT_SUCCESS;
}

int command_forget(const command_args &args) {
    if (args.operands.size() != 1) return command_usage_error("forget", "give one LABEL");
    const std::string &label = args.operands[0];
    if (!model_check_label(label.c_str())) return GLIM_USAGE;
    model m;
    if (model_open(args.model.c_str(), false, &m) != 0) return EXIT_FAILURE;
    std::vector<model_example> kept;
    for (const model_example &e : m.examples)
        if (e.label != label) kept.push_back(e);
    int forgotten = (int)(m.examples.size() - kept.size());
    if (forgotten == 0) {
        message_error("forget: no examples labelled '%s'; glim list shows the labels",
                      label.c_str());
        return EXIT_FAILURE;
    }
    m.examples = kept;
    model_teach(m);
    if (model_save(&m) != 0) return EXIT_FAILURE;
    printf("forgot %d example%s of %s; %d left\n", forgotten, forgotten == 1 ? "" : "s",
           message_printable(label.c_str()).c_str(), (int)kept.size());
    return EXIT_SUCCESS;
}
