#include "SnapshotCommand.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <ostream>

extern char** environ;

namespace quello {

namespace {

// The helper program sits beside this one (both are built into the same folder).
std::string HelperPath() {
    char self[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0)
        return "quello-snapshot";
    std::string path(self, std::size_t(length));
    return path.substr(0, path.rfind('/') + 1) + "quello-snapshot";
}

} // namespace

const char* SnapshotCommand::summary() const {
    return "save one frame of a movie as a JPEG file";
}

std::string SnapshotCommand::help() const {
    return "usage: quello snapshot MOVIE --at SECONDS -o OUT.jpg\n\n"
           "Opens MOVIE, seeks exactly to SECONDS (a decimal number, 0 up to the movie's\n"
           "length) and writes the frame shown there to OUT.jpg (an existing file is\n"
           "replaced). --output is the long form of -o. Exit code 0 only when the file was\n"
           "written; 1 when the movie could not be played or has no picture there.\n";
}

int SnapshotCommand::run(const std::vector<std::string>& args, std::ostream& out,
                         std::ostream& err) {
    const std::string helper = HelperPath();
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(helper.c_str()));
    for (const auto& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    // The helper writes to the same stdout and stderr: hand over what is buffered first.
    out.flush();
    err.flush();
    pid_t pid = 0;
    if (const int rc = ::posix_spawn(&pid, helper.c_str(), nullptr, nullptr, argv.data(), environ);
        rc != 0) {
        err << "quello snapshot: cannot run " << helper << ": " << std::strerror(rc) << "\n";
        return kExitFailed;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            err << "quello snapshot: lost the helper program: " << std::strerror(errno) << "\n";
            return kExitFailed;
        }
    }
    if (!WIFEXITED(status)) {
        err << "quello snapshot: the helper program crashed\n";
        return kExitFailed;
    }
    return WEXITSTATUS(status);
}

} // namespace quello
