#include "InfoCommand.h"

#include "CommandLine.h"
#include "InputFile.h"
#include "JsonOutput.h"

#include "cameras/CameraGroups.h"
#include "cameras/TeslaCamTree.h"
#include "recordings/MovieHeader.h"

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <ostream>

namespace quello {

namespace {

// The views of the movie's moment, when other cameras recorded it too.
nlohmann::ordered_json Cameras(const std::string& path) {
    const auto group = CameraGroupOf(path);
    if (!group || group->cameras.size() < 2)
        return nullptr;
    nlohmann::ordered_json cameras = nlohmann::ordered_json::array();
    for (const auto& camera : group->cameras)
        cameras.push_back(
            {{"camera", camera.camera}, {"label", camera.label}, {"path", camera.path}});
    return cameras;
}

// A clip of a TeslaCam saved or Sentry event lies in the event's folder, one level under
// SavedClips or SentryClips.
nlohmann::ordered_json TeslaEventInfo(const std::string& path) {
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    const std::string kept = folder.parent_path().filename().string();
    if (folder.empty() || (kept != "SavedClips" && kept != "SentryClips"))
        return nullptr;
    const TeslaEvent event = ReadTeslaEvent(folder.string());
    nlohmann::ordered_json info;
    info["kind"] = kept == "SavedClips" ? "saved" : "sentry";
    info["reason"] = event.reason;
    info["city"] = event.city;
    info["time"] = event.time;
    info["camera"] = event.camera;
    if (event.hasPosition)
        info["position"] = {event.latitude, event.longitude};
    else
        info["position"] = nullptr;
    info["problem"] = event.problem.empty() ? nlohmann::ordered_json(nullptr)
                                            : nlohmann::ordered_json(event.problem);
    return info;
}

nlohmann::ordered_json MovieInfo(const std::string& path) {
    // A converted time always has a day of month of 1..31, so 0 marks "not written"; the
    // header writes the creation time and the duration together.
    std::tm created{};
    std::uint32_t duration = 0;
    int readOnly = 0;
    ReadMovieHeader(path, created, duration, readOnly);
    const bool converted = created.tm_mday != 0;

    nlohmann::ordered_json info;
    info["path"] = path;
    if (converted) {
        char text[64];
        std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", created.tm_year + 1900,
                      created.tm_mon + 1, created.tm_mday, created.tm_hour, created.tm_min,
                      created.tm_sec);
        info["creationTime"] = text;
        info["durationSeconds"] = duration;
    } else {
        info["creationTime"] = nullptr;
        info["durationSeconds"] = nullptr;
    }
    info["readOnly"] = readOnly != 0;
    std::string telemetry;
    if (FindTelemetryFile(path, telemetry))
        info["telemetryPath"] = telemetry;
    else
        info["telemetryPath"] = nullptr;
    info["cameras"] = Cameras(path);
    info["event"] = TeslaEventInfo(path);
    return info;
}

} // namespace

const char* InfoCommand::summary() const {
    return "start time, length, read-only flag, telemetry file and cameras of movies (JSON)";
}

std::string InfoCommand::help() const {
    return "usage: quello info MOVIE...\n\n"
           "Prints a JSON array with one object per movie:\n"
           "  path            the movie as given\n"
           "  creationTime    \"YYYY-MM-DD HH:MM:SS\" as the camera stored it, or null when the\n"
           "                  header holds none (camera clock never set, not a movie)\n"
           "  durationSeconds whole seconds, or null together with creationTime\n"
           "  readOnly        true when the file has no write permission bit\n"
           "  telemetryPath   the movie's .DAT file (beside it or in ../INFO), or null\n"
           "  cameras         when other cameras recorded the same moment (files named alike,\n"
           "                  differing by a camera tag, with overlapping times): each view's\n"
           "                  camera, label (F, R, I; Tesla F, B, LR, RR, LP, RP) and path,\n"
           "                  the front first; else null\n"
           "  event           for a clip of a TeslaCam SavedClips or SentryClips event: kind,\n"
           "                  reason, city, time, camera, position [lat, lon] or null, and\n"
           "                  problem (a missing or broken event.json) or null; else null\n\n"
           "Every MOVIE must be a readable file; otherwise nothing is printed and the exit\n"
           "code is 1.\n";
}

int InfoCommand::Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const CommandLine line(args, {});
    if (!line.ok()) {
        err << "quello info: " << line.error() << "\n";
        return kExitUsage;
    }
    if (line.positional().empty()) {
        err << "quello info: no movie given (usage: quello info MOVIE...)\n";
        return kExitUsage;
    }
    for (const auto& path : line.positional()) {
        const std::string problem = InputFileProblem(path);
        if (!problem.empty()) {
            err << "quello info: " << path << ": " << problem << "\n";
            return kExitFailed;
        }
    }
    nlohmann::ordered_json movies = nlohmann::ordered_json::array();
    for (const auto& path : line.positional())
        movies.push_back(MovieInfo(path));
    WriteJson(out, movies);
    return kExitOk;
}

} // namespace quello
