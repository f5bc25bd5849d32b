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

    // The original line of sample i and of fix slot i (nullptr for a skipped second); i must be
    // below sampleCount() or fixCount().
    const std::string& sample(int i) const { return m_samples[std::size_t(i)]; }
    const std::string* fix(int i) const;

    // The text the parser reads back as exactly these samples (sample j at j/10 s) and fix
    // slots (nullptr: a second without a fix), which may come from several files, as for a
    // clip that joins recordings. Fixes that too few samples follow can't be placed: the text
    // ends before them.
    static std::string Compose(const std::vector<const std::string*>& samples,
                               const std::vector<const std::string*>& fixes);

private:
    std::vector<std::string> m_samples;
    std::vector<std::optional<std::string>> m_fixes;
};

} // namespace quello
