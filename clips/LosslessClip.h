#pragma once

#include "clips/ClipSpan.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quello {

// What a clip became: the span actually cut and its files.
struct ClipReport {
    bool ok = false;
    std::string error;         // one line, when !ok
    double start = 0;          // the first frame's presentation time, seconds of the first piece's
                               // recording: the clip's time 0
    double end = 0;            // end of the last frame's presentation interval, seconds of the
                               // last piece's recording
    double length = 0;         // the clip's length: its pieces' shown spans end to end
    std::int64_t frames = 0;   // frames shown
    std::string telemetryPath; // the .DAT or .gpx written beside the clip, empty when none
};

// Cuts pieces of QuickTime/MP4 recordings (one, or several of a trip in time order) into one
// new .mov or .mp4 file without re-encoding, together with the matching telemetry.
//
// Frames: each piece contributes every video frame whose presentation interval
// [pts, pts + duration) meets its [from, to], i.e. from the frame containing `from` up to the
// frame containing `to`; the clip's time 0 is the first piece's first of them and each piece
// follows right after the previous one's last frame. The first piece's packets from the key
// frame at or before its first frame are copied and the muxer's edit list hides them; a piece
// after the first must start at a key frame (its recording's start does) and a piece before
// the last must run to its recording's end, since nothing can hide frames in the middle. Sound
// is copied over the same time. The recordings' tracks must match (codec, picture size, pixel
// format, profile and level, codec set-up data; sound codec, rate and channels): otherwise
// nothing is written and the error names the difference.
// Telemetry, and the clip's creation time, come from each piece's telemetryMovie(), which
// may be another camera's than the picture's. When every piece has the camera's telemetry file,
// OUT.DAT holds the G-sensor samples (10/s) and fixes (1/s) of the span from each piece's file in
// order; sample j shows what the original shows at the middle of [j/10, (j+1)/10) of the clip (fix
// i: of second i), the first piece's aligned as floor(10 * start) and floor(start) of its
// recording. Otherwise, when a piece has GPS from another source (a GPX or NMEA log, the movie's
// own), OUT.gpx holds the fixes of the span; with neither, no telemetry file is written.
//
// One job per object, run on the calling thread; the cancel flag may be set from any thread
// or a signal handler. A failure or a cancel leaves no file behind. Write() silences
// libavformat's process-wide log.
class LosslessClip {
public:
    LosslessClip(std::vector<ClipPiece> pieces, std::string outputPath);

    void SetCancel(const std::atomic<bool>* cancel) { m_cancel = cancel; }
    // Called on the writing thread with the share of the clip's time written so far, rising
    // from 0 to 1 (1 once the movie is complete, before its telemetry is written).
    void SetProgress(std::function<void(double fraction)> progress) {
        m_progress = std::move(progress);
    }
    ClipReport Write();

private:
    std::vector<ClipPiece> m_pieces;
    std::string m_outputPath;
    const std::atomic<bool>* m_cancel = nullptr;
    std::function<void(double)> m_progress;
};

} // namespace quello
