#include "AtomicFile.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quello {

namespace {

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

// A name no other writer picks: O_EXCL settles the rare collision, the retry loop in Open()
// takes the next candidate.
std::string CandidateName(const std::string& folder, unsigned attempt) {
    static std::atomic<unsigned long> counter{0};
    const auto ticks = static_cast<unsigned long long>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    std::string name = folder;
    if (name.back() != '/')
        name += '/';
    name += ".quello-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + "-" +
            std::to_string(ticks % 1000000007ULL) + "-" + std::to_string(attempt) + ".tmp";
    return name;
}

} // namespace

AtomicFile::~AtomicFile() {
    Discard();
}

bool AtomicFile::Open(const std::string& finalPath) {
    Discard();
    if (finalPath.empty() || finalPath.find('\0') != std::string::npos || finalPath.back() == '/')
        return false;

    struct stat st {};
    bool replacing = false;
    if (::stat(finalPath.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode))
            return false;
        if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
            return false;
        replacing = true;
    } else if (errno != ENOENT) {
        return false;
    }

    const std::string folder = FolderOf(finalPath);
    for (unsigned attempt = 0; attempt < 16; ++attempt) {
        std::string candidate = CandidateName(folder, attempt);
        // 0666 so the umask decides the final permissions, as for any newly created file.
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return false;
        }
        // A replaced file keeps its permission bits. FAT has none to set: a refused fchmod
        // there leaves the file system's own.
        if (replacing && ::fchmod(fd, st.st_mode & 07777) != 0 && errno != EPERM) {
            ::close(fd);
            ::unlink(candidate.c_str());
            return false;
        }
        m_stream = ::fdopen(fd, "wb");
        if (m_stream == nullptr) {
            ::close(fd);
            ::unlink(candidate.c_str());
            return false;
        }
        m_tempPath = std::move(candidate);
        m_finalPath = finalPath;
        return true;
    }
    return false;
}

bool AtomicFile::Commit() {
    if (m_stream == nullptr)
        return false;
    bool ok = std::fflush(m_stream) == 0 && std::ferror(m_stream) == 0;
    ok = ok && ::fsync(::fileno(m_stream)) == 0;
    ok = (std::fclose(m_stream) == 0) && ok;
    m_stream = nullptr;
    ok = ok && ::rename(m_tempPath.c_str(), m_finalPath.c_str()) == 0;
    if (!ok) {
        ::unlink(m_tempPath.c_str());
        m_tempPath.clear();
        return false;
    }
    m_tempPath.clear();
    // Make the rename itself durable. Its result does not decide success: once renamed, the
    // folder holds the new content, and reporting a failure would tell the user the old one
    // is still there.
    const int dirFd = ::open(FolderOf(m_finalPath).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

void AtomicFile::Discard() {
    if (m_stream != nullptr) {
        std::fclose(m_stream);
        m_stream = nullptr;
    }
    if (!m_tempPath.empty()) {
        ::unlink(m_tempPath.c_str());
        m_tempPath.clear();
    }
}

} // namespace quello
