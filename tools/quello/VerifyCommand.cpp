#include "VerifyCommand.h"

#include "CommandLine.h"
#include "DatabaseArgument.h"
#include "JobProgress.h"
#include "JobSignals.h"

#include "library/LibraryImport.h"
#include "library/LibraryMaintenance.h"

#include <ostream>

namespace quello {

const char* VerifyCommand::summary() const {
    return "re-hashes every file of a library and reports those whose bytes changed";
}

std::string VerifyCommand::help() const {
    return "usage: quello verify LIBRARY [--db URL]\n\n"
           "Reads every file the library's index records back from the disk and compares its\n"
           "SHA-256 with the one taken at import. Files that changed (bit rot, edits) or are\n"
           "missing are listed, one a line; the exit code is then 1.\n";
}

int VerifyCommand::Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::string library;
    std::optional<DatabaseUrl> database;
    if (!LibraryArguments("verify", args, library, database, err))
        return kExitUsage;
    JobSignals signals;
    LibraryMaintenance job(library);
    job.SetDatabase(database);
    job.SetCancel(JobSignals::stop());
    const MaintenanceReport report = job.Verify();
    if (!report.refusal.empty()) {
        err << "quello verify: " << report.refusal << "\n";
        return kExitFailed;
    }
    for (const auto& problem : report.problems)
        out << problem.path << ": " << problem.what << "\n";
    out << "checked " << report.files << " files (" << SizeText(report.bytes) << ") in "
        << ClockText(report.seconds) << ": " << report.problems.size() << " changed or missing\n";
    return report.problems.empty() ? kExitOk : kExitFailed;
}

} // namespace quello
