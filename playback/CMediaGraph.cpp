#include "playback/CMediaGraph.h"

#include "playback/CFrameCapture.h"
#include "playback/CFrameRenderer.h"
#include "playback/CMpvClient.h"
#include "playback/CPlaybackStatus.h"
#include "playback/CVideoHost.h"
#include "playback/EngineReply.h"
#include "playback/EngineTrace.h"
#include "playback/FrameDib.h"
#include "playback/VolumeLevel.h"

#include <QCoreApplication>
#include <QFile>

#include <mpv/client.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <optional>

namespace quello {

namespace {

constexpr double kRates[8] = {1.0, 2.0, 4.0, 8.0, -1.0, -2.0, -4.0, -8.0};
// Loading a small movie takes 5-50 ms; the bound only guards against a stuck demuxer on a
// heavily loaded machine.
constexpr auto kOpenTimeout = std::chrono::seconds(15);
// After playback is ready, how long a video track may take to deliver its first picture
// before the open is declared done without one (an undecodable track is dropped by libmpv).
constexpr auto kFirstFrameGrace = std::chrono::seconds(3);
constexpr auto kSeekSettleTimeout = std::chrono::seconds(10);
constexpr auto kCaptureTimeout = std::chrono::seconds(10);
constexpr auto kPauseTimeout = std::chrono::seconds(2);
// How long the wait sleeps at most between two looks, should a callback's signal be missed.
constexpr auto kWaitSlice = std::chrono::milliseconds(50);

// libmpv takes "-" for standard input and "name://..." for a protocol, also where a relative
// file name was meant; a path starting with '/' is always a local file to it. The working
// folder is joined as bytes and nothing is cleaned away: "link/../x" keeps the kernel's
// meaning. Empty when the working folder is unknown; an empty path stays empty.
QByteArray LocalFileName(const QString& path) {
    const QByteArray file = QFile::encodeName(path);
    if (file.isEmpty() || file.startsWith('/'))
        return file;
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::current_path(error);
    if (error)
        return {};
    return QByteArray::fromStdString(folder.native()) + '/' + file;
}

} // namespace

CMediaGraph::CMediaGraph()
    : m_client(std::make_unique<CMpvClient>()),
      m_status(std::make_unique<CPlaybackStatus>([this] { ApplyVideoSize(); })),
      m_renderer(std::make_unique<CFrameRenderer>(*m_client)),
      m_capture(std::make_unique<CFrameCapture>()) {
    m_client->SetEventHandler([this](const mpv_event& event) { HandleEvent(event); });
    m_client->SetDrainedHandler([this] { HandleDrained(); });
}

CMediaGraph::~CMediaGraph() {
    CloseMovie();
    m_renderer->SetHost(nullptr);
}

int CMediaGraph::OpenMovie(const QString& path, CVideoHost* videoHost, QObject* notifyWindow) {
    if (path.isNull())
        return kEPointer;
    Teardown();
    m_renderer->SetHost(videoHost);
    m_state = MediaState::Stopped;

    if (const int rc = Load(path); rc < 0) {
        m_fileName.clear();
        return rc;
    }
    m_notify = notifyWindow;
    if (const int rc = InitVideoWindow(); rc < 0) {
        TraceFailure("FAILED(hr=0x%x) in InitVideoWindow()\n", rc);
        return rc;
    }
    m_state = MediaState::Paused;
    if (CVideoHost* host = m_renderer->host())
        host->setFocus();
    // Events that arrived while loading were consumed here; let the client know about any
    // that follow.
    m_client->PostWakeup();
    return 0;
}

void CMediaGraph::CloseMovie() {
    m_state = MediaState::Stopped;
    Teardown();
    m_fileName.clear();
    m_state = MediaState::Closed;
    if (CVideoHost* host = m_renderer->host())
        host->ClearFrame();
}

MediaState CMediaGraph::GetState() const {
    return m_state;
}

void CMediaGraph::TogglePlayPause() {
    if (!m_client->isOpen())
        return;
    if (m_state == MediaState::Stopped || m_state == MediaState::Paused) {
        ResumeDirection();
        m_client->SetFlag("pause", false);
        m_state = MediaState::Running;
        // Already at the end (a seek or step there while paused): libmpv reports no new
        // change, so have the end handled on the next drain.
        if (m_status->eofReached())
            m_client->PostWakeup();
    } else {
        PauseRunning();
    }
}

int CMediaGraph::Pause() {
    if (!m_client->isOpen())
        return 0;
    if (m_state == MediaState::Running) {
        PauseRunning();
        return 0;
    }
    m_client->SetFlag("pause", true);
    m_state = MediaState::Paused;
    return 0;
}

void CMediaGraph::StopAndRewind() {
    if (!m_client->isOpen() || (m_state != MediaState::Paused && m_state != MediaState::Running))
        return;
    m_client->SetFlag("pause", true);
    m_state = MediaState::Stopped;
    Seek(0.0);
    m_status->ClearEnd();
}

int CMediaGraph::DrainGraphEvents() {
    if (!m_client->isOpen())
        return 0;
    m_client->DrainEvents();
    // An end reached while stepping or seeking paused is not one that playback reached.
    const bool played =
        m_state == MediaState::Running || (m_state == MediaState::Paused && m_endBeforePause);
    if (m_status->eofReached() && played)
        return CompleteMovie();
    return 0;
}

void CMediaGraph::SetRateIndex(int index) {
    const double rate = index >= 0 && index < 8 ? kRates[index] : 1.0;
    if (!m_client->isOpen())
        return;
    const bool backward = rate < 0;
    // A direction change costs libmpv a seek: only ask for it when the direction changes.
    // libmpv 0.35 loses its place (and reports the end) when the direction changes while a
    // seek is still pending, so the position is sought again in the new direction.
    if (backward != m_backward) {
        const double position = GetPositionSeconds();
        // Sound played backward is noise, and decoding it backward costs libmpv as much as the
        // picture: the audio track is off while playing backward. Switched before the seek
        // below, so that the seek is the last one libmpv takes.
        m_client->SetString("aid", backward ? "no" : "auto");
        // The long frame queue costs memory; it is needed only while playing backward.
        m_client->SetString("vd-queue-max-samples", backward ? CMpvClient::kBackwardFrameQueue
                                                             : CMpvClient::kForwardFrameQueue);
        m_client->SetString("play-dir", backward ? "backward" : "forward");
        m_backward = backward;
        m_seekingForward = false;
        Seek(position);
    }
    double speed = std::abs(rate);
    m_client->SetAsync("speed", MPV_FORMAT_DOUBLE, &speed);
    m_speed = speed;
}

double CMediaGraph::GetRate() const {
    if (!m_client->isOpen())
        return 0.0;
    return m_backward ? -m_speed : m_speed;
}

int CMediaGraph::StepForward(int /*direction*/) {
    if (!m_client->isOpen() || !m_status->hasVideo())
        return 0;
    if (m_state == MediaState::Running)
        TogglePlayPause();
    return m_client->Command(Reply(kUnwatched), {"frame-step"});
}

int CMediaGraph::StepFrameExact(int direction) {
    if (!m_client->isOpen() || !m_status->hasVideo())
        return 0;
    if (m_state == MediaState::Running)
        TogglePlayPause();
    // Composed views step as they seek while paused in backward mode: going forward, so that
    // libmpv's direction does not flip back and forth between a step and the next seek.
    if (m_backward && !m_viewFiles.empty())
        TurnForward();
    else
        ResumeDirection();
    // A step sent behind a pending seek loses its place: it waits (bounded) for the seek.
    WaitForSeek();
    // libmpv's steps go with the play direction: playing backward, its step back is a step
    // forward in the movie.
    const bool back = (direction < 0) != (m_backward && !m_seekingForward);
    const int rc = m_client->Command(Reply(kUnwatched), {back ? "frame-back-step" : "frame-step"});
    if (rc >= 0 && back)
        m_status->BackStepSent();
    return rc;
}

double CMediaGraph::GetPositionSeconds() const {
    return m_client->isOpen() ? m_status->position() : 0.0;
}

int CMediaGraph::SetPositionSeconds(double seconds) {
    if (!m_client->isOpen())
        return 0;
    if (!std::isfinite(seconds))
        return MPV_ERROR_INVALID_PARAMETER;
    // libmpv reads a negative absolute time as counted from the end; a position never is.
    return Seek(std::max(seconds, 0.0));
}

double CMediaGraph::GetDurationSeconds() const {
    return m_client->isOpen() ? m_status->duration() : 0.0;
}

void CMediaGraph::SetVolumeLevel(int level) {
    if (!m_client->isOpen())
        return;
    double volume = GainToMpvVolume(VolumeLevelToGain(level));
    m_volumeLevel = MpvVolumeToLevel(volume, volume <= 0.0);
    if (volume <= 0.0) {
        m_client->SetFlag("mute", true);
        return;
    }
    m_client->SetFlag("mute", false);
    m_client->SetAsync("volume", MPV_FORMAT_DOUBLE, &volume);
}

int CMediaGraph::GetVolumeLevel() const {
    return m_client->isOpen() ? m_volumeLevel : 0;
}

void CMediaGraph::SetFullScreen(bool on) {
    if (CVideoHost* host = m_renderer->host(); m_client->isOpen() && host)
        host->SetFullScreen(on);
}

int CMediaGraph::AttachVideoHost(CVideoHost* videoHost) {
    m_renderer->SetHost(videoHost);
    return InitVideoWindow();
}

int CMediaGraph::InitVideoWindow() {
    if (!m_client->isOpen() || !m_renderer->host())
        return 0;
    ApplyVideoSize();
    if (m_status->hasVideo())
        m_renderer->ShowInHost();
    return 0;
}

int CMediaGraph::GetCurrentImageSize() {
    return int(CaptureMainView().size());
}

bool CMediaGraph::GetCurrentImage(unsigned char* buffer, int size) {
    if (!buffer || size < 0)
        return false;
    const std::vector<unsigned char> dib = CaptureMainView();
    if (dib.empty() || std::size_t(size) < dib.size())
        return false;
    std::memcpy(buffer, dib.data(), dib.size());
    return true;
}

int CMediaGraph::SaveFrameAsJpeg(const QString& path, const SnapshotFacts& facts) {
    // One capture for size and pixels: a playing movie could change frames between two.
    const std::vector<unsigned char> dib = CaptureMainView();
    if (dib.empty())
        return 0;
    return WriteDibAsJpeg(dib.data(), int(dib.size()), QFile::encodeName(path).toStdString(),
                          facts);
}

int CMediaGraph::SaveAllViewsAsJpeg(const QString& path, const SnapshotFacts& facts) {
    const std::vector<unsigned char> dib = Capture();
    if (dib.empty())
        return 0;
    return WriteDibAsJpeg(dib.data(), int(dib.size()), QFile::encodeName(path).toStdString(),
                          facts);
}

void CMediaGraph::SetViews(std::vector<QString> files, QString graph, QString mainFile) {
    m_viewFiles = std::move(files);
    m_viewGraph = m_viewFiles.empty() ? QString() : std::move(graph);
    m_mainViewFile = m_viewFiles.empty() ? QString() : std::move(mainFile);
}

int CMediaGraph::ChangeViews(const QString& graph, const QString& mainFile) {
    if (!m_client->isOpen() || m_viewFiles.empty() || graph.isEmpty())
        return 0;
    m_viewGraph = graph;
    m_mainViewFile = mainFile;
    // libmpv rebuilds the graph; a paused movie would keep the old picture until its next
    // frame, so the frame on screen is sought again.
    const QByteArray text = graph.toUtf8();
    // In backward mode libmpv may show no frame, or none of the views, after the graph is
    // rebuilt, whichever way it is going at the moment.
    if (m_backward)
        return ReopenBackward();
    m_client->SetString("lavfi-complex", text.constData());
    if (m_state != MediaState::Running)
        return Seek(GetPositionSeconds());
    return 0;
}

QString CMediaGraph::FileName() const {
    return m_fileName;
}

void CMediaGraph::SetAudioOutput(const QString& audioOutput) {
    m_client->SetAudioOutput(audioOutput.toUtf8());
}

void CMediaGraph::SetExtraOption(const QString& name, const QString& value, bool required) {
    m_client->SetExtraOption(name.toUtf8(), value.toUtf8(), required);
}

EngineStatistics CMediaGraph::GetStatistics() const {
    EngineStatistics statistics;
    if (!m_client->isOpen())
        return statistics;
    statistics.framesRendered = m_renderer->framesRendered();
    statistics.meanRenderMs = m_renderer->meanRenderMs();
    statistics.framesDropped = m_status->framesDropped();
    return statistics;
}

// Creates the libmpv instance and loads `path`; returns when the first frame is shown, the
// load failed, or the bounded wait ran out.
int CMediaGraph::Load(const QString& path) {
    const QByteArray file = LocalFileName(path);
    if (file.isEmpty() && !path.isEmpty())
        return Fail("FAILED(hr=0x%x) in std::filesystem::current_path()\n",
                    MPV_ERROR_LOADING_FAILED);
    m_fileName = QFile::decodeName(file);
    if (const int rc = m_client->Create(); rc < 0) {
        Teardown(); // the client has traced the failure
        return rc;
    }
    if (const int rc = m_renderer->Create(); rc < 0)
        return Fail("FAILED(hr=0x%x) in mpv_render_context_create(&render, mpv, params)\n", rc);
    m_client->StartEvents();
    if (const int rc = m_status->Observe(*m_client); rc < 0)
        return Fail("FAILED(hr=0x%x) in mpv_observe_property(mpv, 0, name, format)\n", rc);

    if (!m_viewFiles.empty()) {
        // Given as a list, not libmpv's ':'-separated text: a path may hold a ':'.
        std::vector<QByteArray> names;
        std::vector<mpv_node> items;
        for (const QString& view : m_viewFiles)
            names.push_back(LocalFileName(view));
        for (QByteArray& name : names) {
            mpv_node item{};
            item.format = MPV_FORMAT_STRING;
            item.u.string = name.data();
            items.push_back(item);
        }
        mpv_node_list list{int(items.size()), items.data(), nullptr};
        mpv_node node{};
        node.format = MPV_FORMAT_NODE_ARRAY;
        node.u.list = &list;
        m_client->SetAsync("external-files", MPV_FORMAT_NODE, &node);
        const QByteArray graph = m_viewGraph.toUtf8();
        m_client->SetString("lavfi-complex", graph.constData());
    }
    if (const int rc = m_client->Command(Reply(kLoadReply), {"loadfile", file.constData()}); rc < 0)
        return Fail("FAILED(hr=0x%x) in mpv_command_async(mpv, loadfile)\n", rc);
    return WaitUntilShown();
}

int CMediaGraph::WaitUntilShown() {
    std::optional<Clock::time_point> readyAt;
    const bool done = WaitUntil(
        [&] {
            if (m_status->loadError())
                return true;
            if (m_status->playbackReady() && !readyAt) {
                readyAt = Clock::now();
                m_status->ConfirmVideo(*m_client);
            }
            // Done when playback is ready (its restart event must not be left for later: it
            // would be taken for the end of the caller's first seek), whether there is a
            // picture is settled, and the first picture is on screen at its own size, or there
            // is none to wait for. An undecodable track gets a grace period.
            const bool shown = m_renderer->framesRendered() > 0 && m_status->hasVideo();
            // A composed picture has no selected track of its own: the graph's output is it.
            const bool track = m_status->videoTrack() || !m_viewFiles.empty();
            return readyAt && ((m_status->videoConfirmed() && (shown || !track)) ||
                               Clock::now() - *readyAt > kFirstFrameGrace);
        },
        kOpenTimeout);
    if (const std::optional<int> error = m_status->loadError())
        return Fail("FAILED(hr=0x%x) in mpv_command_async(mpv, loadfile)\n", *error);
    if (!done && !m_status->fileLoaded())
        return Fail("FAILED(hr=0x%x) in mpv_wait_event(mpv, timeout)\n", MPV_ERROR_LOADING_FAILED);
    return 0; // loaded but slow to show: usable all the same
}

// Reads events and renders the frames libmpv waits to have rendered (its core may itself wait
// for them) until `done` or `timeout`: an open's first frame, a sought frame, a capture, a
// pause taken. Events read here still reach the notified window's drain.
bool CMediaGraph::WaitUntil(const std::function<bool()>& done, Clock::duration timeout) {
    const auto deadline = Clock::now() + timeout;
    bool consumed = false;
    bool met = false;
    for (;;) {
        consumed = m_client->DrainEvents() || consumed;
        m_renderer->RenderIfPending();
        met = done();
        const auto now = Clock::now();
        if (met || now >= deadline)
            break;
        m_client->WaitForSignal(std::min<Clock::duration>(deadline - now, kWaitSlice));
    }
    if (consumed)
        m_client->PostWakeup();
    return met;
}

void CMediaGraph::HandleEvent(const mpv_event& event) {
    const ReplyKind kind = KindOf(event.reply_userdata);
    if (event.event_id == MPV_EVENT_GET_PROPERTY_REPLY && kind == kPauseEofRead)
        HandlePauseRead(event);
    else if (event.event_id == MPV_EVENT_COMMAND_REPLY && kind == kCaptureReply)
        m_capture->HandleReply(event);
    else
        m_status->HandleEvent(event);
}

void CMediaGraph::HandlePauseRead(const mpv_event& event) {
    if (!event.data || event.reply_userdata != Reply(kPauseEofRead, m_pauseSerial))
        return;
    m_pauseTaken = true;
    const auto& property = *static_cast<const mpv_event_property*>(event.data);
    if (event.error >= 0 && property.format == MPV_FORMAT_FLAG &&
        *static_cast<const int*>(property.data) != 0 && m_state == MediaState::Paused)
        m_endBeforePause = true;
}

// The engine's state follows libmpv's news as soon as it arrives; the notified window's
// DrainGraphEvents then applies the end-of-movie rule.
void CMediaGraph::HandleDrained() {
    if (m_notify)
        QCoreApplication::postEvent(m_notify, new QEvent(kGraphNotifyEvent));
    else
        DrainGraphEvents();
}

void CMediaGraph::ApplyVideoSize() {
    m_renderer->SetVideoSize(m_status->hasVideo() ? m_status->videoSize() : QSize());
}

int CMediaGraph::Seek(double seconds, bool mayTurn) {
    // libmpv 0.35 shows no new frame for a seek made paused in backward mode when views are
    // composed: paused, composed movies seek going forward, and the direction is taken up
    // again (another seek) by the next play or step.
    if (mayTurn && m_backward && m_state != MediaState::Running && !m_viewFiles.empty() &&
        !m_seekingForward) {
        m_client->SetString("play-dir", "forward");
        m_seekingForward = true;
    }
    m_endBeforePause = false;
    ++m_pauseSerial; // a pause's view of the end no longer counts
    const QByteArray target = QByteArray::number(seconds, 'g', 17);
    const int rc =
        m_client->Command(Reply(kSeekReply), {"seek", target.constData(), "absolute+exact"});
    if (rc >= 0)
        m_status->SeekSent(seconds);
    return rc;
}

void CMediaGraph::WaitForSeek() {
    WaitUntil([this] { return !m_status->seekPending() || !m_status->hasVideo(); },
              kSeekSettleTimeout);
}

// Pauses the running movie and waits (bounded) until libmpv has taken the pause, so that the
// frame and position the caller sees next are the ones the pause kept. libmpv's answer to a
// read queued behind the pause also says whether playback had reached the end.
void CMediaGraph::PauseRunning() {
    m_client->SetFlag("pause", true);
    m_state = MediaState::Paused;
    m_endBeforePause = m_status->eofReached();
    m_pauseTaken = false;
    if (m_client->GetAsync(Reply(kPauseEofRead, ++m_pauseSerial), "eof-reached", MPV_FORMAT_FLAG) <
        0) {
        TraceFailure("FAILED(hr=0x%x) in mpv_get_property_async(mpv, eof-reached)\n",
                     MPV_ERROR_NOMEM);
        return;
    }
    WaitUntil([this] { return m_pauseTaken; }, kPauseTimeout);
}

// End of the movie: back on the first frame, stopped.
int CMediaGraph::CompleteMovie() {
    m_client->SetFlag("pause", true);
    if (const int rc = Seek(0.0); rc < 0) {
        TraceFailure("FAILED(hr=0x%x) in mpv_command(mpv, seek 0 absolute+exact)\n", rc);
        return rc;
    }
    m_status->ClearEnd();
    m_state = MediaState::Stopped;
    return 0;
}

// The frame on screen as a packed DIB, once a pending seek has put its frame on screen (so
// that a capture right after SetPositionSeconds shows the frame at the position it reports);
// empty when there is none or libmpv did not answer in time.
std::vector<unsigned char> CMediaGraph::Capture() {
    if (!m_client->isOpen() || !m_status->hasVideo())
        return {};
    WaitForSeek();
    if (m_capture->Request(*m_client) < 0)
        return {};
    WaitUntil([this] { return m_capture->answered(); }, kCaptureTimeout);
    return m_capture->TakeAnswer();
}

void CMediaGraph::TurnForward() {
    if (m_seekingForward)
        return;
    m_client->SetString("play-dir", "forward");
    m_seekingForward = true;
    Seek(GetPositionSeconds(), false);
}

void CMediaGraph::ResumeDirection() {
    if (!m_seekingForward)
        return;
    m_seekingForward = false;
    m_client->SetString("play-dir", "backward");
    Seek(GetPositionSeconds(), false);
}

// libmpv 0.35 shows no new frame after the graph is rebuilt while in backward mode, also
// after seeks: the movie is opened again with the new graph, and its place, rate, volume and
// state restored.
int CMediaGraph::ReopenBackward() {
    const double position = GetPositionSeconds();
    const MediaState state = m_state;
    const int rateIndex = 4 + int(std::lround(std::log2(m_speed)));
    const int volume = m_volumeLevel;
    const QPointer<QObject> notify = m_notify;
    const QString file = m_fileName;
    if (const int rc = OpenMovie(file, m_renderer->host(), notify); rc != 0)
        return rc;
    SetVolumeLevel(volume);
    SetRateIndex(rateIndex);
    SetPositionSeconds(position);
    if (state == MediaState::Running)
        TogglePlayPause();
    return 0;
}

std::vector<unsigned char> CMediaGraph::CaptureMainView() {
    if (m_viewFiles.empty() || !m_client->isOpen())
        return Capture();
    WaitForSeek();
    CMediaGraph single;
    single.SetAudioOutput(QStringLiteral("null"));
    if (single.OpenMovie(m_mainViewFile, nullptr, nullptr) != 0)
        return {};
    single.SetPositionSeconds(GetPositionSeconds());
    return single.Capture();
}

int CMediaGraph::Fail(const char* text, int rc) {
    TraceFailure(text, rc);
    Teardown();
    return rc;
}

void CMediaGraph::Teardown() {
    if (!m_client->isOpen())
        return;
    m_renderer->Destroy();
    m_client->Destroy();

    // Nothing of the old movie may reach anyone after this point.
    if (m_notify)
        QCoreApplication::removePostedEvents(m_notify, kGraphNotifyEvent);
    m_notify = nullptr;

    m_speed = 1.0;
    m_backward = false;
    m_seekingForward = false;
    m_volumeLevel = 10;
    m_endBeforePause = false;
    m_status->Reset();
    m_capture->Reset();
    m_renderer->ClearHost();
}

} // namespace quello
