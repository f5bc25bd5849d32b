#include "EditListPatch.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace quello {

namespace {

std::uint64_t Big(const unsigned char* p, int bytes) {
    std::uint64_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v = (v << 8) | p[i];
    return v;
}

void PutBig(unsigned char* p, int bytes, std::uint64_t v) {
    for (int i = bytes - 1; i >= 0; --i, v >>= 8)
        p[i] = static_cast<unsigned char>(v & 0xff);
}

// The boxes directly inside [begin, end) of `data` named `type`, as (content start, box end).
std::vector<std::pair<std::size_t, std::size_t>> Boxes(const std::vector<unsigned char>& data,
                                                       std::size_t begin, std::size_t end,
                                                       const char* type) {
    std::vector<std::pair<std::size_t, std::size_t>> found;
    while (begin + 8 <= end) {
        std::uint64_t size = Big(&data[begin], 4);
        std::size_t header = 8;
        if (size == 1 && begin + 16 <= end) {
            size = Big(&data[begin + 8], 8);
            header = 16;
        }
        if (size < header || size > end - begin)
            break;
        if (std::memcmp(&data[begin + 4], type, 4) == 0)
            found.emplace_back(begin + header, begin + std::size_t(size));
        begin += std::size_t(size);
    }
    return found;
}

} // namespace

bool TrimVideoEdit(const std::string& path, double seconds) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool trimmed = false;
    struct stat st {};
    std::uint64_t at = 0;
    unsigned char head[16];
    while (::fstat(fd, &st) == 0 && at + 8 <= std::uint64_t(st.st_size)) {
        if (::pread(fd, head, 16, off_t(at)) < 8)
            break;
        std::uint64_t size = Big(head, 4);
        if (size == 1)
            size = Big(head + 8, 8);
        else if (size == 0)
            size = std::uint64_t(st.st_size) - at;
        if (size < 8 || at + size > std::uint64_t(st.st_size))
            break;
        if (std::memcmp(head + 4, "moov", 4) != 0 || size > (64u << 20)) {
            at += size;
            continue;
        }
        std::vector<unsigned char> moov(std::size_t(size), 0);
        if (::pread(fd, moov.data(), moov.size(), off_t(at)) != ssize_t(moov.size()))
            break;
        const auto mvhd = Boxes(moov, 8, moov.size(), "mvhd");
        if (mvhd.empty())
            break;
        const std::size_t m = mvhd[0].first;
        const std::uint64_t scale = Big(&moov[m + (moov[m] == 1 ? 20 : 12)], 4);
        for (const auto& trak : Boxes(moov, 8, moov.size(), "trak")) {
            bool isVideo = false;
            for (const auto& mdia : Boxes(moov, trak.first, trak.second, "mdia"))
                for (const auto& hdlr : Boxes(moov, mdia.first, mdia.second, "hdlr"))
                    isVideo = isVideo || (hdlr.first + 12 <= hdlr.second &&
                                          std::memcmp(&moov[hdlr.first + 8], "vide", 4) == 0);
            if (!isVideo)
                continue;
            for (const auto& edts : Boxes(moov, trak.first, trak.second, "edts")) {
                for (const auto& elst : Boxes(moov, edts.first, edts.second, "elst")) {
                    const std::size_t e = elst.first;
                    const bool wide = moov[e] == 1;
                    const std::size_t entries = std::size_t(Big(&moov[e + 4], 4));
                    const std::size_t entrySize = wide ? 20 : 12;
                    if (entries == 0 || e + 8 + entries * entrySize > elst.second)
                        continue;
                    unsigned char* last = &moov[e + 8 + (entries - 1) * entrySize];
                    PutBig(last, wide ? 8 : 4, std::uint64_t(std::llround(seconds * scale)));
                    if (::pwrite(fd, last, wide ? 8 : 4,
                                 off_t(at + std::uint64_t(last - moov.data()))) == (wide ? 8 : 4))
                        trimmed = true;
                }
            }
        }
        break;
    }
    ::close(fd);
    return trimmed;
}

} // namespace quello
