// The movie header reader on arbitrary bytes stored as a .MOV file.

#include "FuzzScratch.h"

#include "recordings/MovieHeader.h"

#include <cstddef>
#include <cstdint>
#include <ctime>

using namespace quello;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = fuzz::WriteScratchFile("FILE0001.MOV", data, size);
    std::tm creation{};
    creation.tm_year = -1; // marks "not written": a written time is on or after 1970
    std::uint32_t duration = 0;
    int readOnly = -1;
    ReadMovieHeader(path, creation, duration, readOnly);

    // The scratch file is ours and writable.
    if (readOnly != 0)
        fuzz::Fail("readOnly is not 0 for a writable file");
    if (creation.tm_year != -1) {
        if (creation.tm_year < 70 || creation.tm_mon < 0 || creation.tm_mon > 11 ||
            creation.tm_mday < 1 || creation.tm_mday > 31 || creation.tm_hour < 0 ||
            creation.tm_hour > 23 || creation.tm_min < 0 || creation.tm_min > 59 ||
            creation.tm_sec < 0 || creation.tm_sec > 60)
            fuzz::Fail("creation time out of range");
        // The reader stores UTC as is: converting back gives a time on or after the epoch.
        if (::timegm(&creation) < 0)
            fuzz::Fail("creation time before 1970");
    } else if (duration != 0) {
        fuzz::Fail("duration written without a creation time");
    }
    return 0;
}
