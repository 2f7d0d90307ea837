// Writing, reading and printing activation vectors.
#include "actfile.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

#include "messages.h"
#include "savefile.h"

act_layout act_file_layout = ACT_LAYOUT_ROWS; // set once by each program that saves patterns

// The character layout breaks a line once the characters written since the
// last break exceed 70; the row layout once more than 15 values stand on it,
// which gives one line per pattern row.
constexpr int CHARACTER_LIMIT = 70;
constexpr int ROW_LIMIT = 15;

int act_save(const int *act, const char *name) {
    save_file file;
    FILE *out = save_begin(&file, name);
    if (!out) return -1;
    bool characters = act_file_layout == ACT_LAYOUT_CHARACTERS;
    int limit = characters ? CHARACTER_LIMIT : ROW_LIMIT;
    int counter = 0;
    // The text is gathered and written with one call: the same characters as
    // an fprintf per value, without formatting a call for each of the 0s and
    // 1s. A short write still sets the stream's error flag for save_commit.
    char text[32 + NETSIZE * 16]; // the header, then "-2147483648, " and a break per value
    int length = snprintf(text, sizeof text, "int act[%d] = {\n  ", NETSIZE);
    for (int u = 0; u < NETSIZE; u++) {
        int written;
        if (act[u] == 0 || act[u] == 1) {
            memcpy(text + length, act[u] == 0 ? "0, " : "1, ", 3);
            written = 3;
        } else {
            written = snprintf(text + length, sizeof text - (size_t)length, "%d, ", act[u]);
        }
        length += written;
        counter += characters ? written : 1;
        if (counter > limit) {
            memcpy(text + length, "\n  ", 3);
            length += 3;
            counter = 0;
        }
    }
    memcpy(text + length, "\n}\n", 3);
    length += 3;
    size_t done = fwrite(text, 1, (size_t)length, out);
    (void)done;
    return save_commit(&file);
}

// A scan that stopped because reading failed (a folder in place of a file,
// an I/O error) rather than at a character: the reason goes with the message.
static load_result format_error(FILE *in, const char *name, const char *place) {
    int error = ferror(in) ? errno : 0;
    message_print("  File format error in %s/ac.%s, breaking.\n", name, place);
    if (error) message_error("cannot read %s: %s", name, strerror(error));
    return LOAD_FAILED;
}

// Each read is one fscanf call. The header must start the file; after the
// brace and after each value's comma a run of blanks and line feeds is passed
// over, and the trailing "s" never matches, it only ends the scan. A value
// read skips any white space before it, carriage returns included. Numbers
// are scanned as long long, which the C library holds at its limits when the
// digits go beyond them, so that a number outside an int is refused at its
// place rather than wrapped.
static load_result read_activation(FILE *in, int *act, const char *name) {
    long long count = -1;
    if (fscanf(in, "int act[%lld] = {%*[\n ]s", &count) < 1 || count != NETSIZE)
        return format_error(in, name, "-");
    for (int i = 0; i < NETSIZE; i++) {
        long long value;
        if (fscanf(in, "%lld,%*[ \n]s", &value) != 1 || value < INT_MIN || value > INT_MAX) {
            char place[16];
            snprintf(place, sizeof place, "%d", i);
            return format_error(in, name, place);
        }
        act[i] = (int)value;
    }
    return LOAD_OK;
}

load_result act_load(int *act, const char *name) {
    FILE *in = fopen(name, "r");
    if (!in) {
        int error = errno;
        message_print("  File not found error in %s/ac.-, breaking.\n", name);
        return message_open_failed(name, error);
    }
    load_result result = read_activation(in, act, name);
    fclose(in);
    return result;
}

// The text is gathered first and printed with one call: the same characters
// as a printf per value, without formatting a call for each of the 0s and 1s.
void act_print(const int *act, const char *title) {
    char text[NETSIZE * 12 + NETSIZE / PATTERN_SIDE + 2]; // "-2147483648 " is 12
    size_t length = 0;
    for (int u = 0; u < NETSIZE; u++) {
        if (u % PATTERN_SIDE == 0) text[length++] = '\n';
        if (act[u] == 0 || act[u] == 1) {
            text[length++] = (char)('0' + act[u]);
            text[length++] = ' ';
        } else {
            length += (size_t)snprintf(text + length, sizeof text - length, "%d ", act[u]);
        }
    }
    text[length++] = '\n';
    text[length] = '\0';
    printf("%s%s", title, text);
}
