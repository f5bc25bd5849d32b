#pragma once

#include "playback/EngineStatistics.h"
#include "playback/MediaState.h"

#include <QEvent>
#include <QString>

#include <memory>

class QObject;

namespace quello {

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
// Ownership: the engine owns its libmpv instance; the video host and the notify window are
// not owned (either may be destroyed first: the engine then stops using it).
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
    // Saves the frame on screen as JPEG: 1 when written, 0 otherwise.
    int SaveFrameAsJpeg(const QString& path);

    QString FileName() const; // the open movie's absolute path, empty when none
    // Audio output for the following opens (libmpv's `ao`, e.g. "null"); empty: the default.
    void SetAudioOutput(const QString& audioOutput);
    // Test hook: one more libmpv option for the following opens, set after the engine's own
    // (an empty name: none). Like the engine's essential options, a `required` one that libmpv
    // rejects fails the open; any other rejected option is logged and left out. The strings
    // are copied.
    void SetExtraOption(const QString& name, const QString& value, bool required);
    EngineStatistics GetStatistics() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace quello
