#pragma once

#include <cstdint>

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

} // namespace quello
