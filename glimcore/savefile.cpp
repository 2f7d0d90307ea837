// Atomic replacement of a file: write a temporary file beside it, sync, rename.
#include "savefile.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
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
// The folders already cleared of dead temporary files in this run, so that a
// run that saves many files in one folder reads it once.
constexpr int SWEPT_FOLDERS = 16;
static dev_t swept_devices[SWEPT_FOLDERS];
static ino_t swept_inodes[SWEPT_FOLDERS];
static int swept_count;

constexpr int LINK_HOPS_MAX = 40; // as the kernel allows when it follows links itself
constexpr int TEMP_TRIES = 100;   // attempts to find a free temporary name
static const int cleanup_signals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
// A temporary file's name is the target's name, TEMP_MARK and TEMP_LETTERS
// letters or digits; the mark tells a save's temporary file from a user's
// file that merely ends in a dot and six letters ("net.backup").
static const char TEMP_MARK[] = ".glimsave-";
constexpr int TEMP_LETTERS = 6;
static const char temp_alphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

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
    message_error("cannot write %s: %s", target, strerror(error));
}

// Copies the directory part of from (up to and including its last '/') and
// then name into to. 0, or ENAMETOOLONG.
static int join_to_directory(char *to, const char *from, const char *name) {
    const char *slash = strrchr(from, '/');
    int dir_length = slash ? (int)(slash - from) + 1 : 0;
    int n = snprintf(to, SAVE_PATH_SIZE, "%.*s%s", dir_length, from, name);
    return n >= 0 && n < SAVE_PATH_SIZE ? 0 : ENAMETOOLONG;
}

// Copies the folder that holds the file at path into folder: the part before
// the last '/', "/" for a file in the root, "." for a bare name.
static void path_folder(char *folder, const char *path) {
    const char *slash = strrchr(path, '/');
    if (!slash)
        snprintf(folder, SAVE_PATH_SIZE, ".");
    else
        snprintf(folder, SAVE_PATH_SIZE, "%.*s", slash == path ? 1 : (int)(slash - path), path);
}

constexpr int NOT_A_DESCRIPTOR = -1;
constexpr int FOREIGN_DESCRIPTOR = -2;

// Whether the folder real (with its links followed) is a descriptor folder
// of /proc: /proc/PID/fd or /proc/PID/task/TID/fd. own says whether PID is
// this process.
static bool is_descriptor_folder(const char *real, bool *own) {
    int pid = 0, tid = 0, end = 0;
    if ((sscanf(real, "/proc/%d/fd%n", &pid, &end) != 1 || real[end] != '\0') &&
        (sscanf(real, "/proc/%d/task/%d/fd%n", &pid, &tid, &end) != 2 || real[end] != '\0'))
        return false;
    *own = pid == (int)getpid();
    return true;
}

// What a link at path stands for when it is an entry of a descriptor folder
// of /proc: the descriptor number when the folder is this process's
// (/proc/self/fd/N, /dev/fd/N and /dev/stdout lead there),
// FOREIGN_DESCRIPTOR when it is another process's, else NOT_A_DESCRIPTOR.
// The target of such a link is an open file, which may be a pipe
// ("pipe:[N]") or a file that the shell opened for appending, so it is
// written through the descriptor, never replaced.
static int descriptor_link(const char *path) {
    const char *slash = strrchr(path, '/');
    if (!slash || slash[1] == '\0') return NOT_A_DESCRIPTOR;
    long number = 0;
    for (const char *c = slash + 1; *c; c++) {
        if (*c < '0' || *c > '9' || number > 1000000) return NOT_A_DESCRIPTOR;
        number = number * 10 + (*c - '0');
    }
    char folder[SAVE_PATH_SIZE], real[PATH_MAX];
    path_folder(folder, path);
    bool own = false;
    if (!realpath(folder, real) || !is_descriptor_folder(real, &own)) return NOT_A_DESCRIPTOR;
    return own ? (int)number : FOREIGN_DESCRIPTOR;
}

// Follows target through symbolic links into path, as opening it would, also
// when the last link points at a file not yet made. A link that stands for
// an open descriptor ends the walk, with what descriptor_link says of it in
// *descriptor (else NOT_A_DESCRIPTOR). 0, or an errno.
static int follow_links(const char *target, char *path, int *descriptor) {
    *descriptor = NOT_A_DESCRIPTOR;
    if (snprintf(path, SAVE_PATH_SIZE, "%s", target) >= SAVE_PATH_SIZE) return ENAMETOOLONG;
    for (int hop = 0; hop < LINK_HOPS_MAX; hop++) {
        *descriptor = descriptor_link(path);
        if (*descriptor != NOT_A_DESCRIPTOR) return 0;
        struct stat link_stat;
        // Anything but a link ends the walk; a missing file is made where it was named.
        if (lstat(path, &link_stat) != 0 || !S_ISLNK(link_stat.st_mode)) return 0;
        char link[SAVE_PATH_SIZE];
        ssize_t length = readlink(path, link, sizeof link - 1);
        if (length < 0) return errno;
        if (length == (ssize_t)sizeof link - 1) return ENAMETOOLONG;
        link[length] = '\0';
        char next[SAVE_PATH_SIZE];
        if (link[0] == '/')
            memcpy(next, link, (size_t)length + 1);
        else if (int error = join_to_directory(next, path, link))
            return error;
        memcpy(path, next, SAVE_PATH_SIZE);
    }
    return ELOOP;
}

int save_folder(const char *target, char *folder) {
    char path[SAVE_PATH_SIZE];
    int descriptor;
    if (follow_links(target, path, &descriptor) != 0 || descriptor != NOT_A_DESCRIPTOR) return -1;
    path_folder(folder, path);
    return 0;
}

// Whether name is one of the temporary names that make_temp_name forms.
static bool is_temp_name(const char *name) {
    size_t length = strlen(name);
    size_t tail = sizeof TEMP_MARK - 1 + TEMP_LETTERS;
    if (length <= tail) return false;
    const char *mark = name + length - tail;
    if (memcmp(mark, TEMP_MARK, sizeof TEMP_MARK - 1) != 0) return false;
    for (const char *c = mark + sizeof TEMP_MARK - 1; *c; c++)
        if (!strchr(temp_alphabet, *c)) return false;
    return true;
}

// Removes the temporary files that saves killed beyond any handler (SIGKILL,
// a crash, a power loss) left in folder. A save holds an exclusive flock on
// its temporary file from the moment it makes it until the file is renamed or
// removed, and the kernel drops that lock when the process ends; so a
// temporary file whose lock this process can take belongs to no living save.
// Only regular files of this user with one link and a temporary name are
// touched. Folders are swept once per run; past SWEPT_FOLDERS no more.
static void sweep_dead_temps(const char *folder) {
    int dir_fd = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir_fd < 0) return;
    struct stat dir_stat;
    bool sweep = fstat(dir_fd, &dir_stat) == 0 && swept_count < SWEPT_FOLDERS;
    for (int i = 0; sweep && i < swept_count; i++)
        if (swept_devices[i] == dir_stat.st_dev && swept_inodes[i] == dir_stat.st_ino)
            sweep = false;
    DIR *dir = sweep ? fdopendir(dir_fd) : nullptr;
    if (!dir) {
        close(dir_fd);
        return;
    }
    swept_devices[swept_count] = dir_stat.st_dev;
    swept_inodes[swept_count++] = dir_stat.st_ino;
    while (struct dirent *entry = readdir(dir)) {
        if (!is_temp_name(entry->d_name)) continue;
        int fd = openat(dir_fd, entry->d_name,
                        O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat found, named;
        // The name must still be the file locked: a save makes its names with
        // O_EXCL, so none can take the place of a name that exists.
        if (fstat(fd, &found) == 0 && S_ISREG(found.st_mode) && found.st_uid == geteuid() &&
            found.st_nlink == 1 && flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            fstatat(dir_fd, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
            named.st_dev == found.st_dev && named.st_ino == found.st_ino)
            unlinkat(dir_fd, entry->d_name, 0);
        close(fd);
    }
    closedir(dir);
}

// The temporary name is the file's name with TEMP_MARK and a suffix of
// letters or digits, in the same directory so that the rename cannot cross
// file systems. When that name would be too long for the directory, a short
// fixed stem stands in for the file's.
static int make_temp_name(save_file *file, uint64_t seed) {
    char suffix[sizeof TEMP_MARK + TEMP_LETTERS];
    memcpy(suffix, TEMP_MARK, sizeof TEMP_MARK - 1);
    for (int i = 0; i < TEMP_LETTERS; i++, seed /= 62)
        suffix[sizeof TEMP_MARK - 1 + i] = temp_alphabet[seed % 62];
    suffix[sizeof suffix - 1] = '\0';
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
        if (fd < 0 && errno != EEXIST) return -1;
        if (fd < 0) continue;
        // A sweep of another run may have met the file before it was locked:
        // then that run holds the lock or has removed the file, and another
        // name is tried.
        struct stat made;
        if (flock(fd, LOCK_EX | LOCK_NB) == 0 && fstat(fd, &made) == 0 && made.st_nlink > 0) {
            // The lock lasts while any descriptor of the file is open; this
            // one keeps it from the close in save_commit to the rename.
            file->lock_fd = fcntl(fd, F_DUPFD_CLOEXEC, 0);
            if (file->lock_fd >= 0) return fd;
            int error = errno;
            close(fd);
            unlink(file->temp_name);
            errno = error;
            return -1;
        }
        close(fd);
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

// Opens the descriptor for writing and makes the stream over it: a copy of
// this process's descriptor when the target stands for one; another
// process's descriptor opened anew for appending, so that nothing it holds
// is overwritten; the target itself when it is written in place; else a new
// temporary file. 0, or an errno.
static int open_stream(save_file *file, int descriptor) {
    if (descriptor >= 0) {
        int flags = fcntl(descriptor, F_GETFL);
        if (flags < 0 || (flags & O_ACCMODE) == O_RDONLY) return EBADF;
        file->fd = fcntl(descriptor, F_DUPFD_CLOEXEC, 0);
        if (file->fd < 0) return errno;
    } else if (descriptor == FOREIGN_DESCRIPTOR) {
        file->fd = open(file->path, O_WRONLY | O_APPEND | O_NOCTTY | O_CLOEXEC);
        if (file->fd < 0) return errno;
    } else {
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
    }
    cookie_io_functions_t functions = {};
    functions.write = write_through;
    file->stream = fopencookie(file, "w", functions);
    return file->stream ? 0 : ENOMEM;
}

static void remove_temp(save_file *file) {
    if (file->direct) return;
    unlink(file->temp_name);
    save_active_temp = nullptr;
    if (file->lock_fd >= 0) close(file->lock_fd);
    file->lock_fd = -1;
}

FILE *save_begin(save_file *file, const char *target) {
    file->stream = nullptr;
    file->target = target;
    file->temp_name[0] = '\0';
    file->fd = -1;
    file->lock_fd = -1;
    file->error = 0;
    file->direct = false;
    int descriptor;
    int error = follow_links(target, file->path, &descriptor);
    struct stat old;
    bool exists = !error && descriptor == NOT_A_DESCRIPTOR && stat(file->path, &old) == 0;
    file->direct = descriptor != NOT_A_DESCRIPTOR || (exists && !S_ISREG(old.st_mode));
    // What the program printed before comes first when the file is its console.
    if (descriptor >= 0) fflush(stdout);
    if (!error && !file->direct) {
        char folder[SAVE_PATH_SIZE];
        path_folder(folder, file->path);
        sweep_dead_temps(folder);
    }
    if (!error) error = open_stream(file, descriptor);
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
    path_folder(directory, path);
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
    if (file->lock_fd >= 0) close(file->lock_fd);
    file->lock_fd = -1;
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

void save_abandon_active() {
    const char *temp = save_active_temp;
    if (temp) unlink(temp);
    save_active_temp = nullptr;
}
