#pragma once

#include <QDialog>

#include <cstdint>
#include <optional>

class QSpinBox;

namespace quello {

// "Shift GPS time…": asks for the clock correction of a recording's GPS, as hours and seconds
// either way, which add up to one offset in seconds. Cameras that store local time as if it
// were UTC are off by whole hours; a clock that drifted, by seconds. GUI thread only.
class GpsTimeDialog : public QDialog {
    Q_OBJECT
public:
    GpsTimeDialog(QWidget* parent, const QString& movieName, std::int64_t offsetSeconds);

    std::int64_t offsetSeconds() const;

    // Shows the dialog; the offset chosen, or nothing when it was cancelled.
    static std::optional<std::int64_t> Ask(QWidget* parent, const QString& movieName,
                                           std::int64_t offsetSeconds);

private:
    QSpinBox* m_hours;
    QSpinBox* m_seconds;
};

} // namespace quello
