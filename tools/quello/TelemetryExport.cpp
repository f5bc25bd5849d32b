#include "TelemetryExport.h"

#include "outputs/XmlText.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ostream>

namespace quello {

namespace {

template <std::size_t N> std::string Text(const char (&field)[N]) {
    return FixText(field, N);
}

// RFC 4180: a cell holding a separator, a quote or a line break is quoted, quotes doubled.
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

// The track name as XML text: the same writer as the KML documents' (bytes that are not UTF-8
// read as Latin-1, characters XML cannot hold replaced), so no name can break the document.
std::string XmlEscape(const std::string& text) {
    std::string escaped;
    AppendXmlText(escaped, text);
    return escaped;
}

// A coordinate as xsd:decimal demands it (optional '-', digits, optional '.' and digits),
// within [-limit, limit]. The text itself is what goes into the document, so no precision is
// lost on the way.
bool IsCoordinate(const std::string& text, double limit) {
    if (text.empty())
        return false;
    std::size_t i = text[0] == '-' ? 1 : 0;
    const std::size_t intStart = i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9')
        ++i;
    if (i == intStart)
        return false;
    if (i < text.size() && text[i] == '.') {
        const std::size_t fracStart = ++i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9')
            ++i;
        if (i == fracStart)
            return false;
    }
    if (i != text.size())
        return false;
    return std::abs(std::strtod(text.c_str(), nullptr)) <= limit;
}

// "YYYY/MM/DD HH:MM:SS" (or with '-' in the date) as xsd:dateTime without a zone: the camera
// clock's zone is unknown. Empty when the text is not such a time.
std::string GpxTime(const std::string& text) {
    int y, mo, d, h, mi, s;
    char sep1, sep2;
    int used = 0;
    if (std::sscanf(text.c_str(), "%4d%c%2d%c%2d %2d:%2d:%2d%n", &y, &sep1, &mo, &sep2, &d, &h, &mi,
                    &s, &used) != 8 ||
        std::size_t(used) != text.size() || sep1 != sep2 || (sep1 != '/' && sep1 != '-'))
        return {};
    if (y < 1 || mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 60 || h < 0 ||
        mi < 0 || s < 0)
        return {};
    char out[64];
    std::snprintf(out, sizeof out, "%04d-%02d-%02dT%02d:%02d:%02d", y, mo, d, h, mi, s);
    return out;
}

} // namespace

std::string FixText(const char* field, std::size_t capacity) {
    return std::string(field, strnlen(field, capacity));
}

nlohmann::ordered_json TelemetryJson(const TelemetrySet& set, bool loaded) {
    const int samples = std::clamp<int>(set.sampleCount, 0, TelemetrySet::kMaxSamples);
    const int fixes = std::clamp<int>(set.fixCount, 0, TelemetrySet::kMaxFixes);
    nlohmann::ordered_json doc;
    doc["loaded"] = loaded;
    doc["sampleCount"] = samples;
    doc["fixCount"] = fixes;
    nlohmann::ordered_json sampleArray = nlohmann::ordered_json::array();
    for (int i = 0; i < samples; ++i) {
        const GSensorSample& s = set.samples[i];
        sampleArray.push_back({s.x, s.y, s.z});
    }
    doc["samples"] = std::move(sampleArray);
    nlohmann::ordered_json fixArray = nlohmann::ordered_json::array();
    for (int i = 0; i < fixes; ++i) {
        const GpsFix& f = set.fixes[i];
        fixArray.push_back({{"dateTime", Text(f.dateTime)},
                            {"latitude", Text(f.latitude)},
                            {"longitude", Text(f.longitude)},
                            {"speed", f.speed},
                            {"heading", f.heading}});
    }
    doc["fixes"] = std::move(fixArray);
    return doc;
}

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
            out << ',' << CsvCell(Text(f.dateTime)) << ',' << CsvCell(Text(f.latitude)) << ','
                << CsvCell(Text(f.longitude)) << ',' << f.speed << ',' << f.heading;
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

void WriteTelemetryGpx(std::ostream& out, const TelemetrySet& set, const std::string& trackName) {
    const int fixes = std::clamp<int>(set.fixCount, 0, TelemetrySet::kMaxFixes);
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<gpx version=\"1.1\" creator=\"quello\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n"
           "  <trk>\n"
           "    <name>"
        << XmlEscape(trackName)
        << "</name>\n"
           "    <trkseg>\n";
    for (int i = 0; i < fixes; ++i) {
        const GpsFix& f = set.fixes[i];
        const std::string lat = Text(f.latitude);
        const std::string lon = Text(f.longitude);
        if (!IsCoordinate(lat, 90.0) || !IsCoordinate(lon, 180.0))
            continue;
        out << "      <trkpt lat=\"" << lat << "\" lon=\"" << lon << "\">";
        const std::string time = GpxTime(Text(f.dateTime));
        if (!time.empty())
            out << "<time>" << time << "</time>";
        out << "</trkpt>\n";
    }
    out << "    </trkseg>\n"
           "  </trk>\n"
           "</gpx>\n";
}

} // namespace quello
