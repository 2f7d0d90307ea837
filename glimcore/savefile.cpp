// Atomic replacement of a file: write a temporary file beside it, then rename.
#include "savefile.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

static void report_failure(const char *target, int error) {
    fprintf(stderr, "  Couldn't write file %s: %s\n", target, strerror(error));
}

// The temporary name is the target's name with a random suffix, in the same
// directory so that the rename cannot cross file systems. When that name would
// be too long for the directory, a short fixed stem stands in for the target's.
static bool make_temp_name(save_file *file) {
    const char *target = file->target;
    const char *slash = strrchr(target, '/');
    size_t dir_length = slash ? (size_t)(slash - target) + 1 : 0;
    size_t base_length = strlen(target) - dir_length;
    int n;
    if (base_length + 8 <= NAME_MAX)
        n = snprintf(file->temp_name, sizeof file->temp_name, "%s.XXXXXX", target);
    else
        n = snprintf(file->temp_name, sizeof file->temp_name, "%.*sglim-save.XXXXXX",
                     (int)dir_length, target);
    return n > 0 && (size_t)n < sizeof file->temp_name;
}

FILE *save_begin(save_file *file, const char *target) {
    file->target = target;
    file->stream = nullptr;
    if (!make_temp_name(file)) {
        report_failure(target, ENAMETOOLONG);
        return nullptr;
    }
    // Hitting a file-size limit must fail the write, not kill the process.
    signal(SIGXFSZ, SIG_IGN);
    int fd = mkstemp(file->temp_name);
    if (fd < 0) {
        report_failure(target, errno);
        return nullptr;
    }
    // mkstemp creates the file private; give it the mode a new file would get.
    mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    file->stream = fdopen(fd, "w");
    if (!file->stream) {
        int error = errno;
        close(fd);
        unlink(file->temp_name);
        report_failure(target, error);
        return nullptr;
    }
    // From here on only writes to this stream run until save_commit, so a
    // non-zero errno there tells why one of them failed.
    errno = 0;
    return file->stream;
}

int save_commit(save_file *file) {
    int error = 0;
    if (fflush(file->stream) != 0 || ferror(file->stream))
        error = errno ? errno : EIO;
    else if (fsync(fileno(file->stream)) != 0)
        error = errno;
    if (fclose(file->stream) != 0 && !error) error = errno ? errno : EIO;
    file->stream = nullptr;
    if (!error && rename(file->temp_name, file->target) != 0) error = errno;
    if (error) {
        unlink(file->temp_name);
        report_failure(file->target, error);
        return -1;
    }
    return 0;
}

void save_abandon(save_file *file) {
    if (file->stream) fclose(file->stream);
    file->stream = nullptr;
    unlink(file->temp_name);
}
