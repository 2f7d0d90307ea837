// Atomic replacement of a file: write a temporary file beside it, sync, rename.
#include "savefile.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "messages.h"

// The temporary file of the save under way, for the signal handler; null
// when no temporary file exists.
static const char *volatile save_active_temp;
// Counts temporary names tried in this process, so that no two are alike.
static unsigned save_name_counter;
// Whether save_commit syncs each file before its rename; see save_set_sync_each.
static bool save_sync_each = true;
// One open directory per file system that holds files saved without their own
// sync, for save_sync_all; past DEFERRED_SYSTEMS of them, a sync of all.
constexpr int DEFERRED_SYSTEMS = 8;
static int deferred_dirs[DEFERRED_SYSTEMS];
static dev_t deferred_devices[DEFERRED_SYSTEMS];
static int deferred_count;
static bool deferred_beyond; // more file systems than deferred_dirs holds

constexpr int LINK_HOPS_MAX = 40; // as the kernel allows when it follows links itself
constexpr int TEMP_TRIES = 100;   // attempts to find a free temporary name
static const int cleanup_signals[] = {SIGINT, SIGTERM, SIGHUP};

static void remove_and_die(int signal_number) {
    const char *temp = save_active_temp;
    if (temp) unlink(temp);
    // The handler was installed with SA_RESETHAND, so the signal raised again
    // takes its default course once the handler returns.
    raise(signal_number);
}

void save_init() {
    signal(SIGXFSZ, SIG_IGN);
    signal(SIGPIPE, SIG_IGN);
    for (int signal_number : cleanup_signals) {
        struct sigaction previous;
        if (sigaction(signal_number, nullptr, &previous) != 0 || previous.sa_handler == SIG_IGN)
            continue;
        struct sigaction cleanup = {};
        cleanup.sa_handler = remove_and_die;
        cleanup.sa_flags = SA_RESETHAND;
        sigemptyset(&cleanup.sa_mask);
        sigaction(signal_number, &cleanup, nullptr);
    }
}

static void report_failure(const char *target, int error) {
    fflush(stdout);
    fprintf(stderr, "  Couldn't write file %s: %s\n", target, strerror(error));
}

// Copies the directory part of from (up to and including its last '/') and
// then name into to. 0, or ENAMETOOLONG.
static int join_to_directory(char *to, const char *from, const char *name) {
    const char *slash = strrchr(from, '/');
    int dir_length = slash ? (int)(slash - from) + 1 : 0;
    int n = snprintf(to, SAVE_PATH_SIZE, "%.*s%s", dir_length, from, name);
    return n >= 0 && n < SAVE_PATH_SIZE ? 0 : ENAMETOOLONG;
}

// Follows target through symbolic links into file->path, as opening it would,
// also when the last link points at a file not yet made. 0, or an errno.
static int follow_links(save_file *file) {
    if (snprintf(file->path, SAVE_PATH_SIZE, "%s", file->target) >= SAVE_PATH_SIZE)
        return ENAMETOOLONG;
    for (int hop = 0; hop < LINK_HOPS_MAX; hop++) {
        struct stat link_stat;
        // Anything but a link ends the walk; a missing file is made where it was named.
        if (lstat(file->path, &link_stat) != 0 || !S_ISLNK(link_stat.st_mode)) return 0;
        char link[SAVE_PATH_SIZE];
        ssize_t length = readlink(file->path, link, sizeof link - 1);
        if (length < 0) return errno;
        if (length == (ssize_t)sizeof link - 1) return ENAMETOOLONG;
        link[length] = '\0';
        char next[SAVE_PATH_SIZE];
        if (link[0] == '/')
            memcpy(next, link, (size_t)length + 1);
        else if (int error = join_to_directory(next, file->path, link))
            return error;
        memcpy(file->path, next, sizeof next);
    }
    return ELOOP;
}

// The temporary name is the file's name with a suffix of six letters or
// digits, in the same directory so that the rename cannot cross file systems.
// When that name would be too long for the directory, a short fixed stem
// stands in for the file's.
static int make_temp_name(save_file *file, uint64_t seed) {
    static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    char suffix[8] = ".";
    for (int i = 1; i <= 6; i++, seed /= 62)
        suffix[i] = letters[seed % 62];
    suffix[7] = '\0';
    const char *slash = strrchr(file->path, '/');
    const char *base = slash ? slash + 1 : file->path;
    size_t stem_length = strlen(base);
    if (stem_length + strlen(suffix) > NAME_MAX) {
        base = "glim-save";
        stem_length = strlen(base);
    }
    char name[NAME_MAX + 1];
    memcpy(name, base, stem_length);
    memcpy(name + stem_length, suffix, sizeof suffix);
    return join_to_directory(file->temp_name, file->path, name);
}

// Creates the temporary file with the mode a new file gets under the umask.
// Returns its descriptor, or -1 with errno set.
static int create_temp(save_file *file) {
    for (int attempt = 0; attempt < TEMP_TRIES; attempt++) {
        struct timespec now;
        clock_gettime(CLOCK_REALTIME, &now);
        uint64_t seed = ((uint64_t)now.tv_nsec << 20) ^ ((uint64_t)getpid() << 8) ^
                        (uint64_t)now.tv_sec ^
                        ((uint64_t)++save_name_counter * 0x9e3779b97f4a7c15u);
        if (int error = make_temp_name(file, seed)) {
            errno = error;
            return -1;
        }
        int fd = open(file->temp_name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

// The stream's writes go through this function, which keeps the errno of the
// first write that fails; the C library would report the failure only as an
// error flag, and a later flush that succeeds could hide it.
static ssize_t write_through(void *cookie, const char *buffer, size_t size) {
    save_file *file = (save_file *)cookie;
    size_t done = 0;
    while (done < size) {
        ssize_t n = write(file->fd, buffer + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (!file->error) file->error = n < 0 ? errno : EIO;
            return 0; // the C library takes 0 as a failed write
        }
        done += (size_t)n;
    }
    return (ssize_t)size;
}

// Opens the descriptor for writing and makes the stream over it. 0, or an errno.
static int open_stream(save_file *file) {
    sigset_t block, previous;
    sigemptyset(&block);
    for (int signal_number : cleanup_signals)
        sigaddset(&block, signal_number);
    // A signal between creating the temporary file and recording its name
    // would leave the file behind.
    sigprocmask(SIG_BLOCK, &block, &previous);
    file->fd = file->direct ? open(file->path, O_WRONLY | O_CLOEXEC) : create_temp(file);
    int error = file->fd < 0 ? errno : 0;
    if (!error && !file->direct) save_active_temp = file->temp_name;
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    if (error) return error;
    cookie_io_functions_t functions = {};
    functions.write = write_through;
    file->stream = fopencookie(file, "w", functions);
    return file->stream ? 0 : ENOMEM;
}

static void remove_temp(save_file *file) {
    if (file->direct) return;
    unlink(file->temp_name);
    save_active_temp = nullptr;
}

FILE *save_begin(save_file *file, const char *target) {
    file->stream = nullptr;
    file->target = target;
    file->temp_name[0] = '\0';
    file->fd = -1;
    file->error = 0;
    file->direct = false;
    int error = follow_links(file);
    struct stat old;
    bool exists = !error && stat(file->path, &old) == 0;
    file->direct = exists && !S_ISREG(old.st_mode);
    if (!error) error = open_stream(file);
    // A replaced file keeps its owner, group and mode; the owner first, as a
    // change of owner clears the set-user-ID and set-group-ID bits.
    if (!error && exists && !file->direct) {
        // Only a privileged process may give a file away; else the new file is the saver's.
        if ((old.st_uid != geteuid() || old.st_gid != getegid()) &&
            fchown(file->fd, old.st_uid, old.st_gid) != 0 && errno != EPERM)
            error = errno;
        if (!error && fchmod(file->fd, old.st_mode & 07777) != 0) error = errno;
    }
    if (error) {
        if (file->fd >= 0) {
            close(file->fd);
            remove_temp(file);
        }
        file->fd = -1;
        report_failure(target, error);
        return nullptr;
    }
    return file->stream;
}

// Keeps a directory open on the file system of the file saved at path, once
// per file system, for save_sync_all.
static void note_deferred(const char *path) {
    char directory[SAVE_PATH_SIZE];
    const char *slash = strrchr(path, '/');
    if (!slash)
        snprintf(directory, sizeof directory, ".");
    else
        snprintf(directory, sizeof directory, "%.*s", (int)(slash - path == 0 ? 1 : slash - path),
                 path);
    int fd = open(directory, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat status;
    if (fd < 0 || fstat(fd, &status) != 0) {
        if (fd >= 0) close(fd);
        deferred_beyond = true;
        return;
    }
    for (int i = 0; i < deferred_count; i++)
        if (deferred_devices[i] == status.st_dev) {
            close(fd);
            return;
        }
    if (deferred_count == DEFERRED_SYSTEMS) {
        close(fd);
        deferred_beyond = true;
        return;
    }
    deferred_dirs[deferred_count] = fd;
    deferred_devices[deferred_count++] = status.st_dev;
}

int save_commit(save_file *file) {
    int error = 0;
    if (fflush(file->stream) != 0 || ferror(file->stream) || file->error)
        error = file->error ? file->error : EIO;
    // A pipe or a device cannot be synced; a regular file must reach the disk
    // before it replaces the old one, or a crash could leave neither.
    if (!error && !file->direct && save_sync_each && fsync(file->fd) != 0) error = errno;
    fclose(file->stream);
    file->stream = nullptr;
    if (close(file->fd) != 0 && !error) error = errno;
    file->fd = -1;
    if (!error && !file->direct && rename(file->temp_name, file->path) != 0) error = errno;
    if (error) {
        remove_temp(file);
        report_failure(file->target, error);
        return -1;
    }
    save_active_temp = nullptr;
    if (!file->direct && !save_sync_each) note_deferred(file->path);
    return 0;
}

void save_set_sync_each(bool sync_each) {
    save_sync_each = sync_each;
}

int save_sync_all() {
    int error = 0;
    for (int i = 0; i < deferred_count; i++) {
        if (syncfs(deferred_dirs[i]) != 0 && !error) error = errno;
        close(deferred_dirs[i]);
    }
    deferred_count = 0;
    if (deferred_beyond) sync();
    deferred_beyond = false;
    if (error) {
        message_error("cannot bring the files written to the disk: %s", strerror(error));
        return -1;
    }
    return 0;
}

void save_abandon(save_file *file) {
    if (file->stream) fclose(file->stream);
    file->stream = nullptr;
    if (file->fd >= 0) close(file->fd);
    file->fd = -1;
    remove_temp(file);
}
