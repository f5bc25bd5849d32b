#include "PlaybackController.h"

#include "LibraryController.h"
#include "WarningBox.h"

#include "device/MovieGpsOptions.h"
#include "library/RecordingThresholds.h"
#include "playback/CVideoHost.h"
#include "recordings/GoToTime.h"
#include "recordings/MovieHeader.h"
#include "recordings/TelemetryParser.h"
#include "skin/CDashPanel.h"
#include "skin/CSkinButton.h"
#include "skin/CSkinSlider.h"
#include "views/CCarSignalsBar.h"
#include "views/CDlgGMap.h"
#include "views/CMyWaveForm.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QTableWidget>

#include <cmath>
#include <cstring>
#include <ctime>

namespace quello {
namespace {

// The rate for each position 1..5 of the rate slider: -4, -2, 1, 2, 4.
constexpr PlayRate kRateSliderRates[6] = {PlayRate::Forward1x,  PlayRate::Backward4x,
                                          PlayRate::Backward2x, PlayRate::Forward1x,
                                          PlayRate::Forward2x,  PlayRate::Forward4x};
constexpr int kRateSliderNormal = 3;

// Where "the end" is for a seek: just before the movie's end, on its last frame; at the end
// itself libmpv would report the end of the movie, which rewinds it.
double LastFrameSeconds(double duration) {
    return std::max(0.0, duration - 0.001);
}

QString FromPath(const std::string& path) {
    return QString::fromUtf8(path.c_str());
}

} // namespace

PlaybackController::PlaybackController(QWidget* window, const WindowControls& controls,
                                       LibraryController& library)
    : QObject(window), m_window(window), m_controls(controls), m_library(library),
      m_syncTimer(new QTimer(this)),
      m_telemetryLoader(new TelemetryLoader(
          [this](const TelemetryLoader::Loaded& loaded) { OnTelemetryLoaded(loaded); }, this)),
      m_tripLoader(this,
                   [this](const std::vector<TripRoute::Loaded>& routes) {
                       m_route.SetOthers(routes);
                       ShowRoute();
                   }),
      m_dayLoader(this,
                  [this](const std::vector<TripRoute::Loaded>& routes) {
                      m_dayRoutes = routes;
                      std::vector<std::vector<RoutePoint>> lines;
                      for (const TripRoute::Loaded& r : routes)
                          lines.push_back(r.route);
                      if (m_map)
                          m_map->SetRoute({}, lines);
                  }),
      m_frameCommands(window, m_engine, m_telemetry, m_created, *controls.waveform) {
    // Named so measurements can find the tick.
    m_syncTimer->setObjectName(QStringLiteral("syncTimer"));
    m_syncTimer->setInterval(100);
    connect(m_syncTimer, &QTimer::timeout, this, &PlaybackController::OnSyncTimer);
    m_syncTimer->start();

    connect(m_controls.video, &CVideoHost::FullScreenChanged, this, [this](bool on) {
        if (m_map)
            m_map->SetCovered(on);
        // Leaving full screen by Esc on the picture counts as the second toggle.
        if (!on)
            m_fullScreenNext = true;
    });
}

PlaybackController::~PlaybackController() {
    m_syncTimer->stop();
    m_engine.CloseMovie();
}

void PlaybackController::SetMap(CDlgGMap* map) {
    m_map = map;
    m_frameCommands.SetMap(map);
    connect(m_map, &CDlgGMap::routeClicked, this, &PlaybackController::OnRouteClicked);
    ShowRoute();
}

void PlaybackController::ShowRoute() {
    if (!m_map)
        return;
    m_map->SetRoute(m_route.current(), m_route.others());
    if (EventPlaceOnly()) {
        m_map->SetEventPlace(m_event->latitude, m_event->longitude,
                             TelemetryLoader::EventText(*m_event));
        m_controls.mapHost->show();
    } else {
        m_map->ClearEventPlace();
    }
}

bool PlaybackController::EventPlaceOnly() const {
    return m_event && m_event->hasPosition;
}

void PlaybackController::ClearRoute() {
    m_tripLoader.Cancel();
    m_route.Clear();
    m_event.reset();
    ShowRoute();
}

void PlaybackController::OnRouteClicked(double latitude, double longitude) {
    if (!m_dayRoutes.empty()) {
        // The nearest point of the day's routes, by the flat distance that suffices within a
        // day's drives.
        const double scale = std::cos(latitude * M_PI / 180);
        const TripRoute::Loaded* best = nullptr;
        int second = 0;
        double nearest = 0;
        for (const TripRoute::Loaded& r : m_dayRoutes)
            for (const RoutePoint& p : r.route) {
                const double dy = p.latitude - latitude, dx = (p.longitude - longitude) * scale;
                if (!best || dx * dx + dy * dy < nearest) {
                    best = &r;
                    second = p.second;
                    nearest = dx * dx + dy * dy;
                }
            }
        const RecordingLibrary& library = m_library.library();
        for (int e = 0; best && e < library.entryCount(); ++e)
            if (library.entry(e).moviePath == best->moviePath) {
                PlayEntryFrom(e, second);
                return;
            }
        return;
    }
    const auto target = m_route.Hit(m_library.library(), latitude, longitude);
    if (!target)
        return;
    // Another recording of the trip opens and goes on as the current one was going.
    if (target->entry != m_library.library().currentIndex()) {
        m_library.library().SetCurrentIndex(target->entry);
        OpenEntry(EntryStep::Current, m_engine.GetState() == MediaState::Running);
    }
    SeekTo(target->second);
}

void PlaybackController::ShowDayRoutes(const std::vector<RecordingEntry>& recordings) {
    m_tripLoader.Cancel();
    m_dayLoader.Start(
        [recordings] { return TripRoute::LoadOthers(recordings, GpsOptionsForMovie); });
}

void PlaybackController::PlayEntryFrom(int entry, double second) {
    RecordingLibrary& library = m_library.library();
    if (entry < 0 || entry >= library.entryCount())
        return;
    if (entry != library.currentIndex() || m_engine.GetState() == MediaState::Stopped) {
        library.SetCurrentIndex(entry);
        OpenEntry(EntryStep::Current, true);
    } else if (m_engine.GetState() != MediaState::Running) {
        Play();
    }
    SeekTo(second);
}

void PlaybackController::SeekTo(double seconds) {
    if (m_engine.GetState() == MediaState::Stopped)
        OpenEntry(EntryStep::Current, false);
    if (m_engine.GetState() == MediaState::Stopped)
        return;
    m_engine.SetPositionSeconds(seconds);
    SyncTelemetry();
}

void PlaybackController::StepFrameExact(int direction) {
    m_engine.StepFrameExact(direction);
}

void PlaybackController::SeekBy(double seconds) {
    if (m_engine.GetState() == MediaState::Stopped && seconds < 0)
        return;
    const double duration = m_engine.GetDurationSeconds();
    SeekTo(std::clamp(m_engine.GetPositionSeconds() + seconds, 0.0, LastFrameSeconds(duration)));
}

void PlaybackController::SeekToStart() {
    SeekTo(0.0);
}

void PlaybackController::SeekToEnd() {
    SeekTo(LastFrameSeconds(m_engine.GetDurationSeconds()));
}

bool PlaybackController::GoToTime(const QString& text) {
    const double duration = m_engine.GetDurationSeconds();
    const auto at = ParseGoToTime(text.toStdString(), m_clockStartSecond, duration);
    if (!at || m_library.library().currentIndex() < 0 || duration <= 0)
        return false;
    SeekTo(std::min(*at, LastFrameSeconds(duration)));
    return true;
}

void PlaybackController::FindEvents(const std::string& moviePath) {
    m_events = FindGForceEvents(m_telemetry.samples, m_telemetry.sampleCount,
                                ThresholdsForRecording(moviePath));
    std::vector<int> marks;
    for (const GForceEvent& e : m_events)
        marks.push_back(static_cast<int>(std::lround(e.peak * 10)));
    m_controls.waveform->SetEventMarks(marks);
    m_controls.position->SetMarks(marks);
}

void PlaybackController::JumpToNextEvent(bool forward) {
    if (const auto next = NextEvent(m_events, m_engine.GetPositionSeconds(), forward))
        JumpToEvent(*next);
}

void PlaybackController::JumpToEvent(int index) {
    if (index >= 0 && index < static_cast<int>(m_events.size()))
        SeekTo(EventJumpPoint(m_events[static_cast<std::size_t>(index)]));
}

void PlaybackController::OpenEntry(EntryStep step, bool autoPlay) {
    RecordingLibrary& library = m_library.library();
    int index = library.currentIndex();
    if (step == EntryStep::Next) {
        if (index >= library.entryCount() - 1)
            return;
        library.SetCurrentIndex(++index);
    } else if (step == EntryStep::Previous) {
        if (index <= 0)
            return;
        library.SetCurrentIndex(--index);
    }
    if (library.entryCount() <= 0 || index >= library.entryCount() || index < 0)
        return;

    const RecordingEntry& entry = library.entry(index);
    if (m_beforeOpen)
        m_beforeOpen(index);
    int opened = m_engine.OpenMovie(FromPath(entry.moviePath), m_controls.video, this);
    if (opened != 0 && m_engine.composed() && m_beforeOpen) {
        // The other cameras' files could not be composed: the recording plays alone.
        m_beforeOpen(-1);
        opened = m_engine.OpenMovie(FromPath(entry.moviePath), m_controls.video, this);
    }
    if (opened != 0) {
        ShowWarning(m_window, "playFailedBox", QStringLiteral("Play movie file failed!"));
        ClearRoute();
    } else {
        const int duration = static_cast<int>(m_engine.GetDurationSeconds());
        m_controls.position->setRange(0, duration * 1000 / 100);

        m_created = {};
        std::uint32_t headerDuration = static_cast<std::uint32_t>(duration);
        int readOnly = 0;
        ReadMovieHeader(entry.moviePath, m_created, headerDuration, readOnly);
        // Without a readable creation time the axis starts at midnight.
        const std::tm& c = m_created;
        m_clockStartSecond = c.tm_mday != 0 ? c.tm_hour * 3600 + c.tm_min * 60 + c.tm_sec : 0;
        m_controls.waveform->SetTotalSeconds(duration);
        m_controls.waveform->SetAxisSeconds(m_clockStartSecond,
                                            m_clockStartSecond + static_cast<int>(headerDuration));

        m_telemetryLoader->Start(entry);

        if (!m_volumeLevel) {
            m_volumeLevel = m_engine.GetVolumeLevel();
            m_controls.volume->setValue(*m_volumeLevel);
        } else {
            m_engine.SetVolumeLevel(*m_volumeLevel);
        }
        m_controls.rate->setValue(kRateSliderNormal);
        if (autoPlay)
            m_engine.TogglePlayPause();
        // Hidden, not only covered: the full-screen picture leaves its place in the window.
        m_controls.placeholder->hide();
        m_controls.video->show();
    }
    m_controls.list->setFocus();
    m_library.SelectEntry(index);
    emit recordingShown();
}

void PlaybackController::OnRowChosen(int row, bool autoPlay) {
    RecordingLibrary& library = m_library.library();
    // A selection alone opens another recording only while none is playing.
    if (!autoPlay && (row == library.currentIndex() || m_engine.GetState() == MediaState::Running))
        return;
    library.SetCurrentIndex(row);
    OpenEntry(EntryStep::Current, autoPlay);
}

void PlaybackController::OnTelemetryLoaded(const TelemetryLoader::Loaded& loaded) {
    m_telemetry = loaded.set;
    m_car = loaded.car;
    ShowTelemetry();
    RecordingLibrary& library = m_library.library();
    const int index = library.currentIndex();
    if (index < 0 || index >= library.entryCount())
        return;
    FindEvents(library.entry(index).moviePath);
    if (loaded.load.source != TelemetrySource::None)
        m_library.MarkTelemetryFound(index);
    // The recording's trip takes the map back from a day shown there.
    m_dayLoader.Cancel();
    m_dayRoutes.clear();
    // This recording's route shows at once; its trip's follow from the worker.
    m_route.Build(library, index, m_telemetry);
    // A fix of the recording's own (the car's SEI, a GPX file) is the better place.
    m_event = RouteOf(m_telemetry).empty() ? loaded.event : std::nullopt;
    ShowRoute();
    // With the options each movie would be opened with, as read from a card that may be slow;
    // once per opening, when this recording's own load has ended.
    if (std::vector<RecordingEntry> others = m_route.otherEntries();
        !loaded.pending && !others.empty())
        m_tripLoader.Start([others = std::move(others)] {
            return TripRoute::LoadOthers(others, GpsOptionsForMovie);
        });
    const QString note = EventPlaceOnly()
                             ? QStringLiteral("No GPS: the map shows the event's place")
                             : TelemetryLoader::SourceNote(loaded);
    m_controls.gpsNote->setText(note);
    m_controls.gpsNote->setVisible(!note.isEmpty());
}

void PlaybackController::ReloadTelemetry() {
    RecordingLibrary& library = m_library.library();
    const int index = library.currentIndex();
    if (m_engine.GetState() != MediaState::Closed && index >= 0 && index < library.entryCount())
        m_telemetryLoader->Start(library.entry(index));
}

void PlaybackController::ShowTelemetry() {
    m_controls.waveform->SetTelemetry(m_telemetry);
    emit recordingShown();
    m_controls.waveform->repaint();
}

bool PlaybackController::LoadTelemetry(const QString& path) {
    m_telemetryLoader->Cancel();
    const bool loaded = ParseTelemetryFile(path.toUtf8().toStdString(), m_telemetry);
    m_car = {};
    ShowTelemetry();
    return loaded;
}

void PlaybackController::ShowIdleReadOuts() {
    m_controls.speedText->setText(QStringLiteral("0Km/H "));
    if (m_controls.panel->lastSpeed() != 0)
        m_controls.panel->DrawSpeedNeedle(0);
    if (m_controls.panel->lastHeading() != 180)
        m_controls.panel->DrawHeadingDial(180);
}

void PlaybackController::SyncTelemetry() {
    const MediaState state = m_engine.GetState();
    const double position = m_engine.GetPositionSeconds();
    const int tenths = static_cast<int>(position * 10);
    if (state == MediaState::Running || state == MediaState::Stopped)
        m_controls.position->setValue(tenths);
    m_controls.waveform->SetCursor(tenths);
    const int second = static_cast<int>(position);
    m_controls.waveform->SetCurrentSecond(second);
    m_controls.waveform->update();
    m_controls.carSignals->SetSecond(m_car.At(position));

    // The fix of the second that has just passed. Without one (the first second, past the
    // telemetry, none loaded) the read-outs go idle: they never show a second no longer on
    // screen, such as the last one played before a rewind or another recording's.
    if (second < 1 || second > m_telemetry.fixCount) {
        ShowIdleReadOuts();
        return;
    }
    const GpsFix& fix = m_telemetry.fixes[second - 1];
    CDashPanel* panel = m_controls.panel;
    if (std::strlen(fix.longitude) >= 7 && std::strlen(fix.latitude) >= 7) {
        if (m_map)
            m_map->SetLgtLat(QString::fromLatin1(fix.latitude), QString::fromLatin1(fix.longitude),
                             QString::number(fix.speed));
        m_controls.mapHost->show();
        m_controls.speedText->setText(QStringLiteral("%1Km/H ").arg(fix.speed));
        if (fix.speed != panel->lastSpeed())
            panel->DrawSpeedNeedle(fix.speed);
        if (fix.heading != panel->lastHeading())
            panel->DrawHeadingDial(fix.heading);
    } else {
        panel->DrawSpeedNeedle(0);
        panel->DrawHeadingDial(180);
    }
}

void PlaybackController::StopPlayback() {
    m_userStopped = true;
    m_engine.StopAndRewind();
    SyncTelemetry();
}

void PlaybackController::ReleaseBeforeRemoval() {
    if (m_engine.GetState() == MediaState::Stopped)
        return;
    StopPlayback();
    m_engine.CloseMovie();
    m_controls.waveform->ClearData();
    m_car = {};
    m_controls.carSignals->SetSecond(nullptr);
    m_events.clear();
    m_controls.position->SetMarks({});
    ClearRoute();
    if (m_map)
        m_map->SetLgtLat(QString(), QString(), QString());
}

void PlaybackController::Play() {
    m_engine.SetRateIndex(int(PlayRate::Forward1x));
    m_engine.TogglePlayPause();
    m_userStopped = false;
}

void PlaybackController::Pause() {
    m_engine.Pause();
}

void PlaybackController::TogglePlayPause() {
    if (m_engine.GetState() == MediaState::Running)
        Pause();
    else
        Play();
}

void PlaybackController::PlayAt(PlayRate rate) {
    const MediaState state = m_engine.GetState();
    m_engine.SetRateIndex(int(rate));
    if (state == MediaState::Paused || state == MediaState::Closed)
        m_engine.TogglePlayPause();
}

void PlaybackController::StepFrame(int direction) {
    m_engine.SetRateIndex(int(direction < 0 ? PlayRate::Backward1x : PlayRate::Forward1x));
    m_engine.StepForward(direction);
}

void PlaybackController::StepRateSlider(int delta) {
    CSkinSlider* slider = m_controls.rate;
    const int pos = slider->value();
    if ((delta < 0 && pos <= slider->minimum()) || (delta > 0 && pos >= slider->maximum()))
        return;
    const int next = pos + delta;
    slider->setValue(next);
    const MediaState state = m_engine.GetState();
    m_engine.SetRateIndex(int(kRateSliderRates[next]));
    if (state == MediaState::Stopped)
        return;
    if (state == MediaState::Running)
        m_engine.Pause();
    m_engine.TogglePlayPause();
}

void PlaybackController::BeginPositionDrag() {
    m_stateBeforeSeek = m_engine.GetState();
    m_engine.Pause();
}

void PlaybackController::OnPositionReleased() {
    if (m_engine.GetState() == MediaState::Stopped)
        return;
    m_engine.SetPositionSeconds(m_controls.position->value() * 0.1);
    if (m_stateBeforeSeek == MediaState::Running)
        m_engine.TogglePlayPause();
    m_stateBeforeSeek.reset();
}

void PlaybackController::OnVolumeReleased() {
    const int level = m_controls.volume->value();
    if (m_engine.GetState() == MediaState::Stopped)
        return;
    m_engine.SetVolumeLevel(level);
    m_volumeLevel = level;
}

void PlaybackController::OnWaveformClicked() {
    const int index = m_controls.waveform->clickedIndex();
    if (m_engine.GetState() != MediaState::Stopped && index >= 0)
        m_engine.SetPositionSeconds(index * 100 * 0.001);
}

void PlaybackController::ToggleFullScreen() {
    m_engine.SetFullScreen(m_fullScreenNext);
    m_fullScreenNext = !m_fullScreenNext;
}

void PlaybackController::LeaveFullScreen() {
    if (m_fullScreenNext)
        return; // not in full screen
    m_engine.SetFullScreen(false);
    m_fullScreenNext = true;
}

void PlaybackController::SetPlayPauseVisibility(bool running) {
    m_controls.pause->setVisible(running);
    m_controls.play->setVisible(!running);
}

void PlaybackController::OnSyncTimer() {
    const MediaState state = m_engine.GetState();
    if (state != MediaState::Stopped)
        SyncTelemetry();
    SetPlayPauseVisibility(state == MediaState::Running);
}

bool PlaybackController::event(QEvent* event) {
    if (event->type() == CMediaGraph::kGraphNotifyEvent) {
        OnGraphNotify();
        return true;
    }
    return QObject::event(event);
}

void PlaybackController::OnGraphNotify() {
    const MediaState before = m_engine.GetState();
    m_engine.DrainGraphEvents();
    if (before == MediaState::Stopped || m_engine.GetState() != MediaState::Stopped)
        return;
    // The movie has run out.
    if (!m_userStopped && m_controls.recycle->isChecked())
        OpenEntry(EntryStep::Next, true);
    SyncTelemetry();
    m_userStopped = false;
}

} // namespace quello
