#pragma once

#include "recordings/GForceEvents.h"

#include <optional>
#include <string>

namespace quello {

// Where a movie lies inside a library of drives: LIBRARY/<YYYY>/<YYYY-MM-DD>/<movie>, with the
// library's index LIBRARY/library.sqlite beside the year folders.
struct LibraryPlace {
    std::string root;     // the library folder, without a trailing '/'
    std::string relative; // the movie's path as the index stores it
};

// The library a movie lies in, found by the folder names and the index file; reads no file.
// Nothing for a movie anywhere else (a card, a folder of movies).
std::optional<LibraryPlace> FindLibraryAbove(const std::string& moviePath);

// The thresholds a movie's G-force events are found at, wherever it lies: a library movie's are
// those its index stored at import (the card's, as it was then), a card movie's its card's
// sensitivity levels (ThresholdsForMovie), any other's the defaults. Opens the library's index
// for one query, so it reads a few pages of it; plain function, safe on any thread.
GForceThresholds ThresholdsForRecording(const std::string& moviePath);

} // namespace quello
