// The pictures glim writes beside its lines: the report of an asked picture,
// drawn as glimview report draws it, and evaluate's confusion matrix.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "model.h"
#include "recognise.h"

// Takes the model's examples as the learned objects of every report drawn
// from now on: their pictures (model_read_pictures), boxes, patterns and
// labels, in the model's order.
void drawing_take_examples(const model &m);

// Draws the report of picture, its raster as asked and the verdict on each
// of its objects, against the examples taken, and saves it as a PNG at out
// (atomically; "glim: wrote OUT" on stderr). 0, or -1 after a message.
int drawing_save_report(const char *picture, const unsigned char *raster,
                        const std::vector<found_object> &found,
                        const std::vector<object_answer> &verdicts, const char *out);

// A confusion matrix: the labels of its rows and columns in order, and the
// count of each (truth, answer).
struct confusion {
    std::vector<std::string> order;
    std::map<std::pair<std::string, std::string>, int> counts;
};

// Draws the matrix as a grid of cells shaded by count, with the counts and
// labels written in, and saves it as a PNG at out. 0, or -1 after a message.
int drawing_save_matrix(const confusion &matrix, const char *out);
