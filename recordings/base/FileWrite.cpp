#include "FileWrite.h"

#include <cerrno>
#include <unistd.h>

namespace quello {

bool WriteFully(int fd, const void* data, std::size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, bytes, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            return false;
        }
        bytes += n;
        size -= std::size_t(n);
    }
    return true;
}

} // namespace quello
