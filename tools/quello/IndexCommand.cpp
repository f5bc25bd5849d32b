#include "IndexCommand.h"

#include "CommandLine.h"
#include "DatabaseArgument.h"
#include "JobProgress.h"
#include "JobSignals.h"

#include "library/LibraryImport.h"
#include "library/LibraryMaintenance.h"

#include <ostream>

namespace quello {

const char* IndexCommand::summary() const {
    return "rebuilds a library's index from its files";
}

std::string IndexCommand::help() const {
    return "usage: quello index LIBRARY [--db URL]\n\n"
           "Builds LIBRARY/library.sqlite anew from the recordings, telemetry files and GPS logs\n"
           "stored in the library and the records of its imports. A damaged index is moved\n"
           "aside (library.sqlite.damaged-<time>) first. No recording is moved or deleted.\n"
           "Files whose size and time did not change keep the hash the index had.\n";
}

int IndexCommand::Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::string library;
    std::optional<DatabaseUrl> database;
    if (!LibraryArguments("index", args, library, database, err))
        return kExitUsage;
    JobSignals signals;
    LibraryMaintenance job(library);
    job.SetDatabase(database);
    job.SetCancel(JobSignals::stop());
    const MaintenanceReport report = job.Rebuild(false);
    if (!report.refusal.empty()) {
        err << "quello index: " << report.refusal << "\n";
        return kExitFailed;
    }
    if (report.recreated)
        out << "the damaged index was moved aside and made anew\n";
    for (const auto& problem : report.problems)
        out << problem.path << ": " << problem.what << "\n";
    out << "indexed " << report.recordings << " recordings (" << report.files << " files, "
        << SizeText(report.bytes) << ") in " << ClockText(report.seconds) << "\n";
    return report.problems.empty() ? kExitOk : kExitFailed;
}

} // namespace quello
