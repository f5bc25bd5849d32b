#include "InputFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quello {

namespace {

std::string StatProblem(int error) {
    if (error == ENOENT || error == ENOTDIR)
        return "no such file or directory";
    return std::strerror(error);
}

} // namespace

bool IsTelemetryFileName(const std::string& path) {
    const std::string name = std::filesystem::path(path).filename().string();
    return name.size() > 4 && strcasecmp(name.c_str() + name.size() - 4, ".DAT") == 0;
}

std::string InputFileProblem(const std::string& path) {
    if (path.empty())
        return "empty path";
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return StatProblem(errno);
    if (S_ISDIR(st.st_mode))
        return "is a directory";
    if (!S_ISREG(st.st_mode))
        return "not a regular file";
    // Opening is the only reliable test (ACLs, root, read-only mounts); O_NONBLOCK guards
    // against a file replaced by a FIFO since the stat.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::strerror(errno);
    ::close(fd);
    return {};
}

std::string DirectoryProblem(const std::string& path) {
    if (path.empty())
        return "empty path";
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return StatProblem(errno);
    if (!S_ISDIR(st.st_mode))
        return "not a directory";
    return {};
}

} // namespace quello
