#pragma once

#include "CarSignals.h"
#include "SeiReader.h"

#include "recordings/RecordingEntry.h"
#include "recordings/TelemetrySet.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quello {

// Turns the car's SEI messages into the telemetry every camera gives, laid out as the camera's
// .DAT file fills a TelemetrySet. Plain functions: safe on any thread for distinct outputs.
//
// Axes: the car reports its linear acceleration in its own frame, x forward, y to the left,
// z up, without gravity. Our G-sensor's x points forward and y to the right, z up with 1 g at
// rest, so x = car x, y = -car y, z = car z + 1 g (all in thousandths of a g).
class SeiTelemetry {
public:
    // Fix i from the message nearest second i (dateTime = startTime + i, "YYYY/MM/DD hh:mm:ss";
    // position "%.6f" when the message has one; speed km/h; heading 0..359), sample j from the
    // message nearest j/10 s; `car` (optional) gets one entry per fix. Seconds past the
    // set's capacity are dropped. False when `records` is empty.
    static bool Convert(const std::vector<SeiRecord>& records, std::int64_t startTime,
                        TelemetrySet& out, CarSignals* car);

    // The clip's start from its file name, "YYYY-MM-DD_HH-MM-SS" at the start of the base name
    // (seconds since 1970, no zone); nothing when the name has none.
    static std::optional<std::int64_t> StartFromName(const std::string& moviePath);

    // Reads and converts an .mp4 or .MOV movie's messages; the start is the file name's, else
    // the header's creation time, else the entry's. False (and `out` untouched) when the movie
    // holds none.
    static bool Load(const RecordingEntry& entry, TelemetrySet& out, CarSignals* car);

    // The car's signals of a movie, for those who loaded its telemetry through
    // LoadRecordingTelemetry(), which keeps only what every camera records: the messages are
    // read again (a few per cent of decoding the video). Empty when the movie holds none.
    static CarSignals LoadCarSignals(const std::string& moviePath);

    // Makes LoadRecordingTelemetry() try the car's messages (SetMovieStreamTelemetry()). Call
    // once at program start, before any telemetry is loaded.
    static void Register();
};

} // namespace quello
