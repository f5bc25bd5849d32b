#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace quello {

// Runs the program argv[0] (a full path; no shell, no PATH search) with the arguments argv,
// stdin and stderr on /dev/null, and collects its stdout into `output` (replaced). The program
// gets timeoutMs milliseconds and at most maxBytes of output; past either it is killed.
// Returns true only when it exited with status 0 in time and within the size; false when it
// could not be started, failed, was killed or overran ( `output` then holds what came).
// The child is always waited for, so no zombie is left. Plain function, safe on any thread:
// the pipe is close-on-exec, so a program started at the same time elsewhere can't inherit it.
bool RunProgramOutput(const std::vector<std::string>& argv, int timeoutMs, std::size_t maxBytes,
                      std::string& output);

} // namespace quello
