#pragma once

#include <string>
#include <vector>

namespace quello::test {

struct ProgramResult {
    int exitCode = -1; // the exit status, or 128 + signal number when the program was killed
    std::string out;
    std::string err;
};

// Runs a program (argv[0] is its path) with stdin from /dev/null, in folder `cwd` when one is
// given, and returns its exit code and everything it wrote. Blocks until it ends.
// Test helper; not thread-safe.
ProgramResult RunProgram(const std::vector<std::string>& argv, const std::string& cwd = {});

// The `quello` binary under test with `args`.
ProgramResult RunQuello(const std::vector<std::string>& args, const std::string& cwd = {});

} // namespace quello::test
