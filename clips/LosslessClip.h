#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace quello {

// What a clip became: the span actually cut, in seconds of the recording, and its files.
struct ClipReport {
    bool ok = false;
    std::string error;         // one line, when !ok
    double start = 0;          // presentation time of the first frame: the clip's time 0
    double end = 0;            // end of the last frame's presentation interval
    std::int64_t frames = 0;   // frames shown
    std::string telemetryPath; // the .DAT written beside the clip, empty when none
};

// Cuts [from, to] out of one QuickTime/MP4 recording into a new .mov or .mp4 file without
// re-encoding, together with the matching slice of its camera telemetry file.
//
// Frames: the clip shows every video frame whose presentation interval [pts, pts + duration)
// meets [from, to], i.e. from the frame containing `from` up to the frame containing `to`, and
// its time 0 is the first of them. The packets from the key frame at or before that frame are
// copied and the muxer's edit list hides them; audio is copied over the same time.
// Telemetry: sample floor(10 * start) and fix floor(start) become the clip's first; the slice
// runs to the sample and second containing `end`.
//
// One job per object, run on the calling thread; the cancel flag may be set from any thread
// or a signal handler. A failure or a cancel leaves no file behind. Write() silences
// libavformat's process-wide log.
class LosslessClip {
public:
    LosslessClip(std::string moviePath, std::string outputPath);

    void SetCancel(const std::atomic<bool>* cancel) { m_cancel = cancel; }
    ClipReport Write(double from, double to);

private:
    std::string m_moviePath;
    std::string m_outputPath;
    const std::atomic<bool>* m_cancel = nullptr;
};

} // namespace quello
