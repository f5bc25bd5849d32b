#include "GpsTimeDialog.h"

#include "recordings/GpsFolderSettings.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

namespace quello {

namespace {
constexpr int kMaxHours = static_cast<int>(GpsFolderSettings::kMaxOffsetSeconds / 3600);
} // namespace

GpsTimeDialog::GpsTimeDialog(QWidget* parent, const QString& movieName, std::int64_t offsetSeconds)
    : QDialog(parent), m_hours(new QSpinBox(this)), m_seconds(new QSpinBox(this)) {
    setObjectName(QStringLiteral("gpsTimeDialog"));
    setWindowTitle(QStringLiteral("Shift GPS time"));
    m_hours->setObjectName(QStringLiteral("hours"));
    m_hours->setRange(-kMaxHours, kMaxHours);
    m_hours->setSuffix(QStringLiteral(" h"));
    m_seconds->setObjectName(QStringLiteral("seconds"));
    m_seconds->setRange(-3599, 3599);
    m_seconds->setSuffix(QStringLiteral(" s"));
    // Hours and the rest keep the sign of the whole, so a shift shows as it was typed.
    m_hours->setValue(static_cast<int>(offsetSeconds / 3600));
    m_seconds->setValue(static_cast<int>(offsetSeconds % 3600));

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Hours:"), m_hours);
    form->addRow(QStringLiteral("Seconds:"), m_seconds);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    auto* text = new QLabel(
        QStringLiteral("Moves the GPS of %1 against its video: later with a positive shift, "
                       "earlier with a negative one.")
            .arg(movieName),
        this);
    text->setWordWrap(true);
    layout->addWidget(text);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

std::int64_t GpsTimeDialog::offsetSeconds() const {
    return std::int64_t{m_hours->value()} * 3600 + m_seconds->value();
}

std::optional<std::int64_t> GpsTimeDialog::Ask(QWidget* parent, const QString& movieName,
                                               std::int64_t offsetSeconds) {
    GpsTimeDialog dialog(parent, movieName, offsetSeconds);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.offsetSeconds();
}

} // namespace quello
