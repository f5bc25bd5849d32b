#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace quello {

// One GPS line of a telemetry file; fix i covers second i of the video.
// Texts are zero-terminated single-byte strings exactly as read from the file.
struct GpsFix {
    char dateTime[24] = {};   // date and time tokens joined by one blank
    char latitude[12] = {};   // signed decimal degrees, "-" for south
    char longitude[12] = {};  // signed decimal degrees, "-" for west
    std::int32_t speed = 0;   // km/h
    std::int32_t heading = 0; // degrees, shown modulo 360
};

// A fix's text field up to its terminator (or the end of the field).
inline std::string FixText(const char* field, std::size_t capacity) {
    return std::string(field, ::strnlen(field, capacity));
}

template <std::size_t N> std::string FixText(const char (&field)[N]) {
    return FixText(field, N);
}

} // namespace quello
