// The encodings of an object box. The classic one is pict2's; this unit adds
// resampling, the normalised samples and the command-line choice of both.
// All arithmetic is in double precision in the order written, so the patterns
// are the same on every run and machine.
#include "encoding.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cmdline.h"
#include "messages.h"
#include "netsize.h"
#include "pict2.h"

normalise_settings normalise_tuning;
static bool small_box_said; // the first box too small to resample has been reported

// Each encoding with the one name the command lines and model files give it.
static const struct {
    object_encoding encoding;
    const char *name;
} ENCODING_NAMES[] = {
    {ENCODING_CLASSIC, "classic"},
    {ENCODING_NORMALISED, "normalised"},
    {ENCODING_MASKED, "masked"},
    {ENCODING_SILHOUETTE, "silhouette"},
    {ENCODING_DETAIL, "detail"},
};

bool encoding_from_name(const char *text, object_encoding *encoding) {
    for (const auto &entry : ENCODING_NAMES)
        if (strcmp(text, entry.name) == 0) {
            *encoding = entry.encoding;
            return true;
        }
    return false;
}

const char *encoding_names() {
    static std::string names;
    if (names.empty()) {
        constexpr size_t count = sizeof ENCODING_NAMES / sizeof ENCODING_NAMES[0];
        for (size_t i = 0; i < count; i++) {
            if (i > 0) names += i + 1 < count ? ", " : " or ";
            names += ENCODING_NAMES[i].name;
        }
    }
    return names.c_str();
}

int encoding_parse(const char *text, object_encoding *encoding) {
    if (encoding_from_name(text, encoding)) return 0;
    message_error("--encoding %.40s: unknown encoding; give %s", text, encoding_names());
    return -1;
}

const char *encoding_name(object_encoding encoding) {
    for (const auto &entry : ENCODING_NAMES)
        if (entry.encoding == encoding) return entry.name;
    return "classic";
}

// One size: digits with at most one '.', no sign, exponent or other spelling
// that strtod would also take.
static bool size_scan(const char *text, size_t length, double *size) {
    char digits[32];
    if (length == 0 || length >= sizeof digits) return false;
    int dots = 0;
    for (size_t i = 0; i < length; i++) {
        if (text[i] == '.')
            dots++;
        else if (text[i] < '0' || text[i] > '9')
            return false;
    }
    if (dots > 1 || length == (size_t)dots) return false;
    memcpy(digits, text, length);
    digits[length] = '\0';
    *size = strtod(digits, nullptr);
    return true;
}

int encoding_parse_sizes(const char *text, encoding_choice *choice) {
    double sizes[MAX_SIZES];
    int count = 0;
    const char *at = text;
    for (;;) {
        const char *comma = strchr(at, ',');
        size_t length = comma ? (size_t)(comma - at) : strlen(at);
        double size;
        if (!size_scan(at, length, &size)) {
            message_error("--sizes %.40s: give factors such as 0.8,1,1.25", text);
            return -1;
        }
        if (size < SIZE_SMALLEST || size > SIZE_LARGEST) {
            message_error("--sizes %.40s: each size must lie from %g to %g", text, SIZE_SMALLEST,
                          SIZE_LARGEST);
            return -1;
        }
        if (count == MAX_SIZES) {
            message_error("--sizes %.40s: at most %d sizes", text, MAX_SIZES);
            return -1;
        }
        sizes[count++] = size;
        if (!comma) break;
        at = comma + 1;
    }
    choice->size_count = count;
    std::copy(sizes, sizes + count, choice->sizes);
    return 0;
}

int encoding_take_options(int *argc, char *argv[], encoding_choice *choice, bool takes_sizes) {
    int kept = 1;
    int i = 1;
    for (; i < *argc && strcmp(argv[i], "--") != 0; i++) {
        const char *arg = argv[i];
        const char *equals = strchr(arg, '=');
        size_t name_length = equals ? (size_t)(equals - arg) : strlen(arg);
        bool is_encoding = name_length == 10 && strncmp(arg, "--encoding", 10) == 0;
        bool is_sizes = takes_sizes && name_length == 7 && strncmp(arg, "--sizes", 7) == 0;
        if (!is_encoding && !is_sizes) {
            argv[kept++] = argv[i];
            continue;
        }
        const char *value = equals ? equals + 1 : nullptr;
        if (!value) {
            if (i + 1 == *argc) {
                message_error("%s: the option needs a value", arg);
                return EXIT_USAGE;
            }
            value = argv[++i];
        }
        int parsed = is_encoding ? encoding_parse(value, &choice->encoding)
                                 : encoding_parse_sizes(value, choice);
        if (parsed != 0) return EXIT_USAGE;
    }
    for (; i < *argc; i++)
        argv[kept++] = argv[i];
    argv[kept] = nullptr;
    *argc = kept;
    return -1;
}

// Resamples count values of one line, step apart in in, onto target values,
// step apart in out: a shrinking line averages the part of the line that each
// target cell covers, a growing one interpolates between the two nearest
// values.
static void resample_line(const double *in, int count, int in_step, double *out, int target,
                          int out_step) {
    double scale = (double)count / target;
    for (int t = 0; t < target; t++) {
        double value;
        if (target < count) {
            double from = t * scale, to = (t + 1) * scale;
            double sum = 0.0;
            for (int s = (int)from; s < count && s < to; s++) {
                double covered = std::min(to, s + 1.0) - std::max(from, (double)s);
                sum = sum + in[s * in_step] * covered;
            }
            value = sum / scale;
        } else {
            double position = (t + 0.5) * scale - 0.5;
            position = std::max(0.0, std::min(position, count - 1.0));
            int s = (int)position;
            int next = std::min(s + 1, count - 1);
            double share = position - s;
            value = in[s * in_step] * (1.0 - share) + in[next * in_step] * share;
        }
        out[t * out_step] = value;
    }
}

// Resamples a width x height grid (row by row) to target_width x target_height.
static std::vector<double> resample(const std::vector<double> &grid, int width, int height,
                                    int target_width, int target_height) {
    std::vector<double> rows((size_t)target_width * height);
    for (int y = 0; y < height; y++)
        resample_line(&grid[(size_t)y * width], width, 1, &rows[(size_t)y * target_width],
                      target_width, 1);
    std::vector<double> out((size_t)target_width * target_height);
    for (int x = 0; x < target_width; x++)
        resample_line(&rows[x], height, target_width, &out[x], target_height, target_width);
    return out;
}

// The median of the blue samples on the box's frame: its first and last
// columns and rows, where the segmentation put the box one pixel outside the
// object.
static double frame_median(const std::vector<double> &grid, int width, int height) {
    std::vector<double> frame;
    for (int x = 0; x < width; x++) {
        frame.push_back(grid[x]);
        if (height > 1) frame.push_back(grid[(size_t)(height - 1) * width + x]);
    }
    for (int y = 1; y + 1 < height; y++) {
        frame.push_back(grid[(size_t)y * width]);
        if (width > 1) frame.push_back(grid[(size_t)y * width + width - 1]);
    }
    std::sort(frame.begin(), frame.end());
    size_t middle = frame.size() / 2;
    return frame.size() % 2 ? frame[middle] : (frame[middle - 1] + frame[middle]) / 2;
}

// Clears the cells at most limit that are joined to the frame through such
// cells: ground that shows around the object, however it is lit or textured,
// while darker parts inside the object's outline stay.
static void clear_ground(std::vector<double> *grid, int width, int height, double limit) {
    std::vector<int> stack;
    std::vector<bool> seen((size_t)width * height);
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++)
            if (x == 0 || y == 0 || x == width - 1 || y == height - 1) {
                stack.push_back(y * width + x);
                seen[(size_t)y * width + x] = true;
            }
    while (!stack.empty()) {
        int cell = stack.back();
        stack.pop_back();
        if ((*grid)[cell] > limit) continue;
        (*grid)[cell] = 0.0;
        int x = cell % width, y = cell / width;
        const int next[4][2] = {{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}};
        for (const auto &n : next) {
            if (n[0] < 0 || n[1] < 0 || n[0] >= width || n[1] >= height) continue;
            int other = n[1] * width + n[0];
            if (seen[other]) continue;
            seen[other] = true;
            stack.push_back(other);
        }
    }
}

// Copies levels (0 to 15, width x height, row by row) into a cleared window,
// the grid's middle on the window's middle as window_fill places a box.
static void window_place(const std::vector<int> &levels, int width, int height,
                         signed char *window) {
    int w = width - 1, h = height - 1;
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            int wx = x - w / 2 + WINDOW_CENTER;
            int wy = y - h / 2 + WINDOW_CENTER;
            if (wx < 0 || wx >= WINDOW_SIZE || wy < 0 || wy >= WINDOW_SIZE) continue;
            window[wx * WINDOW_SIZE + wy] = (signed char)levels[(size_t)y * width + x];
        }
}

// The segmentation's edge test for the picture pixel (px, py): the Sobel
// strength of the blue samples, |gx| + |gy|, at least MASK_EDGE_STRENGTH. The
// picture's outermost pixels have no strength, as in the segmentation.
constexpr int MASK_EDGE_STRENGTH = 240;
static bool edge_at(const unsigned char *raster, int px, int py) {
    if (px < 1 || py < 1 || px > PICTURE_WIDTH - 2 || py > PICTURE_HEIGHT - 2) return false;
    auto blue = [raster](int x, int y) { return (int)raster[3 * (y * PICTURE_WIDTH + x) + 2]; };
    int gx = (blue(px + 1, py - 1) + 2 * blue(px + 1, py) + blue(px + 1, py + 1)) -
             (blue(px - 1, py - 1) + 2 * blue(px - 1, py) + blue(px - 1, py + 1));
    int gy = (blue(px - 1, py + 1) + 2 * blue(px, py + 1) + blue(px + 1, py + 1)) -
             (blue(px - 1, py - 1) + 2 * blue(px, py - 1) + blue(px + 1, py - 1));
    return std::abs(gx) + std::abs(gy) >= MASK_EDGE_STRENGTH;
}

// Whether any cell within reach (in rows and columns) of (x, y) is set.
static bool set_near(const std::vector<bool> &cells, int width, int height, int x, int y,
                     int reach) {
    for (int ny = std::max(0, y - reach); ny <= std::min(height - 1, y + reach); ny++)
        for (int nx = std::max(0, x - reach); nx <= std::min(width - 1, x + reach); nx++)
            if (cells[(size_t)ny * width + nx]) return true;
    return false;
}

// Which cells of the box (left, top, width x height, row by row) belong to
// the object. Its edges, widened by one cell so that the gaps the chain
// tracer bridges close, wall the object in; the cells the frame reaches
// without crossing the wall are ground, the others inside the wall the
// object's inner part. An edge is two pixels thick, one on either side of
// the outline, so the object is its inner part grown by two cells, without
// the ground: the widened edges alone would keep a rim of ground whose level
// would stretch the object's samples. Empty when the edges enclose nothing.
static std::vector<bool> object_mask(const unsigned char *raster, int left, int top, int width,
                                     int height) {
    size_t cells = (size_t)width * height;
    std::vector<bool> edge(cells), wall(cells), ground(cells);
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++)
            edge[(size_t)y * width + x] = edge_at(raster, left + x, top + y);
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++)
            wall[(size_t)y * width + x] = set_near(edge, width, height, x, y, 1);
    std::vector<int> stack;
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            size_t cell = (size_t)y * width + x;
            bool on_frame = x == 0 || y == 0 || x == width - 1 || y == height - 1;
            if (on_frame && !wall[cell]) {
                ground[cell] = true;
                stack.push_back((int)cell);
            }
        }
    while (!stack.empty()) {
        int cell = stack.back();
        stack.pop_back();
        int x = cell % width, y = cell / width;
        const int next[4][2] = {{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}};
        for (const auto &n : next) {
            if (n[0] < 0 || n[1] < 0 || n[0] >= width || n[1] >= height) continue;
            size_t other = (size_t)n[1] * width + n[0];
            if (ground[other] || wall[other]) continue;
            ground[other] = true;
            stack.push_back((int)other);
        }
    }
    std::vector<bool> inner(cells);
    for (size_t cell = 0; cell < cells; cell++)
        inner[cell] = !ground[cell] && !wall[cell];
    std::vector<bool> mask(cells);
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            size_t cell = (size_t)y * width + x;
            mask[cell] = !ground[cell] && set_near(inner, width, height, x, y, 2);
        }
    return mask;
}

// Keeps the object's cells of the box, stretched by the object's own range to
// 1 .. 15 (so its darkest part still differs from the cleared ground), and
// clears the ground to 0. Returns false, the grid unchanged, when the mask
// holds no cell.
static bool mask_object(std::vector<double> *grid, const std::vector<bool> &mask) {
    double lowest = 255.0, highest = 0.0;
    bool any = false;
    for (size_t cell = 0; cell < grid->size(); cell++)
        if (mask[cell]) {
            lowest = std::min(lowest, (*grid)[cell]);
            highest = std::max(highest, (*grid)[cell]);
            any = true;
        }
    if (!any) return false;
    double range = highest - lowest;
    for (size_t cell = 0; cell < grid->size(); cell++) {
        double &value = (*grid)[cell];
        if (!mask[cell])
            value = 0.0;
        else
            value = range > 0.0 ? 1.0 + (value - lowest) * 14.0 / range : 15.0;
    }
    return true;
}

static int rounded_side(double side) {
    return std::max(1, (int)(side + 0.5));
}

// The silhouette of the box (blue samples, width x height, row by row, the
// frame included) at size. Every sample is taken as its distance from the
// box's ground (the median of its frame), so that an object darker or lighter
// than its ground shows alike; at another size the box is resampled by that
// factor first, as a smaller or larger photo of the object would hold it. The
// box is then resampled so that its larger side spans SILHOUETTE_SIDE cells,
// centred in the grid and its aspect kept, each cell averaging the part of
// the box it covers, and a cell is on when it lies farther from the ground
// than share of the box's largest distance. A factor on the light scales
// every distance alike and the ground's level is taken out, so neither
// changes the pattern. A box with nothing off its ground has no cell on.
static void encode_silhouette(std::vector<double> grid, int width, int height, double size,
                              bool detail, int *act) {
    std::fill(act, act + NETSIZE, 0);
    double ground = frame_median(grid, width, height);
    double range = 0.0;
    for (double &value : grid) {
        value = fabs(value - ground);
        range = std::max(range, value);
    }
    if (size != 1.0) {
        int sized_width = rounded_side(width * size), sized_height = rounded_side(height * size);
        grid = resample(grid, width, height, sized_width, sized_height);
        width = sized_width;
        height = sized_height;
    }
    int cells_wide = SILHOUETTE_SIDE, cells_high = SILHOUETTE_SIDE;
    if (width >= height)
        cells_high = rounded_side((double)SILHOUETTE_SIDE * height / width);
    else
        cells_wide = rounded_side((double)SILHOUETTE_SIDE * width / height);
    std::vector<double> cells = resample(grid, width, height, cells_wide, cells_high);
    double limit = range * SILHOUETTE_SHARE;
    int from_x = (SILHOUETTE_SIDE - cells_wide) / 2, from_y = (SILHOUETTE_SIDE - cells_high) / 2;
    // The detail encoding keeps the silhouette on the cells of one colour of
    // a checkerboard and, on the others, a cell is on where the object
    // differs from the ground by more than DETAIL_SHARE of the box's range:
    // two objects of one outline differ there by their bright and dark parts.
    double detail_limit = range * DETAIL_SHARE;
    for (int y = 0; y < cells_high; y++)
        for (int x = 0; x < cells_wide; x++) {
            int unit = (from_y + y) * SILHOUETTE_SIDE + from_x + x;
            bool second = detail && (from_x + x + from_y + y) % 2 == 1;
            act[unit] = cells[(size_t)y * cells_wide + x] > (second ? detail_limit : limit) ? 1 : 0;
        }
}

void encode_box(const unsigned char *raster, int x, int y, int w, int h, object_encoding encoding,
                double size, int *act) {
    signed char window[WINDOW_CELLS];
    memset(window, 0, sizeof window);
    // The box's pixels, the frame included, cut to the picture.
    int left = std::max(x, 0), top = std::max(y, 0);
    int width = std::min(x + w, PICTURE_WIDTH - 1) - left + 1;
    int height = std::min(y + h, PICTURE_HEIGHT - 1) - top + 1;
    bool resampled = encoding != ENCODING_CLASSIC || size != 1.0;
    if (resampled && (width < NORMALISED_MIN_PIXELS || height < NORMALISED_MIN_PIXELS)) {
        if (!small_box_said)
            message_error("box %d,%d,%d,%d: smaller than %d x %d pixels, so encoded as classic", x,
                          y, w, h, NORMALISED_MIN_PIXELS, NORMALISED_MIN_PIXELS);
        small_box_said = true;
        resampled = false;
    }
    if (!resampled) {
        window_fill(raster, window, x, y, w, h);
        encode_window(window, act);
        return;
    }

    std::vector<double> grid((size_t)width * height);
    for (int py = 0; py < height; py++)
        for (int px = 0; px < width; px++)
            grid[(size_t)py * width + px] =
                raster[3 * ((top + py) * PICTURE_WIDTH + left + px) + 2];
    if (encoding == ENCODING_SILHOUETTE || encoding == ENCODING_DETAIL) {
        encode_silhouette(grid, width, height, size, encoding == ENCODING_DETAIL, act);
        return;
    }
    int target_width, target_height;
    std::vector<int> levels;
    if (encoding == ENCODING_CLASSIC) {
        // The blue samples at the new size, then the 16 levels as classic takes them.
        target_width = rounded_side(width * size);
        target_height = rounded_side(height * size);
        std::vector<double> scaled = resample(grid, width, height, target_width, target_height);
        for (double value : scaled)
            levels.push_back((int)(value + 0.5) / 16);
    } else {
        // The masked encoding falls back to the normalised samples when the
        // box's edges enclose nothing.
        bool masked = encoding == ENCODING_MASKED &&
                      mask_object(&grid, object_mask(raster, left, top, width, height));
        if (!masked) {
            double ground = frame_median(grid, width, height);
            double range = 0.0;
            for (double &value : grid) {
                value = fabs(value - ground);
                range = std::max(range, value);
            }
            if (normalise_tuning.clear_ground)
                clear_ground(&grid, width, height, range * normalise_tuning.ground_share);
        }
        double side = normalise_tuning.side * size;
        if (width >= height) {
            target_width = rounded_side(side);
            target_height = rounded_side(side * height / width);
        } else {
            target_height = rounded_side(side);
            target_width = rounded_side(side * width / height);
        }
        std::vector<double> scaled = resample(grid, width, height, target_width, target_height);
        double highest = 0.0;
        for (double value : scaled)
            highest = std::max(highest, value);
        // A box with nothing but its ground stays empty, as a blank box does
        // in the classic encoding.
        for (double value : scaled)
            levels.push_back(highest > 0.0 ? (int)(value * 15.0 / highest + 0.5) : 0);
    }
    window_place(levels, target_width, target_height, window);
    encode_window(window, act);
}

int encode_object_as(const char *path, int x, int y, int w, int h, object_encoding encoding,
                     double size, int *act) {
    if (encoding == ENCODING_CLASSIC && size == 1.0) return encode_object(path, x, y, w, h, act);
    unsigned char raster[PICTURE_RASTER_BYTES];
    if (picture_read_raster(path, raster) != 0) return -1;
    encode_box(raster, x, y, w, h, encoding, size, act);
    return 0;
}
