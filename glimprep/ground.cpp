// --ground clear: the ground's colour from the picture's frame, the ground
// flooded from the frame, its holes, strands and specks found. In integers,
// so that every machine writes the same picture.
#include "ground.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

// The part of the raster worked on, and the pixel index of its cells.
struct area {
    long x0, y0, x1, y1; // x0 <= x < x1, y0 <= y < y1
    bool holds(long x, long y) const { return x >= x0 && x < x1 && y >= y0 && y < y1; }
    static long index(long x, long y) { return y * PICTURE_WIDTH + x; }
};

// The median of the values (the upper one of an even count).
int median(std::vector<int> values) {
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

} // namespace

void prep_clear_ground(unsigned char *raster, prep_rect inside) {
    if (inside.width < 3 || inside.height < 3) return;
    const area a = {inside.x, inside.y, inside.x + inside.width, inside.y + inside.height};
    std::vector<long> frame;
    for (long y = a.y0; y < a.y1; y++)
        for (long x = a.x0; x < a.x1; x++)
            if (x == a.x0 || y == a.y0 || x == a.x1 - 1 || y == a.y1 - 1)
                frame.push_back(area::index(x, y));

    int ground[3];
    for (int c = 0; c < 3; c++) {
        std::vector<int> values;
        for (long i : frame)
            values.push_back(raster[3 * i + c]);
        ground[c] = median(values);
    }
    auto distance = [&](long i) {
        int d = 0;
        for (int c = 0; c < 3; c++)
            d = std::max(d, std::abs(raster[3 * i + c] - ground[c]));
        return d;
    };
    std::vector<int> spread;
    for (long i : frame)
        spread.push_back(distance(i));
    std::sort(spread.begin(), spread.end());
    size_t at = std::min(spread.size() - 1, spread.size() * GROUND_FRAME_PERCENT / 100);
    const int tolerance = std::max(GROUND_LEAST_TOLERANCE, spread[at]);

    // The ground: flooded from the frame through pixels within the tolerance.
    std::vector<char> cleared(PICTURE_WIDTH * PICTURE_HEIGHT, 0);
    std::vector<long> pending;
    for (long i : frame)
        if (distance(i) <= tolerance) {
            cleared[i] = 1;
            pending.push_back(i);
        }
    while (!pending.empty()) {
        long i = pending.back();
        pending.pop_back();
        long x = i % PICTURE_WIDTH, y = i / PICTURE_WIDTH;
        const long nx[4] = {x - 1, x + 1, x, x}, ny[4] = {y, y, y - 1, y + 1};
        for (int k = 0; k < 4; k++) {
            if (!a.holds(nx[k], ny[k])) continue;
            long j = area::index(nx[k], ny[k]);
            if (cleared[j] || distance(j) > tolerance) continue;
            cleared[j] = 1;
            pending.push_back(j);
        }
    }

    // The holes: pieces of ground colour that the frame does not reach, as
    // the ground seen through a ring; smaller ones are the object's own.
    std::vector<char> looked(PICTURE_WIDTH * PICTURE_HEIGHT, 0);
    std::vector<long> piece;
    for (long y = a.y0; y < a.y1; y++)
        for (long x = a.x0; x < a.x1; x++) {
            long start = area::index(x, y);
            if (cleared[start] || looked[start] || distance(start) > tolerance) continue;
            piece.assign(1, start);
            looked[start] = 1;
            for (size_t k = 0; k < piece.size(); k++) {
                long px = piece[k] % PICTURE_WIDTH, py = piece[k] / PICTURE_WIDTH;
                const long nx[4] = {px - 1, px + 1, px, px}, ny[4] = {py, py, py - 1, py + 1};
                for (int q = 0; q < 4; q++) {
                    if (!a.holds(nx[q], ny[q])) continue;
                    long j = area::index(nx[q], ny[q]);
                    if (cleared[j] || looked[j] || distance(j) > tolerance) continue;
                    looked[j] = 1;
                    piece.push_back(j);
                }
            }
            if ((int)piece.size() >= GROUND_HOLE_PIXELS)
                for (long j : piece)
                    cleared[j] = 1;
        }

    // The strands: a pixel left with fewer than GROUND_STRAND_NEIGHBOURS of
    // its eight neighbours left, all judged as the holes left them, is a
    // thread of the ground's texture along an object's outline.
    const std::vector<char> before = cleared;
    for (long y = a.y0; y < a.y1; y++)
        for (long x = a.x0; x < a.x1; x++) {
            if (before[area::index(x, y)]) continue;
            int kept = 0;
            for (long qy = y - 1; qy <= y + 1; qy++)
                for (long qx = x - 1; qx <= x + 1; qx++)
                    kept += (qx != x || qy != y) && a.holds(qx, qy) && !before[area::index(qx, qy)];
            if (kept < GROUND_STRAND_NEIGHBOURS) cleared[area::index(x, y)] = 1;
        }

    // The specks: small pieces of what is left.
    std::vector<char> seen(PICTURE_WIDTH * PICTURE_HEIGHT, 0);
    for (long y = a.y0; y < a.y1; y++)
        for (long x = a.x0; x < a.x1; x++) {
            long start = area::index(x, y);
            if (cleared[start] || seen[start]) continue;
            piece.assign(1, start);
            seen[start] = 1;
            for (size_t k = 0; k < piece.size(); k++) {
                long px = piece[k] % PICTURE_WIDTH, py = piece[k] / PICTURE_WIDTH;
                for (long qy = py - 1; qy <= py + 1; qy++)
                    for (long qx = px - 1; qx <= px + 1; qx++) {
                        if (!a.holds(qx, qy)) continue;
                        long j = area::index(qx, qy);
                        if (cleared[j] || seen[j]) continue;
                        seen[j] = 1;
                        piece.push_back(j);
                    }
            }
            if ((int)piece.size() < GROUND_SPECK_PIXELS)
                for (long j : piece)
                    cleared[j] = 1;
        }

    for (long i = 0; i < PICTURE_WIDTH * PICTURE_HEIGHT; i++)
        if (cleared[i])
            raster[3 * i] = raster[3 * i + 1] = raster[3 * i + 2] = GROUND_CLEARED_LEVEL;
}
