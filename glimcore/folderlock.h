// One run at a time in a folder: an exclusive lock on the folder itself, so
// that no lock file is left behind.
#pragma once

// Locks folder for this process; when another process holds the lock, says on
// stderr that the program waits for another run of program there, then waits
// for it. Returns the descriptor that holds the lock until the process ends, or -1
// after a message on stderr when the folder cannot be locked; the caller then
// goes on without the lock.
int folder_lock(const char *folder, const char *program);

// Locks, as folder_lock does, the folder that holds the file a save of file
// writes: the folder of the file its symbolic links lead to, so that runs in
// two folders that share one file through a link take turns too. A file that
// stands for an open descriptor (/dev/stdout) has no folder of its own; the
// current folder is locked then.
int folder_lock_file(const char *file, const char *program);
