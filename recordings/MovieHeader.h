#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace quello {

// Reads a QuickTime movie's start time and length from its `mvhd` box and reports whether
// the file is read-only (no write permission bit set at all).
//
// - The file can't be opened (missing, not a regular file): nothing is written.
// - The file opens: `readOnly` is always written (0 or 1).
// - `creationTime` (UTC, as stored) and `durationSeconds` are written together, and only when
//   an `mvhd` box is found and its creation time is on or after 1970-01-01.
// Plain function: no shared state, safe on any thread.
void ReadMovieHeader(const std::string& moviePath, std::tm& creationTime,
                     std::uint32_t& durationSeconds, int& readOnly);

// The movie's length from its `mvhd` box alone, also when its creation time is unset (a camera
// whose clock was never set, a car that writes none): true and `durationSeconds` written when
// the box is found, else false and untouched. Plain function, safe on any thread.
bool ReadMovieLength(const std::string& moviePath, std::uint32_t& durationSeconds);

// Finds the telemetry file of a movie: the movie path with its last three characters replaced
// by "DAT", beside the movie or in an "INFO" folder beside the movie's folder. Each name is
// taken exactly when it exists, else matched case-insensitively inside its folder.
// Returns true and sets `telemetryPath` when found; `telemetryPath` is untouched otherwise.
// Paths shorter than 8 characters are refused without looking at the disk.
// Plain function: does not change the current directory; safe on any thread.
bool FindTelemetryFile(const std::string& moviePath, std::string& telemetryPath);

} // namespace quello
