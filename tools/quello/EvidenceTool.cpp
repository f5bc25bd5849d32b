// `quello-evidence`: the part of `quello evidence` that needs Qt and libmpv. It opens the
// moment as `quello print` does and hands the engine and the printed page to the pack.
#include "Command.h"
#include "MomentPage.h"
#include "MovieMoment.h"

#include "cameras/CameraGroups.h"
#include "library/RecordingThresholds.h"
#include "outputs/EvidencePack.h"
#include "playback/CMediaGraph.h"
#include "recordings/MovieHeader.h"
#include "recordings/TelemetrySet.h"

#include <charconv>
#include <cmath>
#include <csignal>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace quello {

namespace {

volatile std::sig_atomic_t g_stop = 0;

void OnStopSignal(int) {
    g_stop = 1;
}

// The thresholds the player marks the events with: the library's stored for the movie, or its
// card's, when it lies in one. Of a moment several cameras recorded, the telemetry and the
// thresholds are the main camera's, and every camera's movie goes into the pack.
EvidenceMoment MomentOf(const MovieMoment& moment, double clipSeconds) {
    const auto group = CameraGroupOf(moment.movie);
    const std::string main = group ? group->cameras.front().path : moment.movie;
    EvidenceMoment evidence{moment.movie, {}, moment.seconds, ThresholdsForRecording(main),
                            clipSeconds,  {}};
    if (!FindTelemetryFile(main, evidence.telemetryPath))
        evidence.telemetryPath.clear();
    if (group && group->cameras.size() > 1)
        for (const auto& camera : group->cameras)
            evidence.cameraMovies.push_back(camera.path);
    return evidence;
}

// Takes "--clip-seconds N" (or "--clip-seconds=N") out of the words: the other options are the
// moment's. 0 when not given; nothing on a wrong value.
std::optional<double> TakeClipSeconds(std::vector<std::string>& words, std::ostream& err) {
    const std::string option = "--clip-seconds";
    for (std::size_t i = 0; i < words.size() && words[i] != "--"; ++i) {
        if (words[i].rfind(option, 0) != 0)
            continue;
        std::string text;
        if (words[i] == option && i + 1 < words.size()) {
            text = words[i + 1];
            words.erase(words.begin() + std::ptrdiff_t(i), words.begin() + std::ptrdiff_t(i) + 2);
        } else if (words[i].rfind(option + "=", 0) == 0) {
            text = words[i].substr(option.size() + 1);
            words.erase(words.begin() + std::ptrdiff_t(i));
        } else {
            continue;
        }
        double value = 0;
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (text.empty() || ec != std::errc() || end != text.data() + text.size() ||
            !std::isfinite(value) || value <= 0) {
            err << "quello evidence: --clip-seconds takes a number of seconds above 0, not '"
                << text << "'\n";
            return std::nullopt;
        }
        return value;
    }
    return 0.0;
}

int RunEvidence(int argc, char** argv, std::ostream& out, std::ostream& err) {
    std::vector<std::string> words(argv + 1, argv + argc);
    const auto clipSeconds = TakeClipSeconds(words, err);
    if (!clipSeconds)
        return kExitUsage;
    const auto moment = MovieMoment::Parse(
        words, "evidence", "quello evidence MOVIE --at SECONDS -o DIR [--clip-seconds N]", err);
    if (!moment)
        return kExitUsage;
    EvidencePack pack(MomentOf(*moment, *clipSeconds));
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
