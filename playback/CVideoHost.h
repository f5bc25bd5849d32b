#pragma once

#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>
#include <QWidget>

#include <vector>

namespace quello {

// The video area: a plain widget that shows the frames the media engine renders for it,
// letterboxed (VideoFit) on a black background. It owns only copies of the frames it is given;
// the engine that draws into it is not owned and may change (CMediaGraph::AttachVideoHost).
// Mouse and key events on the picture are the host's own, so a double-click on the video
// reaches it (and its event filters) also in full-screen mode.
// GUI thread only.
class CVideoHost : public QWidget {
    Q_OBJECT
public:
    explicit CVideoHost(QWidget* parent = nullptr);

    // Native size of the video shown (0 x 0: unknown, the picture then fills the area).
    void SetVideoSize(QSize size);
    QSize videoSize() const { return m_videoSize; }
    // Where the picture goes inside the widget: VideoFit of the video size into the widget.
    QRect videoRect() const;

    // Shows `frame` in videoRect() (scaled only while a frame of another size is still shown).
    void SetFrame(const QImage& frame);
    // Removes the picture: the area paints black.
    void ClearFrame();
    QImage frame() const { return m_frame; }

    // Texts drawn over parts of the picture, black boxes with the text centred (a view that
    // has no picture), in the video's own pixels; they scale with the picture.
    struct Caption {
        QRect area;
        QString text;
        bool operator==(const Caption&) const = default;
    };
    void SetCaptions(std::vector<Caption> captions);
    const std::vector<Caption>& captions() const { return m_captions; }
    // A point of the widget in the video's own pixels; nullopt-like (-1, -1) off the picture.
    QPoint ToVideo(QPoint widgetPoint) const;

    // Full screen: the widget becomes its own full-screen window, and goes back into its
    // parent at its old place when switched off. Esc in full screen switches it off.
    void SetFullScreen(bool on);
    // Named apart from QWidget::isFullScreen (the window's state): this is the host's mode.
    bool IsFullScreen() const { return m_fullScreen; }

signals:
    // videoRect() changed (resize, full screen, new video size): the picture must be redrawn.
    void VideoRectChanged();
    void DoubleClicked();
    // A left click on the picture, at the point in the video's own pixels.
    void Clicked(QPoint videoPoint);
    void FullScreenChanged(bool on);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QSize m_videoSize;
    QImage m_frame;
    std::vector<Caption> m_captions;
    bool m_fullScreen = false;
    QRect m_normalGeometry;
    Qt::WindowFlags m_normalFlags;
};

} // namespace quello
