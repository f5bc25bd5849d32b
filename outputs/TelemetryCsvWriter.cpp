#include "TelemetryCsvWriter.h"

#include <algorithm>
#include <ostream>
#include <string>

namespace quello {

namespace {

std::string CsvCell(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

} // namespace

void WriteTelemetryCsv(std::ostream& out, const TelemetrySet& set) {
    const int samples = std::clamp<int>(set.sampleCount, 0, TelemetrySet::kMaxSamples);
    const int fixes = std::clamp<int>(set.fixCount, 0, TelemetrySet::kMaxFixes);
    out << "second,dateTime,latitude,longitude,speed,heading";
    for (int k = 0; k < 10; ++k)
        out << ",x" << k << ",y" << k << ",z" << k;
    out << "\n";
    const int seconds = std::max(fixes, (samples + 9) / 10);
    for (int sec = 0; sec < seconds; ++sec) {
        out << sec;
        if (sec < fixes) {
            const GpsFix& f = set.fixes[sec];
            out << ',' << CsvCell(FixText(f.dateTime)) << ',' << CsvCell(FixText(f.latitude)) << ','
                << CsvCell(FixText(f.longitude)) << ',' << f.speed << ',' << f.heading;
        } else {
            out << ",,,,,";
        }
        for (int k = 0; k < 10; ++k) {
            const int i = sec * 10 + k;
            if (i < samples)
                out << ',' << set.samples[i].x << ',' << set.samples[i].y << ','
                    << set.samples[i].z;
            else
                out << ",,,";
        }
        out << "\n";
    }
}

} // namespace quello
