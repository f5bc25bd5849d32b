#include "playback/CMpvClient.h"

#include "playback/EngineReply.h"
#include "playback/EngineTrace.h"

#include <QCoreApplication>
#include <QEvent>

#include <vector>

namespace quello {

namespace {

QEvent::Type WakeupEventType() {
    static const auto type = QEvent::Type(QEvent::registerEventType());
    return type;
}

} // namespace

CMpvClient::CMpvClient() = default;

CMpvClient::~CMpvClient() {
    Destroy();
}

void CMpvClient::SetEventHandler(std::function<void(const mpv_event&)> handler) {
    m_eventHandler = std::move(handler);
}

void CMpvClient::SetDrainedHandler(std::function<void()> handler) {
    m_drainedHandler = std::move(handler);
}

void CMpvClient::SetAudioOutput(const QByteArray& audioOutput) {
    m_audioOutput = audioOutput;
}

void CMpvClient::SetExtraOption(const QByteArray& name, const QByteArray& value, bool required) {
    m_extraName = name;
    m_extraValue = value;
    m_extraRequired = required;
}

int CMpvClient::Create() {
    m_handle = mpv_create();
    if (!m_handle) {
        TraceFailure("FAILED(hr=0x%x) in mpv_create()\n", MPV_ERROR_NOMEM);
        return MPV_ERROR_NOMEM;
    }
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
    // Software rendering scales every frame on the GUI thread: libswscale's area filter
    // on its SIMD paths (sws-fast) costs three quarters of zimg's bilinear (1.1 against
    // 1.5 ms for 1080p to 730x410) and looks the same at that size. A captured frame is
    // converted by zimg instead (CFrameCapture): its colours are the accurate ones. Fast
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
        {"sws-allow-zimg", "no", false},
        {"sws-scaler", "area", false},
        {"sws-fast", "yes", false},
        {"audio-pitch-correction", "no", false},
        // Backward playback decodes a whole key-frame interval before it shows its last
        // frame: a queue of decoded frames (long only while playing backward, see
        // CMediaGraph::SetRateIndex) keeps the next interval decoding while this one is shown.
        {"vd-queue-enable", "yes", false},
        {"vd-queue-max-samples", kForwardFrameQueue, false},
        {"vd-queue-max-bytes", "200000000", false},
        {"vd-queue-max-secs", "2", false},
        {"ao", m_audioOutput.isEmpty() ? nullptr : m_audioOutput.constData(), true},
        {m_extraName.constData(), m_extraName.isEmpty() ? nullptr : m_extraValue.constData(),
         m_extraRequired},
    };
    for (const Option& option : options) {
        if (!option.value)
            continue;
        const int rc = mpv_set_option_string(m_handle, option.name, option.value);
        if (rc >= 0)
            continue;
        qCDebug(lcEngine, "libmpv refused option %s=%s (%s)%s", option.name, option.value,
                mpv_error_string(rc), option.required ? "" : ", left out");
        if (option.required) {
            TraceFailure("FAILED(hr=0x%x) in mpv_set_option_string(mpv, name, value)\n", rc);
            return rc;
        }
    }
    if (const int rc = mpv_initialize(m_handle); rc < 0) {
        TraceFailure("FAILED(hr=0x%x) in mpv_initialize(mpv)\n", rc);
        return rc;
    }
    return 0;
}

void CMpvClient::StartEvents() {
    if (m_handle)
        mpv_set_wakeup_callback(m_handle, &CMpvClient::OnWakeup, this);
}

void CMpvClient::Destroy() {
    if (!m_handle)
        return;
    mpv_set_wakeup_callback(m_handle, nullptr, nullptr);
    mpv_terminate_destroy(m_handle);
    m_handle = nullptr;
    QCoreApplication::removePostedEvents(this, WakeupEventType());
    m_wakeupPending.store(false);
    std::lock_guard lock(m_signalMutex);
    m_anySignal = false;
}

int CMpvClient::ObserveProperty(const char* name, mpv_format format) {
    return mpv_observe_property(m_handle, 0, name, format);
}

void CMpvClient::SetAsync(const char* name, mpv_format format, void* value) {
    if (const int rc = mpv_set_property_async(m_handle, Reply(kUnwatched), name, format, value);
        rc < 0)
        TraceFailure("FAILED(hr=0x%x) in mpv_set_property_async(mpv, name, value)\n", rc);
}

void CMpvClient::SetFlag(const char* name, bool on) {
    int value = on ? 1 : 0;
    SetAsync(name, MPV_FORMAT_FLAG, &value);
}

void CMpvClient::SetString(const char* name, const char* text) {
    SetAsync(name, MPV_FORMAT_STRING, &text);
}

int CMpvClient::Command(std::uint64_t reply, std::initializer_list<const char*> args) {
    std::vector<const char*> argv(args);
    argv.push_back(nullptr);
    return mpv_command_async(m_handle, reply, argv.data());
}

int CMpvClient::GetAsync(std::uint64_t reply, const char* name, mpv_format format) {
    return mpv_get_property_async(m_handle, reply, name, format);
}

bool CMpvClient::DrainEvents() {
    if (!m_handle)
        return false;
    bool any = false;
    while (const mpv_event* event = mpv_wait_event(m_handle, 0)) {
        if (event->event_id == MPV_EVENT_NONE)
            break;
        any = true;
        TraceUnwatchedFailure(*event);
        if (m_eventHandler)
            m_eventHandler(*event);
    }
    return any;
}

void CMpvClient::TraceUnwatchedFailure(const mpv_event& event) {
    if (event.error >= 0 || event.reply_userdata != Reply(kUnwatched))
        return;
    if (event.event_id == MPV_EVENT_SET_PROPERTY_REPLY)
        TraceFailure("FAILED(hr=0x%x) in mpv_set_property_async(mpv, name, value)\n", event.error);
    else if (event.event_id == MPV_EVENT_COMMAND_REPLY)
        TraceFailure("FAILED(hr=0x%x) in mpv_command_async(mpv, args)\n", event.error);
}

void CMpvClient::OnWakeup(void* context) {
    static_cast<CMpvClient*>(context)->PostWakeup();
}

void CMpvClient::PostWakeup() {
    Signal();
    if (!m_wakeupPending.exchange(true))
        QCoreApplication::postEvent(this, new QEvent(WakeupEventType()));
}

void CMpvClient::Signal() {
    {
        std::lock_guard lock(m_signalMutex);
        m_anySignal = true;
    }
    m_signalled.notify_one();
}

void CMpvClient::WaitForSignal(Clock::duration longest) {
    std::unique_lock lock(m_signalMutex);
    m_signalled.wait_for(lock, longest, [this] { return m_anySignal; });
    m_anySignal = false;
}

bool CMpvClient::event(QEvent* event) {
    if (event->type() != WakeupEventType())
        return QObject::event(event);
    m_wakeupPending.store(false);
    if (!m_handle)
        return true;
    DrainEvents();
    if (m_drainedHandler)
        m_drainedHandler();
    return true;
}

} // namespace quello
