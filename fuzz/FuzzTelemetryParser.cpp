// The telemetry parser on arbitrary bytes stored as a .DAT file.

#include "FuzzSupport.h"

#include "recordings/TelemetryParser.h"

#include <cstring>

using namespace quello;

namespace {

template <std::size_t N> bool Terminated(const char (&field)[N]) {
    return std::memchr(field, '\0', N) != nullptr;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = fuzz::WriteScratchFile("FILE0001.DAT", data, size);
    // Too large for the stack of every run; the parser zeroes it first anyway.
    static TelemetrySet set;
    std::memset(static_cast<void*>(&set), 0x5a, sizeof set);
    if (!ParseTelemetryFile(path, set))
        fuzz::Fail("a readable regular file was refused");

    if (set.sampleCount < 0 || set.sampleCount > TelemetrySet::kMaxSamples)
        fuzz::Fail("sampleCount out of range: " + std::to_string(set.sampleCount));
    if (set.fixCount < 0 || set.fixCount > TelemetrySet::kMaxFixes)
        fuzz::Fail("fixCount out of range: " + std::to_string(set.fixCount));
    // Every second that has samples has a fix slot, filled or empty.
    if (set.fixCount < set.sampleCount / 10)
        fuzz::Fail("fewer fix slots than seconds of samples");
    for (int i = 0; i < set.fixCount; ++i) {
        const GpsFix& fix = set.fixes[i];
        if (!Terminated(fix.dateTime) || !Terminated(fix.latitude) || !Terminated(fix.longitude))
            fuzz::Fail("unterminated text in fix " + std::to_string(i));
        if (set.speeds[i] != fix.speed)
            fuzz::Fail("speed of fix " + std::to_string(i) + " differs from its speeds slot");
    }
    // Slots beyond the counts are left as the parser zeroed them.
    const auto* bytes = reinterpret_cast<const unsigned char*>(&set.samples[set.sampleCount]);
    const auto* end =
        reinterpret_cast<const unsigned char*>(&set.samples[TelemetrySet::kMaxSamples]);
    for (; bytes != end; ++bytes) {
        if (*bytes != 0)
            fuzz::Fail("sample slot beyond sampleCount was written");
    }
    return 0;
}
