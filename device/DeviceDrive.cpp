#include "DeviceDrive.h"

#include "MountTable.h"

#include "recordings/base/AtomicFile.h"
#include "recordings/base/FileRead.h"
#include "recordings/base/OpenRegular.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
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

bool ReadSetupFile(const std::string& path, SetupRecord& record) {
    // Only a regular file counts, and a FIFO planted under the settings name cannot hang the
    // search.
    const int fd = OpenRegular(path);
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

bool IsTeslaCamDrive(const std::string& root) {
    if (root.empty())
        return false;
    const std::filesystem::path folder = std::filesystem::path(root) / "TeslaCam";
    std::error_code ec;
    for (const char* clips : {"RecentClips", "SavedClips", "SentryClips"})
        if (std::filesystem::is_directory(folder / clips, ec))
            return true;
    return false;
}

std::string FindRecordingDrive(const std::vector<DriveRoot>& drives) {
    std::string root;
    SetupRecord record;
    if (FindDeviceDrive(drives, root, record))
        return root;
    for (const DriveRoot& drive : drives)
        if (drive.removable && !drive.floppy && IsTeslaCamDrive(drive.root))
            root = WithSlash(drive.root);
    return root;
}

std::string FindRecordingDrive() {
    return FindRecordingDrive(ListMountedDrives());
}

bool WriteSetupRecord(const std::string& root, const SetupRecord& record) {
    if (root.empty())
        return false;
    // Through a symbolic link the link's target is replaced, so the link itself survives.
    char resolved[PATH_MAX];
    if (::realpath((WithSlash(root) + kSetupFileName).c_str(), resolved) == nullptr)
        return false;
    const std::string target = resolved;
    // A settings file we may not write is refused before anything is created. The atomic
    // writer's Open() refuses what is not a regular file and a read-only file (no write bit),
    // as the card's own file system would, even for root, who could otherwise rename over it.
    if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
        return false;

    AtomicFile file;
    if (!file.Open(target))
        return false;
    if (std::fwrite(record.bytes.data(), 1, record.bytes.size(), file.stream()) !=
        record.bytes.size())
        return false;
    return file.Commit();
}

} // namespace quello

namespace quello {

std::optional<SetupRecord> FindCardAbove(const std::string& path, int levels) {
    std::filesystem::path folder = std::filesystem::path(path).parent_path();
    for (int level = 0; level < levels && !folder.empty(); ++level) {
        std::string root;
        SetupRecord record;
        if (FindDeviceDrive({DriveRoot{folder.string(), true, false}}, root, record))
            return record;
        if (folder == folder.parent_path())
            break;
        folder = folder.parent_path();
    }
    return std::nullopt;
}

} // namespace quello
