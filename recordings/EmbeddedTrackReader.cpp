#include "EmbeddedTrackReader.h"

#include "GpxTrackReader.h"
#include "TelemetryRoute.h"
#include "base/ProgramOutput.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <map>
#include <string_view>

namespace quello {

namespace {

constexpr std::size_t kMaxOutputBytes = 256u << 20;
constexpr double kMphToKmh = 1.609344;
constexpr double kKnotsToKmh = 1.852;

// The tags of one embedded document by name.
using Document = std::map<std::string, const nlohmann::json*>;

// "2026:05:16 09:41:08Z" with an optional fraction, a "Z" or a "+hh:mm" zone (none: UTC): the
// XML form with other separators. Parsed by hand: the process locale must not matter.
bool ParseExifTime(std::string text, double& utc) {
    if (text.size() < 19 || text[4] != ':' || text[7] != ':' || text[10] != ' ')
        return false;
    text[4] = text[7] = '-';
    text[10] = 'T';
    return ParseXmlTime(text, utc);
}

bool Number(const Document& doc, const char* tag, double& value) {
    const auto found = doc.find(tag);
    if (found == doc.end() || !found->second->is_number())
        return false;
    value = found->second->get<double>();
    return true;
}

std::string Text(const Document& doc, const char* tag) {
    const auto found = doc.find(tag);
    return found != doc.end() && found->second->is_string() ? found->second->get<std::string>()
                                                            : std::string();
}

// Three numbers, as an array or as a text of blank-separated values.
bool Acceleration(const Document& doc, double (&xyz)[3]) {
    const auto found = doc.find("Accelerometer");
    if (found == doc.end())
        return false;
    const nlohmann::json& value = *found->second;
    if (value.is_array() && value.size() >= 3 && value[0].is_number() && value[1].is_number() &&
        value[2].is_number()) {
        for (int i = 0; i < 3; ++i)
            xyz[i] = value[std::size_t(i)].get<double>();
        return true;
    }
    if (!value.is_string())
        return false;
    std::string_view text = value.get_ref<const std::string&>();
    for (double& axis : xyz) {
        const std::size_t end = std::min(text.find(' '), text.size());
        const auto number = ParsePlainDecimal(text.substr(0, end), 1e6);
        if (!number)
            return false;
        axis = *number;
        text.remove_prefix(std::min(end + 1, text.size()));
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
    // No configuration file, numbers as numbers, one JSON object with each embedded document
    // as its own group, and only the tags read here: all of the file is still searched.
    return {run.program,
            "-config",
            "",
            "-ee",
            "-n",
            "-j",
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

bool ParseEmbeddedTrack(const std::string& json, std::vector<TrackPoint>& points) {
    points.clear();
    const nlohmann::json doc = nlohmann::json::parse(json, nullptr, false);
    if (doc.is_discarded() || !doc.is_array() || doc.size() != 1 || !doc[0].is_object())
        return false;
    // "Doc7:GPSLatitude" is tag GPSLatitude of document 7 ("Doc7-2" of one inside it); the
    // main document's own tags describe the movie, not its track.
    std::map<std::string, Document> documents;
    for (const auto& [key, value] : doc[0].items()) {
        const std::size_t colon = key.find(':');
        if (key.rfind("Doc", 0) == 0 && colon != std::string::npos)
            documents[key.substr(0, colon)][key.substr(colon + 1)] = &value;
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
    std::string output;
    return RunProgramOutput(EmbeddedTrackCommand(moviePath, run), run.timeoutMs, kMaxOutputBytes,
                            output) &&
           ParseEmbeddedTrack(output, points);
}

} // namespace quello
