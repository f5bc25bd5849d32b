#include "OpenRegular.h"

#include <fcntl.h>
#include <unistd.h>

namespace quello {

int OpenRegular(const std::string& path, struct stat* status) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    if (status != nullptr)
        *status = st;
    return fd;
}

} // namespace quello
