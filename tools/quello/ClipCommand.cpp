#include "ClipCommand.h"

#include "CommandLine.h"
#include "HelperCommand.h"
#include "JobSignals.h"

#include "clips/ClipSpan.h"
#include "clips/LosslessClip.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>
#include <ostream>
#include <strings.h>

namespace quello {

namespace {

// Seconds as a plain decimal ("12", "3.25", "-4" before the movie's start): no exponent, or
// words like "inf".
std::optional<double> ParseSeconds(const std::string& text) {
    const std::size_t digits = text.rfind('-', 0) == 0 ? 1 : 0;
    if (text.size() == digits || text.find_first_not_of("0123456789.", digits) != std::string::npos)
        return std::nullopt;
    double value = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || ptr != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::string Seconds(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", value);
    return text;
}

} // namespace

const char* ClipCommand::summary() const {
    return "cut a span of a recording and its trip into a new movie, as it is or with the "
           "telemetry drawn in";
}

std::string ClipCommand::help() const {
    return "usage: quello clip MOVIE --from S --to S [--camera NAME] -o OUT.mov|OUT.mp4\n"
           "       quello clip MOVIE --from S --to S [--camera NAME|all] --overlay [--crf N]\n"
           "                   [--size WxH] -o OUT.mp4\n\n"
           "Copies the frames from the one shown at S (--from) to the one shown at S (--to),\n"
           "seconds of the recording (decimal), into OUT without re-encoding; sound comes\n"
           "along. The clip starts at the first of those frames and its creation time is the\n"
           "recording's plus that start. The span may cross into the recordings of MOVIE's\n"
           "trip (those of its folder that start where the one before ended): --to past the\n"
           "movie's end continues into the next, a negative --from reaches back into the one\n"
           "before; the pieces are joined in one file as long as their tracks match (codec,\n"
           "picture size and format, profile and level, sound), else nothing is written.\n"
           "A span reaching outside the trip is refused. When every recording of the span has\n"
           "the camera's telemetry file, OUT's name with the extension .DAT gets the G-sensor\n"
           "samples and GPS fixes of the span; when their GPS comes from another source (a GPX\n"
           "or NMEA log, the movie itself), OUT's name with .gpx gets the GPS points of the\n"
           "span. An existing OUT or telemetry file is never replaced. Prints the span cut,\n"
           "in seconds of MOVIE, and the telemetry file written, if any:\n"
           "  <OUT> <start> <end> <frames>\n"
           "  <telemetry file>\n"
           "Exit code 1, writing nothing, when the span can't be cut or joined.\n"
           "\n"
           "--camera NAME takes the picture of another camera of MOVIE's moment (see quello\n"
           "info): NAME is a camera (front, rear, back, left_repeater, ...) or its label (F,\n"
           "R, B, LR, ...), in any case. The span and its trip are the main camera's, so are the\n"
           "telemetry file and the overlay's telemetry; each recording of the span gives its\n"
           "moment's file of that camera. A moment of the span without that camera is refused,\n"
           "naming its cameras, and nothing is written. Without --camera the clip shows MOVIE's\n"
           "own camera. --camera all, with --overlay only, takes every camera of each moment\n"
           "on one picture: the main camera's first, two side by side, three or four as 2 x 2,\n"
           "five or six as 3 x 2, the whole as wide as the main camera's picture (at most 1280),\n"
           "each view showing its frame of the main one's time; a view without a picture then\n"
           "is black.\n"
           "\n"
           "--overlay re-encodes the span instead (H.264, MP4 only) with the telemetry drawn\n"
           "into the picture: speedometer and compass, the speed in km/h and mph, the G-sensor\n"
           "strip, the camera's date and time, the GPS position and a small map of the route\n"
           "of the span (from the fixes alone). A recording without telemetry gets its clock\n"
           "only. The sound is copied as it is. --crf sets the quality (0-51, lower is better,\n"
           "default 20), --size the picture's size (even numbers; default the recording's).\n"
           "A live progress line shows on a terminal.\n\n"
           "Ctrl+C stops the job and leaves nothing behind.\n";
}

int ClipCommand::Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    // "-o OUT" is the short spelling of "--output OUT"; "--overlay" is the one option without
    // a value.
    std::vector<std::string> words;
    bool optionsEnded = false, overlay = false;
    for (const auto& arg : args) {
        optionsEnded = optionsEnded || arg == "--";
        if (!optionsEnded && arg == "--overlay")
            overlay = true;
        else
            words.push_back(!optionsEnded && arg == "-o" ? "--output" : arg);
    }
    const CommandLine line(words, {"from", "to", "output", "crf", "size", "camera"});
    const char* usage =
        " (usage: quello clip MOVIE --from S --to S [--camera NAME] [--overlay] -o OUT)\n";
    if (!line.ok()) {
        err << "quello clip: " << line.error() << usage;
        return kExitUsage;
    }
    const auto from = line.option("from");
    const auto to = line.option("to");
    const auto output = line.option("output");
    if (line.positional().size() != 1 || !from || !to || !output) {
        err << "quello clip: give one movie, --from, --to and -o" << usage;
        return kExitUsage;
    }
    const auto start = ParseSeconds(*from);
    const auto end = ParseSeconds(*to);
    if (!start || !end) {
        err << "quello clip: --from and --to take seconds, like 12 or 3.25" << usage;
        return kExitUsage;
    }
    const std::string camera = line.option("camera").value_or("");
    if (line.option("camera") && camera.empty()) {
        err << "quello clip: --camera takes a camera's name or label, like back or B" << usage;
        return kExitUsage;
    }
    if (!overlay && ::strcasecmp(camera.c_str(), "all") == 0) {
        err << "quello clip: --camera all goes with --overlay" << usage;
        return kExitUsage;
    }
    if (!overlay && (line.option("crf") || line.option("size"))) {
        err << "quello clip: --crf and --size go with --overlay" << usage;
        return kExitUsage;
    }
    if (overlay) {
        const auto crf = line.option("crf") ? ParseInt(*line.option("crf"), 0, 51) : 20;
        if (!crf) {
            err << "quello clip: --crf takes a whole number from 0 to 51" << usage;
            return kExitUsage;
        }
        int width = 0, height = 0;
        if (const auto size = line.option("size")) {
            const auto x = size->find('x');
            const auto w =
                x == std::string::npos ? std::nullopt : ParseInt(size->substr(0, x), 16, 16384);
            const auto h =
                x == std::string::npos ? std::nullopt : ParseInt(size->substr(x + 1), 16, 16384);
            if (!w || !h || *w % 2 != 0 || *h % 2 != 0) {
                err << "quello clip: --size takes WIDTHxHEIGHT in even pixels, like 1280x720"
                    << usage;
                return kExitUsage;
            }
            width = *w;
            height = *h;
        }
        const std::string& name = *output;
        if (name.size() < 5 || ::strcasecmp(name.c_str() + name.size() - 4, ".mp4") != 0) {
            err << "quello clip: a clip with --overlay is an MP4 file: give OUT.mp4\n";
            return kExitFailed;
        }
        return HelperCommand::RunHelper("clip", "quello-clip-overlay",
                                        {line.positional().front(), Seconds(*start), Seconds(*end),
                                         name, std::to_string(*crf), std::to_string(width),
                                         std::to_string(height), camera},
                                        out, err, true);
    }
    const ClipSpan span = FindCameraClipSpan(line.positional().front(), *start, *end, camera);
    if (!span.ok) {
        err << "quello clip: " << span.error << "\n";
        return kExitFailed;
    }
    JobSignals signals;
    LosslessClip clip(span.pieces, *output);
    clip.SetCancel(JobSignals::stop());
    const ClipReport report = clip.Write();
    if (!report.ok) {
        err << "quello clip: " << report.error << "\n";
        return kExitFailed;
    }
    // The first piece's --from is MOVIE's, so its first frame lies as far after --from.
    const double first = *start + (report.start - span.pieces.front().from);
    out << *output << " " << Seconds(first) << " " << Seconds(first + report.length) << " "
        << report.frames << "\n";
    if (!report.telemetryPath.empty())
        out << report.telemetryPath << "\n";
    return kExitOk;
}

} // namespace quello
