#include "ImportCommand.h"

#include "CommandLine.h"
#include "DatabaseArgument.h"
#include "JobProgress.h"
#include "JobSignals.h"

#include "library/LibraryImport.h"

#include <ostream>

namespace quello {

const char* ImportCommand::summary() const {
    return "copies a camera card or folders of recordings into a library, checked by SHA-256";
}

std::string ImportCommand::help() const {
    return "usage: quello import SOURCE... --to LIBRARY [--db URL]\n\n"
           "Copies every recording of each SOURCE (a camera card's root or any folder of\n"
           "recordings) into LIBRARY/<YYYY>/<YYYY-MM-DD>/<HHMMSS>_<name>, by the recording's\n"
           "start on the camera's clock, with its telemetry and GPS side files beside it, the\n"
           "card's GPS logs under the day's GPSLOG folder, and the card's setup.cfg under\n"
           "LIBRARY/imports. The sources are only read.\n\n"
           "Each file is hashed (SHA-256) while it is copied under a hidden temporary name,\n"
           "synced, read back from the disk and compared, then given its name and its original\n"
           "modification time; a copy that differs is retried once. Recordings the camera locked\n"
           "after an event are copied first and stay read-only. Content already in the library\n"
           "is not copied again, and a card's files seen before (same path, size and time) are\n"
           "not read again. The index LIBRARY/library.sqlite records every file, or the\n"
           "database on a PostgreSQL server that --db postgresql://USER@HOST[:PORT]/DBNAME or\n"
           "a line 'database = postgresql://...' in LIBRARY/library.conf names (a shared\n"
           "library that several computers import into at once). A password comes from\n"
           "~/.pgpass or PGPASSWORD, never from the URL.\n\n"
           "Before copying, the free space must hold the new files and a reserve of 1 % (at\n"
           "least 256 MB). Ctrl+C stops the import without leaving a partial file; the next\n"
           "import goes on with what is missing. The exit code is 1 when a file failed, the\n"
           "import was refused or stopped.\n";
}

int ImportCommand::Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const CommandLine line(args, {"to", "db"});
    std::optional<DatabaseUrl> database;
    if (!line.ok() || line.positional().empty() || !line.option("to")) {
        err << "quello import: "
            << (line.ok() ? "give one or more sources and --to LIBRARY" : line.error())
            << " (usage: quello import SOURCE... --to LIBRARY [--db URL])\n";
        return kExitUsage;
    }
    if (!DatabaseArgument("import", line, database, err))
        return kExitUsage;
    JobSignals signals;
    LibraryImport job(*line.option("to"), line.positional());
    job.SetDatabase(database);
    job.SetCancel(JobSignals::stop());
    JobProgress progress(out);
    job.SetProgress([&](const ImportProgress& p) {
        progress.Show(p.filesDone, p.filesTotal, p.bytesDone, p.bytesTotal);
    });
    const ImportReport report = job.Run();
    progress.Finish();
    if (!report.refusal.empty()) {
        err << "quello import: " << report.refusal << "\n";
        return kExitFailed;
    }
    const double rate = report.seconds > 0 ? double(report.copiedBytes) / report.seconds : 0;
    out << "copied " << report.copied << (report.copied == 1 ? " file (" : " files (")
        << report.recordings << (report.recordings == 1 ? " recording, " : " recordings, ")
        << SizeText(report.copiedBytes) << ") in " << ClockText(report.seconds) << " ("
        << SizeText(std::int64_t(rate)) << "/s); skipped " << report.skipped
        << " already in the library; failed " << report.failed.size() << "\n";
    for (const auto& failure : report.failed)
        out << "failed: " << failure.path << ": " << failure.reason << "\n";
    if (report.cancelled)
        err << "quello import: stopped; run it again to copy the rest\n";
    return report.ok() ? kExitOk : kExitFailed;
}

} // namespace quello
