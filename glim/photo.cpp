// Photos through glimprep's decode-and-shrink, as glimprep's default command
// line brings them in.
#include "photo.h"

#include <cstdio>

#include "shrink.h"

static_assert(PHOTO_ERROR_SIZE >= PREP_LINE_SIZE, "glimprep's messages fit glim's");

bool photo_read(const char *path, unsigned char *raster, char *error, prep_rect *inside) {
    prep_request request;
    prep_made made;
    if (!prep_shrink_file(path, request, raster, &made, error)) return false;
    if (inside) *inside = prep_plan({0, 0, made.width, made.height}, request.mode).target;
    return true;
}
