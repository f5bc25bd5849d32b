#pragma once

#include "Command.h"

namespace quello {

// A command whose work needs Qt and libmpv: it runs the helper program `quello-<name>` that is
// built beside `quello` (installed in the helper folder), with the same arguments and the same
// stdout and stderr, and returns the helper's exit code. So `quello` itself never loads either
// library. Main thread; blocks until the helper ends.
class HelperCommand : public Command {
public:
    int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override;

    // Runs helper `program` for command `command` with `args` and returns its exit code. With
    // `passStop` the helper runs in a process group of its own, so that a Ctrl+C reaches it
    // once, through this process: while it runs, a stop signal (JobSignals) is passed on to it
    // as SIGINT, and the helper stops its job cleanly.
    static int RunHelper(const std::string& command, const std::string& program,
                         const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                         bool passStop);
};

} // namespace quello
