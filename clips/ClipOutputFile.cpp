#include "ClipOutputFile.h"

#include "recordings/base/FileWrite.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quello {

namespace {

std::string Folder(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The rename makes the new name durable only once the folder itself is synced.
void SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

ClipOutputFile::~ClipOutputFile() {
    if (!m_committed)
        Remove();
}

bool ClipOutputFile::Create(const std::string& finalPath, std::string& error) {
    struct stat st {};
    if (finalPath.empty() || BaseName(finalPath).empty()) {
        error = "no file name in '" + finalPath + "'";
        return false;
    }
    if (::lstat(finalPath.c_str(), &st) == 0) {
        error = finalPath + " already exists";
        return false;
    }
    // Hidden and unique, so that a file manager or a second job never takes it for the result.
    m_tempPath = Folder(finalPath) + "/." + BaseName(finalPath) + ".XXXXXX";
    m_fd = ::mkostemp(m_tempPath.data(), O_CLOEXEC);
    if (m_fd < 0) {
        error = "cannot write in " + Folder(finalPath) + ": " + std::strerror(errno);
        m_tempPath.clear();
        return false;
    }
    // mkostemp makes the file private; the clip gets what any new file of the user gets. (The
    // mask can only be read by setting it: a job runs alone on its thread.)
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(m_fd, 0666 & ~mask);
    m_finalPath = finalPath;
    return true;
}

bool ClipOutputFile::WriteAll(const std::string& bytes) {
    return WriteFully(m_fd, bytes.data(), bytes.size());
}

bool ClipOutputFile::Commit(std::string& error) {
    if (m_fd < 0) {
        error = "no file to commit";
        return false;
    }
    if (::fsync(m_fd) != 0) {
        error = "cannot sync " + m_finalPath + ": " + std::strerror(errno);
        return false;
    }
    // RENAME_NOREPLACE closes the gap between the existence check and the rename; a file
    // system without it gets the check alone.
    int rc =
        ::renameat2(AT_FDCWD, m_tempPath.c_str(), AT_FDCWD, m_finalPath.c_str(), RENAME_NOREPLACE);
    if (rc != 0 && (errno == EINVAL || errno == ENOSYS)) {
        struct stat st {};
        if (::lstat(m_finalPath.c_str(), &st) == 0)
            errno = EEXIST;
        else
            rc = ::rename(m_tempPath.c_str(), m_finalPath.c_str());
    }
    if (rc != 0) {
        error = errno == EEXIST ? m_finalPath + " already exists"
                                : "cannot rename to " + m_finalPath + ": " + std::strerror(errno);
        return false;
    }
    ::close(m_fd);
    m_fd = -1;
    m_committed = true;
    SyncFolder(Folder(m_finalPath));
    return true;
}

void ClipOutputFile::Remove() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (m_committed)
        ::unlink(m_finalPath.c_str());
    else if (!m_tempPath.empty())
        ::unlink(m_tempPath.c_str());
    m_committed = false;
    m_tempPath.clear();
}

} // namespace quello
