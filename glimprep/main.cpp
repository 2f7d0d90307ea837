// glimprep: turns a PNG, JPEG or PNM picture of any size into the 80 x 60
// binary PPM picture with maximum 255 that glimcut and glimsee read.
//
// Steps: decode the input as it is read, at the scale the output needs
// (alpha laid over the background), take the --crop part, fit it into 80 x 60
// by area averaging, and save the result atomically under a name that is not
// the input's.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "cmdline.h"
#include "ground.h"
#include "levels.h"
#include "messages.h"
#include "names.h"
#include "savefile.h"
#include "shrink.h"

static const char *const usage[] = {
    "Usage: glimprep [options] INPUT [OUTPUT]\n",
    "  turns a PNG, JPEG or PNM picture (P1 to P6, 8 or 16 bits) of any size\n",
    "  into the 80 x 60 PPM picture (P6, maximum 255) that glimcut and glimsee\n",
    "  read. OUTPUT defaults to INPUT with the extension .ppm; glimprep never\n",
    "  writes over its input. Grey and palette pictures become RGB; transparent\n",
    "  parts show the background colour. A JPEG's EXIF orientation is followed.\n",
    "Options:\n",
    "  --fit               keep the aspect ratio and pad with the background\n",
    "                      colour (the default)\n",
    "  --fill              keep the aspect ratio and cut the overhanging edges\n",
    "                      off evenly, so the centre fills the picture\n",
    "  --stretch           scale width and height apart to fill the picture\n",
    "  --crop X,Y,W,H      first take the W x H pixels whose top left corner is\n",
    "                      column X, row Y of the input (after EXIF orientation)\n",
    "  --background RRGGBB padding and transparency colour in hexadecimal\n",
    "                      (default 000000, black: empty ground to glimcut)\n",
    "  --grey              write each pixel's luminance into all three channels,\n",
    "                      so objects of any colour reach the segmentation, which\n",
    "                      reads only the blue samples\n",
    "  --levels auto       stretch each channel (after --grey, the luminance) so\n",
    "                      that its darkest and brightest 1 % become 0 and 255: a\n",
    "                      dim or bright photo gets the contrast of a well-lit one\n",
    "  --levels none       leave the levels as they are (the default)\n",
    "  --ground clear      make the ground around the objects one dark grey: the\n",
    "                      pixels near the colour of the picture's frame that the\n",
    "                      frame reaches, the ground seen through holes, and the\n",
    "                      specks of a textured ground; done before --grey and\n",
    "                      --levels\n",
    "  --ground keep       leave the ground as it is (the default)\n",
    "Every output pixel is the average of the input area it covers.\n",
    nullptr,
};
static const char *const help[] = {
    "  --                  end the options: later arguments may begin with '-'\n",
    nullptr,
};
static const arg_program program = {"glimprep", usage, help, true, 0, ARG_OPTIONS_OWN};

struct prep_arguments {
    const char *input = nullptr;
    std::string output;
    prep_request request;
    bool grey = false;         // --grey
    bool levels_auto = false;  // --levels auto
    bool clear_ground = false; // --ground clear
};

static bool usage_error(const char *what, const char *why) {
    message_error("%s: %s; see glimprep --help.", what, why);
    return false;
}

// X,Y,W,H: four whole numbers, X and Y from 0, W and H from 1.
static bool parse_crop(const char *text, prep_rect *crop) {
    long values[4];
    const char *at = text;
    for (int i = 0; i < 4; i++) {
        char *end;
        errno = 0;
        if (*at < '0' || *at > '9') return usage_error("--crop", "give X,Y,W,H as four numbers");
        values[i] = strtol(at, &end, 10);
        if (errno != 0 || values[i] > 1000000000)
            return usage_error("--crop", "a number is too large");
        if (*end != (i < 3 ? ',' : '\0'))
            return usage_error("--crop", "give X,Y,W,H as four numbers");
        at = end + 1;
    }
    if (values[2] == 0 || values[3] == 0)
        return usage_error("--crop", "the width and height must be at least 1");
    *crop = {values[0], values[1], values[2], values[3]};
    return true;
}

static int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// RRGGBB, six hexadecimal digits, with or without a leading '#'.
static bool parse_colour(const char *text, prep_rgb *colour) {
    if (*text == '#') text++;
    unsigned char channel[3];
    for (int i = 0; i < 3; i++) {
        int high = hex_digit(text[2 * i]);
        int low = high < 0 ? -1 : hex_digit(text[2 * i + 1]);
        if (low < 0) break;
        channel[i] = (unsigned char)(high * 16 + low);
        if (i == 2 && text[6] == '\0') {
            *colour = {channel[0], channel[1], channel[2]};
            return true;
        }
    }
    return usage_error("--background", "give the colour as six hexadecimal digits RRGGBB");
}

// INPUT with its last extension (after the last dot of the file's own name)
// replaced by .ppm, in the input's directory.
static std::string default_output(const char *input) {
    return std::string(input, name_stem_length(input)) + ".ppm";
}

// Returns the exit status when the program is done, or -1 when it should go on.
static int take_arguments(int argc, char *argv[], prep_arguments *arguments) {
    std::vector<const char *> operands;
    bool options_done = false;
    for (int i = 1; i < argc; i++) {
        const char *arg = argv[i];
        if (options_done || arg[0] != '-' || arg[1] == '\0') {
            operands.push_back(arg);
            continue;
        }
        // A value follows as the next argument, or after '=' in the same one.
        const char *equals = strchr(arg, '=');
        std::string option = equals ? std::string(arg, equals - arg) : std::string(arg);
        bool takes_value = option == "--crop" || option == "--background" || option == "--levels" ||
                           option == "--ground";
        if (!takes_value && option != "--" && option != "--fit" && option != "--fill" &&
            option != "--stretch" && option != "--grey")
            return arg_option(arg, program);
        const char *value = equals ? equals + 1 : nullptr;
        if (takes_value && !value) {
            if (i + 1 == argc) {
                usage_error(arg, "the option needs a value");
                return EXIT_FAILURE;
            }
            value = argv[++i];
        } else if (!takes_value && equals) {
            usage_error(arg, "the option takes no value");
            return EXIT_FAILURE;
        }
        if (option == "--") {
            options_done = true;
        } else if (option == "--fit") {
            arguments->request.mode = FIT_PAD;
        } else if (option == "--fill") {
            arguments->request.mode = FIT_FILL;
        } else if (option == "--stretch") {
            arguments->request.mode = FIT_STRETCH;
        } else if (option == "--crop") {
            if (!parse_crop(value, &arguments->request.crop)) return EXIT_FAILURE;
            arguments->request.has_crop = true;
        } else if (option == "--background") {
            if (!parse_colour(value, &arguments->request.background)) return EXIT_FAILURE;
        } else if (option == "--grey") {
            arguments->grey = true;
        } else if (option == "--levels") {
            if (strcmp(value, "auto") != 0 && strcmp(value, "none") != 0) {
                usage_error("--levels", "give auto or none");
                return EXIT_USAGE;
            }
            arguments->levels_auto = strcmp(value, "auto") == 0;
        } else if (option == "--ground") {
            if (strcmp(value, "clear") != 0 && strcmp(value, "keep") != 0) {
                usage_error("--ground", "give clear or keep");
                return EXIT_USAGE;
            }
            arguments->clear_ground = strcmp(value, "clear") == 0;
        }
    }
    if (operands.empty() || operands.size() > 2) {
        usage_error(operands.empty() ? "no input" : "too many files",
                    "give INPUT and at most one OUTPUT");
        return EXIT_FAILURE;
    }
    arguments->input = operands[0];
    arguments->output = operands.size() == 2 ? operands[1] : default_output(operands[0]);
    return -1;
}

// The output may not be the input under another name (a link, or the same
// path written differently): saving would destroy the picture being read.
static bool is_input(const char *input, const std::string &output) {
    struct stat in_stat, out_stat;
    return stat(input, &in_stat) == 0 && stat(output.c_str(), &out_stat) == 0 &&
           in_stat.st_dev == out_stat.st_dev && in_stat.st_ino == out_stat.st_ino;
}

static bool save_picture(const std::string &output, const unsigned char *raster) {
    save_file file;
    FILE *out = save_begin(&file, output.c_str());
    if (!out) return false;
    fprintf(out, "P6\n%d %d\n255\n", PICTURE_WIDTH, PICTURE_HEIGHT);
    if (fwrite(raster, 3, PICTURE_WIDTH * PICTURE_HEIGHT, out) != PICTURE_WIDTH * PICTURE_HEIGHT) {
        message_error("%s: cannot write: %s", output.c_str(), strerror(errno));
        save_abandon(&file);
        return false;
    }
    return save_commit(&file) == 0;
}

static int run(int argc, char *argv[]) {
    message_set_program("glimprep");
    save_init();
    int status = arg_conventions(&argc, argv, program);
    if (status >= 0) return status;
    prep_arguments arguments;
    status = take_arguments(argc, argv, &arguments);
    if (status >= 0) return status;
    if (is_input(arguments.input, arguments.output)) {
        message_error("%s: the output would overwrite the input; give another OUTPUT",
                      arguments.output.c_str());
        return EXIT_FAILURE;
    }
    unsigned char raster[PICTURE_WIDTH * PICTURE_HEIGHT * 3];
    prep_made made;
    char error[PREP_LINE_SIZE];
    if (!prep_shrink_file(arguments.input, arguments.request, raster, &made, error)) {
        message_error("%s", error);
        return EXIT_FAILURE;
    }
    // The part the input went to: padding is no ground and would pin the darkest level.
    const prep_request &request = arguments.request;
    prep_rect whole = {0, 0, made.width, made.height};
    prep_rect target = prep_plan(request.has_crop ? request.crop : whole, request.mode).target;
    if (arguments.clear_ground) prep_clear_ground(raster, target);
    if (arguments.grey) prep_grey(raster);
    if (arguments.levels_auto) prep_levels_auto(raster, target);
    if (!save_picture(arguments.output, raster)) return EXIT_FAILURE;
    printf("Wrote %s from %s (%s, %ld x %ld)\n",
           message_printable(arguments.output.c_str()).c_str(),
           message_printable(arguments.input).c_str(), prep_format_name(made.format), made.width,
           made.height);
    return EXIT_SUCCESS;
}

int main(int argc, char *argv[]) {
    int status = run(argc, argv);
    // Console output that was lost (a full disk, a closed pipe) fails the run.
    return message_flush_stdout() == 0 ? status : EXIT_FAILURE;
}
