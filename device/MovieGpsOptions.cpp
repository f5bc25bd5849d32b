#include "MovieGpsOptions.h"

#include "DeviceDrive.h"

namespace quello {

GpsOptions GpsOptionsForMovie(const std::string& moviePath) {
    GpsOptions options = SavedGpsOptions(moviePath);
    options.offsetSeconds += CardClockOffsetSeconds(moviePath);
    return options;
}

std::int64_t CardClockOffsetSeconds(const std::string& moviePath) {
    // ROOT/DCIM/100MEDIA/FILE.MOV: the card is three levels up.
    if (const auto card = FindCardAbove(moviePath, 3))
        return std::int64_t{card->timeZone()} * 3600;
    return 0;
}

} // namespace quello
