#pragma once

#include <QByteArray>
#include <QObject>

#include <mpv/client.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <mutex>

namespace quello {

// The engine's connection to libmpv: owns one mpv_handle at a time (Create .. Destroy), the
// options it is created with, and the reading of its events.
//
// Requests go out asynchronously (mpv_*_async), tagged with a reply_userdata (EngineReply.h);
// libmpv keeps their order, also against the requests that follow. A failure of a request
// sent with kUnwatched is traced here; every other answer is the event handler's.
//
// Events: libmpv's wakeup callback only signals a waiting caller and posts one event to this
// object; handling it drains every pending libmpv event into the event handler, then calls
// the drained handler. A caller that waits on the GUI thread drains through DrainEvents and
// sleeps in WaitForSignal, which any libmpv callback (Signal) ends early.
//
// Threading: GUI thread only, except Signal and PostWakeup (any thread; no libmpv calls).
class CMpvClient : public QObject {
    Q_OBJECT
public:
    using Clock = std::chrono::steady_clock;

    // Decoded frames queued ahead of the picture: a couple when playing forward (each 1080p
    // frame is 3 MB), a key-frame interval and more when playing backward.
    static constexpr const char* kForwardFrameQueue = "2";
    static constexpr const char* kBackwardFrameQueue = "40";

    CMpvClient();
    ~CMpvClient() override; // destroys the handle

    // Called for each drained event, in libmpv's order.
    void SetEventHandler(std::function<void(const mpv_event&)> handler);
    // Called after the events of a wakeup have been drained (not after DrainEvents).
    void SetDrainedHandler(std::function<void()> handler);

    // libmpv's `ao` for the following Creates; empty: libmpv's default.
    void SetAudioOutput(const QByteArray& audioOutput);
    // One more option for the following Creates, set after the engine's own (an empty name:
    // none); a `required` one that libmpv refuses fails the Create.
    void SetExtraOption(const QByteArray& name, const QByteArray& value, bool required);

    // Creates and initializes a handle with the engine's options. A failure is traced and
    // libmpv's error returned; a handle made before the failure stays until Destroy.
    int Create();
    // Lets libmpv's wakeup callback in: from here on events are drained as they come.
    void StartEvents();
    // Ends the handle; nothing it posted is handled afterwards.
    void Destroy();
    bool isOpen() const { return m_handle != nullptr; }
    mpv_handle* handle() const { return m_handle; }

    int ObserveProperty(const char* name, mpv_format format);
    void SetAsync(const char* name, mpv_format format, void* value); // failures traced
    void SetFlag(const char* name, bool on);
    void SetString(const char* name, const char* text);
    int Command(std::uint64_t reply, std::initializer_list<const char*> args);
    int GetAsync(std::uint64_t reply, const char* name, mpv_format format);

    // Hands every pending event to the event handler; true when there was any.
    bool DrainEvents();
    // As if libmpv had woken the client: the drain and the drained handler follow.
    void PostWakeup();
    // Ends a WaitForSignal early (or the next one, if none is waiting).
    void Signal();
    // Sleeps until Signal or `longest` has passed; consumes the signal.
    void WaitForSignal(Clock::duration longest);

protected:
    bool event(QEvent* event) override;

private:
    static void OnWakeup(void* context);
    void TraceUnwatchedFailure(const mpv_event& event);

    mpv_handle* m_handle = nullptr;
    QByteArray m_audioOutput;
    QByteArray m_extraName, m_extraValue;
    bool m_extraRequired = false;
    std::function<void(const mpv_event&)> m_eventHandler;
    std::function<void()> m_drainedHandler;

    // Set by the wakeup callback and cleared by the GUI thread before it drains, so one posted
    // event per burst of callbacks is enough and none is lost.
    std::atomic<bool> m_wakeupPending{false};
    // Lets a waiting caller sleep until a libmpv callback fires instead of polling.
    std::mutex m_signalMutex;
    std::condition_variable m_signalled;
    bool m_anySignal = false;
};

} // namespace quello
