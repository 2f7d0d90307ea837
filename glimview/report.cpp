// glimview report: cuts the training pictures into learned patterns and the
// picture into objects in one process, without writing a pattern file, then
// settles each object in the network and prints one line per object.
#include "report.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "messages.h"
#include "names.h"
#include "netfile.h"
#include "netmeasure.h"
#include "pict2.h"
#include "ppmheader.h"
#include "scene.h"
#include "settings.h"
#include "verdict.h"
#include "views.h"

// A labels file names learned objects, one per line; a file beyond this is
// not one, and reading it whole would only fill the memory.
constexpr long LABELS_MOST_BYTES = 1L << 20;

// Opens name for reading without waiting: a FIFO whose writer never comes
// must not hold the report up. A file that is not a regular file (a FIFO, a
// device, a folder) is refused, since it cannot be read again or never ends.
// The stream, or null after a message that names what as the kind of file.
static FILE *open_regular(const char *name, const char *what) {
    struct stat st;
    if (stat(name, &st) == 0 && !S_ISREG(st.st_mode)) {
        message_error("cannot read %s %s: it is not a regular file", what, name);
        return nullptr;
    }
    int fd = open(name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        message_error("cannot open %s %s: %s", what, name, strerror(errno));
        return nullptr;
    }
    // The name may have been replaced between the look and the open.
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        message_error("cannot read %s %s: it is not a regular file", what, name);
        close(fd);
        return nullptr;
    }
    FILE *in = fdopen(fd, "rb");
    if (!in) {
        message_error("cannot open %s %s: %s", what, name, strerror(errno));
        close(fd);
        return nullptr;
    }
    return in;
}

// The learned object whose pattern is nearest to act, the first of equals;
// that distance in *distance.
static int nearest_learned(const report &result, const int *act, int *distance) {
    int best = -1;
    for (const report_pattern &pattern : result.patterns) {
        int d = verdict_distance(act, pattern.act.data());
        if (best < 0 || d < *distance) {
            best = pattern.object;
            *distance = d;
        }
    }
    return best;
}

// Reads a picture the suite's programs take: P6, 80 x 60, maximum 255. The
// encoder would end the process on any other, so it is checked here first.
static bool read_picture(const char *name, report_picture *picture) {
    picture->name = name;
    FILE *in = open_regular(name, "picture");
    if (!in) return false;
    ppm_header header;
    bool fits = ppm_read_header(in, &header) == PPM_OK && strcmp(header.magic, "P6") == 0 &&
                header.width == PICTURE_WIDTH && header.height == PICTURE_HEIGHT &&
                header.maxval == 255;
    picture->rgb.resize(PICTURE_RASTER_BYTES);
    bool whole =
        fits && fread(picture->rgb.data(), 1, PICTURE_RASTER_BYTES, in) == PICTURE_RASTER_BYTES;
    fclose(in);
    if (!fits)
        message_error("cannot read picture %s: it is not an " GLIM_PICTURE_SIZE
                      " PPM picture (P6, maximum "
                      "255); glimprep makes one",
                      name);
    else if (!whole)
        message_error("cannot read picture %s: it ends before its last pixel", name);
    return whole;
}

// Segments a picture already read and encodes each object at each of the
// sizes, as glimcut does, from the raster in memory: the file is read once.
// acts holds the patterns object by object, size_count of them each.
static void cut_objects(const report_picture &picture, object_encoding encoding,
                        const double *sizes, int size_count, std::vector<report_box> *boxes,
                        std::vector<std::vector<int>> *acts) {
    scene_segment_raster(picture.rgb.data(), PICTURE_WIDTH, PICTURE_HEIGHT);
    for (int j = 0; j < object_count(); j++) {
        report_box box = {object_x(j), object_y(j), object_width(j), object_height(j)};
        boxes->push_back(box);
        for (int k = 0; k < size_count; k++) {
            std::vector<int> act(NETSIZE);
            encode_box(picture.rgb.data(), box.x, box.y, box.width, box.height, encoding, sizes[k],
                       act.data());
            acts->push_back(act);
        }
    }
}

static bool read_labels(const char *name, std::vector<std::string> *labels) {
    FILE *in = open_regular(name, "labels");
    if (!in) return false;
    struct stat st;
    if (fstat(fileno(in), &st) == 0 && st.st_size > LABELS_MOST_BYTES) {
        message_error("cannot read labels %s: it holds more than %ld bytes", name,
                      LABELS_MOST_BYTES);
        fclose(in);
        return false;
    }
    std::string line;
    int c;
    long bytes = 0;
    while ((c = getc(in)) != EOF) {
        // A file that grows while it is read is held to the same ceiling.
        if (++bytes > LABELS_MOST_BYTES) {
            message_error("cannot read labels %s: it holds more than %ld bytes", name,
                          LABELS_MOST_BYTES);
            fclose(in);
            return false;
        }
        // A label is shown as text; a NUL would cut it where the console
        // and the picture show it.
        if (c == '\0') {
            message_error("cannot read labels %s: line %d holds a NUL byte", name,
                          (int)labels->size() + 1);
            fclose(in);
            return false;
        }
        if (c != '\n') {
            line += (char)c;
            continue;
        }
        if (!line.empty() && line.back() == '\r') line.pop_back();
        labels->push_back(line);
        line.clear();
    }
    if (!line.empty()) labels->push_back(line);
    // The reason is taken where the read stopped, before fclose may change errno.
    bool failed = ferror(in);
    int error = errno;
    fclose(in);
    if (failed) message_error("cannot read labels %s: %s", name, strerror(error));
    return !failed;
}

// One line per object, fields in a fixed order; the label, which may hold
// spaces, comes last and runs to the end of the line.
static void print_object(const report &result, int j) {
    const report_object &object = result.objects[j];
    printf("object=%d box=%d,%d,%d,%d before=%d before_bits=%d after=%d after_bits=%d "
           "moved_bits=%d",
           j, object.box.x, object.box.y, object.box.width, object.box.height,
           object.nearest_before, object.distance_before, object.nearest_after,
           object.distance_after, object.moved);
    if (object.recognised >= 0)
        printf(" verdict=recognised learned=%d label=%s\n", object.recognised,
               object.recognised < (int)result.labels.size() &&
                       !result.labels[object.recognised].empty()
                   ? message_printable(result.labels[object.recognised].c_str()).c_str()
                   : "-");
    else if (result.names_nearest && object.nearest >= 0)
        printf(" verdict=unknown learned=- nearest=%s nearest_bits=%d label=-\n",
               message_printable(report_label(result, object.nearest).c_str()).c_str(),
               object.nearest_bits);
    else
        printf(" verdict=unknown learned=- label=-\n");
}

// With --encoding or --sizes, a first line says how the objects were encoded
// and which limit judged them.
static void print_settings(const report &result, const encoding_choice &choice, bool limit_given) {
    std::string sizes;
    for (int k = 0; k < choice.size_count; k++) {
        char size[32];
        snprintf(size, sizeof size, "%s%g", k ? "," : "", choice.sizes[k]);
        sizes += size;
    }
    printf("encoding=%s sizes=%s learned=%d patterns=%d limit=%d limit_from=%s\n",
           encoding_name(choice.encoding), sizes.c_str(), (int)result.learned.size(),
           (int)result.patterns.size(), result.limit, limit_given ? "option" : "patterns");
}

// Every picture and the labels file are looked at before any is read: a
// FIFO, a device or a folder among them is refused before the work starts.
static bool inputs_are_files(const view_request &request) {
    if (scene_check_picture(request.operands[0]) != 0) return false;
    for (const char *name : request.learned)
        if (scene_check_picture(name) != 0) return false;
    struct stat st;
    if (request.labels && stat(request.labels, &st) == 0 && !S_ISREG(st.st_mode)) {
        message_error("cannot read labels %s: it is not a regular file", request.labels);
        return false;
    }
    return true;
}

int view_report(const view_request &request) {
    if (request.learned.empty()) {
        message_error("cannot run report: give the training pictures with --learned; see "
                      "glimview --help");
        return -1;
    }
    if (!inputs_are_files(request)) return -1;
    report result;
    result.limit = request.limit;
    result.names_nearest = request.chosen;
    if (request.labels && !read_labels(request.labels, &result.labels)) return -1;

    // The learned patterns: every training picture's objects in glimcut's
    // order, numbered on from one picture to the next.
    const encoding_choice &choice = request.choice;
    for (const char *name : request.learned) {
        report_picture picture;
        if (!read_picture(name, &picture)) return -1;
        std::vector<report_box> boxes;
        std::vector<std::vector<int>> acts;
        cut_objects(picture, choice.encoding, choice.sizes, choice.size_count, &boxes, &acts);
        for (size_t j = 0; j < boxes.size(); j++) {
            int object = (int)result.learned.size();
            result.learned.push_back({(int)result.training.size(), boxes[j]});
            for (int k = 0; k < choice.size_count; k++)
                result.patterns.push_back({object, acts[j * choice.size_count + k]});
        }
        // Only the learned objects that the picture draws need their pixels.
        if (result.learned.size() - boxes.size() >= (size_t)REPORT_STRIP_MOST)
            std::vector<unsigned char>().swap(picture.rgb);
        result.training.push_back(picture);
    }
    // A labels file of another length names the objects wrongly from the
    // first one it misses; the report goes on, but says so.
    if (request.labels && result.labels.size() != result.learned.size())
        message_error("labels file %s: %d labels for %d learned objects", request.labels,
                      (int)result.labels.size(), (int)result.learned.size());
    if (result.learned.empty()) {
        message_error("cannot make a report: the training pictures hold no objects");
        return -1;
    }
    // The learned patterns and their objects as the verdict's calls take them.
    std::vector<const int *> patterns;
    std::vector<int> objects;
    for (const report_pattern &pattern : result.patterns) {
        patterns.push_back(pattern.act.data());
        objects.push_back(pattern.object);
    }
    // No pattern can lie within the derived limit of two objects' patterns.
    if (request.chosen && !request.limit_given)
        result.limit = verdict_limit(patterns.data(), objects.data(), (int)patterns.size());
    if (view_load_network(request.network) != 0) return -1;
    // Settling in a network whose weights ran away says little about the
    // objects: the verdicts are given, with a warning.
    int diverged = net_count_diverged();
    if (diverged > 0)
        message_error("warning: network %s: %d of %d weights and thresholds are infinite, NaN or "
                      "beyond %G: learning diverged and the verdicts are unreliable",
                      request.network, diverged, weightsize + NETSIZE, NET_DIVERGED_MAGNITUDE);

    std::vector<report_box> boxes;
    std::vector<std::vector<int>> acts;
    if (!read_picture(request.operands[0], &result.subject)) return -1;
    const double size_as_seen = 1.0;
    cut_objects(result.subject, choice.encoding, &size_as_seen, 1, &boxes, &acts);
    for (size_t j = 0; j < boxes.size(); j++) {
        report_object object;
        object.box = boxes[j];
        const std::vector<int> encoding = acts[j];
        object.nearest_before = nearest_learned(result, encoding.data(), &object.distance_before);
        if (!net_iterate(acts[j].data(), RECALL_LIMIT)) {
            net_warn_broken();
            return -1;
        }
        object.nearest_after = nearest_learned(result, acts[j].data(), &object.distance_after);
        // Recognised: the settled pattern is a learned one, and the encoding
        // started near enough to it; the network settles a shape it never
        // learned into some learned pattern too, but from farther away.
        object.moved = verdict_distance(encoding.data(), acts[j].data());
        object.recognised =
            object.distance_after == 0 && object.moved <= result.limit ? object.nearest_after : -1;
        if (result.names_nearest) {
            // The same rule, with the object it weighed for an unknown one.
            verdict v =
                verdict_judge(patterns.data(), objects.data(), (int)patterns.size(),
                              encoding.data(), acts[j].data(), result.limit, VERDICT_SETTLED);
            object.recognised = v.object;
            object.nearest = v.nearest;
            object.nearest_bits = v.bits;
        }
        result.objects.push_back(object);
    }
    if (request.chosen) print_settings(result, choice, request.limit_given);
    for (int j = 0; j < (int)result.objects.size(); j++)
        print_object(result, j);
    if ((int)result.learned.size() > REPORT_STRIP_MOST)
        message_note("the picture shows the first %d of the %d learned objects", REPORT_STRIP_MOST,
                     (int)result.learned.size());
    return report_draw(result, request.out_name);
}
