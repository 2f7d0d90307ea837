// The heads and tails that glimview's views share: reading the network and
// the pattern files, and saving the picture. Each says what went wrong once:
// a reader that refuses a file has printed its own line already.
#include <cerrno>
#include <sys/stat.h>

#include "actfile.h"
#include "messages.h"
#include "net.h"
#include "netfile.h"
#include "views.h"

int view_load_network(const char *network_name) {
    // A network that is not there is one not yet taught, which the reader's
    // own line would not say.
    struct stat file;
    if (stat(network_name, &file) != 0 && errno == ENOENT) {
        message_error("cannot read network %s: it is missing; teach one with glimlearn",
                      network_name);
        return -1;
    }
    // A folder opens but reads as nothing, which the reader would call a
    // format error in a file.
    if (stat(network_name, &file) == 0 && S_ISDIR(file.st_mode)) {
        message_error("cannot read network %s: it is a folder, not a network file",
                      network_name);
        return -1;
    }
    net_verbose = 0;
    net_init();
    if (net_broken || net_load(network_name) != LOAD_OK || net_broken) return -1;
    return 0;
}

int view_load_patterns(char *const pattern_names[], int count,
                       std::vector<std::vector<int>> *patterns) {
    patterns->assign(count, std::vector<int>(NETSIZE, 0));
    for (int p = 0; p < count; p++)
        if (act_load((*patterns)[p].data(), pattern_names[p]) != LOAD_OK) return -1;
    return 0;
}

int view_save_picture(const canvas *picture, const char *out_name) {
    if (canvas_save_png(picture, out_name) != 0) return -1;
    message_note("wrote %s", out_name);
    return 0;
}
