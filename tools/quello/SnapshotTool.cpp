// `quello-snapshot`: the part of `quello snapshot` that needs Qt and libmpv. `quello` runs it
// so that its other commands start without loading either library.
#include "Command.h"
#include "MovieMoment.h"

#include "device/MovieGpsOptions.h"
#include "outputs/MomentFacts.h"
#include "playback/CMediaGraph.h"
#include "recordings/MovieHeader.h"
#include "recordings/TelemetrySet.h"
#include "recordings/TelemetrySources.h"

#include <QCoreApplication>
#include <QFile>

#include <clocale>
#include <cstdint>
#include <ctime>
#include <exception>
#include <iostream>
#include <memory>
#include <ostream>

namespace quello {

namespace {

// The Exif facts of the frame on screen, from the movie's header and the telemetry found beside
// it, as the player's window gives them to its snapshot.
SnapshotFacts FactsOnScreen(const std::string& movie, const CMediaGraph& graph) {
    std::tm created{};
    std::uint32_t duration = 0;
    int readOnly = 0;
    ReadMovieHeader(movie, created, duration, readOnly);
    auto telemetry = std::make_unique<TelemetrySet>();
    LoadMovieTelemetry(movie, GpsOptionsForMovie(movie), *telemetry);
    return FactsForMoment(created, created.tm_mday != 0, graph.GetPositionSeconds(), *telemetry);
}

int RunSnapshot(int argc, char** argv, std::ostream& out, std::ostream& err) {
    const auto moment = MovieMoment::Parse({argv + 1, argv + argc}, "snapshot",
                                           "quello snapshot MOVIE --at SECONDS -o OUT.jpg", err);
    if (!moment)
        return kExitUsage;
    QCoreApplication app(argc, argv);
    // libmpv refuses to start under a numeric locale other than "C".
    std::setlocale(LC_NUMERIC, "C");

    CMediaGraph graph;
    if (const int rc = moment->OpenIn(graph, "snapshot", err); rc != kExitOk)
        return rc;
    if (graph.SaveFrameAsJpeg(QFile::decodeName(moment->output.c_str()),
                              FactsOnScreen(moment->movie, graph)) != 1) {
        err << "quello snapshot: could not save the frame to " << moment->output
            << " (no picture at that time, or the file cannot be written)\n";
        return kExitFailed;
    }
    out << moment->output << "\n";
    return kExitOk;
}

} // namespace

} // namespace quello

int main(int argc, char** argv) {
    return quello::MovieMoment::Main(argc, argv, "snapshot", quello::RunSnapshot);
}
