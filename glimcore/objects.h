// The steps that glimcut and glimsee take for each object of a picture, after
// scene_load has found the objects.
#pragma once

#include "encoding.h"

// Announces object j on the console ("Processing Object Nr. j"), encodes it
// from the picture at path into act (NETSIZE units) and prints its
// coordinates. 0 on success; -1 after encode_object's message when the picture
// cannot be encoded, and the program should then end with status 1.
int object_announce_and_encode(const char *path, int j, int *act);

// The same with the encoding and size chosen on the command line; classic at
// size 1 is object_announce_and_encode.
int object_announce_and_encode_as(const char *path, int j, object_encoding encoding, double size,
                                  int *act);

// Names the file of object j from a checked mask, prints that act is saved
// there, saves it and ends the object's output with an empty line.
// 0 on success; -1 after a message when the file could not be written.
int object_save(const int *act, const char *mask, int j);

// The quiet form of the two steps, for runs over many pictures that print
// only a line per object: encodes object j without a word (0, or -1 after
// encode_object's message), and saves act, then prints
// "picture=PICTURE object=J box=X,Y,W,H file=NAME", extra (when not empty,
// after a blank) and a line end. 0 on success; -1 after a message.
int object_encode(const char *path, int j, int *act);
int object_save_line(const int *act, const char *mask, const char *picture, int j,
                     const char *extra);
