#include "CSkinSlider.h"

#include "SkinBitmaps.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>

#include <algorithm>
#include <climits>
#include <cmath>

namespace quello {
namespace {

// The channel runs from 8 pixels inside the left edge to 8 inside the right edge.
constexpr int kChannelInset = 8;
// The G-force events' colour, the same on the waveform.
const QColor kMarkColour(255, 140, 0);
// A clip's In and Out, the same on the waveform.
const QColor kClipColour(0, 220, 220);
constexpr int kThumbGrabHalfWidth = 5;
const QColor kChannelLight(110, 150, 255);
const QColor kChannelDark(13, 58, 179);

QImage ThumbWithWhiteKeyedOut() {
    QImage thumb = SkinBitmaps::Load(kBmpSliderThumb).convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < thumb.height(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(thumb.scanLine(y));
        for (int x = 0; x < thumb.width(); ++x)
            if ((line[x] | 0xFF000000) == 0xFFFFFFFF)
                line[x] = 0;
    }
    return thumb;
}

} // namespace

CSkinSlider::CSkinSlider(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
    // No background of its own: the parent's pixels show through everywhere except the
    // channel and the thumb, and they are always current.
    setAttribute(Qt::WA_NoSystemBackground);
    setAutoFillBackground(false);
}

CSkinSlider::CSkinSlider(int controlId, QWidget* parent) : CSkinSlider(parent) {
    setObjectName(QStringLiteral("ctl%1").arg(controlId));
}

CSkinSlider::~CSkinSlider() = default;

QRect CSkinSlider::channelRect() const {
    const int mid = height() / 2;
    return QRect(QPoint(kChannelInset, mid - 2), QPoint(width() - kChannelInset - 1, mid + 1));
}

int CSkinSlider::thumbCentreX() const {
    return CentreXOf(value());
}

int CSkinSlider::CentreXOf(int value) const {
    const int span = std::max(0, width() - 2 * kChannelInset);
    return kChannelInset +
           QStyle::sliderPositionFromValue(minimum(), maximum(), value, span, false);
}

void CSkinSlider::SetMarks(std::vector<int> values) {
    m_marks = std::move(values);
    update();
}

void CSkinSlider::SetClipMarks(std::optional<int> in, std::optional<int> out) {
    m_clipIn = in;
    m_clipOut = out;
    update();
}

QRect CSkinSlider::thumbRect() const {
    const int mid = height() / 2;
    return QRect(thumbCentreX() - 3, mid - 8, 6, 16);
}

int CSkinSlider::ValueAtX(int x) const {
    const int span = std::max(1, width() - 2 * kChannelInset);
    return QStyle::sliderValueFromPosition(minimum(), maximum(), x - kChannelInset, span, false);
}

void CSkinSlider::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, false);

    // Channel: upper row light blue, lower row dark blue.
    const QRect r = channelRect();
    const int mid = r.top() + (r.bottom() + 1 - r.top()) / 2;
    const int lastX = r.right() - 1;
    if (lastX >= r.left()) {
        p.fillRect(QRect(QPoint(r.left(), mid - 1), QPoint(lastX, mid)), kChannelLight);
        p.setPen(QPen(kChannelDark, 1));
        p.drawLine(r.left(), mid, lastX, mid);
    }

    // Marks: short ticks just above the channel, under the thumb.
    p.setPen(QPen(kMarkColour, 1));
    for (int value : m_marks) {
        if (value < minimum() || value > maximum())
            continue;
        const int x = CentreXOf(value);
        p.drawLine(x, r.top() - 4, x, r.top() - 1);
    }

    // The clip's span: a bar just below the channel, with the marks turned up at its ends.
    const auto x = [this](int value) { return CentreXOf(std::clamp(value, minimum(), maximum())); };
    const int below = r.bottom() + 2;
    p.setPen(QPen(kClipColour, 1));
    if (m_clipIn && m_clipOut && *m_clipIn <= *m_clipOut)
        p.drawLine(x(*m_clipIn), below, x(*m_clipOut), below);
    for (const std::optional<int>& mark : {m_clipIn, m_clipOut})
        if (mark && *mark >= minimum() && *mark <= maximum())
            p.drawLine(x(*mark), r.top() - 4, x(*mark), below);

    // Thumb, white pixels transparent, drawn 4 pixels below the thumb rectangle's top.
    const QRect t = thumbRect();
    p.drawImage(QPoint(t.left(), t.top() + 4), ThumbWithWhiteKeyedOut());
}

void CSkinSlider::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    const int x = event->position().toPoint().x();
    const int p = value();
    // The clicked value, measured over the channel's width from the widget's left edge and
    // without the range minimum, so it lands on the value a click on the channel shows.
    const int ww = width();
    int target = p;
    if (ww > 2 * kChannelInset) {
        const double t =
            double(x) / double(ww - 2 * kChannelInset) * (double(maximum()) - double(minimum()));
        target = int(std::clamp(std::trunc(t), double(INT_MIN / 2), double(INT_MAX / 2)));
    }
    const long long d = std::llabs(static_cast<long long>(target) - p);
    setPageStep(d < m_minimumPageSize ? m_minimumPageSize : int(std::min<long long>(d, INT_MAX)));
    m_buttonDown = true;
    emit grabbed();

    const int centre = thumbCentreX();
    if (std::abs(x - centre) <= kThumbGrabHalfWidth) {
        m_dragging = true;
        setSliderDown(true);
    } else {
        triggerAction(x < centre ? SliderPageStepSub : SliderPageStepAdd);
    }
    event->accept();
}

void CSkinSlider::mouseMoveEvent(QMouseEvent* event) {
    if (m_buttonDown)
        setPageStep(m_minimumPageSize);
    if (m_dragging)
        setSliderPosition(ValueAtX(event->position().toPoint().x()));
    event->accept();
}

void CSkinSlider::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    m_buttonDown = false;
    if (m_dragging) {
        m_dragging = false;
        setSliderDown(false);
    }
    event->accept();
    emit released();
}

} // namespace quello
