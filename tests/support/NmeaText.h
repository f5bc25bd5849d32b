#pragma once

// NMEA 0183 sentences as a GPS logger writes them.
#include <cstdio>
#include <string>

namespace quello::test {

// "$" body "*" checksum CR LF; `spoilt` gives it a checksum one off.
inline std::string NmeaSentence(const std::string& body, bool spoilt = false) {
    unsigned sum = spoilt ? 1 : 0;
    for (char c : body)
        sum ^= static_cast<unsigned char>(c);
    char checksum[8];
    std::snprintf(checksum, sizeof checksum, "*%02X\r\n", sum);
    return "$" + body + checksum;
}

} // namespace quello::test
