#pragma once

#include <QString>

namespace quello::bench {

// Recordings the window benchmarks play, made on the spot. GUI thread, like the benchmarks.

// A 1920x1080 30 fps H.264 movie (key frame every second) of `seconds`; false when ffmpeg
// failed.
bool MakeBenchMovie(const QString& path, int seconds);

// 300 seconds of telemetry: ten samples and one fix per second in the camera's order, speed
// and heading changing every second so that each new second moves both gauges.
bool MakeBenchTelemetry(const QString& path);

} // namespace quello::bench
