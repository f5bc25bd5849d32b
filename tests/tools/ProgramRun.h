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

// A fresh empty folder below the test temp directory, removed by the destructor.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& path() const { return path_; }
    // Writes `bytes` to path()/name (creating folders on the way); returns the full path.
    std::string write(const std::string& name, const std::string& bytes) const;

private:
    std::string path_;
};

std::string ReadFile(const std::string& path);

} // namespace quello::test
