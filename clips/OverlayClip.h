#pragma once

#include "clips/ClipSpan.h"
#include "clips/LosslessClip.h"

#include <atomic>
#include <functional>
#include <string>
#include <vector>

namespace quello {

// How an overlay clip is encoded.
struct OverlayOptions {
    int crf = 20;                    // libx264's constant rate factor, 0..51
    std::string preset = "veryfast"; // libx264's speed preset
    int width = 0, height = 0;       // the output picture; 0 x 0 keeps the first recording's
    // The picture: every camera of each recording's moment composed (ComposedViews), the
    // pieces being the main camera's recordings; the default size is the composed picture's.
    // A clip whose first recording is of no moment of several cameras shows it alone.
    bool allCameras = false;
};

// Re-encodes the pieces of a clip into one H.264 MP4 file with the telemetry burned into the
// picture (OverlayPainter): frames decoded with libavcodec, the overlay's regions converted to
// RGB with libswscale and painted, encoded with libx264; the sound's packets are copied as
// they are.
//
// Frames: each piece shows the frames whose presentation interval [pts, pts + duration) meets
// its [from, to] (LosslessClip's rule), decoded from the key frame before; the pieces follow
// one another without a gap. The clip's time 0 is the first piece's first frame and its
// creation time is that recording's plus that frame's time. The overlay's telemetry and clock
// are each piece's telemetryMovie()'s. The report's start and end are in
// seconds of the first and the last piece's recording.
//
// One job per object, run on the calling thread (the codecs add threads of their own). It
// paints with QImage and QPainter only, so it may run on a worker thread once a
// QGuiApplication exists. The cancel flag may be set from any thread or a signal handler; the
// progress callback (0..1) is called on the calling thread. The file is written through
// ClipOutputFile: a failure or a cancel leaves nothing behind. Write() silences libav's
// process-wide log.
class OverlayClip {
public:
    OverlayClip(std::vector<ClipPiece> pieces, std::string outputPath, OverlayOptions options = {});

    void SetCancel(const std::atomic<bool>* cancel) { m_cancel = cancel; }
    void SetProgress(std::function<void(double)> progress) { m_progress = std::move(progress); }
    ClipReport Write();

private:
    std::vector<ClipPiece> m_pieces;
    std::string m_outputPath;
    OverlayOptions m_options;
    const std::atomic<bool>* m_cancel = nullptr;
    std::function<void(double)> m_progress;
};

} // namespace quello
