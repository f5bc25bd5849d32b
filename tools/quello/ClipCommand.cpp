#include "ClipCommand.h"

#include "CommandLine.h"
#include "JobSignals.h"

#include "clips/LosslessClip.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>
#include <ostream>

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
    return "cut a span of a recording into a new movie, without re-encoding";
}

std::string ClipCommand::help() const {
    return "usage: quello clip MOVIE --from S --to S -o OUT.mov|OUT.mp4\n\n"
           "Copies the frames from the one shown at S (--from) to the one shown at S (--to),\n"
           "seconds of the recording (decimal), into OUT without re-encoding; sound comes\n"
           "along. The clip starts at the first of those frames and its creation time is the\n"
           "recording's plus that start. When the movie has the camera's telemetry file, OUT's\n"
           "name with the extension .DAT gets the G-sensor samples and GPS fixes of the span.\n"
           "An existing OUT or telemetry file is never replaced. Prints the span cut:\n"
           "  <OUT> <start> <end> <frames>\n"
           "Ctrl+C stops the job and leaves nothing behind.\n";
}

int ClipCommand::Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    // "-o OUT" is the short spelling of "--output OUT".
    std::vector<std::string> words;
    bool optionsEnded = false;
    for (const auto& arg : args) {
        optionsEnded = optionsEnded || arg == "--";
        words.push_back(!optionsEnded && arg == "-o" ? "--output" : arg);
    }
    const CommandLine line(words, {"from", "to", "output"});
    const char* usage = " (usage: quello clip MOVIE --from S --to S -o OUT)\n";
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
