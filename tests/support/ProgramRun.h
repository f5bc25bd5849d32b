#pragma once

#include <string>
#include <vector>

namespace quello::test {

struct ProgramResult {
    int exitCode = -1; // the exit status, or 128 + signal number when the program was killed
    std::string out, err;
};

// Runs a program (argv[0] is its path, or a name looked up in PATH) with stdin from /dev/null,
// in folder `cwd` when one is given, and returns its exit code and everything it wrote. Blocks
// until it ends. The one way the tests start a program. Test helper; not thread-safe.
ProgramResult RunProgram(const std::vector<std::string>& argv, const std::string& cwd = {});

#ifdef QUELLO_BIN
// The `quello` binary under test with `args`.
inline ProgramResult RunQuello(std::vector<std::string> args, const std::string& cwd = {}) {
    args.insert(args.begin(), QUELLO_BIN);
    return RunProgram(args, cwd);
}
#endif

} // namespace quello::test
