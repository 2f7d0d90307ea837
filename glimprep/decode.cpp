// Telling the input formats apart, and the steps all decoders share.
#include "decode.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

static bool starts_with(const unsigned char *data, size_t size, const char *magic, size_t length) {
    return size >= length && memcmp(data, magic, length) == 0;
}

prep_format prep_sniff(const unsigned char *data, size_t size) {
    if (starts_with(data, size, "\x89PNG\r\n\x1a\n", 8)) return FORMAT_PNG;
    if (starts_with(data, size, "\xff\xd8\xff", 3)) return FORMAT_JPEG;
    if (size >= 2 && data[0] == 'P' && data[1] >= '1' && data[1] <= '6') return FORMAT_PNM;
    return FORMAT_UNKNOWN;
}

const char *prep_format_name(prep_format format) {
    switch (format) {
    case FORMAT_PNG:
        return "PNG";
    case FORMAT_JPEG:
        return "JPEG";
    case FORMAT_PNM:
        return "PNM";
    default:
        return "unknown";
    }
}

void prep_describe_unknown(const unsigned char *data, size_t size, char *text) {
    // Formats a user may well try, named so the message says what was found.
    static const struct {
        const char *magic;
        size_t length;
        const char *name;
    } others[] = {
        {"GIF8", 4, "a GIF picture"},         {"BM", 2, "a BMP picture"},
        {"II*\0", 4, "a TIFF picture"},       {"MM\0*", 4, "a TIFF picture"},
        {"P7", 2, "a PAM picture"},           {"\0\0\0\x0cjP  ", 8, "a JPEG 2000 picture"},
        {"%PDF", 4, "a PDF document"},        {"8BPS", 4, "a Photoshop document"},
        {"\xff\x0a", 2, "a JPEG XL picture"}, {"\x76\x2f\x31\x01", 4, "an OpenEXR picture"},
    };
    if (size == 0) {
        snprintf(text, PREP_ERROR_SIZE, "an empty file");
        return;
    }
    for (const auto &other : others) {
        if (starts_with(data, size, other.magic, other.length)) {
            snprintf(text, PREP_ERROR_SIZE, "%s", other.name);
            return;
        }
    }
    if (size >= 12 && memcmp(data, "RIFF", 4) == 0 && memcmp(data + 8, "WEBP", 4) == 0) {
        snprintf(text, PREP_ERROR_SIZE, "a WebP picture");
        return;
    }
    if (size >= 12 && memcmp(data + 4, "ftyp", 4) == 0) {
        snprintf(text, PREP_ERROR_SIZE, "an HEIF or AVIF picture");
        return;
    }
    if (size >= 4 && memcmp(data, "<svg", 4) == 0) {
        snprintf(text, PREP_ERROR_SIZE, "an SVG drawing");
        return;
    }
    snprintf(text, PREP_ERROR_SIZE, "not a picture format glimprep knows");
}

bool prep_check_size(long width, long height, const prep_decode_options &options,
                     const char *format, char *error) {
    if (width <= 0 || height <= 0) {
        snprintf(error, PREP_ERROR_SIZE, "broken %s picture: its size is %ld x %ld pixels", format,
                 width, height);
        return false;
    }
    if (width > options.max_pixels / height) {
        snprintf(error, PREP_ERROR_SIZE,
                 "%s picture of %ld x %ld pixels is too large: glimprep takes at most %ld pixels",
                 format, width, height, options.max_pixels);
        return false;
    }
    return true;
}

// Finds out what in holds from its first bytes and goes back to the start.
// FORMAT_UNKNOWN with the reason in error when it is none of the formats read.
prep_format prep_sniff_stream(FILE *in, char *error) {
    unsigned char head[16];
    size_t size = fread(head, 1, sizeof head, in);
    if (ferror(in) || fseek(in, 0, SEEK_SET) != 0) {
        snprintf(error, PREP_ERROR_SIZE, "cannot read: %s", strerror(errno));
        return FORMAT_UNKNOWN;
    }
    prep_format format = prep_sniff(head, size);
    if (format == FORMAT_UNKNOWN) {
        char found[PREP_ERROR_SIZE];
        prep_describe_unknown(head, size, found);
        snprintf(error, PREP_ERROR_SIZE, "%.100s; glimprep reads PNG, JPEG and PNM (P1 to P6)",
                 found);
    }
    return format;
}

bool prep_decode_stream(FILE *in, prep_format format, const prep_decode_options &options,
                        prep_sink *sink, char *error) {
    switch (format) {
    case FORMAT_PNG:
        return prep_decode_png(in, options, sink, error);
    case FORMAT_JPEG:
        return prep_decode_jpeg(in, options, sink, error);
    case FORMAT_PNM:
        return prep_decode_pnm(in, options, sink, error);
    default:
        snprintf(error, PREP_ERROR_SIZE, "not a picture format glimprep knows");
        return false;
    }
}

namespace {

// Keeps the whole picture as stored, at full size.
class whole_picture : public prep_sink {
  public:
    prep_picture picture;
    int orientation = 0;

    int start(long width, long height, int shown_as, int, char *) override {
        picture.width = (int)width;
        picture.height = (int)height;
        picture.samples.assign((size_t)width * height * 3, 0);
        orientation = shown_as;
        return 1;
    }
    void take(long y, long x, long step, long count, const uint16_t *rgb) override {
        for (long i = 0; i < count; i++, rgb += 3) {
            uint16_t *to = &picture.samples[3 * ((size_t)y * picture.width + x + i * step)];
            to[0] = rgb[0];
            to[1] = rgb[1];
            to[2] = rgb[2];
        }
    }
};

} // namespace

bool prep_decode(const unsigned char *data, size_t size, const prep_decode_options &options,
                 prep_picture *picture, char *error) {
    *picture = prep_picture();
    FILE *in = size > 0 ? fmemopen(const_cast<unsigned char *>(data), size, "rb") : nullptr;
    if (!in) {
        char found[PREP_ERROR_SIZE];
        prep_describe_unknown(data, size, found);
        snprintf(error, PREP_ERROR_SIZE, "%.100s; glimprep reads PNG, JPEG and PNM (P1 to P6)",
                 found);
        return false;
    }
    whole_picture whole;
    prep_format format = prep_sniff_stream(in, error);
    bool done = format != FORMAT_UNKNOWN && prep_decode_stream(in, format, options, &whole, error);
    fclose(in);
    if (!done) return false;
    prep_orient(&whole.picture, whole.orientation);
    *picture = std::move(whole.picture);
    return true;
}

void prep_stored_pixel(int orientation, long width, long height, long x, long y, long *stored_x,
                       long *stored_y) {
    long sx = x;
    long sy = y;
    switch (orientation) {
    case 2: // mirrored left to right
        sx = width - 1 - x;
        break;
    case 3: // turned half round
        sx = width - 1 - x;
        sy = height - 1 - y;
        break;
    case 4: // mirrored top to bottom
        sy = height - 1 - y;
        break;
    case 5: // mirrored along the main diagonal
        sx = y;
        sy = x;
        break;
    case 6: // stored a quarter turn anticlockwise: turn it clockwise
        sx = y;
        sy = height - 1 - x;
        break;
    case 7: // mirrored along the other diagonal
        sx = width - 1 - y;
        sy = height - 1 - x;
        break;
    case 8: // stored a quarter turn clockwise: turn it anticlockwise
        sx = width - 1 - y;
        sy = x;
        break;
    }
    *stored_x = sx;
    *stored_y = sy;
}

void prep_orient(prep_picture *picture, int orientation) {
    if (orientation < 2 || orientation > 8) return;
    int width = picture->width;
    int height = picture->height;
    prep_picture shown;
    shown.width = prep_turned(orientation) ? height : width;
    shown.height = prep_turned(orientation) ? width : height;
    shown.samples.resize(picture->samples.size());
    for (int y = 0; y < shown.height; y++) {
        for (int x = 0; x < shown.width; x++) {
            long sx, sy;
            prep_stored_pixel(orientation, width, height, x, y, &sx, &sy);
            const uint16_t *from = &picture->samples[3 * ((size_t)sy * width + sx)];
            uint16_t *to = &shown.samples[3 * ((size_t)y * shown.width + x)];
            to[0] = from[0];
            to[1] = from[1];
            to[2] = from[2];
        }
    }
    *picture = std::move(shown);
}

// The marker body: "Exif\0\0", then a TIFF header (byte order "II" or "MM",
// 42, offset of the first directory), then that directory: a count and
// 12-byte entries of tag, type, count and value. Orientation is tag 0x0112,
// one SHORT. Every offset is checked against the length before use, by
// adding to the offset: the length may be less than an entry's size.
int prep_exif_orientation(const unsigned char *marker, size_t length) {
    if (length < 6 || memcmp(marker, "Exif\0\0", 6) != 0) return 0;
    const unsigned char *tiff = marker + 6;
    size_t size = length - 6;
    if (size < 8) return 0;
    bool little = tiff[0] == 'I' && tiff[1] == 'I';
    if (!little && !(tiff[0] == 'M' && tiff[1] == 'M')) return 0;
    auto read16 = [&](size_t at) -> unsigned {
        return little ? tiff[at] | tiff[at + 1] << 8 : tiff[at] << 8 | tiff[at + 1];
    };
    auto read32 = [&](size_t at) -> unsigned long {
        return little ? read16(at) | (unsigned long)read16(at + 2) << 16
                      : (unsigned long)read16(at) << 16 | read16(at + 2);
    };
    if (read16(2) != 42) return 0;
    unsigned long directory = read32(4);
    if (directory + 2 > size) return 0;
    unsigned count = read16(directory);
    for (unsigned i = 0; i < count; i++) {
        size_t entry = directory + 2 + 12 * (size_t)i;
        if (entry + 12 > size) return 0;
        if (read16(entry) != 0x0112) continue;
        // Type 3 is SHORT; a single one sits in the first bytes of the value field.
        if (read16(entry + 2) != 3 || read32(entry + 4) != 1) return 0;
        unsigned orientation = read16(entry + 8);
        return orientation >= 1 && orientation <= 8 ? (int)orientation : 0;
    }
    return 0;
}
