// `quello-print`: the part of `quello print` that needs Qt and libmpv. It assembles the moment
// the way the player does (movie in the engine, telemetry found beside it, waveform strip at
// the window's size with the cursor a sync tick would set) and prints it with the player's own
// page routine into a PDF.
#include "Command.h"
#include "MomentPage.h"
#include "MovieMoment.h"

#include "device/MovieGpsOptions.h"
#include "playback/CMediaGraph.h"
#include "recordings/TelemetrySet.h"
#include "recordings/TelemetrySources.h"

#include <QApplication>
#include <QPrinter>

#include <clocale>
#include <exception>
#include <iostream>
#include <memory>
#include <ostream>

namespace quello {

namespace {

int RunPrint(int argc, char** argv, std::ostream& out, std::ostream& err) {
    const auto moment = MovieMoment::Parse({argv + 1, argv + argc}, "print",
                                           "quello print MOVIE --at SECONDS -o OUT.pdf", err);
    if (!moment)
        return kExitUsage;
    // Nothing is shown: the page is drawn off screen, with or without a display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt's own notes (a missing runtime folder, font fallbacks) are not this command's
    // messages: it reports its one line of failure itself.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    QApplication app(argc, argv);
    // libmpv refuses to start under a numeric locale other than "C".
    std::setlocale(LC_NUMERIC, "C");

    CMediaGraph graph;
    if (const int rc = moment->OpenIn(graph, "print", err); rc != kExitOk)
        return rc;
    auto telemetry = std::make_unique<TelemetrySet>(); // about 54 KB: kept off the stack
    LoadMovieTelemetry(moment->movie, GpsOptionsForMovie(moment->movie), *telemetry);
    const PrintPageContent content =
        CaptureMomentPage(graph, moment->movie, moment->seconds, *telemetry);
    QPrinter printer(QPrinter::HighResolution);
    SetUpPagePdfPrinter(printer);
    if (!SavePrintPagePdf(printer, content, moment->output)) {
        err << "quello print: cannot write " << moment->output << "\n";
        return kExitFailed;
    }
    out << moment->output << "\n";
    return kExitOk;
}

} // namespace

} // namespace quello

int main(int argc, char** argv) {
    return quello::MovieMoment::Main(argc, argv, "print", quello::RunPrint);
}
