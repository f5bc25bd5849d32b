#pragma once

// Movie files built byte by byte: big-endian fields, QuickTime boxes and the camera's layout.
#include <bit>
#include <cstdint>
#include <string>
#include <vector>

namespace quello::test {

// Seconds from the QuickTime epoch (1904-01-01) to the Unix epoch.
constexpr std::uint64_t kSecondsFrom1904To1970 = 2082844800u;

inline std::string Be(std::uint64_t value, int width) {
    std::string out;
    for (int i = width - 1; i >= 0; --i)
        out.push_back(char(value >> (8 * i)));
    return out;
}
inline std::string Box(const char* type, const std::string& body) {
    return Be(body.size() + 8, 4) + type + body;
}

// A complete mvhd: version, flags, times, scale, duration, then rate, volume, matrix, ids.
inline std::string Mvhd(int version, std::uint64_t creation, std::uint32_t scale,
                        std::uint64_t duration) {
    const int width = version == 1 ? 8 : 4;
    return Box("mvhd", Be(std::uint64_t(version) << 24, 4) + Be(creation, width) +
                           Be(creation, width) + Be(scale, 4) + Be(duration, width) +
                           Be(0x00010000, 4) + Be(0x0100, 2) + std::string(70, '\0') + Be(2, 4));
}

// The camera's layout: a 24-byte ftyp, then moov whose first child is a version-0 mvhd.
inline const std::string kCameraFtyp =
    Box("ftyp", "qt  " + Be(0x20050300, 4) + "qt  " + std::string(4, '\0'));
inline std::string CameraMovie(std::uint64_t creation1904, std::uint32_t scale,
                               std::uint64_t duration) {
    return kCameraFtyp + Box("moov", Mvhd(0, creation1904, scale, duration) + Box("trak", "x"));
}

inline std::string Le(std::uint64_t value, int width) {
    std::string out;
    for (int i = 0; i < width; ++i)
        out.push_back(char(value >> (8 * i)));
    return out;
}

// One second of GPS as a camera stores it in a "freeGPS " block: UTC time, degrees as
// DDDMM.MMMM with hemisphere letters, speed in knots, course, and (layout 'C' only) three
// accelerations in 1/256 g.
struct FreeGpsRecord {
    int year, month, day, hour, minute, second;
    char north, east; // 'N' or 'S', 'E' or 'W'
    float latitude, longitude, knots, course;
    std::int32_t acceleration[3];
};

// A "freeGPS " block in one of the two binary layouts ExifTool decodes from a 'gps ' index:
// 'J' with the time from byte 48 and the fix from byte 72 (no acceleration), 'C' with the time
// from byte 16, the fix from byte 40 and the accelerations from byte 60. Zero-padded to 256.
inline std::string FreeGpsBlock(char layout, const FreeGpsRecord& r) {
    auto floatBits = [](float f) { return Le(std::bit_cast<std::uint32_t>(f), 4); };
    const std::string time = Le(r.hour, 4) + Le(r.minute, 4) + Le(r.second, 4) +
                             Le(r.year - 2000, 4) + Le(r.month, 4) + Le(r.day, 4);
    const std::string fix = std::string("A") + r.north + r.east + '\0' + floatBits(r.latitude) +
                            floatBits(r.longitude) + floatBits(r.knots) + floatBits(r.course);
    std::string body = "freeGPS " + Le(0x4c, 4);
    if (layout == 'C')
        body += time + fix + Le(std::uint32_t(r.acceleration[0]), 4) +
                Le(std::uint32_t(r.acceleration[1]), 4) + Le(std::uint32_t(r.acceleration[2]), 4);
    else
        body += std::string(32, '\0') + time + fix;
    body.resize(256 - 4, '\0');
    return Be(256, 4) + body;
}

// A movie whose moov holds a 'gps ' index (version and flags, count, then offset and size of
// each block) of the blocks that follow it, then `padding` bytes of picture data.
inline std::string FreeGpsMovie(std::uint64_t creation1904, std::uint32_t seconds, char layout,
                                const std::vector<FreeGpsRecord>& records,
                                std::size_t padding = 0) {
    const std::string mvhd = Mvhd(0, creation1904, 1000, std::uint64_t(seconds) * 1000);
    const std::size_t moovSize = 8 + mvhd.size() + 16 + 8 * records.size();
    std::string index = Be(0x101, 4) + Be(records.size(), 4), blocks;
    for (const FreeGpsRecord& r : records) {
        index += Be(kCameraFtyp.size() + moovSize + blocks.size(), 4) + Be(256, 4);
        blocks += FreeGpsBlock(layout, r);
    }
    return kCameraFtyp + Box("moov", mvhd + Box("gps ", index)) + blocks +
           Box("mdat", std::string(padding, '\0'));
}

} // namespace quello::test
