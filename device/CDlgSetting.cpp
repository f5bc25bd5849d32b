#include "CDlgSetting.h"

#include "device/ResolutionCodeTable.h"
#include "device/SettingsSaveRule.h"
#include "skin/DialogUnits.h"

#include <QComboBox>
#include <QFont>
#include <QFrame>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>

namespace quello {

namespace {

constexpr int kIdResolution = 1026;
constexpr int kIdResolutionLabel = 1027;
constexpr int kIdTimeZoneLabel = 1029;
constexpr int kIdSave = 1030;
constexpr int kIdSensitivityX = 1031;
constexpr int kIdSensitivityValueX = 1034;
constexpr int kIdSensitivityCaption = 1037;
constexpr int kIdSyncTime = 1038;
constexpr int kIdReset = 1039;
constexpr int kIdCancel = 1040;
constexpr int kIdTimeZone = 1042;

constexpr DialogUnitRect kDialogRect{0, 0, 272, 155};
constexpr int kMaxTimeZone = 12;
constexpr int kMaxSensitivity = 10;
constexpr int kFirstSliderTop = 80; // dialog units; the Y and Z rows follow 16 units apart
constexpr int kSliderRowStep = 16;

} // namespace

CDlgSetting::CDlgSetting(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("settingDialog"));
    setWindowTitle(QStringLiteral("System setting"));
    // A caption bar only: no window menu, close box or context help.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setModal(true);
    setFixedSize(DialogUnitsToPixels(kDialogRect).size());

    // 9 pt at the 96 dpi the dialog units are measured for, so the text fits its places
    // whatever the screen's dpi.
    QFont dialogFont(QStringList{QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    dialogFont.setPixelSize(12);
    setFont(dialogFont);

    BuildControls();
}

void CDlgSetting::BuildControls() {
    PlaceInDialogUnits(new QLabel(QStringLiteral("Resolution:"), this), kIdResolutionLabel,
                       {14, 16, 56, 8});
    m_resolution = PlaceInDialogUnits(new QComboBox(this), kIdResolution, {74, 13, 110, 14});
    for (const ResolutionCodeRow& row : ResolutionCodeTable)
        m_resolution->addItem(QString::fromUtf8(row.text));

    PlaceInDialogUnits(new QLabel(QStringLiteral("Time zone:"), this), kIdTimeZoneLabel,
                       {14, 36, 56, 8});
    m_timeZone = PlaceInDialogUnits(new QComboBox(this), kIdTimeZone, {74, 33, 44, 14});
    for (int hours = -kMaxTimeZone; hours <= kMaxTimeZone; ++hours)
        m_timeZone->addItem(hours > 0 ? QStringLiteral("+%1").arg(hours) : QString::number(hours));

    PlaceInDialogUnits(new QLabel(QStringLiteral("G-Sensor Sensitivity"), this),
                       kIdSensitivityCaption, {14, 56, 78, 8});
    auto* rule = PlaceInDialogUnits(new QFrame(this), 0, {94, 59, 164, 2});
    rule->setFrameStyle(QFrame::HLine | QFrame::Sunken);

    PlaceInDialogUnits(new QLabel(QStringLiteral("0"), this), 0, {40, 70, 12, 8});
    PlaceInDialogUnits(new QLabel(QStringLiteral("10"), this), 0, {196, 70, 12, 8})
        ->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    const char* const axisNames[SetupRecord::kAxes] = {"X:", "Y:", "Z:"};
    for (int axis = 0; axis < SetupRecord::kAxes; ++axis) {
        const int top = kFirstSliderTop + axis * kSliderRowStep;
        PlaceInDialogUnits(new QLabel(QString::fromLatin1(axisNames[axis]), this), 0,
                           {24, top + 2, 12, 8});
        auto* slider = PlaceInDialogUnits(new QSlider(Qt::Horizontal, this), kIdSensitivityX + axis,
                                          {40, top, 168, 12});
        slider->setRange(0, kMaxSensitivity);
        slider->setTickPosition(QSlider::NoTicks);
        auto* value = PlaceInDialogUnits(new QLabel(QStringLiteral("0"), this),
                                         kIdSensitivityValueX + axis, {214, top + 2, 16, 8});
        connect(slider, &QSlider::valueChanged, value,
                [value](int position) { value->setText(QString::number(position)); });
        m_sensitivity[std::size_t(axis)] = slider;
    }

    // Part of the form but without a command here, so never shown.
    PlaceInDialogUnits(new QPushButton(QStringLiteral("Sync time"), this), kIdSyncTime,
                       {14, 134, 50, 14})
        ->hide();
    PlaceInDialogUnits(new QPushButton(QStringLiteral("Reset"), this), kIdReset, {68, 134, 50, 14})
        ->hide();

    auto* save = PlaceInDialogUnits(new QPushButton(QStringLiteral("Save"), this), kIdSave,
                                    {150, 134, 50, 14});
    connect(save, &QPushButton::clicked, this, &CDlgSetting::Save);
    auto* cancel = PlaceInDialogUnits(new QPushButton(QStringLiteral("Cancel"), this), kIdCancel,
                                      {208, 134, 50, 14});
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

QWidget* CDlgSetting::control(int id) const {
    return findChild<QWidget*>(QStringLiteral("ctl%1").arg(id));
}

bool CDlgSetting::FindDevice(const QString& cardRoot, const std::vector<DriveRoot>& mounts) {
    // The folder is examined on its own so that a card on a later removable drive can't win
    // over the one the player was started with.
    const bool found = FindDeviceDrive({DriveRoot{cardRoot.toUtf8().toStdString(), true, false}},
                                       m_root, m_record) ||
                       FindDeviceDrive(mounts, m_root, m_record);
    if (!found) {
        Tell("noDeviceBox", "Can't find device!", true);
        return false;
    }
    ShowRecord();
    return true;
}

int CDlgSetting::Run(const QString& cardRoot) {
    if (!FindDevice(cardRoot, ListMountedDrives()))
        return -1;
    return exec();
}

void CDlgSetting::ShowRecord() {
    const SettingsChoice shown = ChoiceFromRecord(m_record);
    m_resolution->setCurrentIndex(shown.resolutionIndex);
    m_timeZone->setCurrentIndex(shown.timeZoneIndex);
    for (int axis = 0; axis < SetupRecord::kAxes; ++axis)
        m_sensitivity[std::size_t(axis)]->setValue(shown.sensitivity[axis]);
}

void CDlgSetting::Save() {
    if (m_root.empty()) {
        Tell("saveFailedBox", "Save data failed!", true);
        return;
    }
    SettingsChoice choice;
    choice.resolutionIndex = m_resolution->currentIndex();
    choice.timeZoneIndex = m_timeZone->currentIndex();
    for (int axis = 0; axis < SetupRecord::kAxes; ++axis)
        choice.sensitivity[axis] = m_sensitivity[std::size_t(axis)]->value();

    const SaveDecision decision = ApplySaveRule(m_record, choice);
    if (decision.write) {
        // On failure the stored record stays, so the next Save tries the same write again.
        if (!WriteSetupRecord(m_root, decision.record)) {
            Tell("saveFailedBox", "Save data failed!", true);
            return;
        }
        m_record = decision.record;
    }
    Tell("saveSucceededBox", "Success!", false);
}

void CDlgSetting::Tell(const char* name, const char* text, bool failure) {
    QMessageBox box(failure ? QMessageBox::Warning : QMessageBox::Information,
                    QStringLiteral("System setting"), QString::fromLatin1(text), QMessageBox::Ok,
                    this);
    box.setObjectName(QString::fromLatin1(name));
    box.exec();
}

} // namespace quello
