// glim evaluate: asks about every picture of a TRUTH file and tells how often
// the answer was right, wrong or unknown, as a confusion matrix and per
// label. A picture's answer is the verdict on its largest object, the object
// that glim teach takes by default. -o draws the matrix as a picture too.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>

#include "commands.h"
#include "drawing.h"
#include "messages.h"
#include "model.h"
#include "names.h"
#include "photo.h"
#include "progress.h"
#include "recognise.h"

constexpr const char *NOTHING = "-"; // the truth "nothing taught is here", and an unknown answer

struct truth_line {
    std::string picture;
    std::string label; // or NOTHING
};

// Lines "picture,label", split at the last comma; empty lines and lines
// that begin with '#' are passed over.
static bool read_truth(const char *name, std::vector<truth_line> *lines) {
    FILE *in = fopen(name, "r");
    if (!in) {
        message_error("%s: cannot open: %s", name, strerror(errno));
        return false;
    }
    char buffer[4096];
    int number = 0;
    bool whole = true;
    while (whole && fgets(buffer, sizeof buffer, in)) {
        number++;
        std::string line = buffer;
        if (!line.empty() && line.back() == '\n') line.pop_back();
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        size_t comma = line.rfind(',');
        truth_line truth;
        if (comma != std::string::npos) {
            truth.picture = line.substr(0, comma);
            truth.label = line.substr(comma + 1);
        }
        if (truth.picture.empty() || truth.label.empty()) {
            message_error("%s: line %d: give picture,label (or picture,- where nothing taught "
                          "is shown)",
                          name, number);
            whole = false;
        } else if (truth.label != NOTHING && !model_check_label(truth.label.c_str())) {
            message_error("%s: line %d: the label cannot be one of glim's", name, number);
            whole = false;
        }
        lines->push_back(truth);
    }
    fclose(in);
    if (whole && lines->empty()) {
        message_error("%s: no pictures in it", name);
        return false;
    }
    return whole;
}

// The answer for one picture: the label of its largest object's verdict, or NOTHING.
static bool answer_picture(const model &m, const std::string &picture, std::string *answer) {
    std::vector<unsigned char> raster(PICTURE_RASTER_BYTES);
    char error[PHOTO_ERROR_SIZE];
    if (!recognise_read(m, picture.c_str(), raster.data(), error)) {
        progress_end();
        message_error("%s", error);
        return false;
    }
    std::vector<found_object> found;
    recognise_find(m, raster.data(), &found);
    *answer = NOTHING;
    if (found.empty()) return true;
    int largest = 0;
    for (int j = 1; j < (int)found.size(); j++)
        if (found_size(found[j]) > found_size(found[largest])) largest = j;
    object_answer v;
    if (!recognise_judge(m, found[largest].act, &v)) return false;
    if (v.recognised >= 0) *answer = m.examples[v.recognised].label;
    return true;
}

static void print_ratio(const char *name, int part, int whole) {
    if (whole == 0)
        printf(" %s=-", name);
    else
        printf(" %s=%.3f", name, (double)part / whole);
}

// Refuses a matrix picture over one of the run's inputs: the TRUTH file, its
// pictures and the model's files. 0, or -1 after a message.
static int check_output(const char *out, const char *truth_file,
                        const std::vector<truth_line> &truth, const model &m) {
    std::vector<std::string> names = {truth_file, model_path(m, MODEL_MANIFEST),
                                      model_path(m, MODEL_NETWORK)};
    for (const truth_line &line : truth)
        names.push_back(line.picture);
    for (const model_example &e : m.examples) {
        names.push_back(model_example_file(m, e.number, ".act"));
        names.push_back(model_example_file(m, e.number, ".ppm"));
    }
    std::vector<const char *> inputs;
    for (const std::string &name : names)
        inputs.push_back(name.c_str());
    name_inputs set;
    name_collect_inputs(&set, inputs.data(), (int)inputs.size());
    return name_check_output_in(out, set);
}

int command_evaluate(const command_args &args) {
    if (args.operands.size() != 1) return command_usage_error("evaluate", "give one TRUTH file");
    const char *out = args.has("-o") ? args.options.at("-o").c_str() : nullptr;
    if (out && !*out) return command_usage_error("evaluate", "-o needs a file name");
    std::vector<truth_line> truth;
    if (!read_truth(args.operands[0].c_str(), &truth)) return EXIT_FAILURE;
    model m;
    if (model_open_for_recall(args.model.c_str(), &m) != 0) return EXIT_FAILURE;
    if (out && check_output(out, args.operands[0].c_str(), truth, m) != 0) return EXIT_FAILURE;
    std::set<std::string> taught;
    for (const model_example &e : m.examples)
        taught.insert(e.label);

    confusion matrix;
    std::map<std::pair<std::string, std::string>, int> &counts = matrix.counts; // (truth, answer)
    std::vector<std::pair<std::string, std::string>> named; // never taught, yet named
    std::set<std::string> labels = taught;
    int right = 0, wrong = 0, unknown = 0, asked = 0;
    bool failed = false;
    for (size_t i = 0; i < truth.size(); i++) {
        progress_show("evaluating, picture", (long)i + 1, (long)truth.size());
        std::string answer;
        if (!answer_picture(m, truth[i].picture, &answer)) {
            failed = true;
            continue;
        }
        asked++;
        const std::string &expected = truth[i].label;
        if (expected != NOTHING) labels.insert(expected);
        counts[{expected, answer}]++;
        if (answer == expected)
            right++;
        else if (answer == NOTHING)
            unknown++;
        else
            wrong++;
        if (answer != NOTHING && !taught.count(expected))
            named.push_back({truth[i].picture, answer});
    }
    progress_end();

    printf("pictures=%d right=%d wrong=%d unknown=%d", asked, right, wrong, unknown);
    print_ratio("accuracy", right, asked);
    printf("\n");
    // The matrix: a row per truth, a column per answer, "-" last in both.
    std::vector<std::string> &order = matrix.order;
    order.assign(labels.begin(), labels.end());
    order.push_back(NOTHING);
    const char *corner = "truth\\answer";
    size_t width = 6;
    for (const std::string &label : order)
        width = std::max(width, label.size() + 1);
    int first = (int)std::max(width, strlen(corner));
    printf("%-*s", first, corner);
    for (const std::string &label : order)
        printf(" %*s", (int)width, message_printable(label.c_str()).c_str());
    printf("\n");
    for (const std::string &row : order) {
        printf("%-*s", first, message_printable(row.c_str()).c_str());
        for (const std::string &column : order) {
            auto found = counts.find({row, column});
            printf(" %*d", (int)width, found == counts.end() ? 0 : found->second);
        }
        printf("\n");
    }
    for (const std::string &label : labels) {
        int hits = 0, answered = 0, shown = 0;
        for (const auto &entry : counts) {
            if (entry.first.second == label) answered += entry.second;
            if (entry.first.first == label) shown += entry.second;
            if (entry.first.first == label && entry.first.second == label) hits += entry.second;
        }
        printf("label=%s", message_printable(label.c_str()).c_str());
        print_ratio("precision", hits, answered);
        print_ratio("recall", hits, shown);
        printf("\n");
    }
    for (const auto &entry : named)
        printf("never-taught picture=%s named=%s\n", message_printable(entry.first.c_str()).c_str(),
               message_printable(entry.second.c_str()).c_str());
    if (out && drawing_save_matrix(matrix, out) != 0) return EXIT_FAILURE;
    return failed ? EXIT_FAILURE : EXIT_SUCCESS;
}
