// Running a built program in a fresh temporary directory, for end-to-end tests.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

// A temporary directory that is removed with everything in it when it goes.
class scratch_dir {
  public:
    scratch_dir();
    ~scratch_dir();
    scratch_dir(const scratch_dir &) = delete;
    scratch_dir &operator=(const scratch_dir &) = delete;

    const std::string &path() const { return path_; }
    void write(const std::string &name, const std::string &content) const;
    std::string read(const std::string &name) const;
    bool exists(const std::string &name) const;
    // Every regular file in the directory, by name, with its content.
    std::map<std::string, std::string> files() const;

  private:
    std::string path_;
};

struct run_result {
    std::string out; // standard output
    std::string err; // standard error
    int status = -1; // exit status, or 128 + signal number
};

// Conditions to run a program under, for tests of how it fails.
struct run_options {
    // The largest file the program may write (RLIMIT_FSIZE), in bytes; -1 for no limit.
    long long file_size_limit = -1;
    // The most address space the program may map (RLIMIT_AS), in bytes; -1 for no limit.
    long long address_space_limit = -1;
    // The most processor time the program may use (RLIMIT_CPU), in seconds; 0 for no limit.
    int cpu_seconds_limit = 0;
    // Seconds after which the program is ended by SIGALRM (a wait that never
    // ends, such as opening a FIFO without a writer); 0 for no limit.
    int alarm_seconds = 0;
    // Run as user and group nobody when the test runs as root, so that file
    // permissions bind the program as they bind any user.
    bool unprivileged = false;
    // Settings added to the program's environment, each "NAME=value".
    std::vector<std::string> environment;
};

// Runs program with args in dir: a session of its own without a controlling
// terminal and with standard input from /dev/null, so it can never wait for a key.
run_result run_in(const scratch_dir &dir, const std::string &program,
                  const std::vector<std::string> &args = {}, const run_options &options = {});

// A program started by run_start that has not been waited for.
struct started_program {
    int pid = -1;
    std::unique_ptr<scratch_dir> capture; // receives its standard output and error
};

// Starts program as run_in does and returns at once; run_wait waits for it to
// end and collects its output. Lets a test act on a program while it runs.
started_program run_start(const scratch_dir &dir, const std::string &program,
                          const std::vector<std::string> &args = {},
                          const run_options &options = {});
run_result run_wait(started_program &started);

// Runs a shell command line in dir, the program's path as $0.
run_result run_shell(const scratch_dir &dir, const std::string &program, const std::string &line);

// A folder with picture as pic.ppm, its pattern files and a network taught from them.
void trained_folder(const scratch_dir &dir, const std::string &picture);

// A folder with the sample pictures named and the network that glimcut and
// glimlearn make from train.ppm (among them), as the demo makes it.
void demo_folder(const scratch_dir &dir, const std::vector<std::string> &samples);

// Reads a whole file; fails the calling test when it cannot be read.
std::string read_file(const std::string &path);

// 64-bit FNV-1a of bytes: lets a test pin a large file without keeping a copy.
uint64_t fnv1a_64(const std::string &bytes);

// Waits until a file whose name begins with prefix is created in the folder
// that the inotify descriptor watch watches (IN_CREATE); false after
// timeout_ms without one.
bool await_creation(int watch, const std::string &prefix, int timeout_ms);
