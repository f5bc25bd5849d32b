#include "DeviceDrive.h"

#include "MountTable.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace quello {

namespace {

constexpr const char* kSetupFileName = "setup.cfg";

std::string WithSlash(const std::string& root) {
    if (!root.empty() && root.back() != '/')
        return root + '/';
    return root;
}

// Opening with O_NONBLOCK keeps a FIFO planted under the settings name from hanging the search;
// anything but a regular file is refused.
int OpenRegularForReading(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Moves all `size` bytes through read(2) or write(2), resuming after short transfers and
// interrupts; false on an error or an early end of file.
template <typename Byte, typename Transfer>
bool TransferFully(int fd, Byte* data, std::size_t size, Transfer transfer) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = transfer(fd, data + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += std::size_t(n);
    }
    return true;
}

bool ReadFully(int fd, std::uint8_t* data, std::size_t size) {
    return TransferFully(fd, data, size, ::read);
}

bool WriteFully(int fd, const std::uint8_t* data, std::size_t size) {
    return TransferFully(fd, data, size, ::write);
}

bool ReadSetupFile(const std::string& path, SetupRecord& record) {
    const int fd = OpenRegularForReading(path);
    if (fd < 0)
        return false;
    SetupRecord candidate;
    const bool complete = ReadFully(fd, candidate.bytes.data(), candidate.bytes.size());
    ::close(fd);
    if (!complete || !candidate.isValid())
        return false;
    record = candidate;
    return true;
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

bool SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    // Some file systems cannot sync a directory and say so with EINVAL; nothing is lost there.
    const bool ok = ::fsync(fd) == 0 || errno == EINVAL;
    ::close(fd);
    return ok;
}

} // namespace

std::vector<DriveRoot> ListMountedDrives() {
    std::ifstream in("/proc/self/mounts");
    if (!in)
        return {};
    std::ostringstream text;
    text << in.rdbuf();
    return ParseMountTable(text.str(), "/sys");
}

bool FindDeviceDrive(const std::vector<DriveRoot>& drives, std::string& root, SetupRecord& record) {
    bool found = false;
    for (const DriveRoot& drive : drives) {
        if (!drive.removable || drive.floppy || drive.root.empty())
            continue;
        const std::string driveRoot = WithSlash(drive.root);
        SetupRecord candidate;
        if (!ReadSetupFile(driveRoot + kSetupFileName, candidate))
            continue;
        // The walk goes on: a later qualifying drive replaces an earlier one.
        root = driveRoot;
        record = candidate;
        found = true;
    }
    return found;
}

bool FindDeviceDrive(std::string& root, SetupRecord& record) {
    return FindDeviceDrive(ListMountedDrives(), root, record);
}

bool WriteSetupRecord(const std::string& root, const SetupRecord& record) {
    if (root.empty())
        return false;
    // Through a symbolic link the link's target is replaced, so the link itself survives.
    char resolved[PATH_MAX];
    if (::realpath((WithSlash(root) + kSetupFileName).c_str(), resolved) == nullptr)
        return false;
    const std::string target = resolved;
    struct stat st {};
    if (::stat(target.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    // A read-only settings file is refused as the card's own file system would refuse it,
    // even for root, who could otherwise rename over it.
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 ||
        ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
        return false;

    const std::string folder = FolderOf(target);
    std::string tempPath = folder + "/.setup.cfg.XXXXXX";
    const int fd = ::mkstemp(tempPath.data());
    if (fd < 0)
        return false;
    bool ok = WriteFully(fd, record.bytes.data(), record.bytes.size());
    // FAT has no permission bits to set; a refused fchmod there leaves the file system's own.
    if (ok && ::fchmod(fd, st.st_mode & 07777) != 0 && errno != EPERM)
        ok = false;
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(tempPath.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(tempPath.c_str());
        return false;
    }
    return SyncFolder(folder);
}

} // namespace quello
