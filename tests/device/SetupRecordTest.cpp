#include "device/SetupRecord.h"
#include "device/ResolutionCodeTable.h"
#include "device/SettingsSaveRule.h"
#include "tests/support/SetupCfg.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace quello {
namespace {

// A record as the camera writes it: 1080P, bit 7 set, no update flag, every uninterpreted byte
// distinct so that any byte the player disturbs shows up.
SetupRecord CameraRecord(std::uint32_t trailer = SetupRecord::kTrailer) {
    const std::string bytes =
        test::SetupCfg({.timeZone = -5, .sensitivity = {3, 7, 10}, .trailer = trailer});
    SetupRecord r;
    std::copy(bytes.begin(), bytes.end(), r.bytes.begin());
    return r;
}

// Magic and trailer little-endian at 0 and 124; six bits of resolution code between bit 0
// (the update flag) and bit 7 of byte 6.
TEST(SetupRecord, FieldsSitWhereTheCardHasThem) {
    SetupRecord r = CameraRecord();
    EXPECT_EQ(r.hex().substr(0, 8) + r.hex().substr(248), "0e015250500e0553");
    EXPECT_EQ(r.timeZone(), -5);
    r.SetResolutionCode(0x7F);
    EXPECT_EQ(r.bytes[6], 0xFE);
    r.SetUpdateFlag(true);
    r.SetResolutionCode(14);
    EXPECT_EQ(r.bytes[6], 0x80 | 28 | 1);
    EXPECT_EQ(ResolutionIndexForCode(14), 5);
    EXPECT_EQ(ResolutionIndexForCode(3), -1);
}

TEST(SettingsSaveRule, ChoiceFromRecordAndBack) {
    const struct {
        const char* name;
        int code, zone, sx;
        int resolutionIndex, timeZoneIndex, shownX;
    } cases[] = {
        {"1080P", 2, 0, 3, 0, 12, 3},          {"VGA", 14, -12, 0, 5, 0, 0},
        {"code 3", 3, 12, 10, -1, 24, 10},     {"zone 13", 8, 13, 11, 2, -1, 10},
        {"zone -13", 12, -13, 255, 3, -1, 10},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetupRecord r = CameraRecord();
        r.SetResolutionCode(c.code);
        r.SetTimeZone(c.zone);
        r.SetSensitivity(0, c.sx);
        const SettingsChoice shown = ChoiceFromRecord(r);
        EXPECT_EQ(shown.resolutionIndex, c.resolutionIndex);
        EXPECT_EQ(shown.timeZoneIndex, c.timeZoneIndex);
        EXPECT_EQ(shown.sensitivity[0], c.shownX);
        // Saving what was shown keeps whatever the lists could not show.
        const SaveDecision d = ApplySaveRule(r, shown);
        EXPECT_EQ(d.record.resolutionCode(), c.code);
        EXPECT_EQ(d.record.timeZone(), c.zone);
        EXPECT_EQ(d.write, c.sx > 10);
    }
}

TEST(SettingsSaveRule, WritesOnlyRealChangesAndKeepsUnknownBytes) {
    const SetupRecord stored = CameraRecord();
    const SetupRecord oddTrailer = CameraRecord(0x01020304);
    SetupRecord vga = stored;
    vga.SetResolutionCode(14);
    SetupRecord flagged = stored;
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
        {"other trailer forces a write", oddTrailer, same, true, "85fb03070a"},
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
        EXPECT_EQ(d.record.hex().substr(12, 10), c.modeTzSens);
        EXPECT_EQ(d.record.magic(), SetupRecord::kMagic);
        EXPECT_EQ(d.record.trailer(), SetupRecord::kTrailer);
        const std::string before = c.stored.hex(), after = d.record.hex();
        EXPECT_EQ(after.substr(8, 4) + after.substr(22, 226),
                  before.substr(8, 4) + before.substr(22, 226)); // bytes 4..5 and 11..123
        EXPECT_TRUE(d.write || d.record == c.stored);
    }
}

} // namespace
} // namespace quello
