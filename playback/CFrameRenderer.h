#pragma once

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QSize>

#include <atomic>
#include <cstddef>
#include <cstdint>

struct mpv_render_context;

namespace quello {

class CMpvClient;
class CVideoHost;

// The render side of the engine: owns libmpv's software render context on the client's
// handle (Create .. Destroy) and the surface frames are rendered into, and hands each rendered
// frame to the video host at the size of its picture area. Without a host that can show it,
// a frame still goes through a tiny scratch surface: libmpv's video output stalls unless
// every frame is rendered somewhere.
//
// libmpv's render-update callback only signals the client's wait and posts one event to this
// object; the frame is rendered when that event is handled, or earlier by a caller that waits
// (RenderIfPending). A change of the host's picture area redraws the current frame.
//
// Ownership: the client and the host are not owned; the host may be destroyed first.
// Threading: GUI thread only, except the render-update callback (no libmpv calls there).
class CFrameRenderer : public QObject {
    Q_OBJECT
public:
    explicit CFrameRenderer(CMpvClient& client);
    ~CFrameRenderer() override; // destroys the render context

    // libmpv's error code when the render context cannot be made.
    int Create();
    // Frees the render context; the statistics and the video size start again.
    void Destroy();

    // Moves the picture into `host` (null: none); the old host is left black, without size.
    void SetHost(CVideoHost* host);
    CVideoHost* host() const { return m_host; }
    // The movie's display size, handed to the host; empty while there is no picture.
    void SetVideoSize(QSize size);
    // Shows the host and gives it the current frame when it shows none, or one of another
    // size.
    void ShowInHost();
    // Removes the picture and its size from the host.
    void ClearHost();

    // Renders the frame libmpv announced, if it announced one since the last render.
    void RenderIfPending();

    std::int64_t framesRendered() const { return m_framesRendered; }
    double meanRenderMs() const; // 0 before the first frame

protected:
    bool event(QEvent* event) override;

private:
    static void OnRenderUpdate(void* context);
    void RenderUpdate();
    // Draws the current frame; without a new frame libmpv redraws the last one.
    void Render(bool newFrame);
    void Redraw();
    void EnsureSurface(QSize size);

    CMpvClient& m_client;
    mpv_render_context* m_render = nullptr;
    QPointer<CVideoHost> m_host;
    QSize m_videoSize;

    // Set by the render-update callback, cleared by the GUI thread before it renders.
    std::atomic<bool> m_renderPending{false};

    QImage m_surface; // rendering target; its pixels are written through m_surfaceBits
    unsigned char* m_surfaceBits = nullptr;
    std::size_t m_surfaceStride = 0;

    std::int64_t m_framesRendered = 0;
    std::int64_t m_renderNanos = 0;
};

} // namespace quello
