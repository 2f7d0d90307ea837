// Runs a command as the whole-run benchmarks run the programs (a session of
// its own, no terminal, standard input from /dev/null) and appends the
// processor time, user plus system, that it and every process it waited for
// used, in seconds, and the peak resident memory of the largest of them, in
// KiB, as one line to a file. Exits with the command's status.
// Usage: glim_cputime RESULT_FILE COMMAND [ARGUMENT...]
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

static double seconds(const timeval &t) {
    return (double)t.tv_sec + (double)t.tv_usec / 1e6;
}

int main(int argc, char **argv) {
    if (argc < 3) {
        fprintf(stderr, "Usage: glim_cputime RESULT_FILE COMMAND [ARGUMENT...]\n");
        return 2;
    }
    pid_t pid = fork();
    if (pid < 0) {
        fprintf(stderr, "glim_cputime: fork: %s\n", strerror(errno));
        return 2;
    }
    if (pid == 0) {
        int null = open("/dev/null", O_RDONLY);
        if (null < 0 || dup2(null, STDIN_FILENO) < 0 || setsid() < 0) _exit(127);
        execvp(argv[2], argv + 2);
        fprintf(stderr, "glim_cputime: %s: %s\n", argv[2], strerror(errno));
        _exit(127);
    }
    int status = 0;
    if (waitpid(pid, &status, 0) < 0) {
        fprintf(stderr, "glim_cputime: waitpid: %s\n", strerror(errno));
        return 2;
    }
    rusage used;
    getrusage(RUSAGE_CHILDREN, &used);
    FILE *out = fopen(argv[1], "a");
    if (!out || fprintf(out, "%.6f %ld\n", seconds(used.ru_utime) + seconds(used.ru_stime),
                         used.ru_maxrss) < 0 ||
        fclose(out) != 0) {
        fprintf(stderr, "glim_cputime: %s: %s\n", argv[1], strerror(errno));
        return 2;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
