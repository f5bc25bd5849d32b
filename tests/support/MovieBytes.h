#pragma once

// Movie files built byte by byte: big-endian fields, QuickTime boxes and the camera's layout.
#include <cstdint>
#include <string>

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

} // namespace quello::test
