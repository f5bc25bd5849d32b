#pragma once

#include <string>

namespace quello {

// Checks that `path` names an existing regular file that this process can open for reading.
// Returns an empty string when it does, else a short reason ("no such file", "is a
// directory", ...) for a one-line message. Touches nothing.
std::string InputFileProblem(const std::string& path);

// Whether `path` names a camera telemetry file (".DAT" in any case) rather than a movie.
bool IsTelemetryFileName(const std::string& path);

// Checks that `path` names an existing directory. Same convention as InputFileProblem.
std::string DirectoryProblem(const std::string& path);

} // namespace quello
