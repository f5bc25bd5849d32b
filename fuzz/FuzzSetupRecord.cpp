// The card search reading setup.cfg, then the settings Save rule on the record it found.
// The input's first 128 bytes are the record; the file holds the whole input. Bytes after the
// record choose the settings; without them the choice is what the dialog shows for the record.

#include "FuzzSupport.h"

#include "device/DeviceDrive.h"
#include "device/ResolutionCodeTable.h"
#include "device/SettingsSaveRule.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstring>

using namespace quello;

namespace {

std::uint32_t LittleEndian(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

SettingsChoice ChoiceFromBytes(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider provider(data, size);
    SettingsChoice choice;
    choice.resolutionIndex = provider.ConsumeIntegralInRange<int>(-2, 7);
    choice.timeZoneIndex = provider.ConsumeIntegralInRange<int>(-2, 26);
    for (int& value : choice.sensitivity)
        value = provider.ConsumeIntegral<int>();
    choice.keepSensitivity = provider.ConsumeBool();
    return choice;
}

void CheckSaveRule(const SetupRecord& stored, const SettingsChoice& choice, bool fromRecord) {
    const SaveDecision decision = ApplySaveRule(stored, choice);
    const SetupRecord& next = decision.record;
    const auto& before = stored.bytes;
    const auto& after = next.bytes;
    if (next.magic() != SetupRecord::kMagic || next.trailer() != SetupRecord::kTrailer)
        fuzz::Fail("magic or trailer not set");
    if (after[4] != before[4] || after[5] != before[5] ||
        !std::equal(before.begin() + 11, before.begin() + 124, after.begin() + 11))
        fuzz::Fail("a byte the player does not interpret changed");
    if (decision.write != (next != stored))
        fuzz::Fail("write flag disagrees with the records' equality");
    if (decision.write && !next.updateFlag())
        fuzz::Fail("a changed record without the update flag");
    if ((after[6] & 0x80) != (before[6] & 0x80))
        fuzz::Fail("bit 7 of the mode byte changed");

    const bool validResolution =
        choice.resolutionIndex >= 0 && choice.resolutionIndex < int(ResolutionCodeTable.size());
    const int expectedCode = validResolution
                                 ? ResolutionCodeTable[std::size_t(choice.resolutionIndex)].code
                                 : stored.resolutionCode();
    if (next.resolutionCode() != expectedCode)
        fuzz::Fail("resolution code is not the chosen or the stored one");
    const bool validZone = choice.timeZoneIndex >= 0 && choice.timeZoneIndex <= 24;
    if (next.timeZone() != (validZone ? choice.timeZoneIndex - 12 : stored.timeZone()))
        fuzz::Fail("time zone is not the chosen or the stored one");
    for (int axis = 0; axis < SetupRecord::kAxes; ++axis) {
        const int expected = choice.keepSensitivity ? stored.sensitivity(axis)
                                                    : std::clamp(choice.sensitivity[axis], 0, 10);
        if (next.sensitivity(axis) != expected)
            fuzz::Fail("sensitivity " + std::to_string(axis) + " is wrong");
    }
    // Saving what the dialog shows changes only what the dialog cannot show as stored: a
    // trailer other than the card's and sensitivities above 10.
    if (fromRecord) {
        bool changes = stored.trailer() != SetupRecord::kTrailer;
        for (int axis = 0; axis < SetupRecord::kAxes; ++axis)
            changes = changes || stored.sensitivity(axis) > 10;
        if (decision.write != changes)
            fuzz::Fail("saving the shown settings unchanged gives the wrong write flag");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::WriteScratchFile("setup.cfg", data, size);
    // Given without its trailing '/': the search must add it.
    std::string folder = fuzz::ScratchDir();
    folder.pop_back();
    const std::vector<DriveRoot> drives{{folder, true, false}, {folder + "/", true, true}};
    std::string root = "untouched";
    SetupRecord record;
    record.bytes.fill(0xa5);
    const SetupRecord untouched = record;
    const bool found = FindDeviceDrive(drives, root, record);

    const bool valid = size >= SetupRecord::kSize && LittleEndian(data) == SetupRecord::kMagic &&
                       LittleEndian(data + 124) != 0;
    if (found != valid)
        fuzz::Fail(valid ? "a valid record was not found" : "an invalid record was taken");
    if (!found) {
        if (root != "untouched" || record != untouched)
            fuzz::Fail("outputs written although no card was found");
        return 0;
    }
    if (root != fuzz::ScratchDir())
        fuzz::Fail("root reported as " + root);
    if (std::memcmp(record.bytes.data(), data, SetupRecord::kSize) != 0)
        fuzz::Fail("record differs from the file's first 128 bytes");

    if (size > SetupRecord::kSize)
        CheckSaveRule(record, ChoiceFromBytes(data + SetupRecord::kSize, size - SetupRecord::kSize),
                      false);
    else
        CheckSaveRule(record, ChoiceFromRecord(record), true);
    return 0;
}
