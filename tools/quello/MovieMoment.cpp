#include "MovieMoment.h"

#include "Command.h"
#include "CommandLine.h"
#include "InputFile.h"

#include "cameras/CameraGroups.h"
#include "cameras/SeiTelemetry.h"
#include "playback/CMediaGraph.h"

#include <QFile>

#include <exception>
#include <iostream>

#include <charconv>
#include <cmath>
#include <ostream>
#include <set>

namespace quello {

namespace {

std::optional<double> ParseSeconds(const std::string& text) {
    double value = 0.0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || !std::isfinite(value) || value < 0)
        return std::nullopt;
    return value;
}

} // namespace

std::optional<MovieMoment> MovieMoment::Parse(const std::vector<std::string>& args,
                                              const char* command, const char* usage,
                                              std::ostream& err, bool takesCamera) {
    std::vector<std::string> words = args;
    for (auto& word : words) {
        if (word == "--")
            break;
        if (word == "-o")
            word = "--output";
    }
    std::set<std::string> known = {"at", "output"};
    if (takesCamera)
        known.insert("camera");
    const CommandLine line(words, known);
    if (!line.ok()) {
        err << "quello " << command << ": " << line.error() << "\n";
        return std::nullopt;
    }
    const auto at = line.option("at");
    const auto output = line.option("output");
    if (line.positional().size() != 1 || !at || !output) {
        err << "quello " << command << ": give one movie, --at and -o (usage: " << usage << ")\n";
        return std::nullopt;
    }
    const std::optional<double> seconds = ParseSeconds(*at);
    if (!seconds) {
        err << "quello " << command << ": --at takes a number of seconds, 0 or more, not '" << *at
            << "'\n";
        return std::nullopt;
    }
    if (line.option("camera") && line.option("camera")->empty()) {
        err << "quello " << command << ": --camera takes a camera's name or label, or all\n";
        return std::nullopt;
    }
    return MovieMoment{line.positional().front(), *output, *at, *seconds,
                       line.option("camera").value_or("")};
}

std::string MovieMoment::mainMovie() const {
    return MainCameraMovie(movie);
}

int MovieMoment::OpenIn(CMediaGraph& graph, const char* command, std::ostream& err) const {
    if (const std::string problem = InputFileProblem(movie); !problem.empty()) {
        err << "quello " << command << ": " << movie << ": " << problem << "\n";
        return kExitFailed;
    }
    graph.SetAudioOutput("null");
    if (const int rc = graph.OpenMovie(QFile::decodeName(movie.c_str()), nullptr, nullptr);
        rc != 0) {
        err << "quello " << command << ": " << movie << ": not a playable movie (error " << rc
            << ")\n";
        return kExitFailed;
    }
    const double duration = graph.GetDurationSeconds();
    if (seconds > duration) {
        err << "quello " << command << ": --at " << atText << " is past the movie's end ("
            << duration << " s)\n";
        return kExitFailed;
    }
    if (const int rc = graph.SetPositionSeconds(seconds); rc != 0) {
        err << "quello " << command << ": seeking to " << atText << " s failed (error " << rc
            << ")\n";
        return kExitFailed;
    }
    return kExitOk;
}

int MovieMoment::Main(int argc, char** argv, const char* command, Runner run) {
    // The moment's GPS may be the car's own, in a Tesla front camera's video, as `quello`
    // itself reads it.
    SeiTelemetry::Register();
    try {
        return run(argc, argv, std::cout, std::cerr);
    } catch (const std::exception& e) {
        std::cerr << "quello " << command << ": " << e.what() << "\n";
    }
    return kExitFailed;
}

} // namespace quello
