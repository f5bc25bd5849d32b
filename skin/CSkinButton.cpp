#include "CSkinButton.h"

#include "CMemPaintDC.h"
#include "SkinBitmaps.h"
#include "SkinButtonEvent.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace quello {
namespace {

constexpr QRgb kTransparentKey = 0xFFFF00FF;

QImage KeyedOut(const QImage& image) {
    QImage out = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x)
            if ((line[x] | 0xFF000000) == kTransparentKey)
                line[x] = 0;
    }
    return out;
}

} // namespace

CSkinButton::CSkinButton(int controlId, QWidget* parent)
    : QAbstractButton(parent), m_controlId(controlId) {
    setObjectName(QStringLiteral("ctl%1").arg(controlId));
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    // Every pixel is painted from an opaque image; nothing needs erasing first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

CSkinButton::~CSkinButton() = default;

QSize CSkinButton::sizeHint() const {
    return m_images[0].isNull() ? QSize(24, 24) : m_images[0].size();
}

bool CSkinButton::LoadSkin(int bitmapId, int frameCount, int top, int bottom, int left, int right) {
    const QImage strip = SkinBitmaps::Load(bitmapId);
    return LoadSkinImage(strip, frameCount, top, bottom, left, right);
}

bool CSkinButton::LoadSkinImage(const QImage& strip, int frameCount, int top, int bottom, int left,
                                int right) {
    m_top = top;
    m_bottom = bottom;
    m_left = left;
    m_right = right;
    if (strip.isNull() || frameCount < 1)
        return false;
    for (int k : {0, 1, 3, 2})
        if (!BuildStateImage(strip, frameCount, k))
            return false;
    update();
    return true;
}

bool CSkinButton::BuildStateImage(const QImage& strip, int frameCount, int k) {
    const int fw = strip.width() / frameCount;
    const int fh = strip.height();
    const int sx = k * fw;
    const int w = width();
    const int h = height();
    const int t = m_top, b = m_bottom, l = m_left, r = m_right;

    // The corners are copied unscaled; a frame outside the strip, or a corner that does not
    // fit the frame or the button, fails the build instead of reading or writing outside the
    // images.
    const QRect frame(sx, 0, fw, fh);
    const QRect client(0, 0, w, h);
    if (frame.isEmpty() || !strip.rect().contains(frame))
        return false;
    const struct {
        QRect dst, src;
    } corners[] = {
        {{0, 0, l, t}, {sx, 0, l, t}},
        {{0, h - b, l, b}, {sx, fh - b, l, b}},
        {{w - r, 0, r, t}, {sx + fw - r, 0, r, t}},
        {{w - r, h - b, r, b}, {sx + fw - r, fh - b, r, b}},
    };
    for (const auto& c : corners) {
        if (c.dst.width() < 0 || c.dst.height() < 0)
            return false;
        if (!c.dst.isEmpty() && (!frame.contains(c.src) || !client.contains(c.dst)))
            return false;
    }

    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter p(&image);
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    for (const auto& c : corners)
        p.drawImage(c.dst.topLeft(), strip, c.src);
    // Centre and edges are stretched to fit; empty pieces draw nothing.
    const struct {
        QRect dst, src;
    } stretched[] = {
        {{l, t, w - r - l, h - b - t}, {sx + l, t, fw - r - l, fh - b - t}},
        {{l, 0, w - r - l, t}, {sx + l, 0, fw - r - l, t}},
        {{l, h - b, w - r - l, b}, {sx + l, fh - b, fw - r - l, b}},
        {{0, t, l, h - b - t}, {sx, t, l, fh - b - t}},
        {{w - r, t, r, h - b - t}, {sx + fw - r, t, r, fh - b - t}},
    };
    for (const auto& s : stretched)
        if (!s.dst.isEmpty() && !s.src.isEmpty())
            p.drawImage(s.dst, strip, s.src);
    p.end();

    m_images[k] = KeyedOut(image);
    m_skinned = true;
    return true;
}

void CSkinButton::DrawState(CMemPaintDC& dc, int k) const {
    if (!m_skinned || k < 0 || k > 3 || m_images[k].isNull())
        return;
    dc->drawImage(QPoint(0, 0), m_images[k]);
}

void CSkinButton::paintEvent(QPaintEvent*) {
    CMemPaintDC dc(this, rect(), palette().color(QPalette::Button));
    if (m_mouseImage >= 0) {
        DrawState(dc, m_mouseImage);
        return;
    }
    QRect textRect = rect();
    QColor textColour = m_font.textColor();
    if (hasFocus()) {
        DrawState(dc, 2);
        if (isDown()) {
            DrawState(dc, 1);
            textRect.setLeft(textRect.left() + 5);
        }
    } else if (!isEnabled()) {
        DrawState(dc, 3);
        textColour = palette().color(QPalette::Disabled, QPalette::WindowText);
    } else {
        DrawState(dc, 0);
    }
    if (!text().isEmpty()) {
        dc->setFont(m_font.font());
        dc->setPen(textColour);
        dc->drawText(textRect, Qt::AlignCenter | Qt::TextSingleLine, text());
    }
}

bool CSkinButton::IsInside(QPoint p) const {
    // Strictly inside: the outermost ring of pixels counts as outside.
    return 0 < p.x() && p.x() < width() - 1 && 0 < p.y() && p.y() < height() - 1;
}

void CSkinButton::ShowMouseImage(int k) {
    m_mouseImage = k;
    repaint();
}

void CSkinButton::PostToParent(QEvent::Type type) {
    if (QWidget* parent = parentWidget())
        QCoreApplication::postEvent(parent, new SkinButtonEvent(type, m_controlId));
}

void CSkinButton::mouseMoveEvent(QMouseEvent* event) {
    QAbstractButton::mouseMoveEvent(event);
    ShowMouseImage(IsInside(event->position().toPoint()) ? 1 : 0);
}

void CSkinButton::leaveEvent(QEvent* event) {
    // Stands in for the move that leaves the button: the pointer is no longer over it.
    QAbstractButton::leaveEvent(event);
    ShowMouseImage(0);
}

void CSkinButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractButton::mousePressEvent(event);
        return;
    }
    PostToParent(kSkinButtonPressed);
    QAbstractButton::mousePressEvent(event);
    // Drawn after the default handling so it covers whatever that repainted.
    ShowMouseImage(2);
}

void CSkinButton::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractButton::mouseReleaseEvent(event);
        return;
    }
    PostToParent(kSkinButtonReleased);
    QAbstractButton::mouseReleaseEvent(event);
    ShowMouseImage(3);
}

void CSkinButton::focusInEvent(QFocusEvent* event) {
    m_mouseImage = -1;
    QAbstractButton::focusInEvent(event);
    update();
}

void CSkinButton::focusOutEvent(QFocusEvent* event) {
    m_mouseImage = -1;
    QAbstractButton::focusOutEvent(event);
    update();
}

void CSkinButton::keyPressEvent(QKeyEvent* event) {
    m_mouseImage = -1;
    QAbstractButton::keyPressEvent(event);
    update();
}

void CSkinButton::keyReleaseEvent(QKeyEvent* event) {
    m_mouseImage = -1;
    QAbstractButton::keyReleaseEvent(event);
    update();
}

void CSkinButton::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange) {
        m_mouseImage = -1;
        update();
    }
    QAbstractButton::changeEvent(event);
}

void CSkinButton::showEvent(QShowEvent* event) {
    m_mouseImage = -1;
    QAbstractButton::showEvent(event);
}

} // namespace quello
