#include "MovieHeader.h"

#include "base/FileRead.h"
#include "base/OpenRegular.h"
#include "base/Utf8Text.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <limits>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quello {

namespace {

// Seconds from 1904-01-01 (QuickTime's epoch) to 1970-01-01.
constexpr std::uint64_t kQuickTimeToUnix = 2082844800;

struct MovieTimes {
    std::uint64_t creation = 0; // seconds since 1904
    std::uint32_t timeScale = 0;
    std::uint64_t duration = 0; // in time-scale units
};

class FileReader {
public:
    FileReader(int fd, std::uint64_t size) : m_fd(fd), m_size(size) {}
    std::uint64_t size() const { return m_size; }

    bool Read(std::uint64_t offset, unsigned char* out, std::size_t count) const {
        if (offset > m_size || count > m_size - offset)
            return false;
        return ReadFullyAt(m_fd, offset, out, count);
    }

private:
    int m_fd;
    std::uint64_t m_size;
};

std::uint64_t BigEndian(const unsigned char* p, int bytes) {
    std::uint64_t value = 0;
    for (int i = 0; i < bytes; ++i)
        value = value << 8 | p[i];
    return value;
}

struct Box {
    std::uint64_t bodyStart = 0;
    std::uint64_t end = 0; // clamped to the enclosing range
    char type[4] = {};
};

// Reads the box header at `offset` inside [offset, limit). A size of 0 means "to the end", 1
// means a 64-bit size follows. Sizes smaller than the header are garbage and stop the walk; a
// size that overruns the range is clamped so that a truncated file still yields its content.
bool ReadBox(const FileReader& file, std::uint64_t offset, std::uint64_t limit, Box& box) {
    unsigned char header[16];
    if (limit - offset < 8 || !file.Read(offset, header, 8))
        return false;
    std::uint64_t size = BigEndian(header, 4);
    std::uint64_t headerSize = 8;
    if (size == 1) {
        if (limit - offset < 16 || !file.Read(offset + 8, header + 8, 8))
            return false;
        size = BigEndian(header + 8, 8);
        headerSize = 16;
    } else if (size == 0) {
        size = limit - offset;
    }
    if (size < headerSize)
        return false;
    std::copy(header + 4, header + 8, box.type);
    box.bodyStart = offset + headerSize;
    box.end = size > limit - offset ? limit : offset + size;
    return true;
}

bool IsType(const Box& box, const char (&type)[5]) {
    return std::equal(type, type + 4, box.type);
}

bool FindChild(const FileReader& file, std::uint64_t from, std::uint64_t limit,
               const char (&type)[5], Box& found) {
    Box box;
    for (std::uint64_t at = from; at < limit && ReadBox(file, at, limit, box); at = box.end) {
        if (IsType(box, type)) {
            found = box;
            return true;
        }
    }
    return false;
}

bool ReadMovieTimes(const FileReader& file, MovieTimes& times) {
    Box moov, mvhd;
    if (!FindChild(file, 0, file.size(), "moov", moov) ||
        !FindChild(file, moov.bodyStart, moov.end, "mvhd", mvhd))
        return false;
    // version and flags, then creation, modification, time scale, duration:
    // 32-bit times and duration in version 0, 64-bit in version 1.
    unsigned char body[32];
    if (!file.Read(mvhd.bodyStart, body, 1))
        return false;
    const bool wide = body[0] == 1;
    const std::size_t needed = wide ? 32 : 20;
    if (body[0] > 1 || mvhd.end - mvhd.bodyStart < needed ||
        !file.Read(mvhd.bodyStart, body, needed))
        return false;
    if (wide) {
        times.creation = BigEndian(body + 4, 8);
        times.timeScale = std::uint32_t(BigEndian(body + 20, 4));
        times.duration = BigEndian(body + 24, 8);
    } else {
        times.creation = BigEndian(body + 4, 4);
        times.timeScale = std::uint32_t(BigEndian(body + 12, 4));
        times.duration = BigEndian(body + 16, 4);
    }
    return true;
}

bool IsKind(const std::string& path, bool wantFolder) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return false;
    return wantFolder ? S_ISDIR(st.st_mode) : S_ISREG(st.st_mode);
}

std::string Join(const std::string& folder, const std::string& name) {
    if (folder.empty())
        return name;
    return folder.back() == '/' ? folder + name : folder + '/' + name;
}

// `name` inside `folder`: the exact name when it exists, else the first (in byte order) entry
// whose name matches ignoring ASCII case, as a card written on a case-insensitive file system
// may have been copied with other letter cases.
bool ResolveEntry(const std::string& folder, const std::string& name, bool wantFolder,
                  std::string& path) {
    const std::string exact = Join(folder, name);
    if (IsKind(exact, wantFolder)) {
        path = exact;
        return true;
    }
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr)
        return false;
    std::string best;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string candidate = entry->d_name;
        if (::strcasecmp(candidate.c_str(), name.c_str()) != 0 ||
            (!best.empty() && candidate >= best))
            continue;
        if (IsKind(Join(folder, candidate), wantFolder))
            best = candidate;
    }
    ::closedir(dir);
    if (best.empty())
        return false;
    path = Join(folder, best);
    return true;
}

// The folder that ".." of `folder` resolves to, as the file system resolves it (through
// symbolic links); the parent of "/" is "/" itself. Empty when the folder doesn't exist.
std::string ParentFolder(const std::string& folder) {
    char resolved[PATH_MAX];
    if (::realpath(folder.empty() ? "/" : folder.c_str(), resolved) == nullptr)
        return {};
    const std::string canonical = resolved;
    const auto slash = canonical.find_last_of('/');
    return slash == 0 || slash == std::string::npos ? std::string("/") : canonical.substr(0, slash);
}

} // namespace

void ReadMovieHeader(const std::string& moviePath, std::tm& creationTime,
                     std::uint32_t& durationSeconds, int& readOnly) {
    struct stat st {};
    // Only regular files count as movies; a FIFO under a movie's name cannot hang the caller.
    const int fd = OpenRegular(moviePath, &st);
    if (fd < 0)
        return;
    MovieTimes times;
    const bool found = ReadMovieTimes(FileReader(fd, std::uint64_t(st.st_size)), times);
    ::close(fd);

    if (found && times.creation >= kQuickTimeToUnix &&
        times.creation - kQuickTimeToUnix <= std::uint64_t(std::numeric_limits<time_t>::max())) {
        const time_t unixTime = time_t(times.creation - kQuickTimeToUnix);
        std::tm converted{};
        if (::gmtime_r(&unixTime, &converted) != nullptr) {
            const std::uint64_t seconds = times.duration / (times.timeScale ? times.timeScale : 1);
            creationTime = converted;
            durationSeconds = std::uint32_t(
                std::min<std::uint64_t>(seconds, std::numeric_limits<std::uint32_t>::max()));
        }
    }
    readOnly = (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 ? 1 : 0;
}

bool ReadMovieLength(const std::string& moviePath, std::uint32_t& durationSeconds) {
    struct stat st {};
    const int fd = OpenRegular(moviePath, &st);
    if (fd < 0)
        return false;
    MovieTimes times;
    const bool found = ReadMovieTimes(FileReader(fd, std::uint64_t(st.st_size)), times);
    ::close(fd);
    if (!found)
        return false;
    const std::uint64_t seconds = times.duration / (times.timeScale ? times.timeScale : 1);
    durationSeconds =
        std::uint32_t(std::min<std::uint64_t>(seconds, std::numeric_limits<std::uint32_t>::max()));
    return true;
}

bool FindTelemetryFile(const std::string& moviePath, std::string& telemetryPath) {
    if (Utf8Length(moviePath) < 8)
        return false;
    const std::string datPath = moviePath.substr(0, Utf8OffsetOfLast(moviePath, 3)) + "DAT";
    const auto slash = datPath.find_last_of('/');
    const std::string folder =
        slash == std::string::npos ? std::string() : datPath.substr(0, slash);
    const std::string name = slash == std::string::npos ? datPath : datPath.substr(slash + 1);
    std::string found;
    if (IsKind(datPath, false)) {
        telemetryPath = datPath;
        return true;
    }
    if (ResolveEntry(slash == 0 ? std::string("/") : folder, name, false, found)) {
        telemetryPath = found;
        return true;
    }
    if (slash == std::string::npos)
        return false;
    const std::string parent = ParentFolder(folder);
    std::string info;
    if (parent.empty() || !ResolveEntry(parent, "INFO", true, info) ||
        !ResolveEntry(info, name, false, found))
        return false;
    telemetryPath = found;
    return true;
}

} // namespace quello
