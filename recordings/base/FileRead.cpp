#include "FileRead.h"

#include <cerrno>
#include <unistd.h>

namespace quello {

ssize_t ReadSome(int fd, void* data, std::size_t size) {
    for (;;) {
        const ssize_t got = ::read(fd, data, size);
        if (got < 0 && errno == EINTR)
            continue;
        return got < 0 ? -1 : got;
    }
}

bool ReadFully(int fd, void* data, std::size_t size) {
    auto* bytes = static_cast<unsigned char*>(data);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ReadSome(fd, bytes + done, size - done);
        if (n <= 0)
            return false;
        done += std::size_t(n);
    }
    return true;
}

bool ReadFullyAt(int fd, std::uint64_t offset, void* data, std::size_t size) {
    auto* bytes = static_cast<unsigned char*>(data);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, bytes + done, size - done, off_t(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += std::size_t(n);
    }
    return true;
}

} // namespace quello
