#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quello {

class RecordingLibrary;

// One recording's share of a clip: [from, to] in seconds of that recording.
struct ClipPiece {
    std::string moviePath;
    double from = 0;
    double to = 0;
    // The movie whose telemetry and clock stand for the piece when they are not moviePath's own:
    // the main camera's of its moment when the picture is another camera's. Empty: moviePath.
    std::string telemetryPath;

    const std::string& telemetryMovie() const {
        return telemetryPath.empty() ? moviePath : telemetryPath;
    }
};

// A clip's span resolved to the recordings it meets, in time order.
struct ClipSpan {
    bool ok = false;
    std::string error; // one line, when !ok
    std::vector<ClipPiece> pieces;
    // The trip's extent in seconds of the recording the span was given in (tripStart <= 0 <
    // tripEnd), also when the span was refused, once the trip's recordings could be read: a
    // caller can then clamp its span to the trip.
    double tripStart = 0;
    double tripEnd = 0;
};

// Resolves [from, to], seconds of `library` entry `index`, to pieces of the recordings of its
// trip (FindTrip's rule): a `to` past the recording's end continues into the recordings that
// follow, a negative `from` reaches back into the ones before. A span outside every recording
// of the trip, in whole or in part, is refused. A recording's length is its video track's
// duration as libavformat reads it from the header, to the frame: the next recording's time 0
// follows right after it. Plain function: reads the library and the movies' headers; safe on
// any thread for distinct libraries.
ClipSpan FindClipSpan(const RecordingLibrary& library, int index, double from, double to);

// A span from `from` seconds of entry `fromIndex` to `to` seconds of entry `toIndex`, a later
// recording of the same trip or the same one (marks set in two recordings). Refused when the
// two are not of one trip or `to` comes first.
ClipSpan FindClipSpan(const RecordingLibrary& library, int fromIndex, double from, int toIndex,
                      double to);

// The same for a movie given by its path: its trip is looked for among the movies of its
// folder, listed and ordered as the player lists a folder; when the movie's name names a camera
// (CameraName), among that camera's movies of the folder only, of any movie extension. The
// pieces of the other recordings name them by the folder of `moviePath` as given.
ClipSpan FindClipSpan(const std::string& moviePath, double from, double to);

// The span's pictures taken from camera `camera` (a camera name or label in any case, as
// FindCameraFile matches them): each piece's movie becomes that camera's file of the piece's
// moment (CameraGroupOf), its telemetryPath the movie it replaces. A piece whose moment lacks
// the camera refuses the whole span, naming the moment's cameras. Reads the movies' headers;
// plain function.
ClipSpan ShownByCamera(ClipSpan span, std::string_view camera);

// FindClipSpan on the main camera's recordings of the moment `moviePath` belongs to, seconds
// of `moviePath` being the main camera's too, then ShownByCamera(camera): the trip and the
// telemetry are the main camera's, the picture `camera`'s. An empty `camera` is
// FindClipSpan(moviePath, from, to). Plain function.
ClipSpan FindCameraClipSpan(const std::string& moviePath, double from, double to,
                            std::string_view camera);

} // namespace quello
