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
    TmpfsMount(const std::string& folder, std::size_t bytes) : folder_(folder) {
        const std::string options = "size=" + std::to_string(bytes) + ",mode=0755";
        if (::mount("tmpfs", folder.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) != 0)
            error_ = "cannot mount a tmpfs on " + folder + ": " + std::strerror(errno) +
                     " (the full-disk cases need root)";
    }
    ~TmpfsMount() {
        if (error_.empty())
            ::umount2(folder_.c_str(), MNT_DETACH);
    }
    TmpfsMount(const TmpfsMount&) = delete;
    TmpfsMount& operator=(const TmpfsMount&) = delete;

    const std::string& error() const { return error_; }

    // Fills the file system with a hidden file until only `freeBytes` (whole pages) are left;
    // false when it did not fill up. unfill() gives the room back.
    bool fill(std::size_t freeBytes) const {
        const int fd = ::open(filler().c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
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
    void unfill() const { ::unlink(filler().c_str()); }

private:
    std::string filler() const { return folder_ + "/.filler"; }

    std::string folder_;
    std::string error_;
};

} // namespace quello::test
