// Photos through glimprep's decoders and scaler, as glimprep's default
// command line brings them in.
#include "photo.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <vector>

#include "decode.h"
#include "fit.h"

static_assert(PHOTO_WIDTH == PREP_WIDTH && PHOTO_HEIGHT == PREP_HEIGHT,
              "glim's pictures are glimprep's");

static bool read_whole(const char *path, std::vector<unsigned char> *data, char *error) {
    struct stat st;
    if (stat(path, &st) == 0 && !S_ISREG(st.st_mode)) {
        snprintf(error, PHOTO_ERROR_SIZE, "%s: cannot read: not a regular file", path);
        return false;
    }
    FILE *in = fopen(path, "rb");
    if (!in) {
        snprintf(error, PHOTO_ERROR_SIZE, "%s: cannot open: %s", path, strerror(errno));
        return false;
    }
    unsigned char block[65536];
    size_t length;
    while ((length = fread(block, 1, sizeof block, in)) > 0)
        data->insert(data->end(), block, block + length);
    int failure = ferror(in) ? errno : 0;
    fclose(in);
    if (failure) {
        snprintf(error, PHOTO_ERROR_SIZE, "%s: cannot read: %s", path, strerror(failure));
        return false;
    }
    return true;
}

bool photo_read(const char *path, unsigned char *raster, char *error) {
    std::vector<unsigned char> data;
    if (!read_whole(path, &data, error)) return false;
    prep_decode_options options;
    prep_picture picture;
    char reason[PREP_ERROR_SIZE];
    if (!prep_decode(data.data(), data.size(), options, &picture, reason)) {
        snprintf(error, PHOTO_ERROR_SIZE, "%s: %s", path, reason);
        return false;
    }
    prep_rect whole = {0, 0, picture.width, picture.height};
    prep_scale(picture, prep_plan(whole, FIT_PAD), options.background, raster);
    return true;
}
