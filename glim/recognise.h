// What glim does with a picture and its objects: finds and encodes them,
// teaches their patterns to the network and judges an object against the
// taught examples. Each step is one function, so that a better encoder,
// learning rule or verdict replaces one body.
#pragma once

#include <string>
#include <vector>

#include "netsize.h"

struct found_object {
    int x, y, width, height; // the box as glimcut prints it
    int act[NETSIZE];        // the object's encoding
};

// The box's area in pixels: what "largest" and --min-size measure.
int found_size(const found_object &object);

// Segments the 80 x 60 RGB raster and encodes each of its objects, in
// glimcut's order.
void recognise_find(const unsigned char *raster, std::vector<found_object> *objects);

// Teaches a fresh network the patterns, in the order given, with the rule
// named ("margin" or "classic") for at most cycles cycles; the margin rule
// stops once every pattern is stored with its margin.
void recognise_teach(const std::vector<const int *> &patterns, const std::string &rule, int cycles);

struct verdict {
    int recognised; // the example the object is taken for, or -1 for unknown
    int nearest;    // the example nearest to it (the one it settled into when that is one)
    int bits;       // the units between the object's encoding and the nearest example
};

// Judges encoding against the examples in the network in memory: recognised
// when it settles into an example's pattern and settling changed at most
// limit units. nearest is -1 when there are no examples. false on a broken
// network, after its message.
bool recognise_judge(const std::vector<const int *> &examples, const int *encoding, int limit,
                     verdict *result);

// Whether pattern is a fixed point of the network in memory.
bool recognise_stable(const int *pattern);
