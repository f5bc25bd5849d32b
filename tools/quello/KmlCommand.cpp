#include "KmlCommand.h"

#include "CommandLine.h"
#include "InputFile.h"

#include "outputs/KmlConverter.h"

#include <filesystem>
#include <ostream>
#include <system_error>

namespace quello {

namespace {

// The converter names the document after the text behind the log path's last '/', so it is
// given absolute paths: a bare file name would otherwise fail with "no folder in the path".
// The folder part is resolved as the kernel resolves it (symbolic links before ".."; a
// lexical clean-up could name another file than the one checked); the last name stays as
// given, since it names the document. A folder that cannot be resolved leaves the path as it
// is, for the converter to report.
std::string Resolved(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    std::string text = fs::absolute(path, ec).string();
    if (ec)
        return path;
    while (text.size() > 1 && text.back() == '/')
        text.pop_back();
    const fs::path given(text);
    const fs::path folder = fs::canonical(given.parent_path(), ec);
    return ec ? text : (folder / given.filename()).string();
}

} // namespace

const char* KmlCommand::summary() const {
    return "convert GPS logs to KML tracks";
}

std::string KmlCommand::help() const {
    return "usage: quello kml --output DIR LOG...\n\n"
           "Converts each GPS log into DIR/<log name>.kml (an existing file is replaced) and\n"
           "prints one line per log, in order:\n"
           "  OK <kml path>\n"
           "  Failed! <code>   -1 no such log, -2 log not readable, -4 KML not writable\n"
           "The exit code is 1 when any log failed. DIR must be an existing folder.\n";
}

int KmlCommand::Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const CommandLine line(args, {"output"});
    if (!line.ok()) {
        err << "quello kml: " << line.error() << "\n";
        return kExitUsage;
    }
    const auto output = line.option("output");
    if (!output || line.positional().empty()) {
        err << "quello kml: give an output folder and at least one log (usage: quello kml "
               "--output DIR LOG...)\n";
        return kExitUsage;
    }
    const std::string problem = DirectoryProblem(*output);
    if (!problem.empty()) {
        err << "quello kml: output folder " << *output << ": " << problem << "\n";
        return kExitFailed;
    }
    std::error_code ec;
    const std::string outputDir = std::filesystem::canonical(*output, ec).string();
    if (ec) {
        err << "quello kml: output folder " << *output << ": " << ec.message() << "\n";
        return kExitFailed;
    }
    int failed = 0;
    for (const auto& log : line.positional()) {
        std::string kmlPath;
        const int code = ConvertLogToKml(Resolved(log), "GPS Log data.", outputDir, kmlPath);
        if (code == 0) {
            out << "OK " << kmlPath << "\n";
        } else {
            out << "Failed! " << code << "\n";
            ++failed;
        }
    }
    if (failed) {
        err << "quello kml: " << failed << " of " << line.positional().size() << " logs failed\n";
        return kExitFailed;
    }
    return kExitOk;
}

} // namespace quello
