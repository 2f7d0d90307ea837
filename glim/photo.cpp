// Photos through glimprep's decode-and-shrink, as glimprep's default command
// line brings them in.
#include "photo.h"

#include <cstdio>

#include "shrink.h"

static_assert(PHOTO_WIDTH == PREP_WIDTH && PHOTO_HEIGHT == PREP_HEIGHT,
              "glim's pictures are glimprep's");
static_assert(PHOTO_ERROR_SIZE >= PREP_LINE_SIZE, "glimprep's messages fit glim's");

bool photo_read(const char *path, unsigned char *raster, char *error) {
    prep_request request;
    prep_made made;
    return prep_shrink_file(path, request, raster, &made, error);
}
