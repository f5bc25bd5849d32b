#include "MomentPage.h"

#include "outputs/PrintCapture.h"
#include "playback/CMediaGraph.h"
#include "recordings/MovieHeader.h"
#include "recordings/TelemetrySet.h"
#include "res/skin/WindowLayout.h"
#include "views/CMyWaveForm.h"

#include <ctime>
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

} // namespace quello
