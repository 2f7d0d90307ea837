// The reference writer of the network file, statement by statement.
#include "netfile_literal.h"

#include <cstdio>
#include <cstdlib>

#include "net.h"

namespace {

void literal_value(FILE *out, double value, int *counter) {
    *counter += fprintf(out, "%.16G, ", value);
    if (*counter > 70) {
        fprintf(out, "\n  ");
        *counter = 0;
    }
}

} // namespace

std::string literal_net_text() {
    char *buffer = nullptr;
    size_t size = 0;
    FILE *out = open_memstream(&buffer, &size);
    if (!out) abort();
    int counter = 0;
    fprintf(out, "double weights%d[%d] = {\n  ", 0, 1024);
    for (int s = 0; s < 32768; s++) {
        if (s % 1024 == 0 && s > 0) {
            fprintf(out, "\n}\ndouble weights%d[%d] = {\n  ", s / 1024, 1024);
            counter = 0;
        }
        literal_value(out, weight_slot(s), &counter);
    }
    counter = 0;
    fprintf(out, "\n}\n\ndouble thresholds[%d] = {\n  ", 256);
    for (int u = 0; u < 256; u++)
        literal_value(out, thresholds[u], &counter);
    fprintf(out, "\n}\n");
    fclose(out);
    std::string text(buffer, size);
    free(buffer);
    return text;
}
