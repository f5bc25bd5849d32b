#pragma once

#include "imaging/SnapshotFacts.h"
#include "playback/EngineStatistics.h"
#include "playback/MediaState.h"

#include <QEvent>
#include <QPointer>
#include <QString>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QObject;
struct mpv_event;

namespace quello {

class CFrameCapture;
class CFrameRenderer;
class CMpvClient;
class CPlaybackStatus;
class CVideoHost;

// The media engine: plays one movie at a time on libmpv and shows it in a CVideoHost.
//
// Results are int: 0 success, negative failure (kEPointer for a null path; libmpv's own
// negative error codes pass through). Without an open movie (before the first OpenMovie and
// after CloseMovie) every operation does nothing and returns 0 / 0.0 / false.
//
// Notification: whenever libmpv has news, the engine takes it into its own state and posts a
// QEvent of type kGraphNotifyEvent to the notifyWindow given to OpenMovie; its handler must call
// DrainGraphEvents(), which takes any later news and handles the end of the movie (picture back
// on frame 0, state Stopped, position 0.0), also when the movie was paused after playback
// reached its end; an end reached by stepping while paused waits for the next play. With a
// null notifyWindow the engine drains by itself.
//
// Waiting: no call waits for libmpv's core thread except OpenMovie, the captures and the pause
// of a running movie (after which frame and position stand still), which wait in one bounded
// loop that keeps rendering. Commands go to libmpv without waiting, in
// order. Getters answer at once: the position, duration and picture size as libmpv last
// reported them (the position of a pending seek is its target), the rate and volume as last
// set.
//
// Ownership: the engine owns its libmpv instance through its parts: the client (the handle,
// its options, requests and events), the render side (the frames in the host), the status (what
// libmpv last reported) and the capture. It keeps the state table, the settings last asked for
// and the one bounded wait itself. The video host and the notify window are not owned (either
// may be destroyed first: the engine then stops using it).
// Threading: GUI thread only; libmpv's threads reach the engine only through posted events.
class CMediaGraph {
public:
    static constexpr QEvent::Type kGraphNotifyEvent = QEvent::Type(1037);
    static constexpr int kEPointer = int(0x80004003u);

    CMediaGraph();
    ~CMediaGraph(); // closes the movie
    CMediaGraph(const CMediaGraph&) = delete;
    CMediaGraph& operator=(const CMediaGraph&) = delete;

    // Opens `path` as a local file, relative to the working folder unless absolute ("-" and
    // "x://y" too: never standard input or a URL); a null QString gives kEPointer and changes
    // nothing. Tears down the movie open before. Blocks until the file is loaded or has failed
    // (bounded wait). On success the movie stands paused on its first frame and the state is
    // Paused; a movie with a picture already shows that frame in the host at its own size, and
    // can be captured.
    int OpenMovie(const QString& path, CVideoHost* videoHost, QObject* notifyWindow);
    void CloseMovie(); // state Closed; the host's picture disappears
    MediaState GetState() const;

    void TogglePlayPause(); // Stopped/Paused -> Running; Running -> Paused
    int Pause();
    void StopAndRewind(); // Paused/Running only: first frame shown, state Stopped
    int DrainGraphEvents();

    // Rates by index 0..7: 1, 2, 4, 8, -1, -2, -4, -8 (reverse play); others mean 1.
    void SetRateIndex(int index);
    double GetRate() const; // the rate in effect, negative when playing backward
    // One frame forward (pauses a running movie first); `direction` is ignored.
    int StepForward(int direction);
    // Exactly the next frame (direction > 0) or the previous one (direction < 0), also across a
    // key frame and whatever the play direction; pauses a running movie first.
    int StepFrameExact(int direction);

    double GetPositionSeconds() const;
    int SetPositionSeconds(double seconds); // exact seek
    double GetDurationSeconds() const;

    // Volume levels 0..10: level 0 mutes, level n is n * 500 - 5000 hundredths of a decibel.
    void SetVolumeLevel(int level);
    int GetVolumeLevel() const;

    void SetFullScreen(bool on);
    int AttachVideoHost(CVideoHost* videoHost); // moves the picture into another host
    int InitVideoWindow();                      // fits the picture into the host's area

    // The frame on screen at the movie's own size as a packed DIB: 40-byte BITMAPINFOHEADER,
    // 32-bit pixels, bottom-up rows. GetCurrentImageSize gives the bytes needed (0: no frame).
    int GetCurrentImageSize();
    bool GetCurrentImage(unsigned char* buffer, int size);
    // Saves the frame on screen as JPEG, with `facts` in its Exif block: 1 when written, 0
    // otherwise.
    int SaveFrameAsJpeg(const QString& path, const SnapshotFacts& facts = {});

    QString FileName() const; // the open movie's absolute path, empty when none

    // Other movies of the same moment (its other cameras), shown with the following opens: each
    // file's video becomes track vid2, vid3 … in this order (the opened movie's is vid1), and
    // `graph` (libavfilter syntax, `[vidN]` inputs, `[vo]` output) composes them into the one
    // picture shown, so that all views run on the opened movie's clock, frame-locked, also
    // backward and in steps. `mainFile` is the view that snapshots, prints and
    // GetCurrentImage take alone, at its own size. No files: one movie, as before.
    void SetViews(std::vector<QString> files, QString graph, QString mainFile);
    // A new composition of the same views for the open movie (a new layout or main view),
    // also kept for the following opens; the frame on screen is redrawn. Composed movies only.
    int ChangeViews(const QString& graph, const QString& mainFile);
    bool composed() const { return !m_viewFiles.empty(); }
    // The composed picture of every view as JPEG, as shown (without views: the frame).
    int SaveAllViewsAsJpeg(const QString& path, const SnapshotFacts& facts = {});
    // Audio output for the following opens (libmpv's `ao`, e.g. "null"); empty: the default.
    void SetAudioOutput(const QString& audioOutput);
    // Test hook: one more libmpv option for the following opens, set after the engine's own
    // (an empty name: none). Like the engine's essential options, a `required` one that libmpv
    // rejects fails the open; any other rejected option is logged and left out. The strings
    // are copied.
    void SetExtraOption(const QString& name, const QString& value, bool required);
    EngineStatistics GetStatistics() const;

private:
    using Clock = std::chrono::steady_clock;

    int Load(const QString& path);
    int WaitUntilShown();
    // The engine's one wait, for what must be on screen before a call returns.
    bool WaitUntil(const std::function<bool()>& done, Clock::duration timeout);
    // Waits (bounded) until a pending seek, or step back, has put its frame on screen.
    void WaitForSeek();
    void HandleEvent(const mpv_event& event);
    void HandlePauseRead(const mpv_event& event);
    void HandleDrained();
    void ApplyVideoSize();
    // `mayTurn`: a paused composed movie may seek going forward (see the .cpp).
    int Seek(double seconds, bool mayTurn = true);
    void PauseRunning();
    int CompleteMovie();
    std::vector<unsigned char> Capture();
    // The main view alone: the composed picture's main view from its own file, at the same
    // position, through a second engine that lives for the call.
    std::vector<unsigned char> CaptureMainView();
    int ReopenBackward();
    void ResumeDirection();
    void TurnForward();
    int Fail(const char* text, int rc);
    void Teardown();

    // The client first: the render side uses it until the render side is destroyed.
    std::unique_ptr<CMpvClient> m_client;
    std::unique_ptr<CPlaybackStatus> m_status;
    std::unique_ptr<CFrameRenderer> m_renderer;
    std::unique_ptr<CFrameCapture> m_capture;

    QPointer<QObject> m_notify;
    QString m_fileName;
    MediaState m_state = MediaState::Stopped;

    // What the engine last asked libmpv for. libmpv changes none of these by itself, so the
    // getters answer from here without a call.
    double m_speed = 1.0;
    bool m_backward = false;
    bool m_seekingForward = false; // backward, but libmpv set forward for seeks while paused
    int m_volumeLevel = 10;

    std::vector<QString> m_viewFiles;
    QString m_viewGraph;
    QString m_mainViewFile;

    // Playback had reached the end when the running movie was paused; a step or seek while
    // paused can also make eof-reached true, but that end waits for the next play.
    bool m_endBeforePause = false;
    std::uint32_t m_pauseSerial = 0; // the pause whose eof-reached read counts
    bool m_pauseTaken = false;       // ... and whether its answer has come
};

} // namespace quello
