// The one place where an allocation failure becomes an exit status.
#include "memory.h"

#include <cstdlib>
#include <new>
#include <stdexcept>

#include "messages.h"
#include "savefile.h"

static const char *memory_task = "running"; // what the program does now, for the message

void memory_set_task(const char *task) {
    memory_task = task;
}

static int memory_failure() {
    save_abandon_active();
    message_error("out of memory while %s", memory_task);
    return EXIT_FAILURE;
}

int memory_run(int (*run)(int, char **), int argc, char *argv[]) {
    try {
        return run(argc, argv);
    } catch (const std::bad_alloc &) {
        return memory_failure();
    } catch (const std::length_error &) {
        // A size beyond what a container can hold is memory that cannot be had.
        return memory_failure();
    }
}
