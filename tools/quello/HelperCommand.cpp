#include "HelperCommand.h"

#include "JobSignals.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <ctime>

#include <cerrno>
#include <climits>
#include <cstring>
#include <optional>
#include <ostream>

extern char** environ;

namespace quello {

namespace {

// The helper programs sit beside this one in the build, and in the installed helper folder
// (QUELLO_HELPER_DIR, relative to this program's folder) once installed.
std::string HelperPath(const std::string& program) {
    char self[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0)
        return program;
    std::string folder(self, std::size_t(length));
    folder.resize(folder.rfind('/') + 1);
    const std::string beside = folder + program;
    const std::string installed = folder + QUELLO_HELPER_DIR "/" + program;
    return ::access(beside.c_str(), X_OK) != 0 && ::access(installed.c_str(), X_OK) == 0 ? installed
                                                                                         : beside;
}

} // namespace

int HelperCommand::Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    return RunHelper(name(), std::string("quello-") + name(), args, out, err, false);
}

int HelperCommand::RunHelper(const std::string& command, const std::string& program,
                             const std::vector<std::string>& args, std::ostream& out,
                             std::ostream& err, bool passStop) {
    const std::string helper = HelperPath(program);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(helper.c_str()));
    for (const auto& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    // The helper writes to the same stdout and stderr: hand over what is buffered first.
    out.flush();
    err.flush();
    std::optional<JobSignals> signals;
    posix_spawnattr_t attributes;
    ::posix_spawnattr_init(&attributes);
    if (passStop) {
        signals.emplace();
        ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
        ::posix_spawnattr_setpgroup(&attributes, 0);
    }
    pid_t pid = 0;
    const int spawned =
        ::posix_spawn(&pid, helper.c_str(), nullptr, &attributes, argv.data(), environ);
    ::posix_spawnattr_destroy(&attributes);
    if (spawned != 0) {
        err << "quello " << command << ": cannot run " << helper << ": " << std::strerror(spawned)
            << "\n";
        return kExitFailed;
    }
    int status = 0;
    bool passed = false;
    for (;;) {
        const pid_t ended = ::waitpid(pid, &status, passStop ? WNOHANG : 0);
        if (ended == pid)
            break;
        if (ended < 0 && errno != EINTR) {
            err << "quello " << command << ": lost the helper program: " << std::strerror(errno)
                << "\n";
            return kExitFailed;
        }
        if (passStop) {
            if (!passed && JobSignals::stop()->load()) {
                ::kill(pid, SIGINT);
                passed = true;
            }
            // Polled rather than woken by the signal, which may come just before the wait.
            const timespec pause{0, 50 * 1000 * 1000};
            ::nanosleep(&pause, nullptr);
        }
    }
    if (!WIFEXITED(status)) {
        err << "quello " << command << ": the helper program crashed\n";
        return kExitFailed;
    }
    return WEXITSTATUS(status);
}

} // namespace quello
