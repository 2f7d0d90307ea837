// The steps that glimcut and glimsee take for each object of a picture, after
// scene_load has found the objects.
#pragma once

// Prints "Processing Object Nr. j", encodes object j of the picture at path
// into act (NETSIZE units) and prints the object's coordinates. Ends the
// process as encode_object does when the picture cannot be encoded.
void object_encode(const char *path, int j, int *act);

// Names the file of object j from a checked mask, prints that act is saved
// there, saves it and ends the object's output with an empty line.
// 0 on success; -1 after a message when the file could not be written.
int object_save(const int *act, const char *mask, int j);
