// File names and masks: the checks every program makes before it touches a
// file.
//
// File names and masks live in buffers of NAME_SIZE characters. A mask is user
// text that becomes a printf format, so it is accepted only when its every '%'
// is "%%" or starts one plain integer conversion.
#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>

constexpr int NAME_SIZE = 256; // a name buffer: at most 255 characters and the terminator

// Copies a command-line argument into a name buffer of NAME_SIZE characters.
// 0 on success; -1 after a message on stderr when the argument does not fit.
// what says what the argument is, for the message ("pattern file mask").
int name_copy(char *name, const char *arg, const char *what);

// How many integer conversions a mask must hold.
enum mask_rule {
    MASK_AT_MOST_ONE, // a mask without a conversion names the same file for every number
    MASK_EXACTLY_ONE, // every number must give a file of its own
};

// Checks that mask can be used as a format with one int argument: every '%'
// is "%%" or starts a d or i conversion with optional flags (- + blank 0),
// width and precision, no '*' and no length modifier. 0 when the mask is
// usable; -1 after a message on stderr naming the mask and what is wrong.
int name_check_mask(const char *mask, mask_rule rule);

// Formats the name of file number from a checked mask into a name buffer.
// 0 on success; -1 after a message on stderr when the name would not fit.
int name_format(char *name, const char *mask, int number);

// The file name of path: what follows its last '/'.
const char *name_base(const char *path);

// The length of path less the extension of its file name (from the file
// name's last '.'; a dot that starts the file name is no extension): every
// name the suite makes from another file's name starts with these bytes.
// "pics/cat.ppm" gives 8, "pics/.net" 9.
size_t name_stem_length(const char *path);

// The mask of a picture's files in a run over many pictures: the picture's
// name less the extension of its last component (from its last '.'), every
// '%' doubled, then '-' and suffix, a default mask such as "ca-%d.act"; so
// "pics/cat.ppm" gives "pics/cat-ca-%d.act". 0 on success; -1 after a message
// on stderr when the mask would not fit a name buffer.
int name_picture_mask(char *mask, const char *picture, const char *suffix);

// The input files of a run by device and inode, each looked up once, so that
// the outputs of many pictures are checked against many inputs in time that
// grows with their sum, not their product.
struct name_inputs {
    struct file_id {
        uint64_t device, inode;
        bool operator==(const file_id &other) const {
            return device == other.device && inode == other.inode;
        }
    };
    struct file_hash {
        size_t operator()(const file_id &id) const {
            return std::hash<uint64_t>()(id.inode * 0x9e3779b97f4a7c15u ^ id.device);
        }
    };
    std::unordered_map<file_id, const char *, file_hash> files; // the name each was given by
};

// Looks up each of the inputs once; inputs that do not exist are passed over.
// The names must outlive set.
void name_collect_inputs(name_inputs *set, const char *const inputs[], int input_count);

// Refuses to write output when it is one of the input files: the same device
// and inode, so that links and other spellings of a name are caught. An
// output that does not exist is passed over. 0 when output is no input; -1
// after an error line on stderr.
int name_check_output(const char *output, const char *const inputs[], int input_count);

// The same against inputs collected once, for a run that writes many outputs.
int name_check_output_in(const char *output, const name_inputs &inputs);

// Refuses a mask whose name for one of the file numbers 0 to count - 1 is one
// of the input files, as name_check_output does for one name. 0 when no
// output hits an input; -1 after an error line on stderr.
int name_check_outputs(const char *mask, int count, const name_inputs &inputs);
