#pragma once

#include "cameras/CarSignals.h"

#include <QWidget>

#include <optional>

namespace quello {

// The car's own signals of the second on screen, one line in the window's panel
// (CarSignalsPainter) in the window's font and text colour, over the panel's artwork. Hidden
// while it has no second to show, so a recording without the car's signals looks as it
// always did. Takes no clicks.
// Ownership: a child widget, owned by its parent. Threading: GUI thread only.
class CCarSignalsBar : public QWidget {
    Q_OBJECT
public:
    explicit CCarSignalsBar(QWidget* parent = nullptr);
    ~CCarSignalsBar() override;

    // Shows `second` (copied); null hides the bar. Repaints only on a change.
    void SetSecond(const CarSecond* second);
    // What the bar shows in words (CarSignalsPainter::Text()); empty while hidden.
    QString text() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::optional<CarSecond> m_second;
};

} // namespace quello
