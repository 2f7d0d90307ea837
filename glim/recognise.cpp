// glim's recognition over the suite's library: glimprep's photo input and
// its adjustments, glimcut's segmentation and the object encodings, glimlearn's
// rules, and the verdict and its limit.
#include "recognise.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>

#include "commands.h"
#include "encoding.h"
#include "ground.h"
#include "levels.h"
#include "messages.h"
#include "model.h"
#include "net.h"
#include "netmargin.h"
#include "photo.h"
#include "pict2.h"
#include "progress.h"
#include "scene.h"
#include "settings.h"
#include "verdict.h"

constexpr int LIMIT_MOST = NETSIZE;

int found_size(const found_object &object) {
    return object.width * object.height;
}

// ---- Settings

static bool rule_of(const std::string &name, verdict_rule *rule) {
    if (name == "settled")
        *rule = VERDICT_SETTLED;
    else if (name == "nearest")
        *rule = VERDICT_NEAREST;
    else if (name == "agreed")
        *rule = VERDICT_AGREED;
    else
        return false;
    return true;
}

// The sizes of a LIST in their one spelling ("0.8,1,1.25"), or false after
// encoding_parse_sizes's message.
static bool sizes_of(const std::string &text, std::string *canonical, encoding_choice *choice) {
    if (encoding_parse_sizes(text.c_str(), choice) != 0) return false;
    std::string spelled;
    for (int k = 0; k < choice->size_count; k++) {
        char one[32];
        snprintf(one, sizeof one, "%s%g", k ? "," : "", choice->sizes[k]);
        spelled += one;
    }
    *canonical = spelled;
    return true;
}

static bool limit_of(const std::string &text, int *limit, bool *derived) {
    if (text == "derived") {
        *derived = true;
        return true;
    }
    if (text.empty() || text.size() > 3 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    *limit = atoi(text.c_str());
    *derived = false;
    return *limit <= LIMIT_MOST;
}

// One whole set of recognition settings, with a fixed limit.
static void set_settings(model *m, const char *encoding, const char *sizes, bool grey, bool levels,
                         const char *verdict, int limit, int gap) {
    m->encoding = encoding;
    m->sizes = sizes;
    m->grey = grey;
    m->levels = levels;
    m->verdict = verdict;
    m->limit = limit;
    m->limit_derived = false;
    m->gap = gap;
    m->ground_clear = false;
}

// The plumbing's recognition: photos as glimprep brings them in, glimcut's
// encoding and glimview report's verdict, as glim had before it measured
// better ones (and as a format 1 model means).
static void classic_settings(model *m) {
    set_settings(m, "classic", "1", false, false, "settled", 6, 0);
}

// glim's defaults for a new model, chosen on bench/recognition's tuning set
// (README, "How well glim recognises"): photos as their luminance with their
// levels stretched, so that objects of any colour and under dim light are
// found; the detail encoding (the object's own picture on a 16 x 16 grid,
// half its cells its outline and half its brightest parts, which a moved,
// resized or dimmed copy changes in a few cells, and which tells apart
// objects of one outline better than the silhouette alone), taught at
// five sizes; an object named after the nearest taught pattern within 24
// units, and only when every other label lies at least 8 units farther. The
// normalised and classic encodings named half as many objects right; the
// network's own settling and the limit derived from the examples named far
// fewer, never fewer wrong.
static void default_settings(model *m) {
    set_settings(m, "detail", "0.8,0.9,1,1.1,1.25", true, true, "nearest", 24, 8);
}

// The first teach option whose setting differs between a and b, or null.
static const char *differing_option(const model &a, const model &b) {
    if (a.encoding != b.encoding) return "--encoding";
    if (a.sizes != b.sizes) return "--sizes";
    if (a.grey != b.grey) return b.grey ? "--grey" : "--no-grey";
    if (a.levels != b.levels) return "--levels";
    if (a.ground_clear != b.ground_clear) return "--ground";
    if (a.verdict != b.verdict) return "--verdict";
    if (a.limit_derived != b.limit_derived || (!a.limit_derived && a.limit != b.limit))
        return "--limit";
    if (a.gap != b.gap) return "--gap";
    return nullptr;
}

int recognise_options(const command_args &args, model *m) {
    // What the command line asks for: --classic or, for a new model, glim's
    // defaults, then each setting given.
    model want = *m;
    if (args.has("--classic"))
        classic_settings(&want);
    else if (!m->exists)
        default_settings(&want);
    if (args.has("--encoding")) {
        const std::string &value = args.options.at("--encoding");
        object_encoding encoding;
        if (!encoding_from_name(value.c_str(), &encoding))
            return command_usage_error(
                "teach", ("--encoding takes " + std::string(encoding_names())).c_str());
        want.encoding = value;
    }
    if (args.has("--sizes")) {
        encoding_choice choice;
        if (!sizes_of(args.options.at("--sizes"), &want.sizes, &choice)) return GLIM_USAGE;
    }
    if (args.has("--grey") && args.has("--no-grey"))
        return command_usage_error("teach", "--grey and --no-grey exclude each other");
    if (args.has("--grey") || args.has("--no-grey")) want.grey = args.has("--grey");
    if (args.has("--levels")) {
        const std::string &value = args.options.at("--levels");
        if (value != "auto" && value != "none")
            return command_usage_error("teach", "--levels takes auto or none");
        want.levels = value == "auto";
    }
    if (args.has("--ground")) {
        const std::string &value = args.options.at("--ground");
        if (value != "clear" && value != "keep")
            return command_usage_error("teach", "--ground takes clear or keep");
        want.ground_clear = value == "clear";
    }
    if (args.has("--verdict")) {
        const std::string &value = args.options.at("--verdict");
        verdict_rule rule;
        if (!rule_of(value, &rule))
            return command_usage_error("teach", "--verdict takes settled, nearest or agreed");
        want.verdict = value;
    }
    if (args.has("--limit") &&
        !limit_of(args.options.at("--limit"), &want.limit, &want.limit_derived))
        return command_usage_error("teach",
                                   "--limit takes derived or a number of units from 0 to 256");
    if (args.has("--gap")) {
        bool derived = false;
        if (!limit_of(args.options.at("--gap"), &want.gap, &derived) || derived)
            return command_usage_error("teach", "--gap takes a number of units from 0 to 256");
    }
    // The examples were encoded and are judged as the model says: a model
    // keeps its settings, so that its answers never change under it.
    if (m->exists) {
        if (const char *option = differing_option(*m, want)) {
            std::string what = std::string(args.has("--classic") ? "--classic" : option) +
                               ": the model was taught otherwise (see its glim-model.txt); teach "
                               "another model (--model DIR) for other settings";
            return command_usage_error("teach", what.c_str());
        }
        return 0;
    }
    *m = want;
    return 0;
}

void recognise_print_settings(FILE *out, const model &m) {
    fprintf(out, "encoding %s\nsizes %s\nphoto %s\nverdict %s\n", m.encoding.c_str(),
            m.sizes.c_str(),
            m.grey && m.levels ? "grey,levels"
            : m.grey           ? "grey"
            : m.levels         ? "levels"
                               : "plain",
            m.verdict.c_str());
    if (m.limit_derived)
        fprintf(out, "limit derived\n");
    else
        fprintf(out, "limit %d\n", m.limit);
    fprintf(out, "gap %d\n", m.gap);
    // Only a cleared ground is written: a manifest without the line, from
    // before the setting or from a glim that keeps the ground, keeps it.
    if (m.ground_clear) fprintf(out, "ground clear\n");
}

bool recognise_read_setting(const std::string &key, const std::string &value, model *m,
                            bool *known) {
    *known = true;
    object_encoding encoding;
    verdict_rule rule;
    if (key == "encoding") {
        *known = encoding_from_name(value.c_str(), &encoding);
        m->encoding = value;
    } else if (key == "sizes") {
        encoding_choice choice;
        std::string canonical;
        // A list that is not in its one spelling was not written by glim.
        *known = sizes_of(value, &canonical, &choice) && canonical == value;
        m->sizes = value;
    } else if (key == "photo") {
        *known = value == "plain" || value == "grey" || value == "levels" || value == "grey,levels";
        m->grey = value == "grey" || value == "grey,levels";
        m->levels = value == "levels" || value == "grey,levels";
    } else if (key == "ground") {
        *known = value == "clear" || value == "keep";
        m->ground_clear = value == "clear";
    } else if (key == "verdict") {
        *known = rule_of(value, &rule);
        m->verdict = value;
    } else if (key == "limit") {
        *known = limit_of(value, &m->limit, &m->limit_derived);
    } else if (key == "gap") {
        bool derived = false;
        *known = limit_of(value, &m->gap, &derived) && !derived;
    } else {
        return false;
    }
    return true;
}

// ---- Photos and objects

bool recognise_read(const model &m, const char *path, unsigned char *raster, char *error) {
    prep_rect inside;
    if (!photo_read(path, raster, error, &inside)) return false;
    // The ground is cleared on the colours, before the luminance hides them.
    if (m.ground_clear) prep_clear_ground(raster, inside);
    if (m.grey) prep_grey(raster);
    if (m.levels) prep_levels_auto(raster, inside);
    return true;
}

static encoding_choice model_choice(const model &m) {
    encoding_choice choice;
    object_encoding encoding = ENCODING_CLASSIC;
    encoding_from_name(m.encoding.c_str(), &encoding);
    choice.encoding = encoding;
    std::string canonical;
    if (m.sizes != "1") sizes_of(m.sizes, &canonical, &choice);
    return choice;
}

void recognise_find(const model &m, const unsigned char *raster,
                    std::vector<found_object> *objects) {
    encoding_choice choice = model_choice(m);
    scene_segment_raster(raster, PICTURE_WIDTH, PICTURE_HEIGHT);
    objects->clear();
    for (int j = 0; j < object_count(); j++) {
        found_object object;
        object.x = object_x(j);
        object.y = object_y(j);
        object.width = object_width(j);
        object.height = object_height(j);
        // The classic encoding at size 1 is glimcut's, from the same raster.
        if (choice.encoding == ENCODING_CLASSIC)
            encode_object_raster(raster, object.x, object.y, object.width, object.height,
                                 object.act);
        else
            encode_box(raster, object.x, object.y, object.width, object.height, choice.encoding,
                       1.0, object.act);
        for (int k = 0; k < choice.size_count; k++) {
            if (choice.sizes[k] == 1.0) continue;
            std::vector<int> act(NETSIZE);
            encode_box(raster, object.x, object.y, object.width, object.height, choice.encoding,
                       choice.sizes[k], act.data());
            object.sized.push_back(act);
        }
        objects->push_back(object);
    }
}

int recognise_prepare(model *m) {
    if (m->sizes != "1") {
        if (model_read_pictures(m) != 0) return -1;
        std::vector<found_object> found;
        for (model_example &e : m->examples) {
            if (!e.sized.empty()) continue;
            recognise_find(*m, e.rgb.data(), &found);
            bool same = e.object < (int)found.size() && found[e.object].x == e.x &&
                        found[e.object].y == e.y && found[e.object].width == e.width &&
                        found[e.object].height == e.height;
            if (!same) {
                message_error("model %s: example %d: its picture no longer holds its object; the "
                              "model was not changed",
                              m->folder.c_str(), e.number);
                return -1;
            }
            e.sized = found[e.object].sized;
        }
    }
    if (m->limit_derived) {
        std::vector<const int *> patterns;
        std::vector<int> labels;
        std::map<std::string, int> numbers;
        for (int e = 0; e < (int)m->examples.size(); e++) {
            int label = numbers.emplace(m->examples[e].label, (int)numbers.size()).first->second;
            std::vector<const int *> own;
            recognise_example_patterns(*m, e, &own);
            for (const int *p : own) {
                patterns.push_back(p);
                labels.push_back(label);
            }
        }
        m->limit = verdict_limit(patterns.data(), labels.data(), (int)patterns.size());
    }
    return 0;
}

void recognise_example_patterns(const model &m, int e, std::vector<const int *> *patterns) {
    const model_example &example = m.examples[e];
    patterns->push_back(example.act);
    for (const std::vector<int> &act : example.sized)
        patterns->push_back(act.data());
}

// ---- Teaching

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

// ---- Judging

bool recognise_judge(const model &m, const int *encoding, object_answer *result) {
    int settled[NETSIZE];
    memcpy(settled, encoding, sizeof settled);
    verdict_rule rule = VERDICT_SETTLED;
    rule_of(m.verdict, &rule);
    if (rule != VERDICT_NEAREST && !net_iterate(settled, RECALL_LIMIT)) {
        net_warn_broken();
        return false;
    }
    // Every pattern of every example, each standing for its example's label;
    // a label's first example answers for it.
    std::vector<const int *> patterns;
    std::vector<int> labels;
    std::vector<int> first_example;
    std::map<std::string, int> numbers;
    for (int e = 0; e < (int)m.examples.size(); e++) {
        auto entry = numbers.emplace(m.examples[e].label, (int)numbers.size());
        if (entry.second) first_example.push_back(e);
        std::vector<const int *> own;
        recognise_example_patterns(m, e, &own);
        for (const int *p : own) {
            patterns.push_back(p);
            labels.push_back(entry.first->second);
        }
    }
    // The network settles a shape it never learned into some learned pattern
    // too, but from farther away: an object is taken for what it settles into
    // only when settling moved it little (the settled rule), or when its own
    // encoding lies near a taught one (nearest), or both (agreed).
    verdict v = verdict_judge(patterns.data(), labels.data(), (int)patterns.size(), encoding,
                              settled, m.limit, rule);
    // Two labels about as near leave the object's label in doubt: it is
    // named only when every other label lies at least gap units farther.
    if (v.object >= 0 && m.gap > 0) {
        int own = NETSIZE, other = NETSIZE + m.gap;
        for (size_t i = 0; i < patterns.size(); i++) {
            int d = verdict_distance(encoding, patterns[i]);
            int &nearest = labels[i] == v.object ? own : other;
            nearest = std::min(nearest, d);
        }
        if (other - own < m.gap) v.object = -1;
    }
    result->recognised = v.object >= 0 ? first_example[v.object] : -1;
    result->nearest = v.nearest >= 0 ? first_example[v.nearest] : -1;
    result->bits = v.bits;
    return true;
}

bool recognise_stable(const int *pattern) {
    int settled[NETSIZE];
    memcpy(settled, pattern, sizeof settled);
    if (!net_iterate(settled, RECALL_LIMIT)) return false;
    return memcmp(settled, pattern, sizeof settled) == 0;
}
