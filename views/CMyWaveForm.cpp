#include "CMyWaveForm.h"

#include <QMouseEvent>
#include <QPainter>

#include <cmath>

namespace quello {

CMyWaveForm::CMyWaveForm(QWidget* parent) : QWidget(parent) {
    // All pixels come from the paint; nothing is erased before it.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(false);
    setFont(m_painter.font());
}

CMyWaveForm::~CMyWaveForm() = default;

void CMyWaveForm::SetGSensorData(const GSensorSample* samples, int count) {
    m_painter.SetGSensorData(samples, count);
    if (m_painter.sampleCount() > 0)
        m_clickedIndex = 0;
    InvalidateAll();
}

void CMyWaveForm::SetTelemetry(const TelemetrySet& telemetry) {
    m_painter.SetTelemetry(telemetry);
    if (m_painter.sampleCount() > 0 || m_painter.speedCount() > 0)
        m_clickedIndex = 0;
    InvalidateAll();
}

void CMyWaveForm::SetSpeedData(const std::int32_t* speeds, int count) {
    m_painter.SetSpeedData(speeds, count);
    if (m_painter.speedCount() > 0)
        m_clickedIndex = 0;
    InvalidateAll();
}

void CMyWaveForm::SetCursor(int sampleIndex) {
    if (m_painter.SetCursor(sampleIndex))
        InvalidateCursor();
}

void CMyWaveForm::ClearData() {
    m_painter.ClearData();
    m_clickedIndex = 0;
    InvalidateAll();
}

void CMyWaveForm::SetClipMarks(std::optional<int> inSample, std::optional<int> outSample) {
    m_painter.SetClipMarks(inSample, outSample);
    InvalidateAll();
}

void CMyWaveForm::SetEventMarks(std::vector<int> sampleIndexes) {
    m_painter.SetEventMarks(std::move(sampleIndexes));
    InvalidateAll();
    update();
}

void CMyWaveForm::ToggleSpeedView() {
    m_painter.SetSpeedView(!m_painter.isSpeedView());
    InvalidateAll();
}

void CMyWaveForm::GetCursorSample(float& x, float& y, float& z) const {
    m_painter.GetCursorSample(x, y, z);
}

bool CMyWaveForm::DrawAll(QPainter* painter) {
    if (painter == nullptr)
        return false;
    m_painter.DrawAll(*painter, size());
    return true;
}

void CMyWaveForm::SetAxisSeconds(int axisStartSecond, int axisEndSecond) {
    if (axisStartSecond == m_painter.axisStartSecond() &&
        axisEndSecond == m_painter.axisEndSecond())
        return;
    m_painter.SetAxisSeconds(axisStartSecond, axisEndSecond);
    InvalidateAll();
}

void CMyWaveForm::SetTotalSeconds(int totalSeconds) {
    if (totalSeconds == m_painter.totalSeconds())
        return;
    m_painter.SetTotalSeconds(totalSeconds);
    InvalidateCursor();
}

void CMyWaveForm::SetCurrentSecond(int currentSecond) {
    if (currentSecond == m_painter.currentSecond())
        return;
    m_painter.SetCurrentSecond(currentSecond);
    InvalidateCursor();
}

void CMyWaveForm::paintEvent(QPaintEvent*) {
    const QSize size = this->size();
    if (!m_staticValid || m_staticImage.size() != size) {
        m_staticImage = QImage(size, QImage::Format_RGB32);
        QPainter p(&m_staticImage);
        m_painter.DrawStaticLayers(p, size);
        m_staticValid = true;
        m_frameValid = false;
    }
    if (!m_frameValid) {
        m_frame = m_staticImage.copy();
        QPainter p(&m_frame);
        m_painter.DrawDynamicLayers(p, size);
        m_frameValid = true;
    }
    QPainter screen(this);
    screen.drawImage(0, 0, m_frame);
}

void CMyWaveForm::resizeEvent(QResizeEvent* event) {
    InvalidateAll();
    QWidget::resizeEvent(event);
}

void CMyWaveForm::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        emit rightClicked();
        return;
    }
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    m_clickedIndex = m_painter.IndexAt(static_cast<int>(std::floor(event->position().x())),
                                       static_cast<int>(std::floor(event->position().y())), size());
    emit clicked();
}

void CMyWaveForm::InvalidateAll() {
    m_staticValid = false;
    m_frameValid = false;
    update();
}

void CMyWaveForm::InvalidateCursor() {
    m_frameValid = false;
    update();
}

} // namespace quello
