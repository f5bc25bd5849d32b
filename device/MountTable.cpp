#include "MountTable.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sys/stat.h>

namespace quello {

namespace {

// Mount tables escape blanks, tabs, newlines and backslashes in names as \ooo (octal).
std::string Unescape(std::string_view field) {
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && field[i + 1] >= '0' &&
            field[i + 1] <= '3' && field[i + 2] >= '0' && field[i + 2] <= '7' &&
            field[i + 3] >= '0' && field[i + 3] <= '7') {
            out.push_back(
                char((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0')));
            i += 3;
        } else {
            out.push_back(field[i]);
        }
    }
    return out;
}

std::string RealPath(const std::string& path) {
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) == nullptr)
        return {};
    return resolved;
}

std::string BaseName(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Parent(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos || slash == 0 ? std::string("/") : path.substr(0, slash);
}

bool Exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

bool FileSaysOne(const std::string& path) {
    std::ifstream in(path);
    char c = 0;
    return in.get(c) && c == '1';
}

// A path component naming a USB or MMC bus node (usb1, 1-1 sits below it; mmc0, mmc_host).
bool OnRemovableBus(const std::string& sysDevicePath) {
    std::size_t start = 0;
    while (start < sysDevicePath.size()) {
        std::size_t end = sysDevicePath.find('/', start);
        if (end == std::string::npos)
            end = sysDevicePath.size();
        const std::string_view part(sysDevicePath.data() + start, end - start);
        if (part.starts_with("usb") || part.starts_with("mmc"))
            return true;
        start = end + 1;
    }
    return false;
}

bool BlockDeviceIsRemovable(const std::string& device, const std::string& sysfsRoot) {
    if (!device.starts_with("/dev/"))
        return false;
    std::string name = BaseName(RealPath(device));
    if (name.empty())
        name = BaseName(device); // the node may be absent in this mount namespace
    const std::string node = RealPath(sysfsRoot + "/class/block/" + name);
    if (node.empty())
        return false;
    // A partition's own folder has no "removable" attribute; its disk (the parent) has.
    const std::string disk = Exists(node + "/partition") ? Parent(node) : node;
    return FileSaysOne(disk + "/removable") || OnRemovableBus(node);
}

bool IsFloppy(const std::string& device) {
    return device.size() > 7 && device.starts_with("/dev/fd") && device[7] >= '0' &&
           device[7] <= '9';
}

} // namespace

std::vector<DriveRoot> ParseMountTable(std::string_view mountsText, const std::string& sysfsRoot) {
    std::vector<DriveRoot> drives;
    std::size_t lineStart = 0;
    while (lineStart < mountsText.size()) {
        std::size_t lineEnd = mountsText.find('\n', lineStart);
        if (lineEnd == std::string_view::npos)
            lineEnd = mountsText.size();
        const std::string_view line = mountsText.substr(lineStart, lineEnd - lineStart);
        lineStart = lineEnd + 1;

        std::string_view fields[2];
        std::size_t found = 0, pos = 0;
        while (found < 2 && pos < line.size()) {
            while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t'))
                ++pos;
            const std::size_t begin = pos;
            while (pos < line.size() && line[pos] != ' ' && line[pos] != '\t')
                ++pos;
            if (pos > begin)
                fields[found++] = line.substr(begin, pos - begin);
        }
        if (found < 2)
            continue;
        const std::string device = Unescape(fields[0]);
        DriveRoot drive;
        drive.root = Unescape(fields[1]);
        if (drive.root.empty() || drive.root.front() != '/')
            continue;
        const bool underMedia =
            drive.root.starts_with("/media/") || drive.root.starts_with("/run/media/");
        if (drive.root.back() != '/')
            drive.root.push_back('/');
        drive.floppy = IsFloppy(device);
        drive.removable = underMedia || BlockDeviceIsRemovable(device, sysfsRoot);
        drives.push_back(std::move(drive));
    }
    return drives;
}

} // namespace quello
