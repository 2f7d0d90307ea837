// The model folder: its manifest, its examples' files and its network.
#include "model.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

#include "actfile.h"
#include "folderlock.h"
#include "messages.h"
#include "net.h"
#include "netfile.h"
#include "photo.h"
#include "ppmheader.h"
#include "recognise.h"
#include "savefile.h"

constexpr size_t LABEL_MAX = 64;

std::string model_path(const model &m, const char *name) {
    if (m.folder == ".") return name;
    return m.folder + (m.folder.back() == '/' ? "" : "/") + name;
}

std::string model_example_file(const model &m, int number, const char *extension) {
    return model_path(
        m, (std::string(MODEL_EXAMPLES) + "/" + std::to_string(number) + extension).c_str());
}

uint64_t model_hash(const char *bytes, size_t size) {
    uint64_t hash = 14695981039346656037ULL;
    for (size_t i = 0; i < size; i++) {
        hash ^= (unsigned char)bytes[i];
        hash *= 1099511628211ULL;
    }
    return hash;
}

bool model_check_label(const char *label) {
    const char *why = nullptr;
    if (!*label)
        why = "it is empty";
    else if (strlen(label) > LABEL_MAX)
        why = "it is longer than 64 bytes";
    else if (strcmp(label, "-") == 0)
        why = "'-' stands for \"nothing taught\"";
    for (const char *c = label; !why && *c; c++) {
        if ((unsigned char)*c < 0x20 || *c == 0x7f)
            why = "it holds a control character";
        else if (*c == '/')
            why = "it holds a '/'";
        else if (*c == ',')
            why = "it holds a ',', which separates the fields of a TRUTH file";
    }
    if (!why) return true;
    // The message route shows the label's unprintable bytes as '?'.
    message_error("label '%.80s': cannot be used: %s", label, why);
    return false;
}

// ---- The manifest

// The picture's name as the manifest keeps it: one line, control characters as '?'.
static std::string one_line(const std::string &text) {
    std::string line = text;
    for (char &c : line)
        if ((unsigned char)c < 0x20 || c == 0x7f) c = '?';
    return line;
}

static bool manifest_error(const std::string &path, int line, const char *why) {
    message_error("%s: line %d: %s; the model was not changed", path.c_str(), line, why);
    return false;
}

static bool parse_int(const std::string &text, int *value) {
    if (text.empty() || text.size() > 9) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    *value = atoi(text.c_str());
    return true;
}

static bool parse_box(const std::string &text, model_example *example) {
    int values[4];
    size_t at = 0;
    for (int i = 0; i < 4; i++) {
        size_t end = i < 3 ? text.find(',', at) : text.size();
        if (end == std::string::npos || !parse_int(text.substr(at, end - at), &values[i]))
            return false;
        at = end + 1;
    }
    example->x = values[0];
    example->y = values[1];
    example->width = values[2];
    example->height = values[3];
    return true;
}

// Reads the manifest's lines: "KEY VALUE", the value to the end of the line;
// '#' starts a comment line. The first line that is not a comment gives the
// format, so that a newer model is refused before anything else is read.
static bool manifest_read(const std::string &path, FILE *in, model *m) {
    char buffer[4096];
    int line_number = 0;
    bool format_seen = false;
    model_example *example = nullptr;
    while (fgets(buffer, sizeof buffer, in)) {
        line_number++;
        std::string line = buffer;
        if (line.empty() || line.back() != '\n')
            return manifest_error(path, line_number, "the line is too long or not ended");
        line.pop_back();
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        size_t space = line.find(' ');
        std::string key = line.substr(0, space);
        std::string value = space == std::string::npos ? "" : line.substr(space + 1);
        int number = 0;
        if (!format_seen) {
            if (key != "format" || !parse_int(value, &number))
                return manifest_error(path, line_number, "not a glim model (no format line)");
            if (number > MODEL_FORMAT) {
                message_error("%s: written by a newer glim (model format %d; this glim reads "
                              "format %d and older); use that glim or another --model",
                              path.c_str(), number, MODEL_FORMAT);
                return false;
            }
            format_seen = true;
        } else if (bool known; recognise_read_setting(key, value, m, &known)) {
            if (!known) return manifest_error(path, line_number, "unknown recognition setting");
        } else if (key == "rule") {
            if (value != "classic" && value != "margin")
                return manifest_error(path, line_number, "unknown learning rule");
            m->rule = value;
        } else if (key == "cycles" || key == "next") {
            if (!parse_int(value, &number)) return manifest_error(path, line_number, "bad number");
            (key == "cycles" ? m->cycles : m->next_number) = number;
        } else if (key == "network") {
            std::string prefix = std::string(MODEL_NETWORK) + " fnv1a64=";
            char *end = nullptr;
            if (value.compare(0, prefix.size(), prefix) != 0 || value.size() != prefix.size() + 16)
                return manifest_error(path, line_number, "bad network line");
            m->network_hash = strtoull(value.c_str() + prefix.size(), &end, 16);
            if (*end) return manifest_error(path, line_number, "bad network hash");
            m->has_network = true;
        } else if (key == "example") {
            if (!parse_int(value, &number))
                return manifest_error(path, line_number, "bad example number");
            m->examples.emplace_back();
            example = &m->examples.back();
            example->number = number;
        } else if (!example) {
            return manifest_error(path, line_number, "unknown key");
        } else if (key == "label") {
            if (!model_check_label(value.c_str()))
                return manifest_error(path, line_number, "bad label");
            example->label = value;
        } else if (key == "from") {
            example->source = value;
        } else if (key == "object") {
            if (!parse_int(value, &example->object))
                return manifest_error(path, line_number, "bad object number");
        } else if (key == "box") {
            if (!parse_box(value, example)) return manifest_error(path, line_number, "bad box");
        } else if (key == "pattern" || key == "picture") {
            std::string expected = std::string(MODEL_EXAMPLES) + "/" +
                                   std::to_string(example->number) +
                                   (key == "pattern" ? ".act" : ".ppm");
            if (value != expected)
                return manifest_error(path, line_number, "the file is not the example's");
        } else {
            return manifest_error(path, line_number, "unknown key");
        }
    }
    if (ferror(in)) {
        message_error("%s: cannot read: %s", path.c_str(), strerror(errno));
        return false;
    }
    if (!format_seen) return manifest_error(path, line_number, "not a glim model (no format line)");
    std::set<int> numbers;
    for (const model_example &e : m->examples) {
        if (e.label.empty()) return manifest_error(path, line_number, "an example has no label");
        if (!numbers.insert(e.number).second || e.number >= m->next_number)
            return manifest_error(path, line_number, "example numbers are not unique");
    }
    return true;
}

static void manifest_print(FILE *out, const model &m) {
    fprintf(out, "# glim model: the examples that glim teach stored and the options they\n"
                 "# were taught with. glim teach and glim forget rewrite this file.\n");
    fprintf(out, "format %d\n", MODEL_FORMAT);
    recognise_print_settings(out, m);
    fprintf(out, "rule %s\ncycles %d\nnext %d\n", m.rule.c_str(), m.cycles, m.next_number);
    if (m.has_network)
        fprintf(out, "network %s fnv1a64=%016llx\n", MODEL_NETWORK,
                (unsigned long long)m.network_hash);
    for (const model_example &e : m.examples) {
        fprintf(out, "\nexample %d\nlabel %s\nfrom %s\nobject %d\nbox %d,%d,%d,%d\n", e.number,
                e.label.c_str(), one_line(e.source).c_str(), e.object, e.x, e.y, e.width, e.height);
        fprintf(out, "pattern %s/%d.act\npicture %s/%d.ppm\n", MODEL_EXAMPLES, e.number,
                MODEL_EXAMPLES, e.number);
    }
}

static bool save_text(const std::string &path, const std::string &text) {
    save_file file;
    FILE *out = save_begin(&file, path.c_str());
    if (!out) return false;
    fwrite(text.data(), 1, text.size(), out);
    return save_commit(&file) == 0;
}

// Saves the manifest of m, replacing the folder's atomically.
static bool manifest_save(const model &m) {
    char *buffer = nullptr;
    size_t size = 0;
    FILE *out = open_memstream(&buffer, &size);
    if (!out) {
        message_error("model %s: out of memory", m.folder.c_str());
        return false;
    }
    manifest_print(out, m);
    fclose(out);
    std::string text(buffer, size);
    free(buffer);
    return save_text(model_path(m, MODEL_MANIFEST), text);
}

// ---- Opening

static bool make_folder(const std::string &path) {
    if (mkdir(path.c_str(), 0777) == 0 || errno == EEXIST) return true;
    message_error("model %s: cannot make the folder: %s", path.c_str(), strerror(errno));
    return false;
}

static bool file_exists(const std::string &path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

int model_open(const char *folder, bool create, model *m) {
    m->folder = folder;
    struct stat st;
    if (stat(folder, &st) != 0) {
        if (errno != ENOENT || !create) {
            message_error("model %s: %s", folder,
                          errno == ENOENT ? "no such folder; glim teach makes one"
                                          : strerror(errno));
            return -1;
        }
        if (!make_folder(folder)) return -1;
    } else if (!S_ISDIR(st.st_mode)) {
        message_error("model %s: not a folder", folder);
        return -1;
    }
    // The lock lasts until the process ends: no other glim changes the model
    // between the reading of the manifest and the writing of the change.
    folder_lock(folder, "glim");

    std::string manifest = model_path(*m, MODEL_MANIFEST);
    FILE *in = fopen(manifest.c_str(), "r");
    if (!in) {
        if (errno != ENOENT) {
            message_error("%s: cannot open: %s", manifest.c_str(), strerror(errno));
            return -1;
        }
        if (!create) {
            message_error("model %s: not a glim model (no %s); teach one with glim teach", folder,
                          MODEL_MANIFEST);
            return -1;
        }
        // A network that glim did not write is someone's work.
        if (file_exists(model_path(*m, MODEL_NETWORK))) {
            message_error("model %s: holds a %s that glim did not write (no %s); teach in "
                          "another folder (--model DIR)",
                          folder, MODEL_NETWORK, MODEL_MANIFEST);
            return -1;
        }
        return 0;
    }
    bool read = manifest_read(manifest, in, m);
    fclose(in);
    if (!read) return -1;
    m->exists = true;
    for (model_example &e : m->examples) {
        std::string pattern = model_example_file(*m, e.number, ".act");
        if (act_load(e.act, pattern.c_str()) != LOAD_OK) {
            message_error("%s: the example's pattern does not load; the model was not changed",
                          pattern.c_str());
            return -1;
        }
    }
    return recognise_prepare(m);
}

static bool read_example_picture(const std::string &path, std::vector<unsigned char> *rgb) {
    FILE *in = fopen(path.c_str(), "rb");
    if (!in) {
        message_error("%s: cannot open: %s", path.c_str(), strerror(errno));
        return false;
    }
    ppm_header header;
    rgb->resize(PICTURE_RASTER_BYTES);
    bool whole = ppm_read_header(in, &header) == PPM_OK && header.width == PICTURE_WIDTH &&
                 header.height == PICTURE_HEIGHT && header.maxval == 255 &&
                 fread(rgb->data(), 1, PICTURE_RASTER_BYTES, in) == PICTURE_RASTER_BYTES;
    fclose(in);
    if (!whole) message_error("%s: not the example's 80 x 60 picture", path.c_str());
    return whole;
}

int model_read_pictures(model *m) {
    for (model_example &e : m->examples)
        if (e.rgb.empty() &&
            !read_example_picture(model_example_file(*m, e.number, ".ppm"), &e.rgb))
            return -1;
    return 0;
}

// ---- The network

void model_teach(const model &m) {
    std::vector<const model_example *> order;
    for (const model_example &e : m.examples)
        order.push_back(&e);
    std::sort(order.begin(), order.end(), [](const model_example *a, const model_example *b) {
        if (a->label != b->label) return a->label < b->label;
        return std::lexicographical_compare(a->act, a->act + NETSIZE, b->act, b->act + NETSIZE);
    });
    std::vector<const int *> patterns;
    for (const model_example *e : order)
        recognise_example_patterns(m, (int)(e - m.examples.data()), &patterns);
    recognise_teach(patterns, m.rule, m.cycles);
}

static bool read_text(const std::string &path, std::string *text) {
    FILE *in = fopen(path.c_str(), "rb");
    if (!in) return false;
    char block[65536];
    size_t length;
    while ((length = fread(block, 1, sizeof block, in)) > 0)
        text->append(block, length);
    bool failed = ferror(in);
    fclose(in);
    return !failed;
}

int model_recall_network(model *m) {
    std::string path = model_path(*m, MODEL_NETWORK);
    std::string text;
    if (m->has_network && read_text(path, &text) &&
        model_hash(text.data(), text.size()) == m->network_hash) {
        net_verbose = 0;
        net_init();
        if (net_load_text(path.c_str(), text.data(), text.size()) == LOAD_OK && !net_broken)
            return 0;
    }
    message_error("%s: not the network of the model's examples (a change cut short?); taught "
                  "again from them for this run",
                  path.c_str());
    model_teach(*m);
    return net_broken ? -1 : 0;
}

// ---- Saving

static bool save_picture(const std::string &path, const std::vector<unsigned char> &rgb) {
    save_file file;
    FILE *out = save_begin(&file, path.c_str());
    if (!out) return false;
    fprintf(out, "P6\n%d %d\n255\n", PICTURE_WIDTH, PICTURE_HEIGHT);
    fwrite(rgb.data(), 1, rgb.size(), out);
    return save_commit(&file) == 0;
}

// Removes the files of examples/ named NUMBER.act or NUMBER.ppm that no
// example of the manifest just written names: those of forgotten examples
// and of changes cut short. Other files there are the user's.
static void remove_unnamed(const model &m) {
    std::set<int> named;
    for (const model_example &e : m.examples)
        named.insert(e.number);
    std::string folder = model_path(m, MODEL_EXAMPLES);
    DIR *dir = opendir(folder.c_str());
    if (!dir) return;
    std::vector<std::string> doomed;
    while (dirent *entry = readdir(dir)) {
        const char *name = entry->d_name;
        size_t digits = strspn(name, "0123456789");
        if (digits == 0 || digits > 9 ||
            (strcmp(name + digits, ".act") != 0 && strcmp(name + digits, ".ppm") != 0))
            continue;
        if (!named.count(atoi(name))) doomed.push_back(folder + "/" + name);
    }
    closedir(dir);
    for (const std::string &path : doomed)
        if (unlink(path.c_str()) != 0 && errno != ENOENT)
            message_error("%s: cannot remove: %s", path.c_str(), strerror(errno));
}

int model_save(model *m) {
    if (net_broken) {
        net_warn_broken();
        message_error("model %s: the network is broken; the model was not changed",
                      m->folder.c_str());
        return -1;
    }
    if (!make_folder(model_path(*m, MODEL_EXAMPLES))) return -1;
    // A new model gets its manifest first, so that whatever stops this run
    // leaves a folder that glim knows as its own.
    if (!m->exists) {
        model empty = *m;
        empty.examples.clear();
        empty.has_network = false;
        if (!manifest_save(empty)) return -1;
        m->exists = true;
    }
    for (model_example &e : m->examples) {
        if (!e.fresh) continue;
        if (act_save(e.act, model_example_file(*m, e.number, ".act").c_str()) != 0 ||
            !save_picture(model_example_file(*m, e.number, ".ppm"), e.rgb))
            return -1;
    }
    std::string network;
    netfile_write_text(&network);
    if (!save_text(model_path(*m, MODEL_NETWORK), network)) return -1;
    m->has_network = true;
    m->network_hash = model_hash(network.data(), network.size());
    if (!manifest_save(*m)) return -1;
    for (model_example &e : m->examples)
        e.fresh = false;
    remove_unnamed(*m);
    return 0;
}

int model_open_for_recall(const char *folder, model *m) {
    if (model_open(folder, false, m) != 0) return -1;
    if (m->examples.empty()) {
        message_error("model %s: nothing taught yet; teach with glim teach LABEL PICTURE", folder);
        return -1;
    }
    return model_recall_network(m);
}
