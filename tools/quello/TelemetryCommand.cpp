#include "TelemetryCommand.h"

#include "CommandLine.h"
#include "InputFile.h"
#include "JsonOutput.h"
#include "TelemetryJson.h"

#include "cameras/CameraGroups.h"
#include "cameras/SeiTelemetry.h"
#include "device/MovieGpsOptions.h"
#include "outputs/TelemetryCsvWriter.h"
#include "outputs/TelemetryGpxWriter.h"
#include "recordings/GpsFolderSettings.h"
#include "recordings/TelemetryParser.h"
#include "recordings/TelemetrySources.h"

#include <filesystem>
#include <memory>
#include <ostream>
#include <sstream>

namespace quello {

namespace {

// The JSON document with the source's name and the offset that moved the fixes first.
nlohmann::ordered_json Document(const TelemetrySet& set, const TelemetryLoad& load,
                                std::int64_t offsetSeconds) {
    nlohmann::ordered_json doc = {{"loaded", load.source != TelemetrySource::None},
                                  {"source", TelemetrySourceName(load.source)},
                                  {"offsetSeconds", load.offsetApplied ? offsetSeconds : 0}};
    const nlohmann::ordered_json telemetry =
        TelemetryJson(set, load.source != TelemetrySource::None);
    for (const auto& [key, value] : telemetry.items())
        doc[key] = value;
    return doc;
}

nlohmann::ordered_json CarJson(const CarSecond& s) {
    if (!s.present)
        return nullptr;
    return {{"gear", CarSignals::GearName(s.gear)},
            {"pedal", s.acceleratorPedal},
            {"steering", s.steeringAngle},
            {"leftBlinker", s.leftBlinker},
            {"rightBlinker", s.rightBlinker},
            {"brake", s.brake},
            {"assist", CarSignals::AssistName(s.assist)}};
}

// The CSV writer's rows with the car's signals of each second appended.
void WriteCsvWithCar(std::ostream& out, const TelemetrySet& set, const CarSignals& car) {
    std::ostringstream plain;
    WriteTelemetryCsv(plain, set);
    std::istringstream rows(plain.str());
    std::string row;
    std::getline(rows, row);
    out << row << ",gear,pedal,steering,leftBlinker,rightBlinker,brake,assist\n";
    for (std::size_t second = 0; std::getline(rows, row); ++second) {
        out << row;
        const CarSecond s = second < car.seconds.size() ? car.seconds[second] : CarSecond{};
        if (s.present)
            out << ',' << CarSignals::GearName(s.gear) << ',' << s.acceleratorPedal << ','
                << s.steeringAngle << ',' << int(s.leftBlinker) << ',' << int(s.rightBlinker) << ','
                << int(s.brake) << ',' << CarSignals::AssistName(s.assist);
        else
            out << ",,,,,,,";
        out << '\n';
    }
}

} // namespace

const char* TelemetryCommand::summary() const {
    return "G-sensor samples and GPS fixes of a movie or a .DAT file (JSON, CSV or GPX)";
}

std::string TelemetryCommand::help() const {
    return "usage: quello telemetry MOVIE|DAT [--gps FILE] [--offset SECONDS]\n"
           "                        [--format json|csv|gpx]\n\n"
           "Loads the telemetry of a movie as the player does and prints it. The first source\n"
           "that has fixes within the recording is used, in this order:\n"
           "  dat       the camera's .DAT file (beside the movie or in INFO)\n"
           "  user-gpx  the GPX given with --gps, else the one chosen for the recording or its\n"
           "            folder in the folder's .quello-gps file\n"
           "  sei       the car's own data in a Tesla front camera's video (.mp4, .MOV),\n"
           "            timed by the movie itself (no offset)\n"
           "  gpx       a .gpx file with the movie's base name\n"
           "  nmea      a .nmea or .txt NMEA 0183 log with the movie's base name\n"
           "  embedded  GPS stored inside the movie, read with exiftool\n"
           "Fixes other than the .DAT's and sei's are placed by their UTC time from the movie's "
           "start;\n"
           "--offset adds SECONDS to each (a camera keeping local time as UTC needs the zone's\n"
           "offset); without it the offset saved in .quello-gps for the recording applies.\n"
           "On a camera card, whose clock is local time, the card's time zone is added.\n"
           "Given a .DAT file itself, that file alone is parsed (--gps and --offset refused).\n"
           "Given any camera's file of a moment several cameras recorded (see quello info), the\n"
           "telemetry is the moment's main camera's (the front's), as for that camera's file.\n\n"
           "  json (default)  one line: {\"loaded\", \"source\", \"offsetSeconds\", "
           "\"sampleCount\",\n"
           "                  \"fixCount\", \"samples\": [[x,y,z],...], \"fixes\": "
           "[{\"dateTime\",\n"
           "                  \"latitude\", \"longitude\", \"speed\", \"heading\"},...]}, empty "
           "fix slots\n"
           "                  included; source is one of the names above or \"none\",\n"
           "                  offsetSeconds the offset that moved the fixes (else 0); from\n"
           "                  sei also \"car\": per fix {\"gear\", \"pedal\", \"steering\",\n"
           "                  \"leftBlinker\", \"rightBlinker\", \"brake\", \"assist\"} or null\n"
           "  csv             one row per second: the second, its fix, its ten samples (from\n"
           "                  sei then gear, pedal, steering, blinkers, brake, assist)\n"
           "  gpx             a GPX 1.1 track of the fixes that carry a position\n\n"
           "MOVIE or DAT must be a readable file; otherwise nothing is printed and the exit code\n"
           "is 1. A movie without any telemetry prints an empty set with \"loaded\": false.\n";
}

int TelemetryCommand::Run(const std::vector<std::string>& args, std::ostream& out,
                          std::ostream& err) {
    const CommandLine line(args, {"format", "gps", "offset"});
    if (!line.ok()) {
        err << "quello telemetry: " << line.error() << "\n";
        return kExitUsage;
    }
    if (line.positional().size() != 1) {
        err << "quello telemetry: give exactly one movie or telemetry file (usage: quello "
               "telemetry MOVIE|DAT [--gps FILE] [--offset SECONDS] [--format json|csv|gpx])\n";
        return kExitUsage;
    }
    const std::string format = line.option("format").value_or("json");
    if (format != "json" && format != "csv" && format != "gpx") {
        err << "quello telemetry: unknown format '" << format << "' (json, csv or gpx)\n";
        return kExitUsage;
    }
    const std::string& path = line.positional().front();
    const bool datFile = IsTelemetryFileName(path);
    const auto gps = line.option("gps");
    const auto offsetText = line.option("offset");
    const auto offset = offsetText
                            ? ParseInt(*offsetText, -int(GpsFolderSettings::kMaxOffsetSeconds),
                                       int(GpsFolderSettings::kMaxOffsetSeconds))
                            : std::optional<int>(0);
    if (datFile && (gps || offsetText)) {
        err << "quello telemetry: --gps and --offset apply to a movie, not to a .DAT file\n";
        return kExitUsage;
    }
    if (!offset) {
        err << "quello telemetry: --offset must be whole seconds within +-"
            << GpsFolderSettings::kMaxOffsetSeconds << "\n";
        return kExitUsage;
    }
    for (const std::string& input : {path, gps.value_or(path)}) {
        const std::string problem = InputFileProblem(input);
        if (!problem.empty()) {
            err << "quello telemetry: " << input << ": " << problem << "\n";
            return kExitFailed;
        }
    }

    // The moment's telemetry is its main camera's, whichever camera's file is given.
    const std::string movie = datFile ? path : MainCameraMovie(path);
    // About 54 KB: kept off the stack.
    auto set = std::make_unique<TelemetrySet>();
    TelemetryLoad load;
    GpsOptions options;
    if (datFile) {
        load.source = ParseTelemetryFile(path, *set) ? TelemetrySource::Dat : TelemetrySource::None;
    } else {
        options = GpsOptionsForMovie(movie);
        if (gps)
            options.userGpx = *gps;
        if (offsetText)
            options.offsetSeconds = *offset + CardClockOffsetSeconds(movie);
        load = LoadMovieTelemetry(movie, options, *set);
    }
    // The loaders fill only what every camera records; the car's own signals are read again
    // beside them (reading the messages costs a few per cent of decoding the video).
    CarSignals car;
    if (load.source == TelemetrySource::Sei) {
        auto scratch = std::make_unique<TelemetrySet>();
        RecordingEntry entry;
        entry.moviePath = movie;
        SeiTelemetry::Load(entry, *scratch, &car);
    }
    if (format == "json") {
        nlohmann::ordered_json doc = Document(*set, load, options.offsetSeconds);
        if (load.source == TelemetrySource::Sei) {
            nlohmann::ordered_json seconds = nlohmann::ordered_json::array();
            for (int i = 0; i < set->fixCount; ++i)
                seconds.push_back(std::size_t(i) < car.seconds.size() ? CarJson(car.seconds[i])
                                                                      : nullptr);
            doc["car"] = std::move(seconds);
        }
        WriteJson(out, doc, -1);
    } else if (format == "csv" && load.source == TelemetrySource::Sei) {
        WriteCsvWithCar(out, *set, car);
    } else if (format == "csv") {
        WriteTelemetryCsv(out, *set);
    } else
        WriteTelemetryGpx(out, *set, std::filesystem::path(movie).stem().string());
    return kExitOk;
}

} // namespace quello
