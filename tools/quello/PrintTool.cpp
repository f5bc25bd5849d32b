// `quello-print`: the part of `quello print` that needs Qt and libmpv. It assembles the moment
// the way the player does (movie in the engine, telemetry found beside it, waveform strip at
// the window's size with the cursor a sync tick would set) and prints it with the player's own
// page routine into a PDF.
#include "Command.h"
#include "MovieMoment.h"

#include "device/MovieGpsOptions.h"
#include "outputs/PrintCapture.h"
#include "playback/CMediaGraph.h"
#include "recordings/MovieHeader.h"
#include "recordings/TelemetrySet.h"
#include "recordings/TelemetrySources.h"
#include "res/skin/WindowLayout.h"
#include "views/CMyWaveForm.h"

#include <QApplication>
#include <QPageSize>
#include <QPrinter>

#include <clocale>
#include <ctime>
#include <exception>
#include <iostream>
#include <memory>
#include <ostream>

namespace quello {

namespace {

constexpr int kPdfResolution = 300;

// The strip as the player shows it for this movie: its telemetry, the time axis from the
// header's creation time, and the cursor and playing second of a sync tick at `seconds`.
void LoadWaveform(CMyWaveForm& waveform, TelemetrySet& telemetry, const std::string& movie,
                  double duration, double seconds) {
    waveform.resize(DialogUnitsToPixels(kWaveformTemplateRect).size());
    LoadMovieTelemetry(movie, GpsOptionsForMovie(movie), telemetry);
    waveform.SetGSensorData(telemetry.samples, telemetry.sampleCount);
    waveform.SetSpeedData(telemetry.speeds, telemetry.fixCount);

    std::tm created{};
    auto headerDuration = static_cast<std::uint32_t>(duration);
    int readOnly = 0;
    ReadMovieHeader(movie, created, headerDuration, readOnly);
    const int axisStart =
        created.tm_mday != 0 ? created.tm_hour * 3600 + created.tm_min * 60 + created.tm_sec : 0;
    waveform.SetTotalSeconds(int(duration));
    waveform.SetAxisSeconds(axisStart, axisStart + int(headerDuration));
    waveform.SetCursor(int(seconds * 10));
    waveform.SetCurrentSecond(int(seconds));
}

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
    auto telemetry = std::make_unique<TelemetrySet>();
    CMyWaveForm waveform;
    LoadWaveform(waveform, *telemetry, moment->movie, graph.GetDurationSeconds(), moment->seconds);
    std::optional<PrintedFix> fix;
    const PrintPageContent content = CapturePrintContent(graph, waveform, *telemetry, fix);

    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setResolution(kPdfResolution);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setDocName(QStringLiteral("Movastra print service"));
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
    try {
        return quello::RunPrint(argc, argv, std::cout, std::cerr);
    } catch (const std::exception& e) {
        std::cerr << "quello print: " << e.what() << "\n";
    }
    return quello::kExitFailed;
}
