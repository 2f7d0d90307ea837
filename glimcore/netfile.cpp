// Writing and reading the network file.
#include "netfile.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <csetjmp>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>

#include "decimal.h"
#include "messages.h"
#include "savefile.h"

// Values are written with "%.16G, "; a line breaks once the characters written
// since the last break or header exceed 70.
constexpr int LINE_LIMIT = 70;
// The fast reader takes at most this much of a file; the longest file the
// writer writes is under 1 MB. A longer file is still read whole by the
// general reader when the fast one cannot finish within these bytes.
constexpr size_t READ_LIMIT = 2 << 20;

// ---- Writing

// "%.16G" gives the shortest of the fixed and exponent forms that C's %G rule
// chooses, rounded to 16 significant digits. to_chars with the general format
// and a precision is defined as that same printf conversion, in lower case:
// only the letters of the exponent, "inf" and "nan" need raising.
int netfile_format_value(double value, char *out) {
    std::to_chars_result done =
        std::to_chars(out, out + NETFILE_VALUE_SIZE - 1, value, std::chars_format::general, 16);
    int length = (int)(done.ptr - out);
    for (int i = 0; i < length; i++)
        if (out[i] >= 'a' && out[i] <= 'z') out[i] = (char)(out[i] - 'a' + 'A');
    out[length] = '\0';
    return length;
}

// Appends value as "%.16G, " and applies the line rule: counter holds the
// characters written since the last break, as fprintf's results would count them.
static void append_value(std::string *text, double value, int *counter) {
    char digits[NETFILE_VALUE_SIZE];
    int length = netfile_format_value(value, digits);
    text->append(digits, (size_t)length);
    text->append(", ", 2);
    *counter += length + 2;
    if (*counter > LINE_LIMIT) {
        text->append("\n  ", 3);
        *counter = 0;
    }
}

void netfile_write_text(std::string *text) {
    text->clear();
    text->reserve(1 << 20);
    char header[96];
    int counter = 0;
    text->append(header, (size_t)snprintf(header, sizeof header, "double weights%d[%d] = {\n  ", 0,
                                          WEIGHT_BLOCK_SLOTS));
    for (int s = 0; s < WEIGHT_SLOT_COUNT; s++) {
        if (s % WEIGHT_BLOCK_SLOTS == 0 && s > 0) {
            text->append(header, (size_t)snprintf(header, sizeof header,
                                                  "\n}\ndouble weights%d[%d] = {\n  ",
                                                  s / WEIGHT_BLOCK_SLOTS, WEIGHT_BLOCK_SLOTS));
            counter = 0;
        }
        append_value(text, weight_slot(s), &counter);
    }
    counter = 0;
    text->append(header, (size_t)snprintf(header, sizeof header,
                                          "\n}\n\ndouble thresholds[%d] = {\n  ", NETSIZE));
    for (int u = 0; u < NETSIZE; u++)
        append_value(text, thresholds[u], &counter);
    text->append("\n}\n");
}

int net_save(const char *name) {
    if (net_broken) net_warn_broken();
    // After a failed allocation there is no network to write; keep the old file.
    if (!net_store_complete()) {
        message_error("cannot write network %s: the weight store is incomplete", name);
        return -1;
    }
    std::string text;
    netfile_write_text(&text);
    save_file file;
    FILE *out = save_begin(&file, name);
    if (!out) return -1;
    // A short write sets the stream's error flag, which save_commit reports.
    size_t written = fwrite(text.data(), 1, text.size(), out);
    (void)written;
    return save_commit(&file);
}

// ---- The general reader

// Each read is one fscanf call. The runs of blanks and line ends after a
// header's brace or a value's comma also take carriage returns, so that a file
// with CR LF line ends reads like its LF twin; the trailing "s" never matches
// and only ends the scan. Header numbers are read as long long and must equal
// the expected number, so a number beyond the range of int that would wrap to
// it is refused.
load_result netfile_read_stream(FILE *in, const char *name) {
    for (int i = 0; i < WEIGHT_BLOCK_COUNT; i++) {
        long long block = -1, size = -1;
        if (fscanf(in, "double weights%lld[%lld] = {%*[\r\n ]s", &block, &size) != 2 ||
            block != i || size != WEIGHT_BLOCK_SLOTS) {
            message_print("  File format error in %s/%d.-, breaking.\n", name, i);
            return LOAD_FAILED;
        }
        for (int v = 0; v < WEIGHT_BLOCK_SLOTS; v++) {
            double value;
            if (fscanf(in, "%lG,%*[ \r\n]s", &value) != 1) {
                message_print("  File format error in %s/%d.%d, breaking.\n", name, i, v);
                return LOAD_FAILED;
            }
            // After a failed allocation, values of missing blocks are read but dropped.
            if (net_block_present(i)) weight_slot_set(i * WEIGHT_BLOCK_SLOTS + v, value);
        }
        // The closing brace may be missing; the next header read decides.
        int ignored = fscanf(in, "}\n");
        (void)ignored;
    }
    long long count = -1;
    if (fscanf(in, "\ndouble thresholds[%lld] = {%*[\r\n ]s", &count) != 1 || count != NETSIZE) {
        message_print("  File format error in %s/th.-, breaking.\n", name);
        return LOAD_FAILED;
    }
    for (int u = 0; u < NETSIZE; u++) {
        double value;
        bool whole = fscanf(in, "%lG", &value) == 1;
        // The writer puts a comma after every value. A file that ends right
        // where the last number's text ends may have lost digits of it.
        if (whole && u == NETSIZE - 1) whole = getc(in) != EOF;
        if (!whole) {
            message_print("  File format error in %s/th.%d, breaking.\n", name, u);
            return LOAD_FAILED;
        }
        if (u < NETSIZE - 1) {
            int ignored = fscanf(in, ",%*[ \r\n]s");
            (void)ignored;
        }
        thresholds[u] = value;
    }
    return LOAD_OK;
}

// ---- The fast reader

namespace {

struct text_cursor {
    const char *at;
    const char *end;
};

bool take_literal(text_cursor *c, const char *literal, size_t length) {
    if ((size_t)(c->end - c->at) < length || memcmp(c->at, literal, length) != 0) return false;
    c->at += length;
    return true;
}

// The run of blanks and line ends that the general reader passes over after a
// brace or a comma; it passes over more (any white space), which the fast
// reader leaves to it.
void skip_breaks(text_cursor *c) {
    while (c->at < c->end && (*c->at == ' ' || *c->at == '\n' || *c->at == '\r'))
        c->at++;
}

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// Eight characters as one word, the first in the lowest byte on any machine.
uint64_t load_eight(const char *p) {
    uint64_t word;
    memcpy(&word, p, sizeof word);
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    word = __builtin_bswap64(word);
#endif
    return word;
}

// Flags with its top bit each byte of word that is not '0'..'9': adding 0x46
// carries into a byte's top bit from ':' up, subtracting 0x30 borrows into it
// below '0'. The lowest flag marks the first byte that is not a digit; flags
// above it may be wrong, as its carry or borrow runs on.
uint64_t non_digits(uint64_t word) {
    return ((word + 0x4646464646464646) | (word - 0x3030303030303030)) & 0x8080808080808080;
}

// The value of eight digits held as by load_eight: pairs, then fours, then
// the eight are combined in three multiplications.
uint64_t eight_digits_value(uint64_t word) {
    word -= 0x3030303030303030;
    word = word * 10 + (word >> 8);
    const uint64_t mask = 0x000000FF000000FF;
    word = ((word & mask) * 0x000F424000000064 + ((word >> 16) & mask) * 0x0000271000000001) >> 32;
    return word & 0xFFFFFFFF;
}

// The value of the first count (1..7) digits of word: they are moved to its
// top and '0's put below them, so that they too read in one step.
uint64_t leading_digits_value(uint64_t word, int count) {
    int shift = 8 * (8 - count);
    return eight_digits_value(word << shift | 0x3030303030303030 >> (64 - shift));
}

// Passes over a run of digits, appending their values to *digits, which
// wraps once it holds more than 19 digits (the caller counts them). Eight
// characters at a time, the digits of a word that ends the run in one step.
const char *take_digits(const char *p, const char *end, uint64_t *digits) {
    static const uint64_t scale[8] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000};
    uint64_t value = *digits;
    while (end - p >= 8) {
        uint64_t word = load_eight(p);
        uint64_t flags = non_digits(word);
        if (flags == 0) {
            value = value * 100000000 + eight_digits_value(word);
            p += 8;
            continue;
        }
        int count = __builtin_ctzll(flags) / 8;
        if (count > 0) {
            value = value * scale[count] + leading_digits_value(word, count);
            p += count;
        }
        *digits = value;
        return p;
    }
    while (p < end && is_digit(*p)) {
        value = value * 10 + (uint64_t)(*p - '0');
        p++;
    }
    *digits = value;
    return p;
}

// The significant digits of a number's text from its first digit to end:
// those after its leading zeros, up to the exponent.
int significant_digits(const char *p, const char *end) {
    while (p < end && (*p == '0' || *p == '.'))
        p++;
    int count = 0;
    for (; p < end && *p != 'E'; p++)
        count += is_digit(*p);
    return count;
}

// The C library's conversion of the number's text, as fscanf makes it, for
// the rare values that from_chars leaves to it.
bool convert_with_strtod(const char *start, const char *end, double *value) {
    char copy[64];
    size_t length = (size_t)(end - start);
    if (length >= sizeof copy) return false;
    memcpy(copy, start, length);
    copy[length] = '\0';
    *value = strtod(copy, nullptr);
    return true;
}

// The form most values of a trained network take: one digit, a point, one to
// nineteen digits and a comma, or one digit and a comma. The fraction is read
// as three words at most; the digits' value always fits in 64 bits and is
// always within decimal_convert's reach, except for twenty digits whose first
// is not 0, which the writer never writes. Any other form, and a conversion
// that decimal_convert declines, is left to take_general (false), which reads
// the same text from the start again. The caller guarantees SHORT_FORM_REACH
// bytes from p, so no byte of the words is beyond the text.
constexpr ptrdiff_t SHORT_FORM_REACH = 26;

__attribute__((always_inline)) inline bool take_short_form(const char *p, bool negative,
                                                           double *value, const char **after) {
    static const uint64_t scale[9] = {1,      10,      100,      1000,     10000,
                                      100000, 1000000, 10000000, 100000000};
    if (!is_digit(p[0])) return false;
    uint64_t digits = (uint64_t)(p[0] - '0');
    int count; // digits after the point
    if (p[1] == ',') {
        count = 0;
    } else {
        if (p[1] != '.') return false;
        uint64_t first = load_eight(p + 2);
        uint64_t flags = non_digits(first);
        if (flags != 0) {
            count = __builtin_ctzll(flags) / 8;
            if (count == 0) return false;
            digits = digits * scale[count] + leading_digits_value(first, count);
        } else {
            uint64_t second = load_eight(p + 10);
            digits = digits * scale[8] + eight_digits_value(first);
            flags = non_digits(second);
            if (flags != 0) {
                count = 8 + __builtin_ctzll(flags) / 8;
                if (count > 8)
                    digits = digits * scale[count - 8] + leading_digits_value(second, count - 8);
            } else {
                uint64_t third = load_eight(p + 18);
                digits = digits * scale[8] + eight_digits_value(second);
                flags = non_digits(third);
                int more = flags == 0 ? 8 : __builtin_ctzll(flags) / 8;
                // Up to 19 digits in all, or 20 when the first is 0.
                if (more > 3 || (more == 3 && p[0] != '0')) return false;
                count = 16 + more;
                if (more > 0) digits = digits * scale[more] + leading_digits_value(third, more);
            }
        }
    }
    const char *q = count == 0 ? p + 1 : p + 2 + count;
    if (*q != ',' || !decimal_convert(digits, -count, negative, value)) return false;
    *after = q + 1;
    return true;
}

// Exponents beyond this are all the same to the conversions: every nonzero
// number overflows or underflows.
constexpr int EXPONENT_CEILING = 100000;

// One value and its comma, in the forms the writer writes: an optional minus,
// then INF, NAN or digits with an optional fraction and an optional exponent
// with its sign. The digits and the power of ten are gathered on the way, and
// decimal_convert turns up to 19 significant digits into the correctly
// rounded double; from_chars takes what it declines, and the C library's
// conversion, which is what fscanf uses, takes INF, NAN and numbers outside
// the range of double (which from_chars refuses to store). All round
// correctly to nearest, so all give the C library's bits.
__attribute__((noinline)) bool take_general(text_cursor *c, double *value) {
    const char *start = c->at;
    const char *p = start;
    const char *end = c->end;
    bool negative = p < end && *p == '-';
    if (negative) p++;
    if (p < end && is_digit(*p)) {
        const char *whole = p;
        uint64_t digits = 0;
        // Most values have one digit before the point.
        if (end - p > 1 && p[1] == '.')
            digits = (uint64_t)(*p++ - '0');
        else
            p = take_digits(p, end, &digits);
        int count = (int)(p - whole);
        int exponent = 0;
        if (p < end && *p == '.') {
            const char *fraction = ++p;
            p = take_digits(p, end, &digits);
            if (p == fraction) return false;
            count += (int)(p - fraction);
            exponent = -(int)(p - fraction);
        }
        if (p < end && *p == 'E') {
            p++;
            if (p == end || (*p != '+' && *p != '-')) return false;
            bool below = *p == '-';
            const char *power = ++p;
            int written = 0;
            for (; p < end && is_digit(*p); p++)
                if (written < EXPONENT_CEILING) written = written * 10 + (*p - '0');
            if (p == power) return false;
            exponent += below ? -written : written;
        }
        if (p == end || *p != ',') return false;
        // Leading zeros count for nothing; only more digits than that wrap.
        bool exact = count <= 19 || significant_digits(whole, p) <= 19;
        if (!exact || !decimal_convert(digits, exponent, negative, value)) {
            std::from_chars_result done = std::from_chars(start, p, *value);
            if (done.ec == std::errc::result_out_of_range) {
                if (!convert_with_strtod(start, p, value)) return false;
            } else if (done.ec != std::errc() || done.ptr != p) {
                return false;
            }
        }
    } else {
        if (end - p < 3 || (memcmp(p, "INF", 3) != 0 && memcmp(p, "NAN", 3) != 0)) return false;
        p += 3;
        if (p == end || *p != ',') return false;
        if (!convert_with_strtod(start, p, value)) return false;
    }
    c->at = p + 1;
    return true;
}

// One value and its comma: the short form inline where the text holds the
// bytes it reads, any form through take_general.
__attribute__((always_inline)) inline bool take_value(text_cursor *c, double *value) {
    const char *p = c->at;
    if (c->end - p > SHORT_FORM_REACH) {
        bool negative = *p == '-';
        if (take_short_form(p + negative, negative, value, &c->at)) return true;
    }
    return take_general(c, value);
}

// Whether c starts a value in the short form's reach: a digit or a minus.
inline bool starts_value(char c) {
    return is_digit(c) || c == '-';
}

// The breaks after a value: most often one blank before the next value's
// first character, else a blank, a line end and the two blanks that start
// the writer's next line. Branches, not arithmetic, choose: the next value's
// reading then need not wait for the choice.
inline void skip_value_breaks(text_cursor *c) {
    const char *p = c->at;
    if (c->end - p >= 5 && p[0] == ' ') {
        if (starts_value(p[1])) {
            c->at = p + 1;
            return;
        }
        if (p[1] == '\n' && p[2] == ' ' && p[3] == ' ' && starts_value(p[4])) {
            c->at = p + 4;
            return;
        }
    }
    skip_breaks(c);
}

// A header with its numbers as the writer writes them, and the breaks after it.
bool take_header(text_cursor *c, const char *header, int length) {
    if (!take_literal(c, header, (size_t)length)) return false;
    skip_breaks(c);
    return true;
}

} // namespace

size_t netfile_read_value(const char *text, size_t size, double *value) {
    text_cursor c = {text, text + size};
    return take_value(&c, value) ? (size_t)(c.at - text) : 0;
}

// The reads follow the general reader's order and store each value as it
// would; any form that the general reader would take differently or refuse
// stops the fast reader. Up to that point both read the same text the same
// way, so what the fast reader stored is what the general reader stores again.
bool netfile_read_text(const char *text, size_t size) {
    text_cursor c = {text, text + size};
    char header[64];
    for (int i = 0; i < WEIGHT_BLOCK_COUNT; i++) {
        int length =
            snprintf(header, sizeof header, "double weights%d[%d] = {", i, WEIGHT_BLOCK_SLOTS);
        if (!take_header(&c, header, length)) return false;
        // A block's values are gathered and stored together; a value the fast
        // reader cannot take still leaves those before it stored.
        double values[WEIGHT_BLOCK_SLOTS];
        bool present = net_block_present(i);
        for (int v = 0; v < WEIGHT_BLOCK_SLOTS; v++) {
            if (!take_value(&c, &values[v])) {
                if (present) weight_slots_set(i * WEIGHT_BLOCK_SLOTS, v, values);
                return false;
            }
            skip_value_breaks(&c);
        }
        if (present) weight_slots_set(i * WEIGHT_BLOCK_SLOTS, WEIGHT_BLOCK_SLOTS, values);
        if (!take_literal(&c, "}", 1)) return false;
        skip_breaks(&c);
    }
    int length = snprintf(header, sizeof header, "double thresholds[%d] = {", NETSIZE);
    if (!take_header(&c, header, length)) return false;
    for (int u = 0; u < NETSIZE; u++) {
        double value;
        if (!take_value(&c, &value)) return false;
        thresholds[u] = value;
        skip_value_breaks(&c);
    }
    return true;
}

// ---- Loading

namespace {

// The bytes the fast reader took, then the rest of the file: the general
// reader reads them as one stream, as if the file had been opened anew.
struct replay_stream {
    const char *text;
    size_t size;
    size_t done;
    FILE *rest;  // nullptr when text holds the whole file
    bool failed; // reading the file had failed after text
};

ssize_t replay_read(void *cookie, char *buffer, size_t size) {
    replay_stream *replay = (replay_stream *)cookie;
    if (replay->done < replay->size) {
        size_t count = std::min(size, replay->size - replay->done);
        memcpy(buffer, replay->text + replay->done, count);
        replay->done += count;
        return (ssize_t)count;
    }
    if (replay->failed) return -1;
    if (!replay->rest) return 0;
    size_t count = fread(buffer, 1, size, replay->rest);
    if (count == 0 && ferror(replay->rest)) return -1;
    return (ssize_t)count;
}

load_result read_general(const char *name, const char *text, size_t size, FILE *rest, bool failed) {
    replay_stream replay = {text, size, 0, rest, failed};
    cookie_io_functions_t functions = {replay_read, nullptr, nullptr, nullptr};
    FILE *in = fopencookie(&replay, "r", functions);
    if (!in) {
        message_error("cannot read %s: %s", name, strerror(errno));
        return LOAD_FAILED;
    }
    load_result result = netfile_read_stream(in, name);
    fclose(in);
    return result;
}

// A file that another process shortens while it is mapped raises SIGBUS
// where the mapping reads past the new end; the fast read of a mapped file
// is then given up, as if it had found a form it does not take.
sigjmp_buf *mapped_read_escape;

void mapped_read_bus_error(int) {
    siglongjmp(*mapped_read_escape, 1);
}

// The fast reader on the file mapped into memory, where it is a regular file
// under the read limit: the pages of the file's cache are read where they
// are, without copying them into pages of the process's own (which a short
// run's time is mostly made of). True when it read the whole network; false
// for anything else, which the caller reads from the stream as before.
bool read_mapped(FILE *in) {
    struct stat status;
    if (fstat(fileno(in), &status) != 0 || !S_ISREG(status.st_mode) || status.st_size <= 0 ||
        status.st_size >= (off_t)READ_LIMIT)
        return false;
    size_t size = (size_t)status.st_size;
    void *map = mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fileno(in), 0);
    if (map == MAP_FAILED) return false;
    struct sigaction bus = {}, before;
    bus.sa_handler = mapped_read_bus_error;
    sigemptyset(&bus.sa_mask);
    sigjmp_buf escape;
    volatile bool whole = false;
    mapped_read_escape = &escape;
    if (sigaction(SIGBUS, &bus, &before) == 0) {
        if (sigsetjmp(escape, 1) == 0) whole = netfile_read_text((const char *)map, size);
        sigaction(SIGBUS, &before, nullptr);
    }
    mapped_read_escape = nullptr;
    munmap(map, size);
    return whole;
}

} // namespace

load_result net_load_text(const char *name, const char *text, size_t size) {
    if (net_broken) net_warn_broken();
    if (netfile_read_text(text, size)) return LOAD_OK;
    return read_general(name, text, size, nullptr, false);
}

load_result net_load(const char *name) {
    if (net_broken) net_warn_broken();
    FILE *in = fopen(name, "r");
    if (!in) {
        int error = errno;
        message_print("  Couldn't open file %s, don't load.\n", name);
        // A missing file is a first run to glimlearn; its callers say what it means to them.
        return message_open_failed(name, error);
    }
    if (read_mapped(in)) {
        fclose(in);
        return LOAD_OK;
    }
    // Not zeroed: only the bytes read are looked at.
    std::unique_ptr<char[]> text(new char[READ_LIMIT]);
    size_t size = fread(text.get(), 1, READ_LIMIT, in);
    bool failed = ferror(in) != 0;
    load_result result = LOAD_OK;
    if (failed || !netfile_read_text(text.get(), size))
        result = read_general(name, text.get(), size, size == READ_LIMIT ? in : nullptr, failed);
    fclose(in);
    return result;
}
