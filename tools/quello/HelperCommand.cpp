#include "HelperCommand.h"

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
    const std::string helper = HelperPath(std::string("quello-") + name());
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
        err << "quello " << name() << ": cannot run " << helper << ": " << std::strerror(rc)
            << "\n";
        return kExitFailed;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            err << "quello " << name() << ": lost the helper program: " << std::strerror(errno)
                << "\n";
            return kExitFailed;
        }
    }
    if (!WIFEXITED(status)) {
        err << "quello " << name() << ": the helper program crashed\n";
        return kExitFailed;
    }
    return WEXITSTATUS(status);
}

} // namespace quello
