#pragma once

#include "cameras/CameraGroups.h"
#include "recordings/RecordingEntry.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quello {

// Where a Tesla clip was kept: the rolling recent recording, a clip the driver saved, or one
// Sentry Mode saved.
enum class TeslaClipKind { Recent, Saved, Sentry };

// A saved or Sentry event: its folder and what its event.json says.
struct TeslaEvent {
    std::string folder;
    // event.json's `timestamp` as written; without a readable one, the folder's name time as
    // "YYYY-MM-DDTHH:MM:SS" (empty when the name is no time either).
    std::string time;
    std::string city, reason, camera; // empty when absent
    // est_lat and est_lon both readable numbers (or numbers as text) on the globe, not both 0
    bool hasPosition = false;
    double latitude = 0, longitude = 0;
    std::string thumbnailPath; // the folder's thumb.png, empty when there is none
    // Why event.json gave nothing ("no event.json", "event.json is not a JSON object"); empty
    // when it was read.
    std::string problem;
};

// One minute of the drive: the cameras' clips of one name time.
struct TeslaMoment {
    TeslaClipKind kind = TeslaClipKind::Recent;
    std::string key; // the clips' name time, YYYY-MM-DD_HH-MM-SS
    // The front (else first) clip's header times; without a creation time, the name's time
    // (the car's local time) and the header's length (0 when unknown).
    bool startFromName = false;
    std::int64_t startTime = 0;
    std::uint32_t durationSeconds = 0;
    std::vector<CameraFile> cameras; // front first; only the cameras whose clips exist
    std::optional<TeslaEvent> event; // saved and Sentry clips
};

struct TeslaCamDrive {
    std::string teslaCamFolder;        // the TeslaCam folder read; empty when none was found
    std::vector<TeslaMoment> moments;  // by start time, then kind, then name
    std::vector<std::string> problems; // "<path>: <what>" for each thing that was skipped
};

// Reads the TeslaCam folder of a drive: `root` is the drive (holding TeslaCam/) or the TeslaCam
// folder itself. RecentClips' clips lie directly in it or in YYYY-MM-DD folders; SavedClips and
// SentryClips hold one folder per event (YYYY-MM-DD_HH-MM-SS) with the event's clips,
// event.json and thumb.png. Unreadable folders, broken event files and stray files are listed
// in `problems`, never fatal. Reads the headers of every clip; plain function, safe on any
// thread.
TeslaCamDrive ScanTeslaCam(const std::string& root);

// The event of one saved or Sentry event folder (its event.json and thumb.png); a missing or
// broken event.json leaves the fields empty and says so in `problem`. Plain function.
TeslaEvent ReadTeslaEvent(const std::string& eventFolder);

// The saved or Sentry event a clip belongs to: on a drive, the event folder it lies in (one
// level under SavedClips or SentryClips, read as ReadTeslaEvent does); in a library of drives,
// the event file the import put beside the clip under its stem (`<stem>.json`, `<stem>.png`),
// `folder` then being the clip's folder. nullopt for any other clip. Plain function.
std::optional<TeslaEvent> TeslaEventOfClip(const std::string& moviePath);

// The moment as a recording of the library (the front, else first, camera's movie), so that
// FindTrip joins the minutes that follow one another. No telemetry path.
RecordingEntry TeslaMomentEntry(const TeslaMoment& moment);

} // namespace quello
