// The scene segmentation: loading, edge filter, thinning, chain tracing and box merging.
#include "scene.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

#include "messages.h"
#include "ppmheader.h"

unsigned char scene_input[SCENE_COLUMNS][SCENE_STRIDE]; // blue sample of each pixel
unsigned char scene_edges[SCENE_COLUMNS][SCENE_STRIDE]; // edges, then the box frames
object_box object_boxes[MAX_OBJECTS];                   // the object boxes
int object_box_count;                                   // valid entries of object_boxes

constexpr int EDGE_SET = 255;       // a pixel of the binary edge map
constexpr int EDGE_THRESHOLD = 240; // the least strength that counts as an edge
constexpr int TRACE_RADIUS = 4;     // the tracer bridges gaps of up to three empty cells
constexpr int MIN_PATH_LENGTH = 6;  // shorter chains give no box
constexpr int FRAME_MARK = 100;     // a frame cell holds FRAME_MARK + the box number

// ---- Loading

// One message on standard error for a picture that cannot be used.
static int refuse(const char *path, const char *format, ...) {
    char reason[160];
    va_list args;
    va_start(args, format);
    vsnprintf(reason, sizeof reason, format, args);
    va_end(args);
    message_error("cannot read picture %s: %s", path, reason);
    return -1;
}

// Reads the raster after the header into scene_input, keeping the blue sample
// (the third byte) of every pixel. Sizes and the sample width were checked, so
// the raster fits the buffer and each sample is one byte. A short raster is
// refused before any cell is written.
static int read_raster(FILE *in, const char *path, int width, int height) {
    unsigned char raster[PICTURE_WIDTH * PICTURE_HEIGHT * 3];
    size_t size = (size_t)width * height * 3;
    size_t got = fread(raster, 1, size, in);
    if (got < size) return refuse(path, "the raster ends after %zu of %zu bytes", got, size);
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++)
            scene_input[x][y] = raster[((size_t)y * width + x) * 3 + 2];
    return 0;
}

// A photo given where the 80 x 60 PPM picture belongs: says on stderr what
// the file is and which program turns it into one.
static void hint_other_format(FILE *in, const char *path) {
    unsigned char start[4] = {0, 0, 0, 0};
    rewind(in);
    size_t got = fread(start, 1, sizeof start, in);
    const char *suffix = "; glimprep makes an 80 x 60 PPM of it";
    if (got >= 4 && memcmp(start, "\x89PNG", 4) == 0)
        message_error("%s is a PNG picture, not PPM%s", path, suffix);
    else if (got >= 3 && start[0] == 0xff && start[1] == 0xd8 && start[2] == 0xff)
        message_error("%s is a JPEG picture, not PPM%s", path, suffix);
    else if (got >= 2 && start[0] == 'P' && start[1] >= '1' && start[1] <= '5')
        message_error("%s is a P%c picture, not the binary PPM (P6)%s", path, start[1], suffix);
    else
        message_error("%s is not a PPM picture; glimprep makes an 80 x 60 PPM of a PNG, JPEG or "
                      "PNM picture",
                      path);
}

static int read_picture(FILE *in, const char *path, int *width, int *height) {
    ppm_header header;
    ppm_status status = ppm_read_header(in, &header);
    if (status == PPM_BAD_MAGIC) {
        message_print("Format %s nicht unterstuetzt!\n", header.magic);
        hint_other_format(in, path);
        return -1;
    }
    if (status != PPM_OK) return refuse(path, "%s", header.error);
    // The planes hold at most 80 x 60 pixels. A larger picture is refused
    // rather than cut: boxes of a cut picture would not describe the file
    // that the object encoder reads again.
    if (header.width < 1 || header.width > PICTURE_WIDTH || header.height < 1 ||
        header.height > PICTURE_HEIGHT)
        return refuse(path, "the size %d x %d is not within 1..%d x 1..%d", header.width,
                      header.height, PICTURE_WIDTH, PICTURE_HEIGHT);
    // Above 255 every sample takes two bytes, which would be misread as pixels.
    if (header.maxval < 1 || header.maxval > 255)
        return refuse(path, "the maximum sample value %d is not within 1..255", header.maxval);
    *width = header.width;
    *height = header.height;
    return read_raster(in, path, header.width, header.height);
}

int scene_check_picture(const char *path) {
    struct stat st;
    if (stat(path, &st) != 0 || S_ISREG(st.st_mode)) return 0;
    message_error("cannot read picture %s: it is not a regular file", path);
    return -1;
}

// Every load starts from clear planes and an empty table: the steps rely on
// cells outside the picture reading 0, a second picture in one process must
// not see the first, and a refused file must leave no objects.
static void scene_clear() {
    memset(scene_input, 0, sizeof scene_input);
    memset(scene_edges, 0, sizeof scene_edges);
    memset(object_boxes, 0, sizeof object_boxes);
    object_box_count = 0;
}

int scene_read_picture(const char *path, int *width, int *height) {
    scene_clear();
    if (scene_check_picture(path) != 0) return -1;
    FILE *in = fopen(path, "rb");
    if (!in) {
        int error = errno;
        message_print_stderr("Cannot open input file %s.\n", path);
        message_open_failed(path, error);
        return -1;
    }
    int result = read_picture(in, path, width, height);
    fclose(in);
    return result;
}

void scene_segment_raster(const unsigned char *rgb, int width, int height) {
    scene_clear();
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++)
            scene_input[x][y] = rgb[((size_t)y * width + x) * 3 + 2];
    scene_edge_filter(width, height);
    scene_thin(width, height);
    scene_find_objects(width, height);
}

int scene_load(const char *path) {
    int width = 0;
    int height = 0;
    if (scene_read_picture(path, &width, &height) != 0) return -1;
    scene_edge_filter(width, height);
    scene_thin(width, height);
    scene_find_objects(width, height);
    return 0;
}

// ---- Edges and thinning

static int absolute(int value) {
    return value < 0 ? -value : value;
}

int scene_edge_filter(int width, int height) {
    const auto &in = scene_input;
    // The border of the picture is not written and keeps its 0.
    for (int x = 1; x <= width - 2; x++) {
        for (int y = 1; y <= height - 2; y++) {
            int gx = (in[x + 1][y - 1] + 2 * in[x + 1][y] + in[x + 1][y + 1]) -
                     (in[x - 1][y - 1] + 2 * in[x - 1][y] + in[x - 1][y + 1]);
            int gy = (in[x - 1][y + 1] + 2 * in[x][y + 1] + in[x + 1][y + 1]) -
                     (in[x - 1][y - 1] + 2 * in[x][y - 1] + in[x + 1][y - 1]);
            int strength = absolute(gx) + absolute(gy);
            scene_edges[x][y] = (unsigned char)(strength > 255 ? 255 : strength);
        }
    }
    return 0;
}

// Whether the pixel (x, y) may be removed: it has 2 to 6 set neighbours and
// they form one unbroken run around it.
static bool thin_removable(int x, int y) {
    const auto &e = scene_edges;
    int n = 0;
    for (int i = x - 1; i <= x + 1; i++)
        for (int j = y - 1; j <= y + 1; j++)
            n += e[i][j] == EDGE_SET;
    if (n < 3 || n > 7) return false;
    // The neighbours as a closed ring from the upper left, counter-clockwise:
    // left column downwards, then the right column upwards.
    const int ring[9] = {e[x - 1][y - 1], e[x - 1][y],     e[x - 1][y + 1],
                         e[x][y + 1],     e[x + 1][y + 1], e[x + 1][y],
                         e[x + 1][y - 1], e[x][y - 1],     e[x - 1][y - 1]};
    int runs = 0;
    for (int k = 0; k < 8; k++)
        runs += ring[k] == 0 && ring[k + 1] == EDGE_SET;
    return runs == 1;
}

int scene_thin(int width, int height) {
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++)
            scene_edges[x][y] = scene_edges[x][y] >= EDGE_THRESHOLD ? EDGE_SET : 0;

    // Removals take effect at once, so later cells of the same pass see them;
    // the result therefore depends on the order: columns left to right, each
    // column top to bottom.
    bool changed = true;
    while (changed) {
        changed = false;
        for (int x = 1; x <= width - 2; x++) {
            for (int y = 1; y <= height - 2; y++) {
                if (scene_edges[x][y] == EDGE_SET && thin_removable(x, y)) {
                    scene_edges[x][y] = 0;
                    changed = true;
                }
            }
        }
    }
    return 0;
}

// ---- Chain tracing

int scene_find_objects(int width, int height) {
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++)
            if (scene_edges[x][y] == EDGE_SET) scene_trace(0, y, width, height, x, y);
    scene_merge_boxes();
    return 0;
}

static bool in_plane(int x, int y) {
    return x >= 0 && x < SCENE_COLUMNS && y >= 0 && y < SCENE_STRIDE;
}

// The eight candidates tried for each radius r and step k, in order: the
// offset is (r * x_r + k * x_k, r * y_r + k * y_k).
struct trace_direction {
    int x_r, x_k, y_r, y_k;
};
static const trace_direction TRACE_ORDER[8] = {
    {1, 0, 0, 1},   // (+r, +k)
    {0, 1, 1, 0},   // (+k, +r)
    {-1, 0, 0, 1},  // (-r, +k)
    {0, 1, -1, 0},  // (+k, -r)
    {1, 0, 0, -1},  // (+r, -k)
    {0, -1, 1, 0},  // (-k, +r)
    {-1, 0, 0, -1}, // (-r, -k)
    {0, -1, -1, 0}, // (-k, -r)
};

// Finds the next pixel of the chain from (cx, cy): the nearest square ring
// first, and within a ring the candidates in TRACE_ORDER for k = 0..r. Returns
// the radius at which it was found, or 0.
static int trace_next(int left, int top, int right, int bottom, int cx, int cy, int *nx, int *ny) {
    for (int r = 1; r <= TRACE_RADIUS; r++) {
        for (int k = 0; k <= r; k++) {
            for (const trace_direction &d : TRACE_ORDER) {
                int x = cx + r * d.x_r + k * d.x_k;
                int y = cy + r * d.y_r + k * d.y_k;
                // The bounds are checked before the cell is read; the plane's
                // own limits guard against bounds wider than the plane.
                if (x < left || x > right || y < top || y > bottom || !in_plane(x, y)) continue;
                if (scene_edges[x][y] == EDGE_SET) {
                    *nx = x;
                    *ny = y;
                    return r;
                }
            }
        }
    }
    return 0;
}

int scene_trace(int left, int top, int right, int bottom, int x, int y) {
    if (!in_plane(x, y)) return 0;
    // The start pixel is not folded into the extremes; only the pixels moved to are.
    int min_x = right, min_y = bottom, max_x = left, max_y = top;
    int length = 0;
    int cx = x, cy = y;
    int nx, ny;
    int r;
    while ((r = trace_next(left, top, right, bottom, cx, cy, &nx, &ny)) != 0) {
        length += r;
        min_x = nx < min_x ? nx : min_x;
        max_x = nx > max_x ? nx : max_x;
        min_y = ny < min_y ? ny : min_y;
        max_y = ny > max_y ? ny : max_y;
        // Erased at once, so the chain never returns to a pixel it left.
        scene_edges[cx][cy] = 0;
        cx = nx;
        cy = ny;
    }
    scene_edges[cx][cy] = 0;
    // A chain that ends while the table is full is dropped like a short one:
    // the table has room for MAX_OBJECTS boxes only, and boxes are merged only
    // after the whole scan, so there is no place to put it. Its pixels stay
    // erased all the same.
    if (length < MIN_PATH_LENGTH || object_box_count >= MAX_OBJECTS) return 0;
    object_boxes[object_box_count++] = {min_x - 1, min_y - 1, max_x + 1, max_y + 1};
    return 0;
}

// ---- Box merging

static int smaller(int a, int b) {
    return a < b ? a : b;
}
static int larger(int a, int b) {
    return a > b ? a : b;
}

// Merges box m into box n (m < n): n becomes the union, m leaves the table and
// the boxes after it move down one place, so the union ends at index n - 1.
static void merge_into(int m, int n) {
    object_box &into = object_boxes[n];
    const object_box &from = object_boxes[m];
    into.x0 = smaller(from.x0, into.x0);
    into.y0 = smaller(from.y0, into.y0);
    into.x1 = larger(from.x1, into.x1);
    into.y1 = larger(from.y1, into.y1);
    for (int i = m; i + 1 < object_box_count; i++)
        object_boxes[i] = object_boxes[i + 1];
    object_box_count--;
}

static bool box_contains(const object_box &outer, const object_box &inner) {
    return outer.x0 <= inner.x0 && outer.y0 <= inner.y0 && outer.x1 >= inner.x1 &&
           outer.y1 >= inner.y1;
}

// Merges the first pair (i, j), i < j, of which one box contains the other.
static bool merge_contained() {
    for (int i = 0; i < object_box_count; i++) {
        for (int j = i + 1; j < object_box_count; j++) {
            if (box_contains(object_boxes[i], object_boxes[j]) ||
                box_contains(object_boxes[j], object_boxes[i])) {
                merge_into(i, j);
                return true;
            }
        }
    }
    return false;
}

// Marks one frame cell of box n. Returns true when the cell already belonged
// to an earlier box's frame, after merging that box into box n.
static bool frame_cell(int x, int y, int n) {
    // Boxes from a picture always lie within the drawing surface; a cell
    // outside it is neither cleared nor drawn.
    if (x < 0 || x >= PICTURE_WIDTH || y < 0 || y >= PICTURE_HEIGHT) return false;
    unsigned char &cell = scene_edges[x][y];
    if (cell == 0) {
        cell = (unsigned char)(FRAME_MARK + n);
        return false;
    }
    int m = cell - FRAME_MARK;
    // Only an earlier box's mark is a meeting. A box's own mark could come
    // back only for a box less than three cells wide or high, which no chain gives.
    if (m < 0 || m >= n) return false;
    merge_into(m, n);
    return true;
}

// Draws every box's frame with its mark: for each column the top and the
// bottom cell, then for each inner row the left and the right cell. Merges
// at the first cell that an earlier frame holds.
static bool merge_meeting_frames() {
    for (int n = 0; n < object_box_count; n++) {
        const object_box b = object_boxes[n];
        for (int x = b.x0; x <= b.x1; x++)
            if (frame_cell(x, b.y0, n) || frame_cell(x, b.y1, n)) return true;
        for (int y = b.y0 + 1; y <= b.y1 - 1; y++)
            if (frame_cell(b.x0, y, n) || frame_cell(b.x1, y, n)) return true;
    }
    return false;
}

int scene_merge_boxes() {
    // After every merge the whole procedure starts again from a clear drawing
    // surface; nothing but the table is carried over.
    for (;;) {
        for (int x = 0; x < PICTURE_WIDTH; x++)
            for (int y = 0; y < PICTURE_HEIGHT; y++)
                scene_edges[x][y] = 0;
        if (merge_contained() || merge_meeting_frames()) continue;
        return 0;
    }
}

// ---- Accessors

int object_count() {
    return object_box_count;
}
int object_x(int n) {
    return object_boxes[n].x0;
}
int object_y(int n) {
    return object_boxes[n].y0;
}
int object_width(int n) {
    return object_boxes[n].x1 - object_boxes[n].x0;
}
int object_height(int n) {
    return object_boxes[n].y1 - object_boxes[n].y0;
}
