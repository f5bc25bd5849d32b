#pragma once

#include "clips/ClipSpan.h"
#include "recordings/GForceEvents.h"

#include <csignal>
#include <cstdint>
#include <string>
#include <vector>

namespace quello {

class CMediaGraph;
struct PrintPageContent;
struct TelemetrySet;

// The moment a pack documents. A plain value.
struct EvidenceMoment {
    std::string moviePath;
    std::string telemetryPath;   // empty when the movie has no telemetry file
    double seconds = 0.0;        // the position on screen, in seconds of the movie
    GForceThresholds thresholds; // the card's, as the player marks the events
    // Seconds of recording before and after the moment the pack's clip holds; 0: no clip.
    double clipSeconds = 0.0;
    // Of a moment several cameras recorded: every camera's movie, the main camera's first and
    // moviePath among them (the movie shown may be any camera's; telemetryPath, thresholds and
    // the snapshot's clock are the main camera's). Empty: moviePath is the moment's only movie.
    std::vector<std::string> cameraMovies;
};

// An evidence pack of one moment of a recording, written into a folder DIR that is new or
// empty:
//   <movie name>, <telemetry name>  the originals, copied bit for bit with their modification
//                                   times, each read back from the disk and compared by SHA-256
//   <other cameras' movie names>    the other cameras' movies of the moment, copied the same way
//   snapshot.jpg                    the frame on screen, as the player's snapshot saves it, with
//                                   the same Exif facts (FactsForMoment)
//   page.pdf                        the printed page of the moment, as `quello print` makes it
//   track.gpx, track.kml            the telemetry's GPS track
//   events.csv                      the G-force events of the telemetry (columns: see README)
//   clip.MOV, clip.DAT | clip.gpx   with clipSeconds: the lossless clip of that many seconds
//                                   before and after the moment, across the recordings of its
//                                   trip (cut short where the trip ends), with the telemetry
//                                   or GPS of its span (LosslessClip)
//   README.txt                      what each file is, when and by which version it was made
//   MANIFEST.sha256                 `sha256sum -c` lines for every other file
// A movie without telemetry gives a pack without the telemetry copy, the tracks and the events;
// its README says so.
//
// The pack appears whole or not at all: it is built in a hidden sibling folder
// ".<DIR name>.partial-XXXXXX", every file synced, then renamed onto DIR. rename(2) replaces
// only a missing or empty folder, atomically, so a DIR that gained files in the meantime is
// never replaced. On a failure or a stop the sibling folder is removed. Only a killed process
// or a power cut can leave that hidden folder; never a partial DIR.
//
// Owns nothing beyond its texts; the engine and page are the caller's. GUI thread (the
// snapshot and the PDF writer are Qt's); one export at a time per object.
class EvidencePack {
public:
    // Room beyond the copies kept for the files the pack makes (the 300 dpi page is the
    // largest, a few MB) and for the file system's own blocks.
    static constexpr std::uint64_t kRoomMargin = std::uint64_t(32) << 20;

    explicit EvidencePack(EvidenceMoment moment);

    // Whether `dir` can take the pack, writing nothing: its parent folder exists, `dir` is
    // missing or an empty folder, the originals (every camera's movie and the telemetry) are
    // readable regular files whose names clash neither with the pack's own nor with each other,
    // and the parent's file system has room for the copies plus kRoomMargin. False with error()
    // set.
    bool Check(const std::string& dir);

    // Checks as Check() does, then builds and places the pack. `engine` shows the moment (its
    // frame is the snapshot); `page` is the printed page of it; `telemetry` is the recording's as
    // the player shows it (the snapshot's Exif facts come from it). False with error() set, and
    // then nothing is left of the pack.
    bool Write(const std::string& dir, CMediaGraph& engine, const PrintPageContent& page,
               const TelemetrySet& telemetry);

    // Read between steps and while copying; once it is non-zero the export stops as on a
    // failure. The flag is the caller's (a signal handler may set it).
    void SetStopFlag(const volatile std::sig_atomic_t* flag) { m_stop = flag; }

    // One line for the user, naming the file or folder at fault.
    const std::string& error() const { return m_error; }
    // The files of the pack last written, in the order the manifest lists them.
    const std::vector<std::string>& files() const { return m_files; }

private:
    bool Fail(std::string message);
    bool Stopped();
    bool Build(const std::string& folder, CMediaGraph& engine, const PrintPageContent& page,
               const TelemetrySet& shown);
    bool CopyVerified(const std::string& from, const std::string& to, std::string& hash);
    bool WriteTracks(const std::string& folder, const TelemetrySet& set);
    bool WriteText(const std::string& path, const std::string& text);
    bool WriteClip(const std::string& folder);
    std::string ReadmeText() const;
    std::vector<std::string> Originals() const;
    const std::string& MainMovie() const;

    EvidenceMoment m_moment;
    std::string m_error;
    std::vector<std::string> m_files;
    std::vector<std::string> m_hashes; // beside m_files
    const volatile std::sig_atomic_t* m_stop = nullptr;
    std::string m_madeAt; // UTC, ISO 8601
    // Without a telemetry file, the tracks and events come from the GPS the player found
    // elsewhere (a GPX or NMEA log, the movie itself).
    bool m_otherSource = false;
    ClipSpan m_clip;                     // the clip's span, when the pack has one
    double m_clipFrom = 0, m_clipTo = 0; // its span in seconds of the movie
};

} // namespace quello
