// A push button drawn from a four-frame skin strip: 0 normal, 1 pointer over it, 2 pressed
// or focused, 3 released or disabled. Each frame is cut into nine pieces and fitted to the
// button's size once, when the skin is loaded. Left-button press and release also post
// SkinButtonEvent 15000 / 15001 with the control id to the parent; clicked() works as usual.
// Ownership: a child widget of its parent. Threading: GUI thread only.
#pragma once

#include "SkinFont.h"

#include <QAbstractButton>
#include <QEvent>
#include <QImage>
#include <array>

namespace quello {

class CMemPaintDC;

class CSkinButton : public QAbstractButton {
    Q_OBJECT
public:
    // The button's objectName becomes "ctl<controlId>".
    explicit CSkinButton(int controlId, QWidget* parent = nullptr);
    ~CSkinButton() override;

    int controlId() const { return m_controlId; }

    // Builds the four state images from skin bitmap `bitmapId`, a strip of `frameCount` equal
    // frames, with the given border widths kept unscaled. Call after the button has its final
    // size: the images keep that size. False when the bitmap cannot be loaded or a border does
    // not fit the frame or the button; images built before the failure stay.
    bool LoadSkin(int bitmapId, int frameCount, int top, int bottom, int left, int right);
    // The same from a strip image.
    bool LoadSkinImage(const QImage& strip, int frameCount, int top, int bottom, int left,
                       int right);

    // Draws state image k (0..3) into the painter, leaving it untouched where the image is
    // magenta; nothing when the button is not skinned or k is out of range.
    void DrawState(CMemPaintDC& dc, int k) const;

    bool isSkinned() const { return m_skinned; }
    SkinFont& skinFont() { return m_font; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    bool BuildStateImage(const QImage& strip, int frameCount, int k);
    bool IsInside(QPoint p) const;
    void ShowMouseImage(int k);
    void PostToParent(QEvent::Type type);

    int m_controlId;
    int m_top = 8, m_bottom = 8, m_left = 8, m_right = 17;
    bool m_skinned = false;
    // State images with magenta already turned transparent.
    std::array<QImage, 4> m_images;
    SkinFont m_font{QStringLiteral("Arial")};
    // The image the last mouse event chose; it stays on screen until the button's own state
    // (focus, pushed, enabled) next changes. -1: paint from that state.
    int m_mouseImage = -1;
};

} // namespace quello
