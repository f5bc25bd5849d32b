#include "playback/CVideoHost.h"

#include "playback/VideoFit.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

namespace quello {

CVideoHost::CVideoHost(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
}

void CVideoHost::SetVideoSize(QSize size) {
    if (size == m_videoSize)
        return;
    m_videoSize = size;
    update();
    emit VideoRectChanged();
}

QRect CVideoHost::videoRect() const {
    return VideoFit(m_videoSize.width(), m_videoSize.height(), width(), height());
}

void CVideoHost::SetFrame(const QImage& frame) {
    m_frame = frame;
    update(videoRect());
}

void CVideoHost::ClearFrame() {
    m_frame = QImage();
    update();
}

void CVideoHost::SetFullScreen(bool on) {
    if (on == m_fullScreen)
        return;
    m_fullScreen = on;
    if (on) {
        m_normalGeometry = geometry();
        m_normalFlags = windowFlags();
        QScreen* target = screen();
        setWindowFlags(m_normalFlags | Qt::Window);
        // Full-screen state is a request to the window manager; without one the window keeps
        // its size, so it is given the screen's area itself.
        if (target)
            setGeometry(target->geometry());
        showFullScreen();
    } else {
        setWindowFlags(m_normalFlags);
        setGeometry(m_normalGeometry);
        show();
    }
    emit FullScreenChanged(on);
    emit VideoRectChanged();
}

void CVideoHost::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect target = videoRect();
    if (m_frame.isNull() || target.isEmpty()) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    // Black bars around the picture only; the picture itself covers the rest.
    const QRegion bars = QRegion(rect()).subtracted(target);
    for (const QRect& bar : bars)
        painter.fillRect(bar, Qt::black);
    if (m_frame.size() == target.size())
        painter.drawImage(target.topLeft(), m_frame);
    else
        painter.drawImage(target, m_frame);
}

void CVideoHost::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    emit VideoRectChanged();
}

void CVideoHost::mouseDoubleClickEvent(QMouseEvent* event) {
    emit DoubleClicked();
    // Left unaccepted so the parent window sees the double-click as well.
    QWidget::mouseDoubleClickEvent(event);
}

void CVideoHost::keyPressEvent(QKeyEvent* event) {
    if (m_fullScreen && event->key() == Qt::Key_Escape) {
        SetFullScreen(false);
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace quello
