#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace quello {

// One subcommand of the `quello` program. Each command is one class; CommandTable lists them.
// A command writes its result to `out` (stdout) and at most a one-line message to `err`
// (stderr), and returns the process exit code:
//   0 success, 1 the operation failed or its input was bad, 2 the command line was wrong.
// Commands are created, run once and destroyed on the main thread.
class Command {
public:
    virtual ~Command() = default;

    virtual const char* name() const = 0;
    // One line for the program's overview.
    virtual const char* summary() const = 0;
    // The full text shown by `quello <name> --help`.
    virtual std::string help() const = 0;
    // `args` are the words after the command name.
    virtual int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) = 0;
};

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

} // namespace quello
