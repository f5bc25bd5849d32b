#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quello {

// The camera's telemetry file of one recording, indexed the way the player's parser
// (ParseTelemetryFile) reads it: the text of G-sensor sample i (time i/10 s) and of the fix of
// second i, each the original line byte for byte. Text() writes a new file whose lines the
// parser reads back as a run of those samples and fixes starting at index 0.
// A plain value type; use from one thread.
class TelemetrySlice {
public:
    // Reads and indexes the file; false when it can't be read.
    bool Load(const std::string& path);

    int sampleCount() const { return int(m_samples.size()); }
    // Fix slots the parser fills or skips; a skipped second has no text.
    int fixCount() const { return int(m_fixes.size()); }

    // The text for samples [firstSample, firstSample + samples) and fix slots
    // [firstFix, firstFix + fixes), clamped to what the file holds. A fix is put after just
    // enough samples that the parser gives it its shifted slot.
    std::string Text(int firstSample, int samples, int firstFix, int fixes) const;

private:
    std::vector<std::string> m_samples;
    std::vector<std::optional<std::string>> m_fixes;
};

} // namespace quello
