#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace quello {

class CMediaGraph;

// The arguments of the helper programs that work on one moment of a movie:
// `MOVIE --at SECONDS -o OUT` (--output is the long form of -o). A plain value.
struct MovieMoment {
    std::string movie;
    std::string output;
    std::string atText; // SECONDS as given, for messages
    double seconds = 0.0;
    std::string camera; // --camera NAME|all as given, for a command that takes it; else empty

    // Parses the words after the command name; --camera only with `takesCamera`. On a wrong
    // command line writes a one-line message naming `command` and `usage` to `err` and returns
    // nothing (exit code 2).
    static std::optional<MovieMoment> Parse(const std::vector<std::string>& args,
                                            const char* command, const char* usage,
                                            std::ostream& err, bool takesCamera = false);

    // The moment's main camera's movie (MainCameraMovie): its telemetry, GPS choices and clock
    // stand for every camera's file of the moment.
    std::string mainMovie() const;

    // Opens the movie in `graph` (no window, no sound), checks that the moment lies within it
    // and seeks there exactly. Returns 0, or 1 after a one-line message naming `command`.
    int OpenIn(CMediaGraph& graph, const char* command, std::ostream& err) const;

    // A helper program's main: registers the telemetry readers `quello` has (the car's own in
    // a Tesla front camera's video), runs `run` on stdout and stderr and turns an exception
    // that escapes it into a one-line message naming `command` and exit code 1.
    using Runner = int (*)(int argc, char** argv, std::ostream& out, std::ostream& err);
    static int Main(int argc, char** argv, const char* command, Runner run);
};

} // namespace quello
