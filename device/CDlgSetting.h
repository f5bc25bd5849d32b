#pragma once

#include "device/DeviceDrive.h"
#include "device/SetupRecord.h"

#include <QDialog>
#include <QString>

#include <array>
#include <string>
#include <vector>

class QComboBox;
class QSlider;

namespace quello {

// The "System setting" dialog: shows the camera card's resolution, time zone and G-sensor
// sensitivities from its setup.cfg and saves the changed choice back to the card.
//
// Owns its child widgets and a copy of the card's record; the caller owns the dialog. GUI
// thread only, one modal run: FindDevice (or Run) once, then exec().
class CDlgSetting : public QDialog {
    Q_OBJECT
public:
    explicit CDlgSetting(QWidget* parent = nullptr);

    // Looks for the card and shows its record. `cardRoot` (the player's --card folder, may be
    // empty) is the card when it holds a valid setup.cfg; otherwise the last qualifying
    // removable drive of `mounts` is. Without a card says "Can't find device!" and returns
    // false, leaving root and record empty.
    bool FindDevice(const QString& cardRoot, const std::vector<DriveRoot>& mounts);

    // FindDevice over the mounted drives, then the modal run: exec()'s result, or -1 when no
    // card was found (the dialog is then never shown).
    int Run(const QString& cardRoot);

    // Save (1030): writes the widgets' choice to the card when it changes the stored record.
    void Save();

    // --- Read access for tests --------------------------------------------------------------
    const std::string& deviceRoot() const { return m_root; }
    const SetupRecord& storedRecord() const { return m_record; }
    QWidget* control(int id) const;

private:
    void BuildControls();
    void ShowRecord();
    void Tell(const char* name, const char* text, bool failure);

    QComboBox* m_resolution = nullptr;
    QComboBox* m_timeZone = nullptr;
    std::array<QSlider*, SetupRecord::kAxes> m_sensitivity{};

    std::string m_root;   // the card's root folder, ending with '/'; empty until found
    SetupRecord m_record; // the record as it is on the card (after the last successful Save)
};

} // namespace quello
