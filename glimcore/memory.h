// Running short of memory: a failure like a missing file, reported in one
// line, never an abort in the middle of a save.
#pragma once

// Names what the program is doing, and what that leaves, for the message
// when memory runs out ("learning; nothing saved"). The text must live as
// long as the task does.
void memory_set_task(const char *task);

// Calls run with argc and argv and returns its exit status. When memory runs
// out inside it (an allocation that throws), removes the temporary file of a
// save under way, says "program: out of memory while TASK" on stderr and
// returns EXIT_FAILURE.
int memory_run(int (*run)(int, char **), int argc, char *argv[]);
