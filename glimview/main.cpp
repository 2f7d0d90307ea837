// glimview: pictures of what the suite sees, and which learned pattern a
// result is. Reads the suite's files through glimcore; each command writes a
// PNG picture, a table on stdout, or both (match prints a table only). The
// commands and their options are the table in view_table.cpp.
#include <cstdio>
#include <cstdlib>

#include "cmdline.h"
#include "memory.h"
#include "messages.h"
#include "savefile.h"
#include "views.h"

static const arg_program &glimview_program() {
    static const arg_program program = {"glimview",      glimview_usage(), glimview_help(), true, 0,
                                        ARG_OPTIONS_AFTER_COMMAND};
    return program;
}

int glimview_option(const char *arg) {
    return arg_option(arg, glimview_program());
}

static int run(int argc, char *argv[]) {
    message_set_program("glimview");
    memory_set_task("making the view");
    save_init();
    // The reader messages are errors here, and stdout may hold a table.
    message_set_stream(stderr);
    int status = arg_conventions(&argc, argv, glimview_program());
    if (status >= 0) return status;
    return glimview_run_command(argc, argv);
}

int main(int argc, char *argv[]) {
    int status = memory_run(run, argc, argv);
    // Console output that was lost (a full disk, a closed pipe) fails the run.
    return message_flush_stdout() == 0 ? status : EXIT_FAILURE;
}
