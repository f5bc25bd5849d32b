#pragma once

#include "EmbeddedTrackReader.h"
#include "RecordingEntry.h"
#include "TelemetrySet.h"

#include <cstdint>
#include <string>

namespace quello {

// Where a recording's telemetry came from.
enum class TelemetrySource {
    None,     // nothing usable: the set is empty
    Dat,      // the camera's telemetry file, read by ParseTelemetryFile()
    Gpx,      // a GPX file beside the movie with the movie's base name
    Nmea,     // an NMEA log beside the movie (.nmea, .NMEA or .txt)
    Embedded, // GPS data inside the movie, read through ExifTool
    UserGpx,  // the GPX the user chose
    Sei,      // the car's own telemetry in the movie's video stream (cameras/SeiTelemetry)
};

// "none", "dat", "gpx", "nmea", "embedded", "user-gpx", "sei".
const char* TelemetrySourceName(TelemetrySource source);

// What the caller adds to the automatic search.
struct GpsOptions {
    std::string userGpx;            // the user's GPX for this recording; empty: none
    std::int64_t offsetSeconds = 0; // the user's clock correction, added to each GPS time
    ExifToolRun exiftool;           // how embedded GPS is extracted (program, time limit)
    // False: GPS embedded in the movie is not looked for at all, so ExifTool never runs; for
    // callers that load many recordings at once and can't wait seconds for each.
    bool embedded = true;
};

struct TelemetryLoad {
    TelemetrySource source = TelemetrySource::None;
    bool offsetApplied = false; // a non-zero offset moved the fixes (never for the .DAT)
};

// Fills `out` with a recording's telemetry from the first source that has some, in this order:
//   1. the camera's telemetry file (entry.telemetryPath), exactly as ParseTelemetryFile() reads
//      it, also when it holds no line: it is the recording's own record;
//   2. the user's GPX (options.userGpx): an explicit choice outranks what lies beside the movie;
//   then the telemetry the movie's video stream carries, read by the reader set with
//   SetMovieStreamTelemetry() (laid out by the movie's own clock: no offset, no placing);
//   3. a side file with the movie's base name: ".gpx" or ".GPX", then an NMEA log ".nmea",
//      ".NMEA", ".txt" or ".TXT" (a log that gives no date is put on the movie's own date by
//      PlaceTimesOfDay());
//   4. GPS embedded in the movie, through ExifTool (a missing program is no source), unless
//      options.embedded is false.
// Sources 2-4 need the movie's start time and length, and count only when at least one of their
// points falls within the recording once placed by PlaceTrack() with options.offsetSeconds;
// otherwise the next one is tried. Nothing found: `out` is empty and the source is None.
// May block for as long as ExifTool runs (options.exiftool.timeoutMs at most): call it off the
// GUI thread. Plain function: safe on any thread for distinct sets.
TelemetryLoad LoadRecordingTelemetry(const RecordingEntry& entry, const GpsOptions& options,
                                     TelemetrySet& out);

// Reads telemetry a movie's video stream carries into `out`; true when it held some. It lives
// above this library (cameras_core reads the car's SEI messages with libavformat), so it is
// handed in rather than linked.
using MovieStreamTelemetry = bool (*)(const RecordingEntry& entry, TelemetrySet& out);

// Sets the reader LoadRecordingTelemetry() tries; nullptr (the default) turns it off. Meant for
// program start (SeiTelemetry::Register()); the pointer is swapped atomically, so a load
// running meanwhile sees the old or the new reader.
void SetMovieStreamTelemetry(MovieStreamTelemetry reader);

// The options the user saved for a movie in its folder's GpsFolderSettings file: the GPX chosen
// for it (else the folder's) and its offset, with ExifTool at its defaults. Reads that file on
// every call. Plain function: safe on any thread.
GpsOptions SavedGpsOptions(const std::string& moviePath);

// The same for a movie given by its path: its header gives the start and length, and its
// telemetry file is looked up with FindTelemetryFile().
TelemetryLoad LoadMovieTelemetry(const std::string& moviePath, const GpsOptions& options,
                                 TelemetrySet& out);

} // namespace quello
