#include "EmbeddedTrackReader.h"

#include "GpxTrackReader.h"
#include "base/ProgramOutput.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <string_view>

namespace quello {

namespace {

constexpr std::size_t kMaxOutputBytes = 256u << 20;
constexpr double kMphToKmh = 1.609344;
constexpr double kKnotsToKmh = 1.852;

// The tags of one embedded document: name to value text.
using Document = std::map<std::string, std::string, std::less<>>;

// "2026:05:16 09:41:08Z" with an optional fraction, a "Z" or a "+hh:mm" zone (none: UTC): the
// XML form with other separators.
bool ParseExifTime(std::string text, double& utc) {
    if (text.size() < 19 || text[4] != ':' || text[7] != ':' || text[10] != ' ')
        return false;
    text[4] = text[7] = '-';
    text[10] = 'T';
    return ParseXmlTime(text, utc);
}

// A number as Perl prints it ("-73.975", "4.5e-05"); from_chars ignores the process locale.
bool ParseNumber(std::string_view text, double& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && std::isfinite(value);
}

bool Number(const Document& doc, std::string_view tag, double& value) {
    const auto found = doc.find(tag);
    return found != doc.end() && ParseNumber(found->second, value);
}

std::string Text(const Document& doc, std::string_view tag) {
    const auto found = doc.find(tag);
    return found != doc.end() ? found->second : std::string();
}

// Three numbers separated by ", " (a list) or blanks (a text value).
bool Acceleration(const Document& doc, double (&xyz)[3]) {
    const std::string value = Text(doc, "Accelerometer");
    std::string_view text = value;
    for (double& axis : xyz) {
        while (!text.empty() && (text.front() == ' ' || text.front() == ','))
            text.remove_prefix(1);
        const std::size_t end = std::min(text.find_first_of(" ,"), text.size());
        if (!ParseNumber(text.substr(0, end), axis))
            return false;
        text.remove_prefix(end);
    }
    return true;
}

bool ToPoint(const Document& doc, TrackPoint& point) {
    if (!ParseExifTime(Text(doc, "GPSDateTime"), point.utc) ||
        !Number(doc, "GPSLatitude", point.latitude) ||
        !Number(doc, "GPSLongitude", point.longitude))
        return false;
    double value;
    if (Number(doc, "GPSSpeed", value) && value >= 0) {
        const std::string unit = Text(doc, "GPSSpeedRef");
        point.speedKmh = value * (unit == "M" ? kMphToKmh : unit == "N" ? kKnotsToKmh : 1);
    }
    if (Number(doc, "GPSTrack", value) && value >= 0)
        point.course = value;
    point.hasAcceleration = Acceleration(doc, point.acceleration);
    return true;
}

} // namespace

std::vector<std::string> EmbeddedTrackCommand(const std::string& moviePath,
                                              const ExifToolRun& run) {
    // No configuration file, numbers as numbers, every embedded document as its own group and
    // only the tags read here, in the shortest text form ("[Doc7] GPSLatitude: 40.7669"): all
    // of the file is still searched, and the report costs less than JSON's.
    return {run.program,
            "-config",
            "",
            "-ee",
            "-n",
            "-S",
            "-G3",
            "-GPSDateTime",
            "-GPSLatitude",
            "-GPSLongitude",
            "-GPSSpeed",
            "-GPSSpeedRef",
            "-GPSTrack",
            "-Accelerometer",
            "--",
            moviePath};
}

bool ParseEmbeddedTrack(const std::string& report, std::vector<TrackPoint>& points) {
    points.clear();
    // "[Doc7] GPSLatitude: 40.7669" is tag GPSLatitude of document 7 ("Doc7-2" of one inside
    // it); the main document's own tags describe the movie, not its track.
    std::map<std::string, Document, std::less<>> documents;
    std::string_view rest = report;
    while (!rest.empty()) {
        const std::size_t end = std::min(rest.find('\n'), rest.size());
        const std::string_view line = rest.substr(0, end);
        rest.remove_prefix(std::min(end + 1, rest.size()));
        const std::size_t close = line.find("] ");
        const std::size_t colon = line.find(": ", close);
        if (line.rfind("[Doc", 0) != 0 || close == std::string_view::npos ||
            colon == std::string_view::npos)
            continue;
        documents[std::string(line.substr(1, close - 1))]
                 [std::string(line.substr(close + 2, colon - close - 2))] =
                     std::string(line.substr(colon + 2));
    }
    for (const auto& [name, tags] : documents) {
        TrackPoint point;
        if (ToPoint(tags, point))
            points.push_back(point);
    }
    return true;
}

bool ReadEmbeddedTrack(const std::string& moviePath, const ExifToolRun& run,
                       std::vector<TrackPoint>& points) {
    points.clear();
    std::string report;
    return RunProgramOutput(EmbeddedTrackCommand(moviePath, run), run.timeoutMs, kMaxOutputBytes,
                            report) &&
           ParseEmbeddedTrack(report, points);
}

} // namespace quello
