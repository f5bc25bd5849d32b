// `quello-clip-overlay`: the part of `quello clip --overlay` that needs Qt to paint the
// overlay. `quello` checks the command line and runs it as
//   quello-clip-overlay MOVIE FROM TO OUT CRF WIDTH HEIGHT CAMERA
// (WIDTH and HEIGHT 0 for the recording's own size, CAMERA empty for MOVIE's own, "all" for
// every camera of the moment composed), in a process
// group of its own: a Ctrl+C comes once, passed on by `quello`.
#include "Command.h"
#include "JobProgress.h"
#include "JobSignals.h"

#include "cameras/CameraGroups.h"
#include "cameras/SeiTelemetry.h"
#include "clips/ClipSpan.h"
#include "clips/OverlayClip.h"

#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <strings.h>

int main(int argc, char** argv) {
    using namespace quello;
    // A car's front-camera movie carries its telemetry in the video, as for `quello` itself.
    SeiTelemetry::Register();
    if (argc != 9) {
        std::cerr << "quello clip: the overlay helper is run by quello clip --overlay\n";
        return kExitUsage;
    }
    const std::string out = argv[4];
    const double from = std::strtod(argv[2], nullptr), to = std::strtod(argv[3], nullptr);
    OverlayOptions options;
    options.crf = std::atoi(argv[5]);
    options.width = std::atoi(argv[6]);
    options.height = std::atoi(argv[7]);
    // Only images are painted: no display is needed.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The report is the one line on stderr; Qt's notes (a missing runtime folder) are no use.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    int qtArgc = 1;
    QGuiApplication app(qtArgc, argv);

    options.allCameras = ::strcasecmp(argv[8], "all") == 0;
    const ClipSpan span = options.allCameras ? FindClipSpan(MainCameraMovie(argv[1]), from, to)
                                             : FindCameraClipSpan(argv[1], from, to, argv[8]);
    if (!span.ok) {
        std::cerr << "quello clip: " << span.error << "\n";
        return kExitFailed;
    }
    JobSignals stopSignals;
    OverlayClip clip(span.pieces, out, options);
    clip.SetCancel(JobSignals::stop());
    JobProgress progress(std::cout);
    clip.SetProgress(
        [&](double fraction) { progress.ShowSpan(fraction * (to - from), to - from); });
    const ClipReport report = clip.Write();
    progress.Finish();
    if (!report.ok) {
        std::cerr << "quello clip: " << report.error << "\n";
        return kExitFailed;
    }
    std::printf("%s %.3f %.3f %lld\n", out.c_str(), report.start, report.end,
                static_cast<long long>(report.frames));
    return kExitOk;
}
