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
    if (size == videoSize_)
        return;
    videoSize_ = size;
    update();
    emit VideoRectChanged();
}

QRect CVideoHost::VideoRect() const {
    return VideoFit(videoSize_.width(), videoSize_.height(), width(), height());
}

void CVideoHost::SetFrame(const QImage& frame) {
    frame_ = frame;
    update(VideoRect());
}

void CVideoHost::ClearFrame() {
    frame_ = QImage();
    update();
}

void CVideoHost::SetFullScreen(bool on) {
    if (on == fullScreen_)
        return;
    fullScreen_ = on;
    if (on) {
        normalGeometry_ = geometry();
        normalFlags_ = windowFlags();
        QScreen* target = screen();
        setWindowFlags(normalFlags_ | Qt::Window);
        // Full-screen state is a request to the window manager; without one the window keeps
        // its size, so it is given the screen's area itself.
        if (target)
            setGeometry(target->geometry());
        showFullScreen();
    } else {
        setWindowFlags(normalFlags_);
        setGeometry(normalGeometry_);
        show();
    }
    emit FullScreenChanged(on);
    emit VideoRectChanged();
}

void CVideoHost::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect target = VideoRect();
    if (frame_.isNull() || target.isEmpty()) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    // Black bars around the picture only; the picture itself covers the rest.
    const QRegion bars = QRegion(rect()).subtracted(target);
    for (const QRect& bar : bars)
        painter.fillRect(bar, Qt::black);
    if (frame_.size() == target.size())
        painter.drawImage(target.topLeft(), frame_);
    else
        painter.drawImage(target, frame_);
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
    if (fullScreen_ && event->key() == Qt::Key_Escape) {
        SetFullScreen(false);
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace quello
