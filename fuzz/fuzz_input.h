// Shared helpers of the fuzz targets: the readers under test take file names,
// so each input is handed to them as a file.
#pragma once

#include <cstddef>
#include <cstdint>

// Stores data in an in-memory file and returns a name that opens it
// ("/proc/self/fd/N"); every open starts at its first byte. The same file is
// reused for every input of the run.
const char *fuzz_input_path(const uint8_t *data, size_t size);

// A private directory for files a target writes; made once per run.
const char *fuzz_scratch_dir();

// Ends the run with a message that libFuzzer records as a crash, for a
// property of the code under test that does not hold.
[[noreturn]] void fuzz_fail(const char *what);
