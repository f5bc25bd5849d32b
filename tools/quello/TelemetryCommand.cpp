#include "TelemetryCommand.h"

#include "CommandLine.h"
#include "InputFile.h"
#include "JsonOutput.h"
#include "TelemetryJson.h"

#include "outputs/TelemetryCsvWriter.h"
#include "outputs/TelemetryGpxWriter.h"
#include "recordings/TelemetryParser.h"

#include <filesystem>
#include <memory>
#include <ostream>

namespace quello {

const char* TelemetryCommand::summary() const {
    return "G-sensor samples and GPS fixes of a .DAT file (JSON, CSV or GPX)";
}

std::string TelemetryCommand::help() const {
    return "usage: quello telemetry DAT [--format json|csv|gpx]\n\n"
           "Parses a telemetry file as the player does and prints it:\n"
           "  json (default)  one line: {\"loaded\", \"sampleCount\", \"fixCount\",\n"
           "                  \"samples\": [[x,y,z],...], \"fixes\": [{\"dateTime\", "
           "\"latitude\",\n"
           "                  \"longitude\", \"speed\", \"heading\"},...]}, empty fix slots "
           "included\n"
           "  csv             one row per second: the second, its fix, its ten samples\n"
           "  gpx             a GPX 1.1 track of the fixes that carry a position\n\n"
           "DAT must be a readable file; otherwise nothing is printed and the exit code is 1.\n";
}

int TelemetryCommand::Run(const std::vector<std::string>& args, std::ostream& out,
                          std::ostream& err) {
    const CommandLine line(args, {"format"});
    if (!line.ok()) {
        err << "quello telemetry: " << line.error() << "\n";
        return kExitUsage;
    }
    if (line.positional().size() != 1) {
        err << "quello telemetry: give exactly one telemetry file (usage: quello telemetry DAT "
               "[--format json|csv|gpx])\n";
        return kExitUsage;
    }
    const std::string format = line.option("format").value_or("json");
    if (format != "json" && format != "csv" && format != "gpx") {
        err << "quello telemetry: unknown format '" << format << "' (json, csv or gpx)\n";
        return kExitUsage;
    }
    const std::string& path = line.positional().front();
    const std::string problem = InputFileProblem(path);
    if (!problem.empty()) {
        err << "quello telemetry: " << path << ": " << problem << "\n";
        return kExitFailed;
    }

    // About 54 KB: kept off the stack.
    auto set = std::make_unique<TelemetrySet>();
    const bool loaded = ParseTelemetryFile(path, *set);
    if (format == "json")
        WriteJson(out, TelemetryJson(*set, loaded), -1);
    else if (format == "csv")
        WriteTelemetryCsv(out, *set);
    else
        WriteTelemetryGpx(out, *set, std::filesystem::path(path).stem().string());
    return kExitOk;
}

} // namespace quello
