#pragma once

// Small helpers for the outputs tests: running the command-line tools that check our files
// from the outside.

#include <array>
#include <cstdio>
#include <string>
#include <sys/wait.h>

namespace quello::test {

// Single-quotes a path for /bin/sh.
inline std::string shellQuote(const std::string& s) {
    std::string q = "'";
    for (const char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

struct CommandResult {
    int exitCode = -1;
    std::string output; // stdout and stderr together
};

inline CommandResult runCommand(const std::string& command) {
    CommandResult result;
    std::FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr)
        return result;
    std::array<char, 4096> buf;
    std::size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), pipe)) > 0)
        result.output.append(buf.data(), n);
    const int status = ::pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

} // namespace quello::test
