#pragma once

#include "SetupRecord.h"

namespace quello {

// A choice of settings to store; each list may be left without a selection.
struct SettingsChoice {
    int resolutionIndex = -1; // row of ResolutionCodeTable; -1 = no selection
    int timeZoneIndex = -1;   // 0..24 = hours + 12; -1 = no selection
    int sensitivity[3] = {};  // X, Y, Z; clamped to 0..10 when saved
    // The stored sensitivity bytes stay exactly as they are: a stored 12 is neither read as
    // nor saved as 10.
    bool keepSensitivity = false;
};

struct SaveDecision {
    SetupRecord record; // the record to write (equals the stored one when `write` is false)
    bool write = false; // false: nothing changed, the file must not be touched
};

// The Save rule: start from the stored record, put in the selected resolution code, time
// zone and sensitivities, magic and trailer. A list without a (valid) selection keeps the
// stored bits or byte. When the result differs from `stored` it carries the update flag and
// `write` is true. Pure function.
SaveDecision ApplySaveRule(const SetupRecord& stored, const SettingsChoice& choice);

// The choice a stored record amounts to: the resolution row of its code (or -1), the time
// zone index (or -1 outside -12..12), sensitivities capped at 10. Pure function.
SettingsChoice ChoiceFromRecord(const SetupRecord& record);

} // namespace quello
