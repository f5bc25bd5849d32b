#include "WholeFile.h"

#include "FileRead.h"
#include "OpenRegular.h"

#include <algorithm>
#include <sys/stat.h>
#include <unistd.h>

namespace quello {

bool ReadWholeFile(const std::string& path, std::size_t maxBytes, std::string& content) {
    content.clear();
    struct stat status {};
    const int fd = OpenRegular(path, &status);
    if (fd < 0)
        return false;
    bool ok = std::size_t(status.st_size) <= maxBytes;
    if (ok) {
        // The size is a hint only: the file may grow or shrink while it is read.
        content.resize(std::size_t(status.st_size) + 1);
        std::size_t used = 0;
        for (ssize_t got; ok; used += std::size_t(got)) {
            if (used == content.size())
                content.resize(std::min(content.size() * 2, maxBytes + 1));
            got = ReadSome(fd, content.data() + used, content.size() - used);
            if (got <= 0) {
                ok = got == 0;
                break;
            }
            ok = used + std::size_t(got) <= maxBytes;
        }
        content.resize(ok ? used : 0);
    }
    ::close(fd);
    return ok;
}

} // namespace quello
