// `quello-snapshot`: the part of `quello snapshot` that needs Qt and libmpv. `quello` runs it
// so that its other commands start without loading either library.
#include "Command.h"
#include "MovieMoment.h"

#include "playback/CMediaGraph.h"

#include <QCoreApplication>
#include <QFile>

#include <clocale>
#include <exception>
#include <iostream>
#include <ostream>

namespace quello {

namespace {

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
    if (graph.SaveFrameAsJpeg(QFile::decodeName(moment->output.c_str())) != 1) {
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
    try {
        return quello::RunSnapshot(argc, argv, std::cout, std::cerr);
    } catch (const std::exception& e) {
        std::cerr << "quello snapshot: " << e.what() << "\n";
    }
    return quello::kExitFailed;
}
