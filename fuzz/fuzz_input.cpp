// The input file and scratch directory of the fuzz targets.
#include "fuzz_input.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

const char *fuzz_input_path(const uint8_t *data, size_t size) {
    static int fd = -1;
    static char path[64];
    if (fd < 0) {
        fd = memfd_create("fuzz-input", 0);
        if (fd < 0) fuzz_fail("memfd_create failed");
        snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
    }
    if (ftruncate(fd, 0) != 0) fuzz_fail("ftruncate failed");
    size_t done = 0;
    while (done < size) {
        ssize_t n = pwrite(fd, data + done, size - done, (off_t)done);
        if (n <= 0) fuzz_fail("pwrite failed");
        done += (size_t)n;
    }
    return path;
}

const char *fuzz_scratch_dir() {
    static std::string dir;
    if (dir.empty()) {
        // Memory-backed when the machine has it: the targets write a file per input.
        const char *base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/glim-fuzz-XXXXXX";
        if (!mkdtemp(pattern.data())) fuzz_fail("mkdtemp failed");
        dir = pattern;
        // The targets remove their files after each input, so the directory is empty.
        atexit([] { rmdir(dir.c_str()); });
    }
    return dir.c_str();
}

void fuzz_fail(const char *what) {
    fprintf(stderr, "fuzz property violated: %s\n", what);
    abort();
}
