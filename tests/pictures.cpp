#include "pictures.h"

#include <cstdio>

const char USUAL_HEADER[] = "P6\n# made by the tests\n%d %d\n255\n";

std::string ppm_picture(int width, int height, const blue_fn &blue, const char *header) {
    char text[128];
    snprintf(text, sizeof text, header, width, height);
    std::string bytes = text;
    for (int y = 0; y < height; y++) {
        for (int x = 0; x < width; x++) {
            bytes += (char)((x * 37 + y * 11) & 255);
            bytes += (char)((x * 5 + y * 91) & 255);
            bytes += (char)blue(x, y);
        }
    }
    return bytes;
}

blue_fn blue_rectangles(const std::vector<std::array<int, 4>> &rectangles) {
    return [rectangles](int x, int y) {
        for (const auto &r : rectangles)
            if (x >= r[0] && x <= r[2] && y >= r[1] && y <= r[3]) return 255;
        return 0;
    };
}
