// `quello-evidence`: the part of `quello evidence` that needs Qt and libmpv. It opens the
// moment as `quello print` does and hands the engine and the printed page to the pack.
#include "Command.h"
#include "MomentPage.h"
#include "MovieMoment.h"

#include "library/RecordingThresholds.h"
#include "outputs/EvidencePack.h"
#include "playback/CMediaGraph.h"
#include "recordings/MovieHeader.h"
#include "recordings/TelemetrySet.h"

#include <csignal>
#include <ostream>

namespace quello {

namespace {

volatile std::sig_atomic_t g_stop = 0;

void OnStopSignal(int) {
    g_stop = 1;
}

// The thresholds the player marks the events with: the library's stored for the movie, or its
// card's, when it lies in one.
EvidenceMoment MomentOf(const MovieMoment& moment) {
    EvidenceMoment evidence{moment.movie, {}, moment.seconds, ThresholdsForRecording(moment.movie)};
    if (!FindTelemetryFile(moment.movie, evidence.telemetryPath))
        evidence.telemetryPath.clear();
    return evidence;
}

int RunEvidence(int argc, char** argv, std::ostream& out, std::ostream& err) {
    const auto moment = MovieMoment::Parse({argv + 1, argv + argc}, "evidence",
                                           "quello evidence MOVIE --at SECONDS -o DIR", err);
    if (!moment)
        return kExitUsage;
    EvidencePack pack(MomentOf(*moment));
    // Refusals come before the movie is even opened: nothing is written for them.
    if (!pack.Check(moment->output)) {
        err << "quello evidence: " << pack.error() << "\n";
        return kExitFailed;
    }
    // An interrupted export removes what it built: the handler only sets the flag the pack
    // reads between its steps.
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        std::signal(signal, OnStopSignal);
    pack.SetStopFlag(&g_stop);

    return RunOnMomentPage(
        argc, argv, *moment, "evidence", err,
        [&](CMediaGraph& graph, const PrintPageContent& page, const TelemetrySet& telemetry) {
            if (!pack.Write(moment->output, graph, page, telemetry)) {
                err << "quello evidence: " << pack.error() << "\n";
                return kExitFailed;
            }
            out << moment->output << "\n";
            return kExitOk;
        });
}

} // namespace

} // namespace quello

int main(int argc, char** argv) {
    return quello::MovieMoment::Main(argc, argv, "evidence", quello::RunEvidence);
}
