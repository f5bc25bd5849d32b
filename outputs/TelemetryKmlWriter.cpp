#include "TelemetryKmlWriter.h"

#include "TelemetryGpxWriter.h"
#include "XmlText.h"

#include <algorithm>
#include <ostream>

namespace quello {

void WriteTelemetryKml(std::ostream& out, const TelemetrySet& set, const std::string& trackName) {
    std::string name;
    AppendXmlText(name, trackName);
    std::string coordinates;
    int points = 0;
    const int fixes = std::clamp<int>(set.fixCount, 0, TelemetrySet::kMaxFixes);
    for (int i = 0; i < fixes; ++i) {
        const std::string lat = FixText(set.fixes[i].latitude);
        const std::string lon = FixText(set.fixes[i].longitude);
        if (IsTrackCoordinate(lat, 90.0) && IsTrackCoordinate(lon, 180.0)) {
            coordinates += "          " + lon + "," + lat + ",0\n";
            ++points;
        }
    }
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n"
           "  <Document>\n"
           "    <name>"
        << name
        << "</name>\n"
           "    <Placemark>\n"
           "      <name>"
        << name << "</name>\n";
    // A line string needs two points at least; a single fix is still a place.
    const char* geometry = points > 1 ? "LineString" : "Point";
    if (points > 0)
        out << "      <" << geometry << ">\n        <coordinates>\n"
            << coordinates << "        </coordinates>\n      </" << geometry << ">\n";
    out << "    </Placemark>\n"
           "  </Document>\n"
           "</kml>\n";
}

} // namespace quello
