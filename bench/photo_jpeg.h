// Writing the bench's drawn photos as JPEG files (quality 90, RGB).
#pragma once

#include <string>
#include <vector>

// Writes rgb (width x height pixels, three bytes each, row by row) to the
// file name. false when the file cannot be written.
bool photo_write_jpeg(const std::string &name, const std::vector<unsigned char> &rgb, int width,
                      int height);
