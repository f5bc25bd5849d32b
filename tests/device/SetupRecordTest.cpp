// The dialog's view of a record and the Save rule. What every record and choice must keep
// (the bytes the player does not interpret, the write and update flags) the fuzz target
// checks; these pin where each field sits and what each list can show.
#include "device/SetupRecord.h"
#include "device/SettingsSaveRule.h"
#include "tests/support/SetupCfg.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <tuple>

namespace quello {
namespace {

// A record as the camera writes it: 1080P, bit 7 set, no update flag, time zone -5.
SetupRecord CameraRecord(std::uint32_t trailer = SetupRecord::kTrailer,
                         std::uint32_t magic = SetupRecord::kMagic) {
    const std::string bytes =
        test::SetupCfg({.sensitivity = {3, 7, 10}, .trailer = trailer, .magic = magic});
    SetupRecord r;
    std::copy(bytes.begin(), bytes.end(), r.bytes.begin());
    return r;
}

TEST(SettingsSaveRule, ChoiceShownForARecord) {
    // Resolution code, time zone and X sensitivity stored; the row, zone index and X shown.
    const std::array<int, 6> cases[] = {{2, 0, 3, 0, 12, 3},
                                        {14, -12, 0, 5, 0, 0},
                                        {3, 12, 10, -1, 24, 10},
                                        {8, 13, 11, 2, -1, 10},
                                        {12, -13, 255, 3, -1, 10}};
    for (const auto& [code, zone, x, row, zoneIndex, shownX] : cases) {
        SetupRecord r = CameraRecord();
        r.SetResolutionCode(code);
        r.SetTimeZone(zone);
        r.SetSensitivity(0, x);
        const SettingsChoice shown = ChoiceFromRecord(r);
        EXPECT_EQ(std::tuple(shown.resolutionIndex, shown.timeZoneIndex, shown.sensitivity[0]),
                  std::tuple(row, zoneIndex, shownX))
            << code << " " << zone << " " << x;
    }
}

TEST(SettingsSaveRule, WritesOnlyRealChanges) {
    const SetupRecord stored = CameraRecord();
    SetupRecord vga = stored, flagged = stored;
    vga.SetResolutionCode(14);
    flagged.SetUpdateFlag(true);
    const SettingsChoice same = ChoiceFromRecord(stored);
    const struct {
        const char* name;
        SetupRecord stored;
        SettingsChoice choice;
        bool write;
        const char* modeTzSens; // bytes 6..10 of the result as hex
    } cases[] = {
        {"unchanged", stored, same, false, "84fb03070a"},
        {"unchanged, flag already set", flagged, same, false, "85fb03070a"},
        {"other trailer forces a write", CameraRecord(0x01020304, 0x05060708), same, true,
         "85fb03070a"},
        {"resolution", stored, {4, 7, {3, 7, 10}}, true, "9bfb03070a"},
        {"first resolution", vga, {0, 7, {3, 7, 10}}, true, "85fb03070a"},
        {"time zone +12", stored, {0, 24, {3, 7, 10}}, true, "850c03070a"},
        {"time zone -12", stored, {0, 0, {3, 7, 10}}, true, "85f403070a"},
        {"sensitivities clamp", stored, {0, 7, {-4, 11, 99}}, true, "85fb000a0a"},
        {"no selections", stored, {-1, -1, {3, 7, 10}}, false, "84fb03070a"},
        {"selections out of range", stored, {6, 25, {3, 7, 10}}, false, "84fb03070a"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const SaveDecision d = ApplySaveRule(c.stored, c.choice);
        EXPECT_EQ(d.write, c.write);
        const std::string hex = d.record.hex();
        EXPECT_EQ(hex.substr(12, 10), c.modeTzSens);
        // Magic and trailer little-endian at 0 and 124, whatever was stored.
        EXPECT_EQ(hex.substr(0, 8) + hex.substr(248), "0e015250500e0553");
    }
}

} // namespace
} // namespace quello
