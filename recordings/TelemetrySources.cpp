#include "TelemetrySources.h"

#include "GpsFolderSettings.h"
#include "GpxTrackReader.h"
#include "MovieHeader.h"
#include "NmeaTrackReader.h"
#include "TelemetryParser.h"
#include "TrackPlacement.h"

#include <algorithm>
#include <atomic>
#include <ctime>
#include <vector>

namespace quello {

namespace {

std::atomic<MovieStreamTelemetry> g_streamReader{nullptr};

// The movie's path without its extension ("/card/FILE0001" for "/card/FILE0001.MOV").
std::string BasePath(const std::string& moviePath) {
    const auto slash = moviePath.find_last_of('/');
    const auto dot = moviePath.find_last_of('.');
    const bool hasExtension =
        dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
    return hasExtension ? moviePath.substr(0, dot) : moviePath;
}

bool Place(const std::vector<TrackPoint>& points, const TrackWindow& window, TelemetrySet& out) {
    return !points.empty() && PlaceTrack(points, window, out);
}

bool FromSideFiles(const std::string& moviePath, const TrackWindow& window, TelemetrySource& source,
                   TelemetrySet& out) {
    std::vector<TrackPoint> points;
    const std::string base = BasePath(moviePath);
    for (const char* extension : {".gpx", ".GPX"})
        if (ReadGpxTrack(base + extension, points) && Place(points, window, out)) {
            source = TelemetrySource::Gpx;
            return true;
        }
    NmeaTrack log;
    for (const char* extension : {".nmea", ".NMEA", ".txt", ".TXT"}) {
        if (!ReadNmeaTrack(base + extension, log))
            continue;
        if (!log.dated)
            PlaceTimesOfDay(log.points, window);
        if (Place(log.points, window, out)) {
            source = TelemetrySource::Nmea;
            return true;
        }
    }
    return false;
}

TelemetrySource FromTracks(const RecordingEntry& entry, const GpsOptions& options,
                           TelemetrySet& out) {
    const bool placeable = entry.hasStartTime && entry.durationSeconds != 0;
    const TrackWindow window{entry.startTime, entry.durationSeconds, options.offsetSeconds};
    std::vector<TrackPoint> points;
    if (placeable && !options.userGpx.empty() && ReadGpxTrack(options.userGpx, points) &&
        Place(points, window, out))
        return TelemetrySource::UserGpx;
    // The stream's telemetry is timed by the movie itself, so it needs no start time.
    if (const MovieStreamTelemetry reader = g_streamReader.load(); reader && reader(entry, out))
        return TelemetrySource::Sei;
    if (!placeable) {
        out = TelemetrySet{};
        return TelemetrySource::None;
    }
    TelemetrySource source = TelemetrySource::None;
    if (FromSideFiles(entry.moviePath, window, source, out))
        return source;
    if (options.embedded && ReadEmbeddedTrack(entry.moviePath, options.exiftool, points) &&
        Place(points, window, out))
        return TelemetrySource::Embedded;
    out = TelemetrySet{};
    return TelemetrySource::None;
}

} // namespace

const char* TelemetrySourceName(TelemetrySource source) {
    switch (source) {
    case TelemetrySource::Dat:
        return "dat";
    case TelemetrySource::Gpx:
        return "gpx";
    case TelemetrySource::Nmea:
        return "nmea";
    case TelemetrySource::Embedded:
        return "embedded";
    case TelemetrySource::UserGpx:
        return "user-gpx";
    case TelemetrySource::Sei:
        return "sei";
    case TelemetrySource::None:
        break;
    }
    return "none";
}

TelemetryLoad LoadRecordingTelemetry(const RecordingEntry& entry, const GpsOptions& options,
                                     TelemetrySet& out) {
    TelemetryLoad load;
    if (!entry.telemetryPath.empty() && ParseTelemetryFile(entry.telemetryPath, out)) {
        load.source = TelemetrySource::Dat;
        return load;
    }
    load.source = FromTracks(entry, options, out);
    load.offsetApplied = load.source != TelemetrySource::None &&
                         load.source != TelemetrySource::Sei && options.offsetSeconds != 0;
    return load;
}

void SetMovieStreamTelemetry(MovieStreamTelemetry reader) {
    g_streamReader.store(reader);
}

GpsOptions SavedGpsOptions(const std::string& moviePath) {
    const auto slash = moviePath.find_last_of('/');
    GpsFolderSettings settings;
    settings.Load(slash == std::string::npos
                      ? std::string()
                      : moviePath.substr(0, std::max<std::size_t>(slash, 1)));
    const std::string name = slash == std::string::npos ? moviePath : moviePath.substr(slash + 1);
    GpsOptions options;
    options.userGpx = settings.userGpx(name);
    options.offsetSeconds = settings.offsetSeconds(name);
    return options;
}

TelemetryLoad LoadMovieTelemetry(const std::string& moviePath, const GpsOptions& options,
                                 TelemetrySet& out) {
    RecordingEntry entry;
    entry.moviePath = moviePath;
    FindTelemetryFile(moviePath, entry.telemetryPath);
    // As in the library: the header reader leaves a day of month of 0 when it found no time.
    std::tm creation{};
    int readOnly = 0;
    ReadMovieHeader(moviePath, creation, entry.durationSeconds, readOnly);
    if (creation.tm_mday != 0) {
        entry.hasStartTime = true;
        entry.startTime = std::int64_t(::timegm(&creation));
    }
    return LoadRecordingTelemetry(entry, options, out);
}

} // namespace quello
