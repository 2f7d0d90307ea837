// Locking a folder with flock on the directory itself.
#include "folderlock.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "messages.h"
#include "savefile.h"

static int lock_failure(const char *folder, int error) {
    message_error("cannot lock the folder %s, going on without the lock: %s", folder,
                  strerror(error));
    return -1;
}

int folder_lock(const char *folder, const char *program) {
    int fd = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return lock_failure(folder, errno);
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) return fd;
    if (errno == EWOULDBLOCK) {
        if (strcmp(folder, ".") == 0)
            message_error("waiting for another %s in this folder to finish", program);
        else
            message_error("waiting for another %s in the folder %s to finish", program, folder);
        int result;
        while ((result = flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
        }
        if (result == 0) return fd;
    }
    int error = errno;
    close(fd);
    return lock_failure(folder, error);
}

int folder_lock_file(const char *file, const char *program) {
    char folder[SAVE_PATH_SIZE];
    if (save_folder(file, folder) != 0) snprintf(folder, sizeof folder, ".");
    return folder_lock(folder, program);
}
