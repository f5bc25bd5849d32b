#pragma once

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/mount.h>
#include <unistd.h>

namespace quello::test {

// A small tmpfs mounted over an existing folder while the object lives: a file system that
// really fills up, whatever way a program writes. Mounting needs root; error() then says why
// there is none, and a test skips with that reason rather than pass without the fault.
// Unmounted lazily on destruction. Single-threaded test use.
class TmpfsMount {
public:
    TmpfsMount(const std::string& folder, std::size_t bytes)
        : m_folder(folder), m_filler(folder + "/.filler") {
        const std::string options = "size=" + std::to_string(bytes) + ",mode=0755";
        if (::mount("tmpfs", folder.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) != 0)
            m_error = "cannot mount a tmpfs on " + folder + ": " + std::strerror(errno) +
                      " (the full-disk cases need root)";
    }
    ~TmpfsMount() {
        if (m_error.empty())
            ::umount2(m_folder.c_str(), MNT_DETACH);
    }
    TmpfsMount(const TmpfsMount&) = delete;
    TmpfsMount& operator=(const TmpfsMount&) = delete;

    const std::string& error() const { return m_error; }

    // Fills the file system with a hidden file until only `freeBytes` (whole pages) are left;
    // false when it did not fill up. unfill() gives the room back.
    bool fill(std::size_t freeBytes) const {
        const int fd = ::open(m_filler.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd < 0)
            return false;
        static const char block[65536] = {};
        off_t size = 0;
        for (ssize_t n; (n = ::write(fd, block, sizeof block)) > 0;)
            size += n;
        const bool full = errno == ENOSPC && ::ftruncate(fd, size - off_t(freeBytes)) == 0;
        ::close(fd);
        return full;
    }
    void unfill() const { ::unlink(m_filler.c_str()); }

private:
    std::string m_folder, m_filler, m_error;
};

} // namespace quello::test
