#pragma once

// setup.cfg records as the camera leaves them on a card, for tests that put a card on disk.
#include <array>
#include <cstdint>
#include <string>

namespace quello::test {

struct SetupCfgFields {
    int resolutionCode = 2; // 1080P
    int timeZone = -5;
    std::array<int, 3> sensitivity{5, 6, 7};
    std::uint32_t trailer = 0x53050E50u; // the player's own; the camera may write another
    std::uint32_t magic = 0x5052010Eu;
};

// 128 bytes: magic, then the mode byte (bit 7 set, the resolution code, the update flag
// clear), time zone and sensitivities at 6..10, the trailer at 124; every other byte holds a
// pattern a save must keep byte for byte.
inline std::string SetupCfg(const SetupCfgFields& f = {}) {
    std::string bytes(128, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = char(i * 37 + 11);
    for (std::size_t i = 0; i < 4; ++i) {
        bytes[i] = char(f.magic >> (8 * i));
        bytes[124 + i] = char(f.trailer >> (8 * i));
    }
    bytes[6] = char(0x80 | f.resolutionCode << 1);
    bytes[7] = char(f.timeZone);
    for (std::size_t axis = 0; axis < 3; ++axis)
        bytes[8 + axis] = char(f.sensitivity[axis]);
    return bytes;
}

} // namespace quello::test
