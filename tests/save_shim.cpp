// Preloaded into a program under test (LD_PRELOAD) to watch and disturb its
// saves from outside:
//   GLIM_SHIM_LOG=FILE       appends a line "fsync NAME", "syncfs FOLDER" or "rename FROM TO" per
//   call
//                            (file names without their folders)
//   GLIM_SHIM_FAIL_WRITE=N   the Nth write to a regular file other than the
//                            standard streams fails with EIO; the others succeed
//   GLIM_SHIM_KILL_AT=N      the process dies of SIGKILL just before the Nth step
//                            that changes a file: a write to a regular file
//                            other than the standard streams, a rename, an
//                            unlink or a mkdir
//   GLIM_SHIM_STATS=FILE     writes the number of stat calls to FILE as the program ends
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

template <typename function> static function real(const char *name) {
    return (function)dlsym(RTLD_NEXT, name);
}

static const char *base_name(const char *path) {
    const char *slash = strrchr(path, '/');
    return slash ? slash + 1 : path;
}

static void log_line(const char *format, const char *a, const char *b) {
    const char *log = getenv("GLIM_SHIM_LOG");
    if (!log) return;
    char line[1024];
    int length = snprintf(line, sizeof line, format, a, b);
    int fd = open(log, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0) return;
    static auto write_call = real<ssize_t (*)(int, const void *, size_t)>("write");
    if (length > 0) write_call(fd, line, (size_t)length);
    close(fd);
}

// Counts a step that changes a file and dies at the one GLIM_SHIM_KILL_AT names.
static void step_taken() {
    static long steps;
    const char *kill_at = getenv("GLIM_SHIM_KILL_AT");
    if (kill_at && ++steps == atol(kill_at)) raise(SIGKILL);
}

extern "C" ssize_t write(int fd, const void *buffer, size_t size) {
    static auto write_call = real<ssize_t (*)(int, const void *, size_t)>("write");
    struct stat regular;
    if (fd > 2 && fstat(fd, &regular) == 0 && S_ISREG(regular.st_mode)) step_taken();
    static long regular_writes;
    const char *fail = getenv("GLIM_SHIM_FAIL_WRITE");
    struct stat st;
    if (fail && fd > 2 && fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
        ++regular_writes == atol(fail)) {
        errno = EIO;
        return -1;
    }
    return write_call(fd, buffer, size);
}

extern "C" int fsync(int fd) {
    static auto fsync_call = real<int (*)(int)>("fsync");
    char link[64], path[4096];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    ssize_t length = readlink(link, path, sizeof path - 1);
    path[length > 0 ? length : 0] = '\0';
    log_line("fsync %s%s\n", base_name(path), "");
    return fsync_call(fd);
}

extern "C" int rename(const char *from, const char *to) {
    static auto rename_call = real<int (*)(const char *, const char *)>("rename");
    log_line("rename %s %s\n", base_name(from), base_name(to));
    step_taken();
    return rename_call(from, to);
}

extern "C" int unlink(const char *path) {
    static auto unlink_call = real<int (*)(const char *)>("unlink");
    step_taken();
    return unlink_call(path);
}

extern "C" int mkdir(const char *path, mode_t mode) {
    static auto mkdir_call = real<int (*)(const char *, mode_t)>("mkdir");
    step_taken();
    return mkdir_call(path, mode);
}

// Logged as "syncfs FOLDER" (the folder's own name).
extern "C" int syncfs(int fd) {
    static auto syncfs_call = real<int (*)(int)>("syncfs");
    char link[64], path[4096];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    ssize_t length = readlink(link, path, sizeof path - 1);
    path[length > 0 ? length : 0] = '\0';
    log_line("syncfs %s%s\n", base_name(path), "");
    return syncfs_call(fd);
}

static long stat_calls; // counted for GLIM_SHIM_STATS

extern "C" int stat(const char *path, struct stat *status) {
    static auto stat_call = real<int (*)(const char *, struct stat *)>("stat");
    stat_calls++;
    return stat_call(path, status);
}

__attribute__((destructor)) static void write_stat_count() {
    const char *file = getenv("GLIM_SHIM_STATS");
    if (!file) return;
    if (FILE *out = fopen(file, "w")) {
        fprintf(out, "%ld\n", stat_calls);
        fclose(out);
    }
}
