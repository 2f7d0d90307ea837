// glimview pattern: activation patterns as 16 x 16 grids side by side, each
// with its file name and the number of units that are on under it. Rows of at
// most PER_ROW patterns keep a long series within a picture one can look at.
#include <cstdio>
#include <cstring>
#include <vector>

#include "actfile.h"
#include "canvas.h"
#include "messages.h"
#include "views.h"

constexpr int CELL = 16; // canvas pixels per unit, its grid line included
constexpr int GRID = PATTERN_SIDE * CELL + 1;
constexpr int MARGIN = 8;
constexpr int GAP = 24; // between two patterns
constexpr int PER_ROW = 8;
// The raster takes about a quarter of a megabyte per pattern.
constexpr int MAX_PATTERNS = 256;
constexpr int TEXT_SCALE = 2;
constexpr int LINE_HEIGHT = GLYPH_HEIGHT * TEXT_SCALE + 4;
constexpr int COLUMN_WIDTH = GRID + GAP;
constexpr int ROW_HEIGHT = GRID + 6 + 2 * LINE_HEIGHT + GAP;

constexpr colour BACKGROUND = WHITE;
constexpr colour GRID_LINE = {190, 190, 190};
constexpr colour UNIT_ON = BLACK;
constexpr colour UNIT_OFF = WHITE;
// A file may hold values other than 0 and 1; they are shown, not hidden.
constexpr colour UNIT_OTHER = {245, 130, 48};

// The name as it fits under a grid: a long one loses its beginning, as the
// end of a path tells the files of a series apart.
static void fit_name(char *shown, size_t size, const char *name) {
    size_t length = strlen(name);
    size_t room = (GRID + GLYPH_ADVANCE * TEXT_SCALE - GLYPH_WIDTH * TEXT_SCALE) /
                  (GLYPH_ADVANCE * TEXT_SCALE);
    if (length <= room)
        snprintf(shown, size, "%s", name);
    else
        snprintf(shown, size, "...%s", name + length - (room - 3));
}

static void draw_pattern(canvas *picture, int left, int top, const int *act, const char *name) {
    canvas_fill(picture, left, top, GRID, GRID, GRID_LINE);
    int on = 0;
    int other = 0;
    for (int u = 0; u < NETSIZE; u++) {
        colour fill = act[u] == 1 ? UNIT_ON : act[u] == 0 ? UNIT_OFF : UNIT_OTHER;
        on += act[u] == 1;
        other += act[u] != 0 && act[u] != 1;
        canvas_fill(picture, left + u % PATTERN_SIDE * CELL + 1, top + u / PATTERN_SIDE * CELL + 1,
                    CELL - 1, CELL - 1, fill);
    }
    char shown[64];
    fit_name(shown, sizeof shown, name);
    canvas_text(picture, left, top + GRID + 6, shown, TEXT_SCALE, BLACK);
    char count[64];
    if (other > 0)
        snprintf(count, sizeof count, "%d on, %d other", on, other);
    else
        snprintf(count, sizeof count, "%d on", on);
    canvas_text(picture, left, top + GRID + 6 + LINE_HEIGHT, count, TEXT_SCALE, BLACK);
}

int view_patterns(char *const pattern_names[], int count, const char *out_name) {
    if (count > MAX_PATTERNS) {
        message_error("cannot draw %d patterns: at most %d fit one picture", count, MAX_PATTERNS);
        return -1;
    }
    std::vector<std::vector<int>> patterns;
    if (view_load_patterns(pattern_names, count, &patterns) != 0) return -1;

    int columns = count < PER_ROW ? count : PER_ROW;
    int rows = (count + PER_ROW - 1) / PER_ROW;
    canvas picture;
    canvas_init(&picture, 2 * MARGIN + columns * COLUMN_WIDTH - GAP,
                2 * MARGIN + rows * ROW_HEIGHT - GAP, BACKGROUND);
    for (int i = 0; i < count; i++)
        draw_pattern(&picture, MARGIN + i % PER_ROW * COLUMN_WIDTH,
                     MARGIN + i / PER_ROW * ROW_HEIGHT, patterns[i].data(), pattern_names[i]);
    return view_save_picture(&picture, out_name);
}
