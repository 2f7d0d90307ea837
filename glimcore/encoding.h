// Choosing how an object box becomes an activation vector.
//
// The classic encoding is encode_object: the box's blue samples divided by 16,
// as the box holds them. The normalised encoding makes the pattern depend less
// on the object's size, the light and the ground: the box is resampled so
// that its larger side has NORMALISED_SIDE cells, each sample is taken as its
// distance from the box's ground (the median of the box's frame), the ground
// that reaches the frame is cleared, and the rest is stretched to the 16
// levels by the box's own range. The diameter profile, spectrum and bars
// follow as for the classic encoding.
//
// The silhouette encoding is no profile at all: its units are the object's
// picture itself, the box scaled so that its larger side spans a 16 x 16
// grid, a cell on where the object differs from the box's ground by more than
// a share of the box's own range, so that neither the object's size nor the
// light nor the ground's level moves it. The detail encoding takes half of
// those cells at a higher share instead, the object's brightest parts.
//
// The masked encoding isolates the object from its box first: the box's own
// edges (the strength the segmentation cuts at) close an outline, every cell
// that the frame reaches without crossing an edge is ground and is cleared,
// and the object's samples inside the outline are stretched by their own
// range alone, so neither the ground's level nor its texture enters.
//
// Either encoding can also be taken at another size: the box is resampled by
// that factor first, so one taught object yields patterns for the sizes it
// may be seen at.
#pragma once

// The larger side of a normalised box, in cells. Large enough that a box of
// the 80 x 60 picture is rarely shrunk and a one-pixel detail still spans
// cells; small enough that the box at the largest size (2 x 64 = 128 cells,
// 181 on the diagonal) stays inside the circle of diameters (198 cells).
constexpr int NORMALISED_SIDE = 64;
// A box narrower or lower than this many pixels is encoded classically.
constexpr int NORMALISED_MIN_PIXELS = 3;
// How many sizes --sizes takes, and their range.
constexpr int MAX_SIZES = 8;
constexpr double SIZE_SMALLEST = 0.5;
constexpr double SIZE_LARGEST = 2.0;

enum object_encoding {
    ENCODING_CLASSIC,    // encode_object, bit for bit
    ENCODING_NORMALISED, // resampled, relative to the ground, stretched
    ENCODING_MASKED,     // normalised, the ground outside the object's outline cleared
    ENCODING_SILHOUETTE, // the object's picture itself on a 16 x 16 grid, on or off
    ENCODING_DETAIL,     // the silhouette on half the cells, its brightest parts on the rest
};

// What the command line chose: the encoding and the sizes to encode at.
struct encoding_choice {
    object_encoding encoding = ENCODING_CLASSIC;
    int size_count = 1;
    double sizes[MAX_SIZES] = {1.0};
};

// The normalised encoder's settings, fixed by measurement (bench/recognition
// varies them): the larger side in cells, and whether the ground that reaches
// the box's frame is cleared, up to what share of the box's range.
struct normalise_settings {
    int side = NORMALISED_SIDE;
    bool clear_ground = true;
    double ground_share = 0.25;
};
extern normalise_settings normalise_tuning;

// The silhouette encoding's side: the object is scaled so that its larger
// side spans this many cells of a square grid, one unit a cell.
constexpr int SILHOUETTE_SIDE = 16;
static_assert(SILHOUETTE_SIDE * SILHOUETTE_SIDE == 256, "one unit a cell of the grid");

// A silhouette cell is on when its sample differs from the box's ground by
// more than this share of the box's largest difference (chosen on
// bench/recognition's tuning set: 0.15 and 0.35 named fewer objects right).
constexpr double SILHOUETTE_SHARE = 0.25;

// The detail encoding is the silhouette on the cells of one colour of a
// checkerboard; on the other half a cell is on where the object differs from
// the ground by more than this share of the box's largest difference, so that
// objects of one outline (a coin, a round photo) differ by what they hold.
// Chosen on bench/recognition's tuning set: 0.7 named a taught object
// wrongly, 0.75 to 0.9 named as many right without a wrong name.
constexpr double DETAIL_SHARE = 0.8;

// "classic", "normalised", "masked", "silhouette" or "detail" into *encoding. 0, or -1
// after an error line.
int encoding_parse(const char *text, object_encoding *encoding);
// The encoding named text, silently: false for a name that is none.
bool encoding_from_name(const char *text, object_encoding *encoding);

// Every encoding's name, as a message lists them: "classic, normalised, ... or
// detail".
const char *encoding_names();

// The name encoding_parse takes for encoding.
const char *encoding_name(object_encoding encoding);

// A comma-separated list of 1 to MAX_SIZES factors, each from SIZE_SMALLEST
// to SIZE_LARGEST ("0.8,1,1.25"), into choice. 0, or -1 after an error line.
int encoding_parse_sizes(const char *text, encoding_choice *choice);

// Takes --encoding NAME (and --sizes LIST where takes_sizes) out of argv, in
// either the "--option value" or the "--option=value" form, up to a "--";
// argc shrinks accordingly. Returns EXIT_USAGE after an error line when a
// value is missing or refused, else -1: the program goes on.
int encoding_take_options(int *argc, char *argv[], encoding_choice *choice, bool takes_sizes);

// Encodes the box x, y, w, h (as object_x .. object_height give it) of an
// 80 x 60 RGB raster into act (NETSIZE units) with the encoding at size.
// Classic at size 1 is encode_object's pattern bit for bit. A box too small
// to resample is encoded classically at size 1, said once per process on
// stderr.
void encode_box(const unsigned char *raster, int x, int y, int w, int h, object_encoding encoding,
                double size, int *act);

// Reads the picture at path and encodes the box as encode_box does; classic at
// size 1 is encode_object itself. 0, or -1 after encode_object's messages.
int encode_object_as(const char *path, int x, int y, int w, int h, object_encoding encoding,
                     double size, int *act);
