// `quello-snapshot`: the part of `quello snapshot` that needs Qt and libmpv. `quello` runs it
// so that its other commands start without loading either library.
#include "Command.h"
#include "CommandLine.h"
#include "InputFile.h"

#include "playback/CMediaGraph.h"

#include <QCoreApplication>
#include <QFile>
#include <QString>

#include <charconv>
#include <clocale>
#include <cmath>
#include <exception>
#include <iostream>
#include <memory>
#include <optional>
#include <ostream>

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

int RunSnapshot(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::vector<std::string> words = args;
    for (auto& word : words) {
        if (word == "--")
            break;
        if (word == "-o")
            word = "--output";
    }
    const CommandLine line(words, {"at", "output"});
    if (!line.ok()) {
        err << "quello snapshot: " << line.error() << "\n";
        return kExitUsage;
    }
    const auto at = line.option("at");
    const auto output = line.option("output");
    if (line.positional().size() != 1 || !at || !output) {
        err << "quello snapshot: give one movie, --at and -o (usage: quello snapshot MOVIE --at "
               "SECONDS -o OUT.jpg)\n";
        return kExitUsage;
    }
    const std::optional<double> seconds = ParseSeconds(*at);
    if (!seconds) {
        err << "quello snapshot: --at takes a number of seconds, 0 or more, not '" << *at << "'\n";
        return kExitUsage;
    }
    const std::string& movie = line.positional().front();
    if (const std::string problem = InputFileProblem(movie); !problem.empty()) {
        err << "quello snapshot: " << movie << ": " << problem << "\n";
        return kExitFailed;
    }

    std::unique_ptr<QCoreApplication> app;
    if (!QCoreApplication::instance()) {
        static int argc = 1;
        static char name[] = "quello";
        static char* argv[] = {name, nullptr};
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    // libmpv refuses to start under a numeric locale other than "C".
    std::setlocale(LC_NUMERIC, "C");

    CMediaGraph graph;
    graph.SetAudioOutput("null");
    const QString moviePath = QFile::decodeName(movie.c_str());
    if (const int rc = graph.OpenMovie(moviePath, nullptr, nullptr); rc != 0) {
        err << "quello snapshot: " << movie << ": not a playable movie (error " << rc << ")\n";
        return kExitFailed;
    }
    const double duration = graph.GetDurationSeconds();
    if (*seconds > duration) {
        err << "quello snapshot: --at " << *at << " is past the movie's end (" << duration
            << " s)\n";
        return kExitFailed;
    }
    if (const int rc = graph.SetPositionSeconds(*seconds); rc != 0) {
        err << "quello snapshot: seeking to " << *at << " s failed (error " << rc << ")\n";
        return kExitFailed;
    }
    if (graph.SaveFrameAsJpeg(QFile::decodeName(output->c_str())) != 1) {
        err << "quello snapshot: could not save the frame to " << *output
            << " (no picture at that time, or the file cannot be written)\n";
        return kExitFailed;
    }
    out << *output << "\n";
    return kExitOk;
}

} // namespace

} // namespace quello

int main(int argc, char** argv) {
    try {
        const std::vector<std::string> args(argv + 1, argv + argc);
        return quello::RunSnapshot(args, std::cout, std::cerr);
    } catch (const std::exception& e) {
        std::cerr << "quello snapshot: " << e.what() << "\n";
    }
    return quello::kExitFailed;
}
