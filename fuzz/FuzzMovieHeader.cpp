// The movie header reader on arbitrary bytes stored as a .MOV file.

#include "FuzzSupport.h"

#include "recordings/MovieHeader.h"

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
    if (creation.tm_year == -1 && duration != 0)
        fuzz::Fail("duration written without a creation time");
    // The reader stores UTC as is: a written time is a valid one, on or after the epoch.
    const std::tm written = creation;
    if (creation.tm_year != -1 &&
        (creation.tm_year < 70 || ::timegm(&creation) < 0 || creation.tm_mon != written.tm_mon ||
         creation.tm_mday != written.tm_mday || creation.tm_hour != written.tm_hour ||
         creation.tm_min != written.tm_min || creation.tm_sec != written.tm_sec))
        fuzz::Fail("creation time out of range");
    return 0;
}
