#pragma once

#include "recordings/GForceEvents.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quello {

// One file found on a source, as the listing saw it.
struct SourceFile {
    std::string path;     // full path
    std::string relative; // path below the mount point of its file system: the same whichever
                          // folder the card is mounted on
    std::int64_t size = 0;
    std::int64_t mtime = 0; // seconds since 1970
    // "movie", "telemetry", "gpx", "nmea", "gpslog", "settings"; of a TeslaCam moment "view"
    // (another camera's movie), "event" (event.json) and "thumbnail" (thumb.png)
    std::string kind;
    bool readOnly = false; // no write permission bit: the camera locked it
};

// A movie and the files that belong to it: its telemetry file (beside it or in the card's
// INFO folder) and GPS side files with its base name; of a TeslaCam moment, the front (else
// first) camera's movie with the other cameras' movies and the event's files.
struct SourceRecording {
    SourceFile movie;
    std::vector<SourceFile> companions;
};

// What an import reads from one source: a camera card's root (a folder whose setup.cfg the
// camera wrote: its DCIM media folders, GPS logs and settings file), a TeslaCam drive (its
// root or TeslaCam folder: each moment one recording) or any folder of recordings (searched a
// few levels deep). Listing only: no movie is opened, except that a TeslaCam drive's clip
// headers are read to tell its moments apart.
// A plain value once Scan() returned; Scan() itself runs on any thread.
class ImportSource {
public:
    // False, with a one-line reason in error(), when the path is no readable folder.
    bool Scan(const std::string& path);

    const std::string& root() const { return m_root; }
    bool isCard() const { return m_isCard; }
    // The identity of the file system the source lies on (its UUID where the system names one),
    // so that a card is recognised wherever it is mounted.
    const std::string& identity() const { return m_identity; }
    const std::vector<SourceRecording>& recordings() const { return m_recordings; }
    const std::vector<SourceFile>& gpsLogs() const { return m_gpsLogs; }
    const std::optional<SourceFile>& settings() const { return m_settings; }
    // The card's G-sensor thresholds (its settings file), else the defaults.
    const GForceThresholds& thresholds() const { return m_thresholds; }
    const std::string& error() const { return m_error; }

private:
    SourceFile Describe(const std::string& path, const std::string& kind) const;
    void AddMovie(const std::string& path);
    // False when the root holds no TeslaCam folder.
    bool AddTeslaCam();

    std::string m_root;
    bool m_isCard = false;
    std::string m_identity;
    std::string m_mountPoint;
    std::vector<SourceRecording> m_recordings;
    std::vector<SourceFile> m_gpsLogs;
    std::optional<SourceFile> m_settings;
    GForceThresholds m_thresholds;
    std::string m_error;
};

} // namespace quello
