#include "run_program.h"

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <grp.h>
#include <gtest/gtest.h>
#include <sstream>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

scratch_dir::scratch_dir() {
    const char *base = getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/glim-test-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (!mkdtemp(name.data())) ADD_FAILURE() << "mkdtemp: " << strerror(errno);
    path_ = name.data();
}

scratch_dir::~scratch_dir() {
    std::string command = "rm -rf '" + path_ + "'";
    if (system(command.c_str()) != 0) ADD_FAILURE() << "could not remove " << path_;
}

void scratch_dir::write(const std::string &name, const std::string &content) const {
    std::ofstream out(path_ + "/" + name, std::ios::binary);
    out << content;
    if (!out) ADD_FAILURE() << "could not write " << name;
}

std::string scratch_dir::read(const std::string &name) const {
    return read_file(path_ + "/" + name);
}

bool scratch_dir::exists(const std::string &name) const {
    struct stat st;
    return stat((path_ + "/" + name).c_str(), &st) == 0;
}

std::map<std::string, std::string> scratch_dir::files() const {
    std::map<std::string, std::string> result;
    DIR *dir = opendir(path_.c_str());
    if (!dir) return result;
    while (struct dirent *entry = readdir(dir)) {
        std::string full = path_ + "/" + entry->d_name;
        struct stat st;
        if (stat(full.c_str(), &st) == 0 && S_ISREG(st.st_mode))
            result[entry->d_name] = read_file(full);
    }
    closedir(dir);
    return result;
}

std::string read_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        ADD_FAILURE() << "could not read " << path;
        return {};
    }
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

uint64_t fnv1a_64(const std::string &bytes) {
    uint64_t hash = 0xcbf29ce484222325u;
    for (unsigned char c : bytes)
        hash = (hash ^ c) * 0x100000001b3u;
    return hash;
}

started_program run_start(const scratch_dir &dir, const std::string &program,
                          const std::vector<std::string> &args, const run_options &options) {
    // Output goes to files in a second directory, so the program's own
    // directory holds only what it wrote.
    started_program started;
    started.capture = std::make_unique<scratch_dir>();
    std::string out_path = started.capture->path() + "/out";
    std::string err_path = started.capture->path() + "/err";
    pid_t pid = fork();
    if (pid == 0) {
        setsid();
        // Whatever the test runner ignores, the program meets signals as a user's shell gives them.
        for (int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGPIPE})
            signal(signal_number, SIG_DFL);
        int in = open("/dev/null", O_RDONLY);
        int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || out < 0 || err < 0) _exit(126);
        if (options.file_size_limit >= 0) {
            struct rlimit limit;
            limit.rlim_cur = limit.rlim_max = (rlim_t)options.file_size_limit;
            if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(126);
        }
        // A signal that dumps core (SIGQUIT) must leave no core file among the program's files.
        struct rlimit no_core = {0, 0};
        setrlimit(RLIMIT_CORE, &no_core);
        if (options.address_space_limit >= 0) {
            struct rlimit limit;
            limit.rlim_cur = limit.rlim_max = (rlim_t)options.address_space_limit;
            if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(126);
        }
        if (options.cpu_seconds_limit > 0) {
            struct rlimit limit;
            limit.rlim_cur = limit.rlim_max = (rlim_t)options.cpu_seconds_limit;
            if (setrlimit(RLIMIT_CPU, &limit) != 0) _exit(126);
        }
        // A pending alarm survives exec, and SIGALRM's default ends the program.
        if (options.alarm_seconds > 0) {
            signal(SIGALRM, SIG_DFL);
            alarm((unsigned)options.alarm_seconds);
        }
        // The output files stay open for the program, whoever it runs as.
        const uid_t NOBODY = 65534;
        if (options.unprivileged && geteuid() == 0 &&
            (setgroups(0, nullptr) != 0 || setgid(NOBODY) != 0 || setuid(NOBODY) != 0))
            _exit(126);
        if (chdir(dir.path().c_str()) != 0) _exit(126);
        for (const std::string &setting : options.environment)
            putenv(const_cast<char *>(setting.c_str()));
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        std::vector<char *> argv;
        argv.push_back(const_cast<char *>(program.c_str()));
        for (const std::string &arg : args)
            argv.push_back(const_cast<char *>(arg.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    started.pid = pid;
    if (pid < 0) ADD_FAILURE() << "could not start " << program;
    return started;
}

run_result run_wait(started_program &started) {
    run_result result;
    int status = 0;
    if (started.pid < 0 || waitpid(started.pid, &status, 0) != started.pid) {
        ADD_FAILURE() << "could not wait for process " << started.pid;
        return result;
    }
    started.pid = -1;
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = read_file(started.capture->path() + "/out");
    result.err = read_file(started.capture->path() + "/err");
    return result;
}

run_result run_in(const scratch_dir &dir, const std::string &program,
                  const std::vector<std::string> &args, const run_options &options) {
    started_program started = run_start(dir, program, args, options);
    return run_wait(started);
}

run_result run_shell(const scratch_dir &dir, const std::string &program, const std::string &line) {
    return run_in(dir, "/bin/bash", {"-c", line, program});
}

void demo_folder(const scratch_dir &dir, const std::vector<std::string> &samples) {
    for (const std::string &name : samples)
        dir.write(name, read_file(std::string(SAMPLES_DIR) + "/" + name));
    ASSERT_EQ(run_in(dir, GLIMCUT_PATH, {"train.ppm"}).status, 0);
    ASSERT_EQ(run_in(dir, GLIMLEARN_PATH, {"6", "50"}).status, 0);
}

void trained_folder(const scratch_dir &dir, const std::string &picture) {
    dir.write("pic.ppm", picture);
    ASSERT_EQ(run_in(dir, GLIMCUT_PATH, {"pic.ppm"}).status, 0);
    ASSERT_EQ(run_in(dir, GLIMLEARN_PATH, {"1", "3"}).status, 0);
}

bool await_creation(int watch, const std::string &prefix, int timeout_ms) {
    alignas(struct inotify_event) char buffer[4096];
    struct pollfd ready = {watch, POLLIN, 0};
    while (poll(&ready, 1, timeout_ms) == 1) {
        ssize_t length = read(watch, buffer, sizeof buffer);
        for (ssize_t at = 0; at < length;) {
            const auto *event = reinterpret_cast<const struct inotify_event *>(buffer + at);
            if (event->len > 0 && strncmp(event->name, prefix.c_str(), prefix.size()) == 0)
                return true;
            at += sizeof(struct inotify_event) + event->len;
        }
    }
    return false;
}
