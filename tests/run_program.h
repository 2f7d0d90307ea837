// Running a built program in a fresh temporary directory, for end-to-end tests.
#pragma once

#include <cstdint>
#include <map>
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

// Runs program with args in dir: a session of its own without a controlling
// terminal and with standard input from /dev/null, so it can never wait for a key.
run_result run_in(const scratch_dir &dir, const std::string &program,
                  const std::vector<std::string> &args = {});

// Reads a whole file; fails the calling test when it cannot be read.
std::string read_file(const std::string &path);

// 64-bit FNV-1a of bytes: lets a test pin a large file without keeping a copy.
uint64_t fnv1a_64(const std::string &bytes);
