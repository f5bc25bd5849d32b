#pragma once

#include <QSize>

#include <mpv/client.h>

#include <cstdint>
#include <functional>
#include <optional>

namespace quello {

class CMpvClient;

// libmpv's view of the open movie as of the last drained event: the observed properties
// (position, duration, end reached, video track, display size, dropped frames), the progress
// of the open (playlist entry, load error, file loaded, playback ready) and the seeks libmpv
// has not finished. It changes only through HandleEvent and the requests it sends itself
// (Observe, ConfirmVideo); Reset forgets the movie.
// Threading: GUI thread only.
class CPlaybackStatus {
public:
    // `videoSizeReported` runs each time libmpv reports the display width or height.
    explicit CPlaybackStatus(std::function<void()> videoSizeReported);

    // Asks libmpv to report the properties mirrored here; libmpv's error on failure.
    int Observe(CMpvClient& client);
    // Observed properties change only once libmpv's event queue runs empty, so the restart
    // that makes playback ready (and even the first picture) can come before the news of the
    // video track, its size and the duration. Reading them once playback is ready gives their
    // settled values; the replies queue behind the events already there.
    void ConfirmVideo(CMpvClient& client);
    void HandleEvent(const mpv_event& event);
    // A seek to `target` went out: the position is the target until playback restarts there.
    void SeekSent(double target);
    void ClearEnd(); // the movie was sent back to its start: the end reached is over
    void Reset();

    // The position of a pending seek is its target.
    double position() const { return m_seekTarget.value_or(m_position); }
    double duration() const { return m_duration; }
    bool eofReached() const { return m_eofReached; }
    bool seekPending() const { return m_seekTarget.has_value() || m_backStepPending; }
    // libmpv steps back by seeking: the step is pending until playback restarts.
    void BackStepSent() { m_backStepPending = true; }
    // A decoded video stream exists (frame step and capture make sense).
    bool hasVideo() const { return m_videoWidth > 0 && m_videoHeight > 0; }
    // A video track is selected (it may not have decoded yet).
    bool videoTrack() const { return m_videoTrack; }
    QSize videoSize() const { return QSize(int(m_videoWidth), int(m_videoHeight)); }
    std::int64_t framesDropped() const { return m_outputDrops + m_decoderDrops; }

    std::optional<int> loadError() const { return m_loadError; }
    bool fileLoaded() const { return m_fileLoaded; }
    bool playbackReady() const { return m_playbackReady; }
    bool videoConfirmed() const { return m_confirmReads == 0; } // ConfirmVideo answered

private:
    void HandleReadReply(const mpv_event& event);
    void HandleCommandReply(const mpv_event& event);
    void HandleProperty(const mpv_event_property& property);

    std::function<void()> m_videoSizeReported;

    bool m_videoTrack = false;
    std::int64_t m_videoWidth = 0, m_videoHeight = 0; // display size, 0 while unknown
    double m_position = 0.0;
    double m_duration = 0.0;
    bool m_eofReached = false;
    std::int64_t m_outputDrops = 0;
    std::int64_t m_decoderDrops = 0;

    // Target of the last seek until libmpv reports that playback restarted there; time-pos
    // still shows the old position while a seek is in flight. A restart before libmpv has
    // taken the last seek command belongs to an earlier seek.
    std::optional<double> m_seekTarget;
    int m_seeksInFlight = 0;
    bool m_backStepPending = false;

    std::int64_t m_entryId = -1;    // the playlist entry loadfile made, -1 while unknown
    std::optional<int> m_loadError; // the load failed (libmpv's error code)
    bool m_fileLoaded = false;      // ... and playback restarted on it:
    bool m_playbackReady = false;
    int m_confirmReads = 0; // ConfirmVideo replies still to come
};

} // namespace quello
