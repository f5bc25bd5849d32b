#include "ImportSource.h"

#include "cameras/TeslaCamTree.h"
#include "device/DeviceDrive.h"
#include "recordings/MovieHeader.h"
#include "recordings/MovieListing.h"
#include "recordings/base/WholeFile.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>

namespace quello {
namespace {

// Folder sources are searched this deep: a copied card (DCIM/100MEDIA) or a folder of days.
constexpr int kFolderDepth = 4;

bool EndsWithNoCase(const std::string& name, const char* ending) {
    const std::size_t n = std::char_traits<char>::length(ending);
    if (name.size() < n)
        return false;
    for (std::size_t i = 0; i < n; ++i) {
        const char a = name[name.size() - n + i];
        if (std::tolower(static_cast<unsigned char>(a)) != ending[i])
            return false;
    }
    return true;
}

bool IsFolder(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool IsFile(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

// Names in a folder, sorted so that a listing never depends on the directory's order.
std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..")
                names.push_back(name);
        }
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// The mount table escapes blanks and backslashes in paths as octal (\040).
std::string Unescape(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() &&
            std::isdigit(static_cast<unsigned char>(text[i + 1]))) {
            out += char(std::strtol(text.substr(i + 1, 3).c_str(), nullptr, 8));
            i += 3;
        } else {
            out += text[i];
        }
    }
    return out;
}

// The file system `path` lies on: its mount point and a name for it that stays the same across
// mounts (the UUID of its device, else the file system id the kernel gives).
void Identify(const std::string& path, std::string& identity, std::string& mountPoint) {
    mountPoint = "/";
    unsigned major = 0, minor = 0;
    std::string table;
    if (ReadWholeFile("/proc/self/mountinfo", 1 << 22, table)) {
        std::istringstream lines(table);
        std::string line;
        while (std::getline(lines, line)) {
            std::istringstream fields(line);
            std::string id, parent, device, root, point;
            if (!(fields >> id >> parent >> device >> root >> point))
                continue;
            point = Unescape(point);
            const bool under = path == point || (path.compare(0, point.size(), point) == 0 &&
                                                 (point == "/" || path[point.size()] == '/'));
            // Later lines mount over earlier ones; the longest matching point is the one used.
            if (under && point.size() >= mountPoint.size()) {
                mountPoint = point;
                std::sscanf(device.c_str(), "%u:%u", &major, &minor);
            }
        }
    }
    const std::string byUuid = "/dev/disk/by-uuid/";
    for (const auto& name : Names(byUuid)) {
        struct stat status {};
        if (::stat((byUuid + name).c_str(), &status) == 0 && S_ISBLK(status.st_mode) &&
            ::major(status.st_rdev) == major && ::minor(status.st_rdev) == minor) {
            identity = "uuid:" + name;
            return;
        }
    }
    struct statvfs fs {};
    char text[64];
    if (::statvfs(path.c_str(), &fs) == 0 && fs.f_fsid != 0)
        std::snprintf(text, sizeof text, "fsid:%llx", (unsigned long long)fs.f_fsid);
    else
        std::snprintf(text, sizeof text, "dev:%u:%u", major, minor);
    identity = text;
}

} // namespace

SourceFile ImportSource::Describe(const std::string& path, const std::string& kind) const {
    SourceFile file;
    file.path = path;
    file.kind = kind;
    file.relative = path.compare(0, m_mountPoint.size(), m_mountPoint) == 0
                        ? path.substr(m_mountPoint.size())
                        : path;
    while (!file.relative.empty() && file.relative.front() == '/')
        file.relative.erase(0, 1);
    struct stat status {};
    if (::stat(path.c_str(), &status) == 0) {
        file.size = status.st_size;
        file.mtime = status.st_mtim.tv_sec;
        file.readOnly = (status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
    }
    return file;
}

void ImportSource::AddMovie(const std::string& path) {
    SourceRecording recording;
    recording.movie = Describe(path, "movie");
    std::string telemetry;
    if (FindTelemetryFile(path, telemetry))
        recording.companions.push_back(Describe(telemetry, "telemetry"));
    const std::string stem = path.substr(0, path.rfind('.'));
    static constexpr const char* kSides[][2] = {{".gpx", "gpx"},   {".GPX", "gpx"},
                                                {".nmea", "nmea"}, {".NMEA", "nmea"},
                                                {".txt", "nmea"},  {".TXT", "nmea"}};
    for (const auto& [ending, kind] : kSides) {
        if (IsFile(stem + ending))
            recording.companions.push_back(Describe(stem + ending, kind));
    }
    m_recordings.push_back(std::move(recording));
}

bool ImportSource::AddTeslaCam() {
    const TeslaCamDrive drive = ScanTeslaCam(m_root);
    if (drive.teslaCamFolder.empty())
        return false;
    for (const TeslaMoment& moment : drive.moments) {
        SourceRecording recording;
        recording.movie = Describe(moment.cameras.front().path, "movie");
        for (std::size_t i = 1; i < moment.cameras.size(); ++i)
            recording.companions.push_back(Describe(moment.cameras[i].path, "view"));
        if (moment.event) {
            const std::string json = moment.event->folder + "/event.json";
            if (IsFile(json))
                recording.companions.push_back(Describe(json, "event"));
            if (!moment.event->thumbnailPath.empty())
                recording.companions.push_back(Describe(moment.event->thumbnailPath, "thumbnail"));
        }
        m_recordings.push_back(std::move(recording));
    }
    return true;
}

bool ImportSource::Scan(const std::string& path) {
    *this = ImportSource();
    char resolved[PATH_MAX];
    if (!::realpath(path.c_str(), resolved) || !IsFolder(resolved)) {
        m_error = path + ": not a readable folder";
        return false;
    }
    m_root = resolved;
    Identify(m_root, m_identity, m_mountPoint);
    const std::string slash = m_root == "/" ? m_root : m_root + "/";

    std::string cardRoot;
    SetupRecord record;
    m_isCard = FindDeviceDrive({DriveRoot{slash, true, false}}, cardRoot, record);
    if (m_isCard) {
        m_settings = Describe(slash + "setup.cfg", "settings");
        m_thresholds = ThresholdsForSensitivity(record.sensitivity(0), record.sensitivity(1),
                                                record.sensitivity(2));
        for (const auto& folder : CardMediaFolders(slash)) {
            for (const auto& name : Names(folder)) {
                if (EndsWithNoCase(name, ".mov") && IsFile(folder + "/" + name))
                    AddMovie(folder + "/" + name);
            }
        }
    } else if (!AddTeslaCam()) {
        std::vector<std::pair<std::string, int>> folders = {{m_root, 0}};
        while (!folders.empty()) {
            const auto [folder, depth] = folders.back();
            folders.pop_back();
            for (const auto& name : Names(folder)) {
                if (name.front() == '.')
                    continue;
                const std::string child = folder == "/" ? "/" + name : folder + "/" + name;
                struct stat status {};
                if (::lstat(child.c_str(), &status) != 0)
                    continue;
                if (S_ISDIR(status.st_mode) && depth < kFolderDepth)
                    folders.push_back({child, depth + 1});
                else if (S_ISREG(status.st_mode) && EndsWithNoCase(name, ".mov"))
                    AddMovie(child);
            }
        }
    }
    const std::string logs = slash + "GPSLOG";
    for (const auto& name : Names(logs)) {
        if (EndsWithNoCase(name, ".log") && IsFile(logs + "/" + name))
            m_gpsLogs.push_back(Describe(logs + "/" + name, "gpslog"));
    }
    std::sort(m_recordings.begin(), m_recordings.end(),
              [](const auto& a, const auto& b) { return a.movie.path < b.movie.path; });
    return true;
}

} // namespace quello
