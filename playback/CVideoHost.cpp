#include "playback/CVideoHost.h"

#include "playback/VideoFit.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

#include <algorithm>

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

void CVideoHost::SetCaptions(std::vector<Caption> captions) {
    if (captions == m_captions)
        return;
    m_captions = std::move(captions);
    update(videoRect());
}

QPoint CVideoHost::ToVideo(QPoint point) const {
    const QRect target = videoRect();
    if (!target.contains(point) || m_videoSize.isEmpty())
        return {-1, -1};
    return {int(qint64(point.x() - target.x()) * m_videoSize.width() / target.width()),
            int(qint64(point.y() - target.y()) * m_videoSize.height() / target.height())};
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
    if (m_captions.empty() || m_videoSize.isEmpty())
        return;
    const double sx = double(target.width()) / m_videoSize.width();
    const double sy = double(target.height()) / m_videoSize.height();
    QFont font = painter.font();
    font.setPixelSize(std::max(10, target.height() / 24));
    painter.setFont(font);
    painter.setPen(Qt::white);
    for (const Caption& caption : m_captions) {
        const QRect area(target.x() + int(caption.area.x() * sx),
                         target.y() + int(caption.area.y() * sy), int(caption.area.width() * sx),
                         int(caption.area.height() * sy));
        painter.fillRect(area, Qt::black);
        painter.drawText(area, Qt::AlignCenter, caption.text);
    }
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

void CVideoHost::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        if (const QPoint at = ToVideo(event->position().toPoint()); at.x() >= 0)
            emit Clicked(at);
    }
    QWidget::mousePressEvent(event);
}

void CVideoHost::keyPressEvent(QKeyEvent* event) {
    if (m_fullScreen && event->key() == Qt::Key_Escape) {
        SetFullScreen(false);
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace quello
