#include "DeviceDrive.h"

#include "MountTable.h"

#include "outputs/AtomicFile.h"

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

// Reads all `size` bytes, resuming after short reads and interrupts; false on an error or an
// early end of file.
bool ReadFully(int fd, std::uint8_t* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, data + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += std::size_t(n);
    }
    return true;
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

    AtomicFile file;
    if (!file.open(target))
        return false;
    if (std::fwrite(record.bytes.data(), 1, record.bytes.size(), file.stream()) !=
        record.bytes.size())
        return false;
    return file.commit();
}

} // namespace quello
