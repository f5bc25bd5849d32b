#include "MomentPage.h"

#include "Command.h"
#include "MovieMoment.h"

#include "device/MovieGpsOptions.h"
#include "recordings/TelemetrySources.h"

#include "outputs/PrintCapture.h"
#include "playback/CMediaGraph.h"
#include "recordings/MovieHeader.h"
#include "recordings/TelemetrySet.h"
#include "res/skin/WindowLayout.h"
#include "views/CMyWaveForm.h"

#include <QApplication>

#include <clocale>
#include <ctime>
#include <memory>
#include <optional>

namespace quello {

namespace {

void LoadWaveform(CMyWaveForm& waveform, const TelemetrySet& telemetry, const std::string& movie,
                  double duration, double seconds) {
    waveform.resize(DialogUnitsToPixels(kWaveformTemplateRect).size());
    waveform.SetTelemetry(telemetry);

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

} // namespace

PrintPageContent CaptureMomentPage(CMediaGraph& graph, const std::string& movie, double seconds,
                                   const TelemetrySet& telemetry) {
    CMyWaveForm waveform;
    LoadWaveform(waveform, telemetry, movie, graph.GetDurationSeconds(), seconds);
    std::optional<PrintedFix> fix;
    return CapturePrintContent(graph, waveform, telemetry, fix);
}

int RunOnMomentPage(int argc, char** argv, const MovieMoment& moment, const char* command,
                    std::ostream& err, const MomentPageUse& use) {
    // Nothing is shown: the page is drawn off screen, with or without a display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt's own notes (a missing runtime folder, font fallbacks) are not the helper's messages.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    QApplication app(argc, argv);
    // libmpv refuses to start under a numeric locale other than "C".
    std::setlocale(LC_NUMERIC, "C");

    CMediaGraph graph;
    if (const int rc = moment.OpenIn(graph, command, err); rc != kExitOk)
        return rc;
    // Every camera's file of a moment shows its own picture with the main camera's telemetry
    // and clock.
    const std::string main = moment.mainMovie();
    auto telemetry = std::make_unique<TelemetrySet>(); // about 54 KB: kept off the stack
    LoadMovieTelemetry(main, GpsOptionsForMovie(main), *telemetry);
    const PrintPageContent page = CaptureMomentPage(graph, main, moment.seconds, *telemetry);
    return use(graph, page, *telemetry);
}

} // namespace quello
