#include "VerifiedCopy.h"

#include "recordings/base/FileWrite.h"
#include "recordings/base/Sha256.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace quello {
namespace {

constexpr std::size_t kChunk = 1 << 20;

std::string ErrnoText(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

bool IsDiskFull(int error) {
    return error == ENOSPC || error == EDQUOT;
}

// Opens for reading without touching the file's access time where we may (O_NOATIME needs
// the file's owner), so a card's files keep every time stamp the camera gave them.
int OpenForReading(const std::string& path, struct stat& status) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOATIME);
    if (fd < 0 && errno == EPERM)
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return -1;
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        errno = EISDIR;
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

ssize_t ReadRetry(int fd, char* data, std::size_t size) {
    for (;;) {
        const ssize_t n = ::read(fd, data, size);
        if (n >= 0 || errno != EINTR)
            return n;
    }
}

bool Cancelled(const std::atomic<bool>* cancel) {
    return cancel && cancel->load(std::memory_order_relaxed);
}

// Hashes fd from offset 0 to its end; "" on an error (errno set) or a cancel.
std::string HashFrom(int fd, const std::atomic<bool>* cancel,
                     const std::function<void(std::int64_t)>& onBytes, std::string& error) {
    std::vector<char> buffer(kChunk);
    Sha256 hash;
    if (::lseek(fd, 0, SEEK_SET) != 0) {
        error = ErrnoText("seek");
        return {};
    }
    for (;;) {
        if (Cancelled(cancel)) {
            error = "cancelled";
            return {};
        }
        const ssize_t n = ReadRetry(fd, buffer.data(), buffer.size());
        if (n < 0) {
            error = ErrnoText("read");
            return {};
        }
        if (n == 0)
            break;
        hash.Update(buffer.data(), std::size_t(n));
        if (onBytes)
            onBytes(n);
    }
    std::string hex = hash.FinalHex();
    if (hex.empty())
        error = "the hash could not be computed";
    return hex;
}

} // namespace

VerifiedCopy::VerifiedCopy(const std::atomic<bool>* cancel,
                           std::function<void(std::int64_t)> onBytes)
    : m_cancel(cancel), m_onBytes(std::move(onBytes)) {}

VerifiedCopy::~VerifiedCopy() {
    Discard();
}

void VerifiedCopy::Discard() {
    if (m_fd >= 0) {
        ::unlink(m_tempPath.c_str());
        ::close(m_fd);
    }
    m_fd = -1;
    m_tempPath.clear();
    m_verified = false;
}

VerifiedCopy::Result VerifiedCopy::Copy(const std::string& source, const std::string& folder,
                                        const std::string& name, mode_t mode) {
    Discard();
    Result result;
    struct stat status {};
    const int in = OpenForReading(source, status);
    if (in < 0) {
        result.error = ErrnoText("open");
        return result;
    }
    ::posix_fadvise(in, 0, 0, POSIX_FADV_SEQUENTIAL);

    // Made under a name that no import's sweep of leftovers takes at once, and locked before it
    // gets the name the sweep looks at: another import starting beside this one would
    // otherwise remove the copy between its making and its lock.
    std::string temp = folder + "/" + kNewPrefix + name + ".XXXXXX";
    m_fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (m_fd < 0) {
        result.diskFull = IsDiskFull(errno);
        result.error = ErrnoText("create the copy");
        ::close(in);
        return result;
    }
    ::flock(m_fd, LOCK_EX);
    m_tempPath =
        folder + "/" + kTempPrefix + temp.substr(folder.size() + 1 + std::strlen(kNewPrefix));
    if (::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, m_tempPath.c_str(), RENAME_NOREPLACE) != 0) {
        result.error = ErrnoText("name the copy");
        ::unlink(temp.c_str());
        ::close(m_fd);
        m_fd = -1;
        ::close(in);
        return result;
    }

    std::vector<char> buffer(kChunk);
    Sha256 hash;
    bool ok = true;
    for (;;) {
        if (Cancelled(m_cancel)) {
            result.cancelled = true;
            result.error = "cancelled";
            ok = false;
            break;
        }
        const ssize_t n = ReadRetry(in, buffer.data(), buffer.size());
        if (n < 0) {
            result.error = ErrnoText("read");
            ok = false;
            break;
        }
        if (n == 0)
            break;
        hash.Update(buffer.data(), std::size_t(n));
        if (!WriteFully(m_fd, buffer.data(), std::size_t(n))) {
            result.diskFull = IsDiskFull(errno);
            result.error = ErrnoText("write");
            ok = false;
            break;
        }
        result.bytes += n;
        if (m_onBytes)
            m_onBytes(n);
    }
    ::close(in);
    if (ok) {
        result.sha256 = hash.FinalHex();
        ok = !result.sha256.empty();
        if (!ok)
            result.error = "the hash could not be computed";
    }
    if (ok && (::fchmod(m_fd, mode) != 0 || ::fsync(m_fd) != 0)) {
        result.diskFull = IsDiskFull(errno);
        result.error = ErrnoText("sync");
        ok = false;
    }
    if (ok) {
        // The copy's pages leave the cache so that the check reads what the disk holds.
        ::posix_fadvise(m_fd, 0, 0, POSIX_FADV_DONTNEED);
        std::string error;
        const std::string back = HashFrom(m_fd, m_cancel, {}, error);
        if (back.empty()) {
            result.cancelled = Cancelled(m_cancel);
            result.error = "reading the copy back: " + error;
            ok = false;
        } else if (back != result.sha256) {
            result.error = "the copy read back differs from the source";
            ok = false;
        }
    }
    if (ok) {
        const struct timespec times[2] = {{0, UTIME_NOW}, status.st_mtim};
        if (::futimens(m_fd, times) != 0) {
            result.error = ErrnoText("set the modification time");
            ok = false;
        }
    }
    if (!ok) {
        Discard();
        return result;
    }
    m_verified = true;
    result.ok = true;
    return result;
}

bool VerifiedCopy::MoveInto(const std::string& finalPath) {
    if (m_fd < 0 || !m_verified) {
        errno = ENOENT;
        return false;
    }
    if (::renameat2(AT_FDCWD, m_tempPath.c_str(), AT_FDCWD, finalPath.c_str(), RENAME_NOREPLACE) !=
        0)
        return false;
    ::close(m_fd);
    m_fd = -1;
    m_tempPath.clear();
    m_verified = false;
    const std::string folder = finalPath.substr(0, finalPath.rfind('/') + 1);
    const int dir =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

std::string VerifiedCopy::HashFile(const std::string& path, const std::atomic<bool>* cancel,
                                   const std::function<void(std::int64_t)>& onBytes,
                                   std::string& error, bool dropCache) {
    struct stat status {};
    const int fd = OpenForReading(path, status);
    if (fd < 0) {
        error = ErrnoText("open");
        return {};
    }
    if (dropCache)
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    std::string hex = HashFrom(fd, cancel, onBytes, error);
    ::close(fd);
    return hex;
}

void VerifiedCopy::RemoveStale(const std::string& folder) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    const std::size_t prefix = std::strlen(kTempPrefix), newPrefix = std::strlen(kNewPrefix);
    const std::time_t now = std::time(nullptr);
    while (const dirent* entry = ::readdir(dir)) {
        const bool part = std::strncmp(entry->d_name, kTempPrefix, prefix) == 0;
        if (!part && std::strncmp(entry->d_name, kNewPrefix, newPrefix) != 0)
            continue;
        const std::string path = folder + "/" + entry->d_name;
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0)
            continue;
        // A live copy holds its lock; only a leftover of a killed import can be locked here. A
        // copy just made may not hold its lock yet: one is only left over once it is old.
        struct stat status {};
        if ((part || (::fstat(fd, &status) == 0 && now - status.st_mtime > 60)) &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0)
            ::unlink(path.c_str());
        ::close(fd);
    }
    ::closedir(dir);
}

} // namespace quello
