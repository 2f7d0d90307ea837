// File-name and mask checks shared by the programs.
#include "names.h"

#include <cstdio>
#include <cstring>
#include <sys/stat.h>

#include "messages.h"

constexpr int NAME_MAX_LENGTH = NAME_SIZE - 1;
constexpr int NAME_SHOWN = 40; // the characters of an over-long argument that a message echoes

int name_copy(char *name, const char *arg, const char *what) {
    size_t length = strlen(arg);
    if (length > (size_t)NAME_MAX_LENGTH) {
        message_error("cannot use the %s %.*s...: it is %zu characters long, at most %d fit", what,
                      NAME_SHOWN, arg, length, NAME_MAX_LENGTH);
        return -1;
    }
    memcpy(name, arg, length + 1);
    return 0;
}

static int mask_refuse(const char *mask, const char *start, const char *end, const char *reason) {
    message_error("cannot use the mask %s: \"%.*s\" %s", mask, (int)(end - start), start, reason);
    return -1;
}

// Reads a run of digits; values beyond NAME_SIZE are kept at NAME_SIZE, which
// is already more than any name can hold.
static int read_digits(const char **p) {
    int value = 0;
    while (**p >= '0' && **p <= '9') {
        value = value * 10 + (**p - '0');
        if (value > NAME_SIZE) value = NAME_SIZE;
        (*p)++;
    }
    return value;
}

// Walks the mask as printf would: each '%' opens a conversion of flags,
// width, precision, length modifier and conversion character. Only
// the pieces that printf reads for a single int argument are let through.
int name_check_mask(const char *mask, mask_rule rule) {
    int conversions = 0;
    for (const char *p = mask; *p; p++) {
        if (*p != '%') continue;
        const char *start = p++;
        if (*p == '%') continue;
        while (*p != '\0' && strchr("-+ 0#", *p)) {
            // For d and i the '#' flag has no defined meaning.
            if (*p == '#')
                return mask_refuse(mask, start, p + 1, "has the flag #, which d and i do not take");
            p++;
        }
        int width = read_digits(&p);
        int precision = 0;
        if (*p == '.') {
            p++;
            if (*p == '*')
                return mask_refuse(mask, start, p + 1, "takes its precision from an argument");
            precision = read_digits(&p);
        }
        if (*p == '\0') return mask_refuse(mask, start, p, "is not a complete conversion");
        if (*p == '*') return mask_refuse(mask, start, p + 1, "takes its width from an argument");
        if (strchr("hlLqjzt", *p))
            return mask_refuse(mask, start, p + 1,
                               "has a length modifier; only %d or %i is allowed");
        if (*p != 'd' && *p != 'i')
            return mask_refuse(mask, start, p + 1,
                               "is not an integer conversion; only %d or %i is allowed");
        if (width > NAME_MAX_LENGTH || precision > NAME_MAX_LENGTH)
            return mask_refuse(mask, start, p + 1, "is wider than a file name can be");
        if (++conversions > 1)
            return mask_refuse(mask, start, p + 1, "is a second conversion; one is allowed");
    }
    if (rule == MASK_EXACTLY_ONE && conversions == 0) {
        message_error("cannot use the mask %s: it holds no %%d or %%i for the file number", mask);
        return -1;
    }
    return 0;
}

int name_format(char *name, const char *mask, int number) {
    int length = snprintf(name, NAME_SIZE, mask, number);
    if (length < 0 || length > NAME_MAX_LENGTH) {
        message_error("cannot name file %d of the mask %s: the name would be longer than %d "
                      "characters",
                      number, mask, NAME_MAX_LENGTH);
        name[0] = '\0';
        return -1;
    }
    return 0;
}

const char *name_base(const char *path) {
    const char *slash = strrchr(path, '/');
    return slash ? slash + 1 : path;
}

size_t name_stem_length(const char *path) {
    const char *base = name_base(path);
    const char *dot = strrchr(base, '.');
    return dot && dot != base ? (size_t)(dot - path) : strlen(path);
}

int name_picture_mask(char *mask, const char *picture, const char *suffix) {
    const char *stem_end = picture + name_stem_length(picture);
    char built[2 * NAME_SIZE + 2];
    size_t length = 0;
    for (const char *c = picture; c < stem_end && length < 2 * NAME_SIZE; c++) {
        if (*c == '%') built[length++] = '%';
        built[length++] = *c;
    }
    int total = snprintf(built + length, sizeof built - length, "-%s", suffix);
    if (length + (size_t)total > (size_t)NAME_MAX_LENGTH) {
        message_error("cannot name the files of picture %s: its name is too long", picture);
        return -1;
    }
    memcpy(mask, built, length + (size_t)total + 1);
    return 0;
}

void name_collect_inputs(name_inputs *set, const char *const inputs[], int input_count) {
    for (int i = 0; i < input_count; i++) {
        struct stat input;
        if (stat(inputs[i], &input) == 0)
            set->files.emplace(name_inputs::file_id{input.st_dev, input.st_ino}, inputs[i]);
    }
}

int name_check_output_in(const char *output, const name_inputs &inputs) {
    struct stat output_stat;
    if (stat(output, &output_stat) != 0) return 0;
    auto hit = inputs.files.find({output_stat.st_dev, output_stat.st_ino});
    if (hit == inputs.files.end()) return 0;
    message_error("cannot write %s: it is the input file %s; nothing written", output, hit->second);
    return -1;
}

int name_check_output(const char *output, const char *const inputs[], int input_count) {
    name_inputs set;
    name_collect_inputs(&set, inputs, input_count);
    return name_check_output_in(output, set);
}

int name_check_outputs(const char *mask, int count, const name_inputs &inputs) {
    for (int j = 0; j < count; j++) {
        char name[NAME_SIZE];
        if (name_format(name, mask, j) != 0) return -1;
        if (name_check_output_in(name, inputs) != 0) return -1;
    }
    return 0;
}
