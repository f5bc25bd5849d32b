#include "ProgramOutput.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace quello {

namespace {

using Clock = std::chrono::steady_clock;

pid_t Spawn(const std::vector<std::string>& argv, int outputFd) {
    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0)
        return -1;
    pid_t pid = -1;
    if (posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0) == 0 &&
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0) == 0 &&
        posix_spawn_file_actions_adddup2(&actions, outputFd, 1) == 0 &&
        posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Reads the pipe until its end, the deadline or the size limit; true at the end of the output.
bool Drain(int fd, Clock::time_point deadline, std::size_t maxBytes, std::string& output) {
    char buffer[65536];
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return false;
        pollfd waiting{fd, POLLIN, 0};
        const int ready = ::poll(&waiting, 1, int(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return false;
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return got == 0;
        output.append(buffer, std::size_t(got));
        if (output.size() > maxBytes)
            return false;
    }
}

} // namespace

bool RunProgramOutput(const std::vector<std::string>& argv, int timeoutMs, std::size_t maxBytes,
                      std::string& output) {
    output.clear();
    int pipeFds[2];
    if (argv.empty() || ::pipe2(pipeFds, O_CLOEXEC) != 0)
        return false;
    const pid_t pid = Spawn(argv, pipeFds[1]);
    ::close(pipeFds[1]);
    if (pid < 0) {
        ::close(pipeFds[0]);
        return false;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    bool complete = Drain(pipeFds[0], deadline, maxBytes, output);
    ::close(pipeFds[0]);
    // A program that closed its output may still linger: it gets what is left of the time.
    int status = 0;
    pid_t done = 0;
    while (complete && (done = ::waitpid(pid, &status, WNOHANG)) == 0) {
        complete = Clock::now() < deadline;
        if (complete)
            ::usleep(2000);
    }
    if (done != pid) {
        ::kill(pid, SIGKILL);
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    return complete && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace quello
