#pragma once

#include "TrackPoint.h"

#include <string>
#include <vector>

namespace quello {

// How the GPS data a camera embedded in its movies is extracted: by running ExifTool.
struct ExifToolRun {
    std::string program = "/usr/bin/exiftool";
    int timeoutMs = 15000; // the program is killed past this
};

// Reads the GPS track embedded in a movie (and the acceleration where the camera stored it)
// into `points` (replaced), one point per embedded document (in no particular order):
// every document with GPSDateTime, GPSLatitude and GPSLongitude, with GPSSpeed (km/h unless
// GPSSpeedRef says mph or knots), GPSTrack and Accelerometer (g) when given. Runs
// `exiftool -ee` as a child process with the movie after "--", so no name is taken for an
// option; the program is killed after the time limit. Returns false when the program is
// missing, fails or runs out of time; true otherwise, also when the movie holds no GPS. Blocks for
// as long as ExifTool runs: call it off the GUI thread. Plain function: safe on any thread.
bool ReadEmbeddedTrack(const std::string& moviePath, const ExifToolRun& run,
                       std::vector<TrackPoint>& points);

// The arguments ReadEmbeddedTrack() gives ExifTool for a movie, program first.
std::vector<std::string> EmbeddedTrackCommand(const std::string& moviePath, const ExifToolRun& run);

// Turns ExifTool's report (as EmbeddedTrackCommand() asks for it: "[Doc7] GPSLatitude: 40.77"
// lines) into track points; lines of any other form are skipped.
bool ParseEmbeddedTrack(const std::string& report, std::vector<TrackPoint>& points);

} // namespace quello
