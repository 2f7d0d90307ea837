// The shapes and the writer of the sample and trial pictures.
#include "draw_shapes.h"

#include <cstdio>

void clear(picture *p) {
    for (auto &row : p->pixels)
        for (colour &c : row)
            c = BACKGROUND;
}

void put(picture *p, int x, int y, colour c) {
    if (x >= 0 && x < WIDTH && y >= 0 && y < HEIGHT) p->pixels[y][x] = c;
}

void rectangle(picture *p, int x0, int y0, int x1, int y1, colour c) {
    for (int y = y0; y <= y1; y++)
        for (int x = x0; x <= x1; x++)
            put(p, x, y, c);
}

void ring(picture *p, int cx, int cy, int outer, int inner, colour c) {
    for (int y = cy - outer; y <= cy + outer; y++)
        for (int x = cx - outer; x <= cx + outer; x++) {
            int d2 = (x - cx) * (x - cx) + (y - cy) * (y - cy);
            // r * r + r rounds the outline: no lone pixel sticks out on the axes.
            if (d2 <= outer * outer + outer && d2 >= inner * inner + inner) put(p, x, y, c);
        }
}

void triangle(picture *p, int cx, int top, int half, int bottom, colour c) {
    for (int y = top; y <= bottom; y++) {
        int reach = half * (y - top) / (bottom - top);
        for (int x = cx - reach; x <= cx + reach; x++)
            put(p, x, y, c);
    }
}

void cross(picture *p, int cx, int cy, int arm, int thickness, colour c) {
    rectangle(p, cx - arm, cy - thickness, cx + arm, cy + thickness, c);
    rectangle(p, cx - thickness, cy - arm, cx + thickness, cy + arm, c);
}

bool write_picture(const std::string &dir, const std::string &name, const picture &p,
                   const char *comment) {
    std::string path = dir + "/" + name;
    FILE *out = fopen(path.c_str(), "wb");
    if (!out) {
        perror(path.c_str());
        return false;
    }
    fprintf(out, "P6\n");
    if (comment) fprintf(out, "# %s\n", comment);
    fprintf(out, "%d %d\n255\n", WIDTH, HEIGHT);
    fwrite(p.pixels, sizeof p.pixels, 1, out);
    if (fclose(out) != 0) {
        perror(path.c_str());
        return false;
    }
    return true;
}
