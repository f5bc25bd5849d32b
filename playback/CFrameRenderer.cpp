#include "playback/CFrameRenderer.h"

#include "playback/CMpvClient.h"
#include "playback/CVideoHost.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>

#include <mpv/render.h>

#include <cstdlib>
#include <cstring>

namespace quello {

namespace {

// Side of the scratch surface used when no host can show the picture.
constexpr int kScratchSide = 16;

QEvent::Type RenderEventType() {
    static const auto type = QEvent::Type(QEvent::registerEventType());
    return type;
}

void FreeAligned(void* memory) {
    std::free(memory);
}

} // namespace

CFrameRenderer::CFrameRenderer(CMpvClient& client) : m_client(client) {}

CFrameRenderer::~CFrameRenderer() {
    Destroy();
}

int CFrameRenderer::Create() {
    char apiType[] = MPV_RENDER_API_TYPE_SW;
    mpv_render_param params[] = {{MPV_RENDER_PARAM_API_TYPE, apiType},
                                 {MPV_RENDER_PARAM_INVALID, nullptr}};
    if (const int rc = mpv_render_context_create(&m_render, m_client.handle(), params); rc < 0) {
        m_render = nullptr;
        return rc;
    }
    mpv_render_context_set_update_callback(m_render, &CFrameRenderer::OnRenderUpdate, this);
    return 0;
}

void CFrameRenderer::Destroy() {
    if (m_render) {
        mpv_render_context_set_update_callback(m_render, nullptr, nullptr);
        mpv_render_context_free(m_render);
        m_render = nullptr;
    }
    QCoreApplication::removePostedEvents(this, RenderEventType());
    m_renderPending.store(false);
    m_videoSize = QSize();
    m_framesRendered = 0;
    m_renderNanos = 0;
}

void CFrameRenderer::SetHost(CVideoHost* host) {
    if (m_host != host) {
        if (m_host) {
            QObject::disconnect(m_host, nullptr, this, nullptr);
            m_host->ClearFrame();
            m_host->SetVideoSize(QSize());
        }
        m_host = host;
        if (m_host)
            connect(m_host, &CVideoHost::VideoRectChanged, this, [this] { Redraw(); });
    }
    if (m_host) {
        m_host->show();
        m_host->activateWindow();
        m_host->update();
    }
}

void CFrameRenderer::SetVideoSize(QSize size) {
    m_videoSize = size;
    if (m_host && !m_videoSize.isEmpty())
        m_host->SetVideoSize(m_videoSize);
}

void CFrameRenderer::ShowInHost() {
    if (!m_host)
        return;
    m_host->show();
    if (m_host->frame().size() != m_host->videoRect().size())
        Redraw();
}

void CFrameRenderer::ClearHost() {
    if (!m_host)
        return;
    m_host->ClearFrame();
    m_host->SetVideoSize(QSize());
}

void CFrameRenderer::RenderIfPending() {
    if (m_renderPending.exchange(false))
        RenderUpdate();
}

double CFrameRenderer::meanRenderMs() const {
    return m_framesRendered > 0 ? double(m_renderNanos) / double(m_framesRendered) / 1e6 : 0.0;
}

void CFrameRenderer::OnRenderUpdate(void* context) {
    auto* self = static_cast<CFrameRenderer*>(context);
    self->m_client.Signal();
    if (!self->m_renderPending.exchange(true))
        QCoreApplication::postEvent(self, new QEvent(RenderEventType()));
}

bool CFrameRenderer::event(QEvent* event) {
    if (event->type() != RenderEventType())
        return QObject::event(event);
    m_renderPending.store(false);
    RenderUpdate();
    return true;
}

void CFrameRenderer::RenderUpdate() {
    if (!m_render)
        return;
    if (mpv_render_context_update(m_render) & MPV_RENDER_UPDATE_FRAME)
        Render(true);
}

void CFrameRenderer::Redraw() {
    // Used when the letterbox changes or the picture moves to another host: only a frame
    // already rendered can be drawn again.
    if (m_render && !m_videoSize.isEmpty() && m_framesRendered > 0)
        Render(false);
}

void CFrameRenderer::EnsureSurface(QSize size) {
    if (m_surface.size() == size && m_surfaceBits)
        return;
    const std::size_t stride = (std::size_t(size.width()) * 4 + 63) / 64 * 64;
    auto* bits = static_cast<unsigned char*>(std::aligned_alloc(64, stride * size.height()));
    if (!bits) {
        m_surface = QImage();
        m_surfaceBits = nullptr;
        return;
    }
    std::memset(bits, 0, stride * size.height());
    // 64-byte aligned rows let libmpv's scaler write straight into the surface.
    m_surface = QImage(bits, size.width(), size.height(), qsizetype(stride), QImage::Format_RGB32,
                       FreeAligned, bits);
    m_surfaceBits = bits;
    m_surfaceStride = stride;
}

void CFrameRenderer::Render(bool newFrame) {
    if (!m_render)
        return;
    const QRect target = m_host ? m_host->videoRect() : QRect();
    const bool toHost = !target.isEmpty();
    EnsureSurface(toHost ? target.size() : QSize(kScratchSide, kScratchSide));
    if (!m_surfaceBits)
        return;

    int size[2] = {m_surface.width(), m_surface.height()};
    char format[] = "bgr0";
    std::size_t stride = m_surfaceStride;
    int block = 0; // never wait for the frame's display time on the GUI thread
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_SW_SIZE, size},
        {MPV_RENDER_PARAM_SW_FORMAT, format},
        {MPV_RENDER_PARAM_SW_STRIDE, &stride},
        {MPV_RENDER_PARAM_SW_POINTER, m_surfaceBits},
        {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &block},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    QElapsedTimer timer;
    timer.start();
    const int rc = mpv_render_context_render(m_render, params);
    if (newFrame && rc >= 0) {
        m_renderNanos += timer.nsecsElapsed();
        ++m_framesRendered;
    }
    if (toHost && rc >= 0)
        m_host->SetFrame(m_surface);
}

} // namespace quello
