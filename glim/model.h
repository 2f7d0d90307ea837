// The model folder of glim: the network glimnet.net, the examples it was
// taught (each an activation file and the 80 x 60 picture it was cut from,
// under examples/) and the manifest glim-model.txt, which lists the labels,
// the examples and the options they were taught with.
//
// A change is made in this order: the new examples' files, the network, the
// manifest, then the removal of files that no example names any more. The
// manifest is the change's commit point: a run stopped before it leaves the
// old manifest, whose examples are all still there. The manifest also holds a
// hash of the network file; a network that does not match it (a run stopped
// between the two) is taught again from the examples, which gives the same
// network whatever the order of the teach commands was.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "netsize.h"

constexpr int MODEL_FORMAT = 2; // the manifest's format version that this glim writes and reads
constexpr const char *MODEL_MANIFEST = "glim-model.txt";
constexpr const char *MODEL_NETWORK = "glimnet.net";
constexpr const char *MODEL_EXAMPLES = "examples";

struct model_example {
    int number = 0;     // examples/NUMBER.act and examples/NUMBER.ppm
    std::string label;  // checked by model_check_label
    std::string source; // the picture it was taught from, as named on the command line
    int object = 0;     // its number among that picture's objects
    int x = 0, y = 0, width = 0, height = 0;
    int act[NETSIZE] = {};
    std::vector<std::vector<int>> sized; // its patterns at the model's other sizes
    std::vector<unsigned char> rgb;      // the 80 x 60 picture; empty until needed
    bool fresh = false;                  // not yet written to the folder
};

struct model {
    std::string folder;
    bool exists = false; // the folder holds a manifest
    // What the examples were taught with and how objects are judged,
    // recorded so that a model keeps them when glim's defaults change
    // (recognise.h). The values here are those of a format 1 manifest, which
    // had only the encoding and the limit; glim teach gives a new model
    // glim's defaults.
    std::string encoding = "classic";
    std::string sizes = "1";         // the sizes each example is taught at
    bool grey = false;               // photos brought in as their luminance
    bool levels = false;             // photos' levels stretched
    bool ground_clear = false;       // photos' ground cleared (absent from older manifests)
    std::string verdict = "settled"; // the verdict rule
    bool limit_derived = false;      // limit derived from the examples' patterns
    int gap = 0; // units by which the nearest label must be nearer than any other
    // A new model: the margin rule, which stores what it is taught, for at
    // most 200 cycles (it stops once a cycle changes nothing; sets of dozens
    // of shapes need under 30).
    std::string rule = "margin";
    int cycles = 200;
    int limit = 6;       // the limit in force (derived when limit_derived)
    int next_number = 0; // the number of the next new example
    bool has_network = false;
    uint64_t network_hash = 0; // FNV-1a of glimnet.net as last written
    std::vector<model_example> examples;
};

// The path of name inside the model folder.
std::string model_path(const model &m, const char *name);

// The path of an example's file: examples/NUMBER.act or examples/NUMBER.ppm.
std::string model_example_file(const model &m, int number, const char *extension);

// Whether label can name examples: not empty, at most 64 bytes, no control
// characters, no '/' or ',' (labels go into TRUTH files), not "-". false
// after a message.
bool model_check_label(const char *label);

// Opens the model in folder for the whole run: locks the folder, reads the
// manifest and every example's pattern. With create, a folder that does not
// exist is made and one without a manifest starts an empty model (unless it
// holds a network that glim did not write). 0, or -1 after a message.
int model_open(const char *folder, bool create, model *m);

// Reads every example's picture (for drawings). 0, or -1 after a message.
int model_read_pictures(model *m);

// Teaches the network in memory from every example, in an order fixed by the
// examples themselves (label, then pattern), so that the same examples give
// the same network.
void model_teach(const model &m);

// Puts the model's network in memory for recall: glimnet.net when it is the
// one the manifest names, else taught again from the examples (with a note
// on stderr). 0, or -1 after a message.
int model_recall_network(model *m);

// Opens the model in folder for questions: as model_open, then refuses a model
// with no example yet and puts its network in memory for recall. 0, or -1
// after a message.
int model_open_for_recall(const char *folder, model *m);

// Writes the changed model: new examples, the network as taught in memory
// (model_teach), the manifest, and removes example files no longer named.
// 0, or -1 after a message; the folder then still holds the model as it was.
int model_save(model *m);

// FNV-1a, 64 bits.
uint64_t model_hash(const char *bytes, size_t size);
