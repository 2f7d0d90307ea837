// glim ask and glim list: the model read, never changed; ask writes report
// pictures only where -o or --pictures asks for them.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sys/stat.h>

#include "commands.h"
#include "drawing.h"
#include "messages.h"
#include "model.h"
#include "names.h"
#include "netmeasure.h"
#include "photo.h"
#include "progress.h"
#include "recognise.h"

// One line per object, fields in a fixed order; the label, which may hold
// spaces, comes last and runs to the end of the line. Names and labels are
// shown with their unprintable bytes as '?'.
static void print_verdict(const model &m, const char *picture, int j, const found_object &object,
                          const object_answer &v) {
    const char *nearest = v.nearest >= 0 ? m.examples[v.nearest].label.c_str() : "-";
    const char *label = v.recognised >= 0 ? m.examples[v.recognised].label.c_str() : "-";
    printf("picture=%s object=%d box=%d,%d,%d,%d verdict=%s nearest=%s bits=%d limit=%d "
           "label=%s\n",
           message_printable(picture).c_str(), j, object.x, object.y, object.width, object.height,
           v.recognised >= 0 ? "recognised" : "unknown", message_printable(nearest).c_str(), v.bits,
           m.limit, message_printable(label).c_str());
}

// The report picture of each asked picture: none, the one -o names, or one
// per picture in the --pictures folder. names is by operand, empty without.
struct report_outputs {
    std::string folder;
    std::vector<std::string> names;
};

// FOLDER/NAME-report.png for picture FOLDER2/NAME.EXT, as glimview report
// names its picture.
static std::string report_name(const std::string &folder, const std::string &picture) {
    const char *name = picture.c_str();
    const char *file = name_base(name);
    std::string base(file, name_stem_length(name) - (size_t)(file - name));
    if (folder != ".") base = folder + (folder.back() == '/' ? "" : "/") + base;
    return base + "-report.png";
}

// Reads -o and --pictures. -1 to go on, or the exit status after a message.
static int take_outputs(const command_args &args, report_outputs *outputs) {
    bool one = args.has("-o"), many = args.has("--pictures");
    if (!one && !many) return -1;
    if (one && many) return command_usage_error("ask", "-o and --pictures exclude each other");
    if (one) {
        if (args.operands.size() != 1)
            return command_usage_error("ask", "-o writes the report of one PICTURE; for more "
                                              "give --pictures DIR");
        const std::string &name = args.options.at("-o");
        if (name.empty()) return command_usage_error("ask", "-o needs a file name");
        outputs->names.push_back(name);
        return -1;
    }
    outputs->folder = args.options.at("--pictures");
    if (outputs->folder.empty()) return command_usage_error("ask", "--pictures needs a folder");
    std::map<std::string, const std::string *> taken;
    for (const std::string &picture : args.operands) {
        outputs->names.push_back(report_name(outputs->folder, picture));
        auto entry = taken.emplace(outputs->names.back(), &picture);
        if (!entry.second) {
            std::string what = "the reports of " + *entry.first->second + " and " + picture +
                               " would both be " + outputs->names.back();
            return command_usage_error("ask", what.c_str());
        }
    }
    struct stat folder;
    if (stat(outputs->folder.c_str(), &folder) == 0 && !S_ISDIR(folder.st_mode)) {
        message_error("cannot write reports to %s: it is not a folder; nothing asked",
                      outputs->folder.c_str());
        return EXIT_FAILURE;
    }
    return -1;
}

// Refuses report names that are one of the run's inputs: the pictures and
// the model's files. 0, or -1 after a message.
static int check_outputs(const command_args &args, const model &m, const report_outputs &outputs) {
    std::vector<std::string> files = {model_path(m, MODEL_MANIFEST), model_path(m, MODEL_NETWORK)};
    for (const model_example &e : m.examples) {
        files.push_back(model_example_file(m, e.number, ".act"));
        files.push_back(model_example_file(m, e.number, ".ppm"));
    }
    std::vector<const char *> inputs;
    for (const std::string &name : args.operands)
        inputs.push_back(name.c_str());
    for (const std::string &name : files)
        inputs.push_back(name.c_str());
    name_inputs set;
    name_collect_inputs(&set, inputs.data(), (int)inputs.size());
    for (const std::string &name : outputs.names)
        if (name_check_output_in(name.c_str(), set) != 0) return -1;
    return 0;
}

// Makes the --pictures folder when it is not there yet. 0, or -1 after a message.
static int make_folder(const std::string &folder) {
    if (mkdir(folder.c_str(), 0777) == 0 || errno == EEXIST) return 0;
    message_error("cannot make the folder %s: %s", folder.c_str(), strerror(errno));
    return -1;
}

int command_ask(const command_args &args) {
    if (args.operands.empty()) return command_usage_error("ask", "give at least one PICTURE");
    report_outputs outputs;
    int status = take_outputs(args, &outputs);
    if (status >= 0) return status;
    bool drawing = !outputs.names.empty();
    model m;
    if (model_open_for_recall(args.model.c_str(), &m) != 0) return EXIT_FAILURE;
    if (drawing) {
        if (check_outputs(args, m, outputs) != 0 || model_read_pictures(&m) != 0)
            return EXIT_FAILURE;
        drawing_take_examples(m);
    }
    std::vector<unsigned char> raster(PICTURE_RASTER_BYTES);
    std::vector<found_object> found;
    std::vector<object_answer> verdicts;
    bool failed = false;
    bool folder_made = false;
    long count = (long)args.operands.size();
    for (long i = 0; i < count; i++) {
        const char *picture = args.operands[i].c_str();
        if (count > 1) progress_show("asking, picture", i + 1, count);
        char error[PHOTO_ERROR_SIZE];
        if (!recognise_read(m, picture, raster.data(), error)) {
            progress_end();
            message_error("%s", error);
            failed = true;
            continue;
        }
        recognise_find(m, raster.data(), &found);
        if (found.empty()) {
            progress_end();
            message_error("%s: no object found", picture);
        }
        verdicts.resize(found.size());
        for (int j = 0; j < (int)found.size(); j++) {
            if (!recognise_judge(m, found[j].act, &verdicts[j])) return EXIT_FAILURE;
            print_verdict(m, picture, j, found[j], verdicts[j]);
        }
        if (!drawing) continue;
        progress_end();
        if (!outputs.folder.empty() && !folder_made) {
            if (make_folder(outputs.folder) != 0) return EXIT_FAILURE;
            folder_made = true;
        }
        if (drawing_save_report(picture, raster.data(), found, verdicts,
                                outputs.names[i].c_str()) != 0)
            failed = true;
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
        printf("%s: %d example%s\n", message_printable(entry.first.c_str()).c_str(), entry.second,
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
