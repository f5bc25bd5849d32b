#include "RecordingThresholds.h"

#include "LibraryIndex.h"
#include "LibraryLocation.h"

#include "device/MovieThresholds.h"

#include <cctype>
#include <sys/stat.h>

namespace quello {
namespace {

bool Digits(const std::string& text, std::size_t from, std::size_t count) {
    for (std::size_t i = from; i < from + count; ++i)
        if (i >= text.size() || !std::isdigit(static_cast<unsigned char>(text[i])))
            return false;
    return true;
}

} // namespace

std::optional<LibraryPlace> FindLibraryAbove(const std::string& moviePath) {
    // From the end: the movie's name, its day folder and its year folder.
    const std::size_t nameSlash = moviePath.rfind('/');
    if (nameSlash == std::string::npos || nameSlash == 0 || nameSlash + 1 == moviePath.size())
        return std::nullopt;
    const std::size_t daySlash = moviePath.rfind('/', nameSlash - 1);
    if (daySlash == std::string::npos || daySlash == 0)
        return std::nullopt;
    const std::size_t yearSlash = moviePath.rfind('/', daySlash - 1);
    if (yearSlash == std::string::npos)
        return std::nullopt;
    const std::string year = moviePath.substr(yearSlash + 1, daySlash - yearSlash - 1);
    const std::string day = moviePath.substr(daySlash + 1, nameSlash - daySlash - 1);
    // "2026" and "2026-05-16" of that year.
    if (year.size() != 4 || !Digits(year, 0, 4) || day.size() != 10 ||
        day.compare(0, 4, year) != 0 || day[4] != '-' || day[7] != '-' || !Digits(day, 5, 2) ||
        !Digits(day, 8, 2))
        return std::nullopt;
    const std::string folder = moviePath.substr(0, yearSlash); // empty: the root folder
    if (!IsLibrary(folder.empty() ? std::string(1, '/') : folder))
        return std::nullopt;
    return LibraryPlace{folder.empty() ? std::string(1, '/') : folder,
                        moviePath.substr(yearSlash + 1)};
}

GForceThresholds ThresholdsForRecording(const std::string& moviePath) {
    if (const auto place = FindLibraryAbove(moviePath)) {
        LibraryIndex index;
        if (index.Open(place->root) == LibraryIndex::OpenResult::Ok)
            if (const auto recording = index.RecordingAt(place->relative))
                return recording->thresholds;
    }
    return ThresholdsForMovie(moviePath);
}

} // namespace quello
