#pragma once

#include <optional>

namespace quello {

// What the Exif block of a saved frame tells about the moment the frame shows. A plain value
// without platform types; the layers above fill it from a recording (FactsForMoment).
// What belongs to every file (the program that wrote it, the picture's size and orientation)
// is added by the JPEG writer itself.
struct SnapshotFacts {
    // The camera's clock reading at the frame, exactly as the camera stored it. The camera
    // keeps its clock in local time and records no offset, so none is known here.
    struct Clock {
        int year = 0;   // 1..9999
        int month = 0;  // 1..12
        int day = 0;    // 1..31
        int hour = 0;   // 0..23
        int minute = 0; // 0..59
        int second = 0; // 0..59
        int millisecond = 0;
    };
    // The camera's GPS fix for the second on screen.
    struct Fix {
        double latitude = 0;  // decimal degrees, negative south
        double longitude = 0; // decimal degrees, negative west
        int speedKmh = 0;     // negative: unknown, left out
        int heading = 0;      // degrees from true north, taken modulo 360
    };

    std::optional<Clock> taken; // nothing: the recording's start time is unknown
    std::optional<Fix> fix;     // nothing: no usable fix for that second
};

} // namespace quello
