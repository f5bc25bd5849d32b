#pragma once

#include "FrameCommands.h"
#include "LatestJob.h"
#include "TelemetryLoader.h"
#include "WindowTemplate.h"

#include "playback/CMediaGraph.h"
#include "recordings/GForceEvents.h"
#include "recordings/TelemetrySet.h"
#include "recordings/TripRoute.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <ctime>
#include <functional>
#include <optional>

class QPrinter;
class QWidget;

namespace quello {

class CDlgGMap;
class LibraryController;

// Rates of the engine (its rate indexes) that the window's commands use.
enum class PlayRate : int {
    Forward1x = 0,
    Forward2x = 1,
    Forward4x = 2,
    Forward8x = 3,
    Backward1x = 4,
    Backward2x = 5,
    Backward4x = 6,
    Backward8x = 7,
};

// Plays the library's current recording and keeps the window's read-outs in step with it:
// owns the media engine, the recording's telemetry and the 100 ms sync tick; runs the playback
// commands (play, pause, rates, steps, seeks, volume, full screen), the end-of-movie rule
// (Recycle) and the commands on the frame on screen (snapshot, print). Drives the window's
// controls, which belong to the window. The engine's notifications arrive as events on this
// object. GUI thread only.
class PlaybackController : public QObject {
    Q_OBJECT
public:
    enum class EntryStep { Current = 0, Next = 1, Previous = 2 };

    // `window` parents the message boxes and dialogs and must outlive this object.
    PlaybackController(QWidget* window, const WindowControls& controls, LibraryController& library);
    ~PlaybackController() override;

    // The map, once it exists; it then follows the fixes and the full screen, shows the route
    // of the recording's trip and takes clicks on it.
    void SetMap(CDlgGMap* map);

    void OpenEntry(EntryStep step, bool autoPlay);
    // Called with the library entry about to be opened, to set the engine's views up; called
    // again with -1 (a single view) should the movie not open with them.
    void SetBeforeOpen(std::function<void(int entry)> prepare) {
        m_beforeOpen = std::move(prepare);
    }
    // Brings the position slider, waveform, speed text, gauges and map to the engine's
    // position.
    void SyncTelemetry();
    void StopPlayback();
    // Replaces the telemetry with the file at path and hands it to the waveform; false when
    // the file cannot be read (the waveform is then emptied).
    bool LoadTelemetry(const QString& path);
    // Loads the open recording's telemetry again, after the user changed its GPS choices.
    void ReloadTelemetry();
    // Stops and closes the current movie before its row leaves the library.
    void ReleaseBeforeRemoval();
    void OnRowChosen(int row, bool autoPlay);

    void Play();
    void Pause();
    void TogglePlayPause(); // Space
    void PlayAt(PlayRate rate);
    void StepFrame(int direction); // +1 one frame forward, -1 one frame back
    // The keys' moves: exactly one frame, a number of seconds (exact), the start or the end.
    void StepFrameExact(int direction);
    void SeekBy(double seconds);
    void SeekToStart();
    void SeekToEnd();
    // Goes to a clock time or a position typed by the user; false when the text is no moment
    // of the open recording.
    bool GoToTime(const QString& text);
    void StepRateSlider(int delta); // Slower (-1) and Faster (+1)
    void BeginPositionDrag();
    void OnPositionReleased();
    void OnVolumeReleased();
    void OnWaveformClicked();
    // A click on the map's route: plays on from the second of the nearest fix, in the
    // recording of the trip (or of the day shown) it belongs to.
    void OnRouteClicked(double latitude, double longitude);
    // Draws the routes of a whole day's recordings, read on a worker thread, until the next
    // recording opens; a click on one plays that recording from there.
    void ShowDayRoutes(const std::vector<RecordingEntry>& recordings);
    // Opens library entry `entry` and plays it from `second`.
    void PlayEntryFrom(int entry, double second);
    // The G-force events of the current recording: the next one after the position or the one
    // before it (N, Shift+N), or one chosen from the menu; each lands 2 s before its peak.
    void JumpToNextEvent(bool forward);
    void JumpToEvent(int index);
    const std::vector<GForceEvent>& events() const { return m_events; }
    void ToggleFullScreen();
    void LeaveFullScreen();

    // The commands on the frame on screen (snapshot, print).
    FrameCommands& frameCommands() { return m_frameCommands; }

    const TelemetrySet& telemetry() const { return m_telemetry; }
    const TripRoute& route() const { return m_route; }
    CMediaGraph& engine() { return m_engine; }
    bool userStopped() const { return m_userStopped; }
    std::optional<MediaState> stateBeforeSeek() const { return m_stateBeforeSeek; }
    std::optional<int> volumeLevel() const { return m_volumeLevel; }

signals:
    // A recording opened, or its telemetry reached the waveform (which then starts afresh).
    void recordingShown();

protected:
    bool event(QEvent* event) override;

private:
    void OnSyncTimer();
    void OnGraphNotify();
    // The telemetry of the open recording has arrived from its source.
    void OnTelemetryLoaded(const TelemetryLoader::Loaded& loaded);
    // Hands the telemetry to the waveform.
    void ShowTelemetry();
    void SetPlayPauseVisibility(bool running);
    void ShowIdleReadOuts();
    // Hands the current route and its trip's to the map, and the event's place when the
    // recording has no fix of its own.
    void ShowRoute();
    bool EventPlaceOnly() const;
    // Drops the trip's routes and any still being loaded, and clears them off the map.
    void ClearRoute();
    // Finds the current recording's G-force events, with the thresholds of the library or card
    // the movie lies in (ThresholdsForRecording), and marks them on the waveform and the
    // position slider.
    void FindEvents(const std::string& moviePath);
    // Moves to `seconds` of the current recording; a stopped movie is opened again first, as
    // it stands rewound with nothing to seek in.
    void SeekTo(double seconds);

    QWidget* m_window;
    WindowControls m_controls;
    LibraryController& m_library;
    CDlgGMap* m_map = nullptr;

    // Plain members: the telemetry never allocates as recordings come and go.
    TelemetrySet m_telemetry{};
    CarSignals m_car; // empty unless the telemetry came from the car's own messages
    TripRoute m_route;
    // The car's saved or Sentry event of a recording without a fix of its own.
    std::optional<TeslaEvent> m_event;
    std::vector<GForceEvent> m_events;
    CMediaGraph m_engine;
    QTimer* m_syncTimer; // "timer 1": playback sync every 100 ms

    std::optional<MediaState> m_stateBeforeSeek; // while the position slider is held
    std::optional<int> m_volumeLevel;            // the user's volume, once there is one
    bool m_userStopped = false;
    bool m_fullScreenNext = true;
    std::tm m_created{};                // the recording's creation time as stored; tm_mday 0: none
    int m_clockStartSecond = 0;         // the recording's creation time as seconds since midnight
    TelemetryLoader* m_telemetryLoader; // a child: a result still on its way dies with it
    // The routes of the trip's other recordings, read on a worker from their files.
    LatestJob<std::vector<TripRoute::Loaded>> m_tripLoader;
    // The routes of a day's recordings while the map shows them, and their loader.
    std::vector<TripRoute::Loaded> m_dayRoutes;
    LatestJob<std::vector<TripRoute::Loaded>> m_dayLoader;
    FrameCommands m_frameCommands;
    std::function<void(int entry)> m_beforeOpen;
};

} // namespace quello
