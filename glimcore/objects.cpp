// The per-object steps shared by the pattern maker and the recogniser.
#include "objects.h"

#include <cstdio>

#include "actfile.h"
#include "messages.h"
#include "names.h"
#include "pict2.h"
#include "scene.h"

int object_announce_and_encode(const char *path, int j, int *act) {
    return object_announce_and_encode_as(path, j, ENCODING_CLASSIC, 1.0, act);
}

int object_announce_and_encode_as(const char *path, int j, object_encoding encoding, double size,
                                  int *act) {
    printf("Processing Object Nr. %d\n", j);
    // The object is encoded before its coordinates are printed, so when the
    // picture cannot be encoded its message is the last line on the console.
    if (encode_object_as(path, object_x(j), object_y(j), object_width(j), object_height(j),
                         encoding, size, act) != 0)
        return -1;
    printf(" Object coordinates: %d,%d-%dx%d\n", object_x(j), object_y(j), object_width(j),
           object_height(j));
    return 0;
}

int object_save(const int *act, const char *mask, int j) {
    char name[NAME_SIZE];
    if (name_format(name, mask, j) != 0) return -1;
    printf(" Saving calculated activation to %s...\n", message_printable(name).c_str());
    int result = act_save(act, name);
    printf("\n");
    return result;
}

int object_encode(const char *path, int j, int *act) {
    return encode_object(path, object_x(j), object_y(j), object_width(j), object_height(j), act);
}

int object_save_line(const int *act, const char *mask, const char *picture, int j,
                     const char *extra) {
    char name[NAME_SIZE];
    if (name_format(name, mask, j) != 0 || act_save(act, name) != 0) return -1;
    printf("picture=%s object=%d box=%d,%d,%d,%d file=%s%s%s\n", message_printable(picture).c_str(),
           j, object_x(j), object_y(j), object_width(j), object_height(j),
           message_printable(name).c_str(), *extra ? " " : "", extra);
    return 0;
}
