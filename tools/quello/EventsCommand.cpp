#include "EventsCommand.h"

#include "CommandLine.h"
#include "InputFile.h"
#include "JsonOutput.h"

#include "cameras/CameraGroups.h"
#include "device/MovieGpsOptions.h"
#include "library/RecordingThresholds.h"
#include "recordings/GForceEvents.h"
#include "recordings/TelemetryParser.h"
#include "recordings/TelemetryRoute.h"
#include "recordings/TelemetrySources.h"

#include <memory>
#include <ostream>

namespace quello {

const char* EventsCommand::summary() const {
    return "G-force events (hard braking, turns, impacts) of a movie or a .DAT file as JSON";
}

std::string EventsCommand::help() const {
    return "usage: quello events MOVIE|DAT [--threshold G]\n\n"
           "Finds the moments where the G-sensor reads more than G (default 0.4) across the car\n"
           "(the magnitude of x and y) or away from 1 g upwards (z), ten samples a second, and\n"
           "prints them as one JSON array: {\"start\", \"peak\", \"end\" (seconds of the\n"
           "recording), \"kind\" (braking, acceleration, left turn, right turn, impact),\n"
           "\"peakG\" (the peak's reading on its main axis, in g)}.\n\n"
           "A movie's telemetry is loaded as the player loads it (see quello telemetry --help),\n"
           "and without --threshold its events are found at the player's thresholds: those\n"
           "stored for it at import when it lies in a library of drives, its card's sensitivity\n"
           "when it lies on a camera card. Any camera's file of a moment several cameras\n"
           "recorded gives the main camera's telemetry and thresholds.\n"
           "MOVIE or DAT must be a readable file; otherwise nothing is printed and the exit\n"
           "code is 1.\n";
}

int EventsCommand::Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const CommandLine line(args, {"threshold"});
    if (!line.ok()) {
        err << "quello events: " << line.error() << "\n";
        return kExitUsage;
    }
    if (line.positional().size() != 1) {
        err << "quello events: give exactly one movie or telemetry file (usage: quello events "
               "MOVIE|DAT "
               "[--threshold G])\n";
        return kExitUsage;
    }
    GForceThresholds thresholds;
    if (const auto text = line.option("threshold")) {
        const auto g = ParsePlainDecimal(*text, 16.0);
        if (!g || *g <= 0) {
            err << "quello events: the threshold must be a number of g above 0 and up to 16, not '"
                << *text << "'\n";
            return kExitUsage;
        }
        thresholds = {*g, *g};
    }
    const std::string& path = line.positional().front();
    const std::string problem = InputFileProblem(path);
    if (!problem.empty()) {
        err << "quello events: " << path << ": " << problem << "\n";
        return kExitFailed;
    }
    auto set = std::make_unique<TelemetrySet>(); // about 54 KB: kept off the stack
    if (IsTelemetryFileName(path)) {
        ParseTelemetryFile(path, *set);
    } else {
        // Any camera's file of a moment: the main camera's telemetry and thresholds.
        const std::string movie = MainCameraMovie(path);
        LoadMovieTelemetry(movie, GpsOptionsForMovie(movie), *set);
        if (!line.option("threshold"))
            thresholds = ThresholdsForRecording(movie);
    }
    nlohmann::ordered_json events = nlohmann::ordered_json::array();
    for (const GForceEvent& e : FindGForceEvents(set->samples, set->sampleCount, thresholds))
        events.push_back({{"start", e.start},
                          {"peak", e.peak},
                          {"end", e.end},
                          {"kind", GForceKindName(e.kind)},
                          {"peakG", e.peakG}});
    WriteJson(out, events, -1);
    return kExitOk;
}

} // namespace quello
