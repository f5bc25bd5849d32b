#include "TelemetryGpxWriter.h"

#include "XmlText.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ostream>

namespace quello {

namespace {

std::string TrackNameText(const std::string& name) {
    std::string text;
    AppendXmlText(text, name);
    return text;
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

// xsd:decimal as GPX demands it. The text itself is what goes into the document, so no
// precision is lost on the way.
bool IsTrackCoordinate(const std::string& text, double limit) {
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

void WriteTelemetryGpx(std::ostream& out, const TelemetrySet& set, const std::string& trackName) {
    WriteGpxTrack(out, set.fixes, std::clamp<int>(set.fixCount, 0, TelemetrySet::kMaxFixes),
                  trackName);
}

void WriteGpxTrack(std::ostream& out, const GpsFix* fixList, int fixes,
                   const std::string& trackName) {
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<gpx version=\"1.1\" creator=\"quello\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n"
           "  <trk>\n"
           "    <name>"
        << TrackNameText(trackName)
        << "</name>\n"
           "    <trkseg>\n";
    for (int i = 0; i < fixes; ++i) {
        const GpsFix& f = fixList[i];
        const std::string lat = FixText(f.latitude);
        const std::string lon = FixText(f.longitude);
        if (!IsTrackCoordinate(lat, 90.0) || !IsTrackCoordinate(lon, 180.0))
            continue;
        out << "      <trkpt lat=\"" << lat << "\" lon=\"" << lon << "\">";
        const std::string time = GpxTime(FixText(f.dateTime));
        if (!time.empty())
            out << "<time>" << time << "</time>";
        out << "</trkpt>\n";
    }
    out << "    </trkseg>\n"
           "  </trk>\n"
           "</gpx>\n";
}

} // namespace quello
