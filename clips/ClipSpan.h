#pragma once

#include <string>
#include <vector>

namespace quello {

class RecordingLibrary;

// One recording's share of a clip: [from, to] in seconds of that recording.
struct ClipPiece {
    std::string moviePath;
    double from = 0;
    double to = 0;
};

// A clip's span resolved to the recordings it meets, in time order.
struct ClipSpan {
    bool ok = false;
    std::string error; // one line, when !ok
    std::vector<ClipPiece> pieces;
};

// Resolves [from, to], seconds of `library` entry `index`, to pieces of the recordings of its
// trip (FindTrip's rule): a `to` past the recording's end continues into the recordings that
// follow, a negative `from` reaches back into the ones before. A span outside every recording
// of the trip is refused. Plain function: reads the library and the movies' headers.
ClipSpan FindClipSpan(const RecordingLibrary& library, int index, double from, double to);

// The same for a movie given by its path: its trip is looked for among the movies of its
// folder.
ClipSpan FindClipSpan(const std::string& moviePath, double from, double to);

} // namespace quello
