#include "SettingsSaveRule.h"

#include "ResolutionCodeTable.h"

#include <algorithm>

namespace quello {

namespace {

constexpr int kTimeZoneOffset = 12;
constexpr int kTimeZoneEntries = 25;
constexpr int kMaxSensitivity = 10;

} // namespace

SaveDecision ApplySaveRule(const SetupRecord& stored, const SettingsChoice& choice) {
    SaveDecision decision;
    SetupRecord& next = decision.record;
    next = stored;
    // A list without a selection has nothing to say: the stored value is kept rather than
    // writing a code or zone that the user never chose.
    if (choice.resolutionIndex >= 0 && choice.resolutionIndex < int(ResolutionCodeTable.size()))
        next.SetResolutionCode(ResolutionCodeTable[std::size_t(choice.resolutionIndex)].code);
    if (choice.timeZoneIndex >= 0 && choice.timeZoneIndex < kTimeZoneEntries)
        next.SetTimeZone(choice.timeZoneIndex - kTimeZoneOffset);
    for (int axis = 0; axis < SetupRecord::kAxes && !choice.keepSensitivity; ++axis)
        next.SetSensitivity(axis, std::clamp(choice.sensitivity[axis], 0, kMaxSensitivity));
    next.SetMagic(SetupRecord::kMagic);
    next.SetTrailer(SetupRecord::kTrailer);
    if (next == stored)
        return decision;
    next.SetUpdateFlag(true);
    decision.write = true;
    return decision;
}

SettingsChoice ChoiceFromRecord(const SetupRecord& record) {
    SettingsChoice choice;
    choice.resolutionIndex = ResolutionIndexForCode(record.resolutionCode());
    const int zone = record.timeZone();
    choice.timeZoneIndex =
        (zone >= -kTimeZoneOffset && zone <= kTimeZoneOffset) ? zone + kTimeZoneOffset : -1;
    for (int axis = 0; axis < SetupRecord::kAxes; ++axis)
        choice.sensitivity[axis] = std::min(record.sensitivity(axis), kMaxSensitivity);
    return choice;
}

} // namespace quello
