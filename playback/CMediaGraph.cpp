#include "playback/CMediaGraph.h"

#include "playback/CVideoHost.h"
#include "playback/EngineTrace.h"
#include "playback/FrameDib.h"
#include "playback/VolumeLevel.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QObject>
#include <QPointer>

#include <mpv/client.h>
#include <mpv/render.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

namespace quello {

namespace {

constexpr double kRates[8] = {1.0, 2.0, 4.0, 8.0, -1.0, -2.0, -4.0, -8.0};
// Decoded frames queued ahead of the picture: a couple when playing forward (each 1080p frame
// is 3 MB), a key-frame interval and more when playing backward.
constexpr const char* kForwardFrameQueue = "2";
constexpr const char* kBackwardFrameQueue = "40";
// Loading a small movie takes 5-50 ms; the bound only guards against a stuck demuxer on a
// heavily loaded machine.
constexpr auto kOpenTimeout = std::chrono::seconds(15);
// After playback is ready, how long a video track may take to deliver its first picture
// before the open is declared done without one (an undecodable track is dropped by libmpv).
constexpr auto kFirstFrameGrace = std::chrono::seconds(3);
constexpr auto kSeekSettleTimeout = std::chrono::seconds(10);
constexpr auto kCaptureTimeout = std::chrono::seconds(10);
constexpr auto kPauseTimeout = std::chrono::seconds(2);
// Rendering target when no host can show the picture: libmpv's video output stalls unless
// every frame is rendered somewhere, so frames still go through a tiny scratch surface.
constexpr int kScratchSide = 16;
// reply_userdata of the requests whose answers the engine acts on: the kind in the high half,
// a serial in the low half where a late answer to an older request must not count.
enum ReplyKind : std::uint64_t {
    kUnwatched = 0, // only a failure is traced
    kConfirmRead,   // the settled video track, size and duration once playback is ready
    kLoadReply,     // loadfile: the playlist entry
    kSeekReply,
    kCaptureReply, // screenshot-raw
    kPauseEofRead, // eof-reached as the pause of a running movie found it
};
constexpr std::uint64_t Reply(ReplyKind kind, std::uint32_t serial = 0) {
    return std::uint64_t(kind) << 32 | serial;
}
constexpr ReplyKind KindOf(std::uint64_t reply) {
    return ReplyKind(reply >> 32);
}
using Clock = std::chrono::steady_clock;

QEvent::Type WakeupEventType() {
    static const auto type = QEvent::Type(QEvent::registerEventType());
    return type;
}

QEvent::Type RenderEventType() {
    static const auto type = QEvent::Type(QEvent::registerEventType());
    return type;
}

void FreeAligned(void* memory) {
    std::free(memory);
}

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

// The frame in a screenshot-raw result as a packed DIB; empty when libmpv had none.
std::vector<unsigned char> DibFromScreenshot(const mpv_node& result) {
    std::vector<unsigned char> dib;
    std::int64_t width = 0, height = 0, stride = 0;
    const char* format = nullptr;
    const mpv_byte_array* data = nullptr;
    if (result.format == MPV_FORMAT_NODE_MAP) {
        for (int i = 0; i < result.u.list->num; ++i) {
            const char* key = result.u.list->keys[i];
            const mpv_node& value = result.u.list->values[i];
            if (value.format == MPV_FORMAT_INT64) {
                if (std::strcmp(key, "w") == 0)
                    width = value.u.int64;
                else if (std::strcmp(key, "h") == 0)
                    height = value.u.int64;
                else if (std::strcmp(key, "stride") == 0)
                    stride = value.u.int64;
            } else if (value.format == MPV_FORMAT_STRING && std::strcmp(key, "format") == 0) {
                format = value.u.string;
            } else if (value.format == MPV_FORMAT_BYTE_ARRAY && std::strcmp(key, "data") == 0) {
                data = value.u.ba;
            }
        }
    }
    const bool usable =
        format && (std::strcmp(format, "bgr0") == 0 || std::strcmp(format, "bgra") == 0) && data &&
        width > 0 && height > 0 && width <= INT32_MAX && height <= INT32_MAX &&
        stride >= width * 4 && std::int64_t(data->size) >= stride * height;
    const int size = usable ? PackedDibSize(int(width), int(height)) : 0;
    if (size > 0) {
        dib.resize(std::size_t(size));
        if (!PackDib(static_cast<const unsigned char*>(data->data), int(width), int(height),
                     std::size_t(stride), dib.data(), size))
            dib.clear();
    }
    return dib;
}

} // namespace

struct CMediaGraph::Impl {
    // Receives the events posted by libmpv's callbacks, on the GUI thread.
    class Receiver : public QObject {
    public:
        explicit Receiver(CMediaGraph::Impl& impl) : impl_(impl) {}
        bool event(QEvent* event) override {
            if (event->type() == WakeupEventType()) {
                impl_.OnWakeupEvent();
                return true;
            }
            if (event->type() == RenderEventType()) {
                impl_.OnRenderEvent();
                return true;
            }
            return QObject::event(event);
        }

    private:
        CMediaGraph::Impl& impl_;
    };

    explicit Impl(CMediaGraph& owner) : owner(owner), receiver(*this) {}

    CMediaGraph& owner;
    Receiver receiver;

    mpv_handle* mpv = nullptr;
    mpv_render_context* render = nullptr;
    QPointer<CVideoHost> host;
    QPointer<QObject> notify;
    QString fileName;
    QString audioOutput;
    QByteArray extraName, extraValue; // SetExtraOption
    bool extraRequired = false;
    MediaState state = MediaState::Stopped;

    // What the engine last asked libmpv for. libmpv changes none of these by itself, so the
    // getters answer from here without a call.
    double speed = 1.0;
    bool backward = false;
    int volumeLevel = 10;

    // Observed, as of the last drain.
    bool hasVideo = false;   // a decoded video stream exists (frame step and capture make sense)
    bool videoTrack = false; // a video track is selected (it may not have decoded yet)
    std::int64_t videoWidth = 0, videoHeight = 0; // display size, 0 while unknown
    double position = 0.0;
    double duration = 0.0;
    bool eofReached = false; // last value of libmpv's eof-reached
    std::int64_t outputDrops = 0;
    std::int64_t decoderDrops = 0;

    // Playback had reached the end when the running movie was paused; a step or seek while
    // paused can also make eof-reached true, but that end waits for the next play.
    bool endBeforePause = false;
    std::uint32_t pauseSerial = 0; // the pause whose eof-reached read counts
    bool pauseTaken = false;       // ... and whether its answer has come
    // Target of the last seek until libmpv reports that playback restarted there; time-pos
    // still shows the old position while a seek is in flight. A restart before libmpv has
    // taken the last seek command belongs to an earlier seek.
    std::optional<double> seekTarget;
    int seeksInFlight = 0;

    // The open in progress.
    std::int64_t entryId = -1;    // the playlist entry loadfile made, -1 while unknown
    std::optional<int> loadError; // the load failed (libmpv's error code)
    bool fileLoaded = false;      // ... and playback restarted on it:
    bool playbackReady = false;
    int confirmReads = 0; // ConfirmVideo replies still to come

    std::uint32_t captureSerial = 0;
    std::optional<std::vector<unsigned char>> captured; // the answer to the last capture

    // Set by libmpv's threads; each is cleared by the GUI thread before it does the work, so
    // one posted event per burst of callbacks is enough and none is lost.
    std::atomic<bool> wakeupPending{false};
    std::atomic<bool> renderPending{false};
    // Lets the bounded wait sleep until a callback fires instead of polling.
    std::mutex signalMutex;
    std::condition_variable signalled;
    bool anySignal = false;

    QImage surface; // rendering target; its pixels are written through surfaceBits
    unsigned char* surfaceBits = nullptr;
    std::size_t surfaceStride = 0;

    std::int64_t framesRendered = 0;
    std::int64_t renderNanos = 0;

    // --- libmpv callbacks (any thread: no mpv calls here, only posting) ---

    static void OnWakeup(void* context) {
        auto* self = static_cast<Impl*>(context);
        self->Signal();
        if (!self->wakeupPending.exchange(true))
            QCoreApplication::postEvent(&self->receiver, new QEvent(WakeupEventType()));
    }

    static void OnRenderUpdate(void* context) {
        auto* self = static_cast<Impl*>(context);
        self->Signal();
        if (!self->renderPending.exchange(true))
            QCoreApplication::postEvent(&self->receiver, new QEvent(RenderEventType()));
    }

    void Signal() {
        {
            std::lock_guard lock(signalMutex);
            anySignal = true;
        }
        signalled.notify_one();
    }

    // --- GUI thread ---

    // The engine's state follows libmpv's news as soon as it arrives; the notified window's
    // DrainGraphEvents then applies the end-of-movie rule.
    void OnWakeupEvent() {
        wakeupPending.store(false);
        if (!mpv)
            return;
        DrainEvents();
        if (notify)
            QCoreApplication::postEvent(notify, new QEvent(kGraphNotifyEvent));
        else
            owner.DrainGraphEvents();
    }

    void OnRenderEvent() {
        renderPending.store(false);
        HandleRenderUpdate();
    }

    void HandleRenderUpdate() {
        if (!render)
            return;
        if (mpv_render_context_update(render) & MPV_RENDER_UPDATE_FRAME)
            Render(true);
    }

    void EnsureSurface(QSize size) {
        if (surface.size() == size && surfaceBits)
            return;
        const std::size_t stride = (std::size_t(size.width()) * 4 + 63) / 64 * 64;
        auto* bits = static_cast<unsigned char*>(std::aligned_alloc(64, stride * size.height()));
        if (!bits) {
            surface = QImage();
            surfaceBits = nullptr;
            return;
        }
        std::memset(bits, 0, stride * size.height());
        // 64-byte aligned rows let libmpv's scaler write straight into the surface.
        surface = QImage(bits, size.width(), size.height(), qsizetype(stride), QImage::Format_RGB32,
                         FreeAligned, bits);
        surfaceBits = bits;
        surfaceStride = stride;
    }

    // Draws the current frame; without a new frame libmpv redraws the last one (used when the
    // letterbox changes or the picture moves to another host).
    void Render(bool newFrame) {
        if (!render)
            return;
        const QRect target = host ? host->VideoRect() : QRect();
        const bool toHost = !target.isEmpty();
        EnsureSurface(toHost ? target.size() : QSize(kScratchSide, kScratchSide));
        if (!surfaceBits)
            return;

        int size[2] = {surface.width(), surface.height()};
        char format[] = "bgr0";
        std::size_t stride = surfaceStride;
        int block = 0; // never wait for the frame's display time on the GUI thread
        mpv_render_param params[] = {
            {MPV_RENDER_PARAM_SW_SIZE, size},
            {MPV_RENDER_PARAM_SW_FORMAT, format},
            {MPV_RENDER_PARAM_SW_STRIDE, &stride},
            {MPV_RENDER_PARAM_SW_POINTER, surfaceBits},
            {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &block},
            {MPV_RENDER_PARAM_INVALID, nullptr},
        };
        QElapsedTimer timer;
        timer.start();
        const int rc = mpv_render_context_render(render, params);
        if (newFrame && rc >= 0) {
            renderNanos += timer.nsecsElapsed();
            ++framesRendered;
        }
        if (toHost && rc >= 0)
            host->SetFrame(surface);
    }

    void Redraw() {
        if (mpv && hasVideo && framesRendered > 0)
            Render(false);
    }

    void ApplyVideoSize() {
        hasVideo = videoWidth > 0 && videoHeight > 0;
        if (host && hasVideo)
            host->SetVideoSize(QSize(int(videoWidth), int(videoHeight)));
    }

    void SetHost(CVideoHost* videoHost) {
        if (host != videoHost) {
            if (host) {
                QObject::disconnect(host, nullptr, &receiver, nullptr);
                host->ClearFrame();
                host->SetVideoSize(QSize());
            }
            host = videoHost;
            if (host)
                QObject::connect(host, &CVideoHost::VideoRectChanged, &receiver,
                                 [this] { Redraw(); });
        }
        if (host) {
            host->show();
            host->activateWindow();
            host->update();
        }
    }

    // Takes every pending libmpv event into the engine's state; the one place events are read.
    // True when there was any.
    bool DrainEvents() {
        bool any = false;
        while (const mpv_event* event = mpv_wait_event(mpv, 0)) {
            if (event->event_id == MPV_EVENT_NONE)
                break;
            any = true;
            HandleEvent(*event);
        }
        return any;
    }

    void HandleEvent(const mpv_event& event) {
        switch (event.event_id) {
        case MPV_EVENT_GET_PROPERTY_REPLY:
            HandleReadReply(event);
            break;
        case MPV_EVENT_PROPERTY_CHANGE:
            if (event.data)
                HandleProperty(*static_cast<const mpv_event_property*>(event.data));
            break;
        case MPV_EVENT_COMMAND_REPLY:
            HandleCommandReply(event);
            break;
        case MPV_EVENT_SET_PROPERTY_REPLY:
            if (event.error < 0)
                TraceFailure("FAILED(hr=0x%x) in mpv_set_property_async(mpv, name, value)\n",
                             event.error);
            break;
        case MPV_EVENT_FILE_LOADED:
            fileLoaded = true;
            break;
        case MPV_EVENT_END_FILE: {
            const auto* end = static_cast<const mpv_event_end_file*>(event.data);
            if (fileLoaded || (entryId >= 0 && end->playlist_entry_id != entryId))
                break; // not the end of the load in progress
            const int rc = end->reason == MPV_END_FILE_REASON_ERROR
                               ? end->error
                               : int(MPV_ERROR_NOTHING_TO_PLAY);
            loadError = rc < 0 ? rc : int(MPV_ERROR_LOADING_FAILED);
            break;
        }
        case MPV_EVENT_PLAYBACK_RESTART:
            if (fileLoaded)
                playbackReady = true;
            if (seekTarget && seeksInFlight == 0) {
                position = *seekTarget; // until time-pos reports the frame's own time
                seekTarget.reset();
            }
            break;
        default:
            break;
        }
    }

    void HandleReadReply(const mpv_event& event) {
        if (!event.data)
            return;
        const auto& property = *static_cast<const mpv_event_property*>(event.data);
        if (event.reply_userdata == Reply(kPauseEofRead, pauseSerial)) {
            pauseTaken = true;
            if (event.error >= 0 && property.format == MPV_FORMAT_FLAG &&
                *static_cast<const int*>(property.data) != 0 && state == MediaState::Paused)
                endBeforePause = true;
            return;
        }
        if (KindOf(event.reply_userdata) != kConfirmRead)
            return;
        if (confirmReads > 0)
            --confirmReads;
        // Unavailable (no video track, no size yet): the reply keeps the format asked for but
        // carries no value.
        HandleProperty(event.error < 0 ? mpv_event_property{property.name, MPV_FORMAT_NONE, nullptr}
                                       : property);
    }

    void HandleCommandReply(const mpv_event& event) {
        const auto* command = static_cast<const mpv_event_command*>(event.data);
        switch (KindOf(event.reply_userdata)) {
        case kLoadReply:
            if (event.error < 0) {
                loadError = event.error;
            } else if (command && command->result.format == MPV_FORMAT_NODE_MAP) {
                const mpv_node_list& map = *command->result.u.list;
                for (int i = 0; i < map.num; ++i) {
                    if (std::strcmp(map.keys[i], "playlist_entry_id") == 0 &&
                        map.values[i].format == MPV_FORMAT_INT64)
                        entryId = map.values[i].u.int64;
                }
            }
            return;
        case kSeekReply:
            if (seeksInFlight > 0)
                --seeksInFlight;
            if (event.error < 0) {
                TraceFailure("FAILED(hr=0x%x) in mpv_command_async(mpv, seek)\n", event.error);
                if (seeksInFlight == 0)
                    seekTarget.reset();
            }
            return;
        case kCaptureReply:
            if (event.reply_userdata == Reply(kCaptureReply, captureSerial))
                captured = event.error < 0 || !command ? std::vector<unsigned char>()
                                                       : DibFromScreenshot(command->result);
            return;
        default:
            if (event.error < 0)
                TraceFailure("FAILED(hr=0x%x) in mpv_command_async(mpv, args)\n", event.error);
            return;
        }
    }

    void HandleProperty(const mpv_event_property& property) {
        const auto intValue = [&] {
            return property.format == MPV_FORMAT_INT64
                       ? *static_cast<const std::int64_t*>(property.data)
                       : std::int64_t(0);
        };
        const auto doubleValue = [&] {
            return property.format == MPV_FORMAT_DOUBLE ? *static_cast<const double*>(property.data)
                                                        : 0.0;
        };
        const char* name = property.name;
        if (std::strcmp(name, "time-pos") == 0) {
            // Unavailable while a new file loads: the last position stands.
            if (property.format == MPV_FORMAT_DOUBLE)
                position = doubleValue();
        } else if (std::strcmp(name, "duration") == 0) {
            duration = doubleValue();
        } else if (std::strcmp(name, "eof-reached") == 0) {
            eofReached =
                property.format == MPV_FORMAT_FLAG && *static_cast<const int*>(property.data) != 0;
        } else if (std::strcmp(name, "vid") == 0) {
            videoTrack = property.format == MPV_FORMAT_INT64;
        } else if (std::strcmp(name, "dwidth") == 0 || std::strcmp(name, "dheight") == 0) {
            (name[1] == 'w' ? videoWidth : videoHeight) = intValue();
            ApplyVideoSize();
        } else if (std::strcmp(name, "frame-drop-count") == 0) {
            outputDrops = intValue();
        } else if (std::strcmp(name, "decoder-frame-drop-count") == 0) {
            decoderDrops = intValue();
        }
    }

    // Observed properties change only once libmpv's event queue runs empty, so the restart
    // that makes playback ready (and even the first picture) can come before the news of the
    // video track, its size and the duration. Reading them once playback is ready gives their
    // settled values; the replies queue behind the events already there.
    void ConfirmVideo() {
        confirmReads = 0;
        const std::pair<const char*, mpv_format> reads[] = {
            {"vid", MPV_FORMAT_INT64},       {"dwidth", MPV_FORMAT_INT64},
            {"dheight", MPV_FORMAT_INT64},   {"duration", MPV_FORMAT_DOUBLE},
            {"time-pos", MPV_FORMAT_DOUBLE},
        };
        for (const auto& [name, format] : reads)
            if (mpv_get_property_async(mpv, Reply(kConfirmRead), name, format) >= 0)
                ++confirmReads;
    }

    // Requests that need no answer go to libmpv's core without waiting for it; libmpv keeps
    // their order, also against the commands and reads that follow. A refusal is traced when
    // its reply is drained.
    void SetAsync(const char* name, mpv_format format, void* value) {
        if (const int rc = mpv_set_property_async(mpv, Reply(kUnwatched), name, format, value);
            rc < 0)
            TraceFailure("FAILED(hr=0x%x) in mpv_set_property_async(mpv, name, value)\n", rc);
    }
    void SetFlag(const char* name, bool on) {
        int value = on ? 1 : 0;
        SetAsync(name, MPV_FORMAT_FLAG, &value);
    }
    void SetString(const char* name, const char* text) { SetAsync(name, MPV_FORMAT_STRING, &text); }
    int Command(std::uint64_t reply, std::initializer_list<const char*> args) {
        std::vector<const char*> argv(args);
        argv.push_back(nullptr);
        return mpv_command_async(mpv, reply, argv.data());
    }

    int Seek(double seconds) {
        endBeforePause = false;
        ++pauseSerial; // a pause's view of the end no longer counts
        const QByteArray target = QByteArray::number(seconds, 'g', 17);
        const int rc = Command(Reply(kSeekReply), {"seek", target.constData(), "absolute+exact"});
        if (rc >= 0) {
            seekTarget = seconds;
            ++seeksInFlight;
        }
        return rc;
    }

    // Pauses the running movie and waits (bounded) until libmpv has taken the pause, so that
    // the frame and position the caller sees next are the ones the pause kept. libmpv's answer
    // to a read queued behind the pause also says whether playback had reached the end.
    void PauseRunning() {
        SetFlag("pause", true);
        state = MediaState::Paused;
        endBeforePause = eofReached;
        pauseTaken = false;
        if (mpv_get_property_async(mpv, Reply(kPauseEofRead, ++pauseSerial), "eof-reached",
                                   MPV_FORMAT_FLAG) < 0) {
            TraceFailure("FAILED(hr=0x%x) in mpv_get_property_async(mpv, eof-reached)\n",
                         MPV_ERROR_NOMEM);
            return;
        }
        WaitUntil([this] { return pauseTaken; }, kPauseTimeout);
    }

    // End of the movie: back on the first frame, stopped.
    int CompleteMovie() {
        SetFlag("pause", true);
        if (const int rc = Seek(0.0); rc < 0) {
            TraceFailure("FAILED(hr=0x%x) in mpv_command(mpv, seek 0 absolute+exact)\n", rc);
            return rc;
        }
        eofReached = false;
        state = MediaState::Stopped;
        return 0;
    }

    // The engine's one wait, for what must be on screen before a call returns (an open's
    // first frame, a sought frame, a capture): reads events and renders the frames libmpv
    // waits to have rendered (its core may itself wait for them) until `done` or `timeout`.
    // Events read here still reach the notified window's drain.
    template <typename Done> bool WaitUntil(Done done, Clock::duration timeout) {
        const auto deadline = Clock::now() + timeout;
        bool consumed = false;
        bool met = false;
        for (;;) {
            consumed = DrainEvents() || consumed;
            if (renderPending.exchange(false))
                HandleRenderUpdate();
            met = done();
            const auto now = Clock::now();
            if (met || now >= deadline)
                break;
            std::unique_lock lock(signalMutex);
            signalled.wait_for(
                lock, std::min<Clock::duration>(deadline - now, std::chrono::milliseconds(50)),
                [this] { return anySignal; });
            anySignal = false;
        }
        if (consumed)
            OnWakeup(this);
        return met;
    }

    int Fail(const char* text, int rc) {
        TraceFailure(text, rc);
        Teardown();
        return rc;
    }

    // Creates the libmpv instance and loads `path`; returns when the first frame is shown, the
    // load failed, or the bounded wait ran out.
    int Load(const QString& path) {
        const QByteArray file = LocalFileName(path);
        if (file.isEmpty() && !path.isEmpty())
            return Fail("FAILED(hr=0x%x) in std::filesystem::current_path()\n",
                        MPV_ERROR_LOADING_FAILED);
        fileName = QFile::decodeName(file);
        mpv = mpv_create();
        if (!mpv)
            return Fail("FAILED(hr=0x%x) in mpv_create()\n", MPV_ERROR_NOMEM);
        const QByteArray audio = audioOutput.toUtf8();
        struct Option {
            const char* name;
            const char* value; // null: left at libmpv's default
            bool required;     // the engine cannot work without it: refused, the open fails
        };
        // Required: frames reach the render API only through vo=libmpv; the core must stay up
        // with no file (idle) and keep the movie open at its end (keep-open) for the end to
        // be handled and the movie replayed; an open stands paused on its first frame; the
        // audio output is the caller's explicit choice. The rest tunes: config=no and the
        // input options repeat libmpv's defaults, every seek asks for exactness itself.
        // Software rendering scales every frame on the GUI thread: zimg's bilinear filter
        // (a proper area-weighted downscale) costs about half its default lanczos. Fast
        // rates change the sound's pitch instead of time-stretching it, which would cost
        // more than the decoding at 4x.
        const Option options[] = {
            {"config", "no", false},
            {"vo", "libmpv", true},
            {"idle", "yes", true},
            {"keep-open", "yes", true},
            {"hr-seek", "yes", false},
            {"pause", "yes", true},
            {"hwdec", "auto-copy", false},
            {"input-default-bindings", "no", false},
            {"input-vo-keyboard", "no", false},
            {"load-scripts", "no", false},
            {"sub-auto", "no", false},
            {"zimg-scaler", "bilinear", false},
            {"audio-pitch-correction", "no", false},
            // Backward playback decodes a whole key-frame interval before it shows its last
            // frame: a queue of decoded frames (long only while playing backward, see
            // SetRateIndex) keeps the next interval decoding while this one is shown.
            {"vd-queue-enable", "yes", false},
            {"vd-queue-max-samples", kForwardFrameQueue, false},
            {"vd-queue-max-bytes", "200000000", false},
            {"vd-queue-max-secs", "2", false},
            {"ao", audio.isEmpty() ? nullptr : audio.constData(), true},
            {extraName.constData(), extraName.isEmpty() ? nullptr : extraValue.constData(),
             extraRequired},
        };
        for (const Option& option : options) {
            if (!option.value)
                continue;
            const int rc = mpv_set_option_string(mpv, option.name, option.value);
            if (rc >= 0)
                continue;
            qCDebug(lcEngine, "libmpv refused option %s=%s (%s)%s", option.name, option.value,
                    mpv_error_string(rc), option.required ? "" : ", left out");
            if (option.required)
                return Fail("FAILED(hr=0x%x) in mpv_set_option_string(mpv, name, value)\n", rc);
        }
        if (const int rc = mpv_initialize(mpv); rc < 0)
            return Fail("FAILED(hr=0x%x) in mpv_initialize(mpv)\n", rc);

        char apiType[] = MPV_RENDER_API_TYPE_SW;
        mpv_render_param params[] = {{MPV_RENDER_PARAM_API_TYPE, apiType},
                                     {MPV_RENDER_PARAM_INVALID, nullptr}};
        if (const int rc = mpv_render_context_create(&render, mpv, params); rc < 0) {
            render = nullptr;
            return Fail("FAILED(hr=0x%x) in mpv_render_context_create(&render, mpv, params)\n", rc);
        }
        mpv_render_context_set_update_callback(render, &Impl::OnRenderUpdate, this);
        mpv_set_wakeup_callback(mpv, &Impl::OnWakeup, this);
        const std::pair<const char*, mpv_format> observed[] = {
            {"time-pos", MPV_FORMAT_DOUBLE},
            {"duration", MPV_FORMAT_DOUBLE},
            {"eof-reached", MPV_FORMAT_FLAG},
            {"frame-drop-count", MPV_FORMAT_INT64},
            {"decoder-frame-drop-count", MPV_FORMAT_INT64},
            {"vid", MPV_FORMAT_INT64},
            {"dwidth", MPV_FORMAT_INT64},
            {"dheight", MPV_FORMAT_INT64},
        };
        for (const auto& [name, format] : observed) {
            if (const int rc = mpv_observe_property(mpv, 0, name, format); rc < 0)
                return Fail("FAILED(hr=0x%x) in mpv_observe_property(mpv, 0, name, format)\n", rc);
        }

        if (const int rc = Command(Reply(kLoadReply), {"loadfile", file.constData()}); rc < 0)
            return Fail("FAILED(hr=0x%x) in mpv_command_async(mpv, loadfile)\n", rc);
        return WaitUntilShown();
    }

    int WaitUntilShown() {
        std::optional<Clock::time_point> readyAt;
        const bool done = WaitUntil(
            [&] {
                if (loadError)
                    return true;
                if (playbackReady && !readyAt) {
                    readyAt = Clock::now();
                    ConfirmVideo();
                }
                // Done when playback is ready (its restart event must not be left for later:
                // it would be taken for the end of the caller's first seek), whether there is
                // a picture is settled, and the first picture is on screen at its own size, or
                // there is none to wait for. An undecodable track gets a grace period.
                const bool shown = framesRendered > 0 && hasVideo;
                return readyAt && ((confirmReads == 0 && (shown || !videoTrack)) ||
                                   Clock::now() - *readyAt > kFirstFrameGrace);
            },
            kOpenTimeout);
        if (loadError)
            return Fail("FAILED(hr=0x%x) in mpv_command_async(mpv, loadfile)\n", *loadError);
        if (!done && !fileLoaded)
            return Fail("FAILED(hr=0x%x) in mpv_wait_event(mpv, timeout)\n",
                        MPV_ERROR_LOADING_FAILED);
        return 0; // loaded but slow to show: usable all the same
    }

    // Waits (bounded) until a pending seek has put its frame on screen, so that a capture
    // right after SetPositionSeconds shows the frame at the position it reports.
    void SettleSeek() {
        WaitUntil([this] { return !seekTarget || !hasVideo; }, kSeekSettleTimeout);
    }

    // The frame on screen as a packed DIB, once a pending seek has settled; empty when there
    // is none or libmpv did not answer in time.
    std::vector<unsigned char> Capture() {
        if (!mpv || !hasVideo)
            return {};
        SettleSeek();
        captured.reset();
        if (Command(Reply(kCaptureReply, ++captureSerial), {"screenshot-raw", "video"}) < 0)
            return {};
        WaitUntil([this] { return captured.has_value(); }, kCaptureTimeout);
        return std::exchange(captured, std::nullopt).value_or(std::vector<unsigned char>());
    }

    void Teardown() {
        if (!mpv)
            return;
        mpv_set_wakeup_callback(mpv, nullptr, nullptr);
        if (render) {
            mpv_render_context_set_update_callback(render, nullptr, nullptr);
            mpv_render_context_free(render);
            render = nullptr;
        }
        mpv_terminate_destroy(mpv);
        mpv = nullptr;

        // Nothing of the old movie may reach anyone after this point.
        if (notify)
            QCoreApplication::removePostedEvents(notify, kGraphNotifyEvent);
        notify = nullptr;
        QCoreApplication::removePostedEvents(&receiver);
        wakeupPending.store(false);
        renderPending.store(false);
        anySignal = false;

        speed = 1.0;
        backward = false;
        volumeLevel = 10;
        hasVideo = false;
        videoTrack = false;
        videoWidth = videoHeight = 0;
        position = duration = 0.0;
        eofReached = false;
        outputDrops = decoderDrops = 0;
        endBeforePause = false;
        seekTarget.reset();
        seeksInFlight = 0;
        entryId = -1;
        loadError.reset();
        fileLoaded = playbackReady = false;
        confirmReads = 0;
        captured.reset();
        framesRendered = 0;
        renderNanos = 0;
        if (host) {
            host->ClearFrame();
            host->SetVideoSize(QSize());
        }
    }
};

CMediaGraph::CMediaGraph() : d(std::make_unique<Impl>(*this)) {}

CMediaGraph::~CMediaGraph() {
    CloseMovie();
    d->SetHost(nullptr);
}

int CMediaGraph::OpenMovie(const QString& path, CVideoHost* videoHost, QObject* notifyWindow) {
    if (path.isNull())
        return kEPointer;
    d->Teardown();
    d->SetHost(videoHost);
    d->state = MediaState::Stopped;

    if (const int rc = d->Load(path); rc < 0) {
        d->fileName.clear();
        return rc;
    }
    d->notify = notifyWindow;
    if (const int rc = InitVideoWindow(); rc < 0) {
        TraceFailure("FAILED(hr=0x%x) in InitVideoWindow()\n", rc);
        return rc;
    }
    d->state = MediaState::Paused;
    if (d->host)
        d->host->setFocus();
    // Events that arrived while loading were consumed here; let the receiver know about any
    // that follow.
    Impl::OnWakeup(d.get());
    return 0;
}

void CMediaGraph::CloseMovie() {
    d->state = MediaState::Stopped;
    d->Teardown();
    d->fileName.clear();
    d->state = MediaState::Closed;
    if (d->host)
        d->host->ClearFrame();
}

MediaState CMediaGraph::GetState() const {
    return d->state;
}

void CMediaGraph::TogglePlayPause() {
    if (!d->mpv)
        return;
    if (d->state == MediaState::Stopped || d->state == MediaState::Paused) {
        d->SetFlag("pause", false);
        d->state = MediaState::Running;
        // Already at the end (a seek or step there while paused): libmpv reports no new
        // change, so have the end handled on the next drain.
        if (d->eofReached)
            Impl::OnWakeup(d.get());
    } else {
        d->PauseRunning();
    }
}

int CMediaGraph::Pause() {
    if (!d->mpv)
        return 0;
    if (d->state == MediaState::Running) {
        d->PauseRunning();
        return 0;
    }
    d->SetFlag("pause", true);
    d->state = MediaState::Paused;
    return 0;
}

void CMediaGraph::StopAndRewind() {
    if (!d->mpv || (d->state != MediaState::Paused && d->state != MediaState::Running))
        return;
    d->SetFlag("pause", true);
    d->state = MediaState::Stopped;
    d->Seek(0.0);
    d->eofReached = false;
}

int CMediaGraph::DrainGraphEvents() {
    if (!d->mpv)
        return 0;
    d->DrainEvents();
    // An end reached while stepping or seeking paused is not one that playback reached.
    const bool played =
        d->state == MediaState::Running || (d->state == MediaState::Paused && d->endBeforePause);
    if (d->eofReached && played)
        return d->CompleteMovie();
    return 0;
}

void CMediaGraph::SetRateIndex(int index) {
    const double rate = index >= 0 && index < 8 ? kRates[index] : 1.0;
    if (!d->mpv)
        return;
    const bool backward = rate < 0;
    // A direction change costs libmpv a seek: only ask for it when the direction changes.
    // libmpv 0.35 loses its place (and reports the end) when the direction changes while a
    // seek is still pending, so the position is sought again in the new direction.
    if (backward != d->backward) {
        const double position = GetPositionSeconds();
        // Sound played backward is noise, and decoding it backward costs libmpv as much as the
        // picture: the audio track is off while playing backward. Switched before the seek
        // below, so that the seek is the last one libmpv takes.
        d->SetString("aid", backward ? "no" : "auto");
        // The long frame queue costs memory; it is needed only while playing backward.
        d->SetString("vd-queue-max-samples", backward ? kBackwardFrameQueue : kForwardFrameQueue);
        d->SetString("play-dir", backward ? "backward" : "forward");
        d->backward = backward;
        d->Seek(position);
    }
    double speed = std::abs(rate);
    d->SetAsync("speed", MPV_FORMAT_DOUBLE, &speed);
    d->speed = speed;
}

double CMediaGraph::GetRate() const {
    if (!d->mpv)
        return 0.0;
    return d->backward ? -d->speed : d->speed;
}

int CMediaGraph::StepForward(int /*direction*/) {
    if (!d->mpv || !d->hasVideo)
        return 0;
    if (d->state == MediaState::Running)
        TogglePlayPause();
    return d->Command(Reply(kUnwatched), {"frame-step"});
}

double CMediaGraph::GetPositionSeconds() const {
    if (!d->mpv)
        return 0.0;
    return d->seekTarget.value_or(d->position);
}

int CMediaGraph::SetPositionSeconds(double seconds) {
    if (!d->mpv)
        return 0;
    if (!std::isfinite(seconds))
        return MPV_ERROR_INVALID_PARAMETER;
    // libmpv reads a negative absolute time as counted from the end; a position never is.
    return d->Seek(std::max(seconds, 0.0));
}

double CMediaGraph::GetDurationSeconds() const {
    return d->mpv ? d->duration : 0.0;
}

void CMediaGraph::SetVolumeLevel(int level) {
    if (!d->mpv)
        return;
    double volume = GainToMpvVolume(VolumeLevelToGain(level));
    d->volumeLevel = MpvVolumeToLevel(volume, volume <= 0.0);
    if (volume <= 0.0) {
        d->SetFlag("mute", true);
        return;
    }
    d->SetFlag("mute", false);
    d->SetAsync("volume", MPV_FORMAT_DOUBLE, &volume);
}

int CMediaGraph::GetVolumeLevel() const {
    return d->mpv ? d->volumeLevel : 0;
}

void CMediaGraph::SetFullScreen(bool on) {
    if (d->mpv && d->host)
        d->host->SetFullScreen(on);
}

int CMediaGraph::AttachVideoHost(CVideoHost* videoHost) {
    d->SetHost(videoHost);
    return InitVideoWindow();
}

int CMediaGraph::InitVideoWindow() {
    if (!d->mpv || !d->host)
        return 0;
    d->ApplyVideoSize();
    if (!d->hasVideo)
        return 0;
    d->host->show();
    // A host that shows no picture yet, or one of another size, gets the current frame.
    if (d->host->Frame().size() != d->host->VideoRect().size())
        d->Redraw();
    return 0;
}

int CMediaGraph::GetCurrentImageSize() {
    return int(d->Capture().size());
}

bool CMediaGraph::GetCurrentImage(unsigned char* buffer, int size) {
    if (!buffer || size < 0)
        return false;
    const std::vector<unsigned char> dib = d->Capture();
    if (dib.empty() || std::size_t(size) < dib.size())
        return false;
    std::memcpy(buffer, dib.data(), dib.size());
    return true;
}

int CMediaGraph::SaveFrameAsJpeg(const QString& path) {
    // One capture for size and pixels: a playing movie could change frames between two.
    const std::vector<unsigned char> dib = d->Capture();
    if (dib.empty())
        return 0;
    return WriteDibAsJpeg(dib.data(), int(dib.size()), QFile::encodeName(path).toStdString());
}

QString CMediaGraph::FileName() const {
    return d->fileName;
}

void CMediaGraph::SetAudioOutput(const QString& audioOutput) {
    d->audioOutput = audioOutput;
}

void CMediaGraph::SetExtraOption(const QString& name, const QString& value, bool required) {
    d->extraName = name.toUtf8();
    d->extraValue = value.toUtf8();
    d->extraRequired = required;
}

EngineStatistics CMediaGraph::GetStatistics() const {
    EngineStatistics statistics;
    if (!d->mpv)
        return statistics;
    statistics.framesRendered = d->framesRendered;
    if (d->framesRendered > 0)
        statistics.meanRenderMs = double(d->renderNanos) / double(d->framesRendered) / 1e6;
    statistics.framesDropped = d->outputDrops + d->decoderDrops;
    return statistics;
}

} // namespace quello
