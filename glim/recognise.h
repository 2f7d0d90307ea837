// What glim does with a picture and its objects: brings the photo in, finds
// and encodes its objects, teaches their patterns to the network and judges
// an object against the taught examples. Each step is one function, so that
// a better encoder, learning rule or verdict replaces one body.
//
// How each step is done is the model's: the manifest records the photo
// adjustment, the encoding, the sizes each example is taught at, the verdict
// rule and the limit, so a model answers the same whatever glim's defaults
// become.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "netsize.h"

struct model;
struct command_args;

struct found_object {
    int x, y, width, height;             // the box as glimcut prints it
    int act[NETSIZE];                    // the object's encoding
    std::vector<std::vector<int>> sized; // its encoding at the model's other sizes
};

// The box's area in pixels: what "largest" and --min-size measure.
int found_size(const found_object &object);

// Gives a model that has no manifest yet glim's recognition defaults, then
// takes teach's options (--encoding, --sizes, --grey, --levels, --ground,
// --verdict, --limit). A model that exists keeps what it was taught with; an
// option that asks for something else is refused. 0, or the exit status after a message.
int recognise_options(const command_args &args, model *m);

// The manifest lines of the recognition settings and their reading: true when
// key is one of them (with *known false after a message when its value is not
// understood).
void recognise_print_settings(FILE *out, const model &m);
bool recognise_read_setting(const std::string &key, const std::string &value, model *m,
                            bool *known);

// Reads the picture at path into raster (80 x 60 RGB) as the model brings
// photos in. true, or false with a "what: why" line in error.
bool recognise_read(const model &m, const char *path, unsigned char *raster, char *error);

// Segments the 80 x 60 RGB raster and encodes each of its objects, in
// glimcut's order, as the model encodes them.
void recognise_find(const model &m, const unsigned char *raster,
                    std::vector<found_object> *objects);

// Fills in what the model's examples need for teaching and judging beyond
// their stored patterns: their patterns at the other sizes (from their stored
// pictures) and the derived limit. 0, or -1 after a message.
int recognise_prepare(model *m);

// Every pattern the network is taught for example e, its own first.
void recognise_example_patterns(const model &m, int e, std::vector<const int *> *patterns);

// Teaches a fresh network the patterns, in the order given, with the rule
// named ("margin" or "classic") for at most cycles cycles; the margin rule
// stops once every pattern is stored with its margin.
void recognise_teach(const std::vector<const int *> &patterns, const std::string &rule, int cycles);

struct object_answer {
    int recognised; // the example the object is taken for, or -1 for unknown
    int nearest;    // the example nearest to it (the one it settled into when that is one)
    int bits;       // the units between the object's encoding and the nearest example
};

// Judges encoding against the model's examples, with the network in memory,
// by the model's verdict rule and limit (m.limit). nearest is -1 when there
// are no examples. false on a broken network, after its message.
bool recognise_judge(const model &m, const int *encoding, object_answer *result);

// Whether pattern is a fixed point of the network in memory.
bool recognise_stable(const int *pattern);
