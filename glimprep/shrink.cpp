// Opening a picture file safely, then decoding it straight into the shrinker.
#include "shrink.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Decodes in into raster; error gets the whole line.
bool shrink_stream(FILE *in, const char *name, const prep_request &request,
                   unsigned char *raster, prep_made *made, char *error) {
    char reason[PREP_ERROR_SIZE];
    prep_format format = prep_sniff_stream(in, reason);
    if (format == FORMAT_UNKNOWN) {
        snprintf(error, PREP_LINE_SIZE, "%.700s: %.200s", name, reason);
        return false;
    }
    prep_decode_options options;
    options.background = request.background;
    options.max_pixels = request.max_pixels;
    prep_shrinker shrinker(request.has_crop, request.crop, request.mode, request.background);
    if (!prep_decode_stream(in, format, options, &shrinker, reason)) {
        if (shrinker.refused)
            snprintf(error, PREP_LINE_SIZE, "%.200s", reason);
        else if (strcmp(reason, PREP_OUT_OF_MEMORY) == 0)
            snprintf(error, PREP_LINE_SIZE, "out of memory while decoding %.700s", name);
        else
            snprintf(error, PREP_LINE_SIZE, "%.700s: %.200s", name, reason);
        return false;
    }
    shrinker.finish(raster);
    made->format = format;
    made->width = shrinker.shown_width;
    made->height = shrinker.shown_height;
    return true;
}

} // namespace

bool prep_shrink_file(const char *path, const prep_request &request, unsigned char *raster,
                      prep_made *made, char *error) {
    // A FIFO would wait for a writer and a device could give endless bytes:
    // only a regular file is opened, and it is checked again once open, in
    // case another file took its name in between.
    struct stat before, after;
    if (stat(path, &before) != 0) {
        snprintf(error, PREP_LINE_SIZE, "%.700s: cannot open: %s", path, strerror(errno));
        return false;
    }
    const char *not_regular = "cannot read: it is not a regular file";
    if (!S_ISREG(before.st_mode)) {
        snprintf(error, PREP_LINE_SIZE, "%.700s: %s", path, not_regular);
        return false;
    }
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        snprintf(error, PREP_LINE_SIZE, "%.700s: cannot open: %s", path, strerror(errno));
        return false;
    }
    if (fstat(fd, &after) != 0 || !S_ISREG(after.st_mode)) {
        close(fd);
        snprintf(error, PREP_LINE_SIZE, "%.700s: %s", path, not_regular);
        return false;
    }
    FILE *in = fdopen(fd, "rb");
    if (!in) {
        close(fd);
        snprintf(error, PREP_LINE_SIZE, "out of memory while opening %.700s", path);
        return false;
    }
    bool done = shrink_stream(in, path, request, raster, made, error);
    fclose(in);
    return done;
}

bool prep_shrink_memory(const unsigned char *data, size_t size, const char *name,
                        const prep_request &request, unsigned char *raster, prep_made *made,
                        char *error) {
    if (size == 0) {
        snprintf(error, PREP_LINE_SIZE,
                 "%.700s: an empty file; glimprep reads PNG, JPEG and PNM (P1 to P6)", name);
        return false;
    }
    FILE *in = fmemopen(const_cast<unsigned char *>(data), size, "rb");
    if (!in) {
        snprintf(error, PREP_LINE_SIZE, "out of memory while decoding %.700s", name);
        return false;
    }
    bool done = shrink_stream(in, name, request, raster, made, error);
    fclose(in);
    return done;
}
