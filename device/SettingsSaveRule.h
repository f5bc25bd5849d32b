#pragma once

#include "SetupRecord.h"

namespace quello {

// What the settings dialog (or the command line) has selected.
struct SettingsChoice {
    int resolutionIndex = -1; // row of ResolutionCodeTable; -1 = no selection
    int timeZoneIndex = -1;   // 0..24 = hours + 12; -1 = no selection
    int sensitivity[3] = {};  // X, Y, Z; clamped to 0..10 when saved
    // The stored sensitivity bytes stay exactly as they are (the command line without
    // --sensitivity: a stored 12 is neither shown nor saved as 10).
    bool keepSensitivity = false;
};

struct SaveDecision {
    SetupRecord record; // the record to write (equals the stored one when `write` is false)
    bool write = false; // false: nothing changed, the file must not be touched
};

// The dialog's Save: start from the stored record, put in the selected resolution code, time
// zone and sensitivities, magic and trailer. A list without a (valid) selection keeps the
// stored bits or byte. When the result differs from `stored` it carries the update flag and
// `write` is true. Pure function.
SaveDecision ApplySaveRule(const SetupRecord& stored, const SettingsChoice& choice);

// What the dialog shows for a stored record: the resolution row of its code (or -1), the time
// zone index (or -1 outside -12..12), sensitivities capped at 10. Pure function.
SettingsChoice ChoiceFromRecord(const SetupRecord& record);

} // namespace quello
