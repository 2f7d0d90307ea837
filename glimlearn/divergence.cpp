// The divergence warning of glimlearn.
#include "divergence.h"

#include <cstdio>

#include "messages.h"
#include "netmeasure.h"

constexpr int NOT_DIVERGED = -2;
static int diverged_since = NOT_DIVERGED; // the watch from which on the network has diverged

void divergence_watch(int cycle) {
    if (net_broken) return;
    // Values can return into range (a correction can shrink a huge finite
    // weight), so the warning names the start of the last stretch of watches
    // that found the network diverged.
    if (net_count_diverged() == 0)
        diverged_since = NOT_DIVERGED;
    else if (diverged_since == NOT_DIVERGED)
        diverged_since = cycle;
}

void divergence_warn(const char *net_file_name) {
    if (net_broken || diverged_since == NOT_DIVERGED) return;
    int count = net_count_diverged();
    char since[64];
    if (diverged_since == DIVERGENCE_LOADED)
        snprintf(since, sizeof since, "as loaded, before learning");
    else
        snprintf(since, sizeof since, "from learning cycle %d on", diverged_since);
    message_error("warning: network %s: %d of %d weights and thresholds are infinite, NaN or "
                  "beyond %G (%s): learning diverged and recall with it is unreliable",
                  net_file_name, count, weightsize + NETSIZE, NET_DIVERGED_MAGNITUDE, since);
}
