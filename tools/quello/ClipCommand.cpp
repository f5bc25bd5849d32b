#include "ClipCommand.h"

#include "CommandLine.h"
#include "HelperCommand.h"
#include "JobSignals.h"

#include "clips/LosslessClip.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>
#include <ostream>
#include <strings.h>

namespace quello {

namespace {

// Seconds as a plain decimal ("12", "3.25"): no sign, exponent, or words like "inf".
std::optional<double> ParseSeconds(const std::string& text) {
    if (text.empty() || text.find_first_not_of("0123456789.") != std::string::npos)
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
    return "cut a span of a recording into a new movie, as it is or with the telemetry drawn in";
}

std::string ClipCommand::help() const {
    return "usage: quello clip MOVIE --from S --to S -o OUT.mov|OUT.mp4\n"
           "       quello clip MOVIE --from S --to S --overlay [--crf N] [--size WxH] -o "
           "OUT.mp4\n\n"
           "Copies the frames from the one shown at S (--from) to the one shown at S (--to),\n"
           "seconds of the recording (decimal), into OUT without re-encoding; sound comes\n"
           "along. The clip starts at the first of those frames and its creation time is the\n"
           "recording's plus that start. When the movie has the camera's telemetry file, OUT's\n"
           "name with the extension .DAT gets the G-sensor samples and GPS fixes of the span.\n"
           "An existing OUT or telemetry file is never replaced. Prints the span cut:\n"
           "  <OUT> <start> <end> <frames>\n"
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
    const CommandLine line(words, {"from", "to", "output", "crf", "size"});
    const char* usage = " (usage: quello clip MOVIE --from S --to S [--overlay] -o OUT)\n";
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
                                         std::to_string(height)},
                                        out, err, true);
    }
    JobSignals signals;
    LosslessClip clip(line.positional().front(), *output);
    clip.SetCancel(JobSignals::stop());
    const ClipReport report = clip.Write(*start, *end);
    if (!report.ok) {
        err << "quello clip: " << report.error << "\n";
        return kExitFailed;
    }
    out << *output << " " << Seconds(report.start) << " " << Seconds(report.end) << " "
        << report.frames << "\n";
    if (!report.telemetryPath.empty())
        out << report.telemetryPath << "\n";
    return kExitOk;
}

} // namespace quello
