#include "ClipCommand.h"

#include "CommandLine.h"
#include "JobSignals.h"

#include "clips/ClipSpan.h"
#include "clips/LosslessClip.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>
#include <ostream>

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
    return "cut a span of a recording and its trip into a new movie, without re-encoding";
}

std::string ClipCommand::help() const {
    return "usage: quello clip MOVIE --from S --to S -o OUT.mov|OUT.mp4\n\n"
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
    const ClipSpan span = FindClipSpan(line.positional().front(), *start, *end);
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
