// Atomic replacement of a file that holds the user's work.
//
// save_begin opens a temporary file beside the target; save_commit flushes it,
// syncs it and renames it over the target. On any failure one message names
// the target and the reason, the temporary file is removed and an earlier file
// stays whole.
//
// A target that is a symbolic link is saved through to the file it names, so
// the link stays a link. A replaced file keeps its mode (and, where the
// process may set them, its owner and group); a new file gets the mode the
// umask gives it. A target that exists and is not a regular file (a device, a
// FIFO) is written in place: renaming over it would replace it. So is a
// target that stands for one of the process's open descriptors (/dev/stdout,
// /dev/fd/N, /proc/self/fd/N): the file is written through the descriptor,
// at its offset and with its append mode, and the file the descriptor has
// open is never replaced.
//
// While a temporary file is written the save holds an exclusive flock on it.
// A save that was killed beyond its signal handlers leaves its temporary file
// unlocked; the first save of a run in a folder removes such files there (see
// sweep_dead_temps).
#pragma once

#include <cstdio>

constexpr int SAVE_PATH_SIZE = 4096;

struct save_file {
    FILE *stream;                   // open for writing; its writes go to fd
    const char *target;             // the name the caller gave, for messages
    char path[SAVE_PATH_SIZE];      // the file written: target with its links followed
    char temp_name[SAVE_PATH_SIZE]; // the temporary file beside path; empty when direct
    int fd;                         // the descriptor under stream
    int lock_fd;                    // holds the temporary file's lock until the rename; or -1
    int error;                      // errno of the first write that failed, 0 while none did
    bool direct; // written in place: path exists and is no regular file, or is a descriptor
};

// Sets the process-wide signal dispositions that saves rely on; call it once
// at the start of every program that saves. A file-size limit or a console
// that went away (SIGXFSZ, SIGPIPE) then fails a write instead of killing the
// process, so a save is reported and earlier work is kept; SIGINT, SIGTERM,
// SIGHUP and SIGQUIT remove the temporary file of a save under way before the
// process dies of the signal. A signal that the process inherited as ignored
// stays so.
void save_init();

// Opens the temporary file; returns its stream, or nullptr after a message.
FILE *save_begin(save_file *file, const char *target);

// Finishes the file and renames it over the target; 0 on success, -1 after a message.
int save_commit(save_file *file);

// Whether save_commit syncs each file to the disk before it renames it over
// the target; yes unless turned off. A run that writes many files it could
// write again (the patterns and results of many pictures) turns it off and
// calls save_sync_all once at its end. Until then a crash of the system (not
// of the program) may leave those files empty or missing; every file is still
// whole or absent as far as the program's own failures go.
void save_set_sync_each(bool sync_each);

// Brings every file saved without its own sync to the disk (a sync of each
// file system that holds one). 0 on success, -1 after a message.
int save_sync_all();

// Gives up a file begun with save_begin after a failed write: closes and
// removes the temporary file, and the target stays as it was. Prints nothing;
// the caller says what went wrong.
void save_abandon(save_file *file);

// Removes the temporary file of the save under way, if any, for a run that
// ends abruptly (out of memory) before it could give the save up itself.
void save_abandon_active();

// The folder that holds the file a save of target would write, after its
// links are followed, into folder (SAVE_PATH_SIZE characters). 0, or -1 when
// target stands for an open descriptor or its links cannot be followed.
int save_folder(const char *target, char *folder);
