// `quello-print`: the part of `quello print` that needs Qt and libmpv. It assembles the moment
// the way the player does (movie in the engine, telemetry found beside it, waveform strip at
// the window's size with the cursor a sync tick would set) and prints it with the player's own
// page routine into a PDF.
#include "Command.h"
#include "MomentPage.h"
#include "MovieMoment.h"

#include <QPrinter>

#include <ostream>

namespace quello {

namespace {

int RunPrint(int argc, char** argv, std::ostream& out, std::ostream& err) {
    const auto moment = MovieMoment::Parse({argv + 1, argv + argc}, "print",
                                           "quello print MOVIE --at SECONDS -o OUT.pdf", err);
    if (!moment)
        return kExitUsage;
    return RunOnMomentPage(argc, argv, *moment, "print", err,
                           [&](CMediaGraph&, const PrintPageContent& page, const TelemetrySet&) {
                               QPrinter printer(QPrinter::HighResolution);
                               SetUpPagePdfPrinter(printer);
                               if (!SavePrintPagePdf(printer, page, moment->output)) {
                                   err << "quello print: cannot write " << moment->output << "\n";
                                   return kExitFailed;
                               }
                               out << moment->output << "\n";
                               return kExitOk;
                           });
}

} // namespace

} // namespace quello

int main(int argc, char** argv) {
    return quello::MovieMoment::Main(argc, argv, "print", quello::RunPrint);
}
