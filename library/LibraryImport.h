#pragma once

#include "DatabaseUrl.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quello {

struct ImportProgress {
    int filesDone = 0;
    int filesTotal = 0;
    std::int64_t bytesDone = 0;
    std::int64_t bytesTotal = 0;
    std::string current; // the file being copied, as on the source
};

// What an import of the sources would bring: recordings not in the library yet (by what is
// known of the card's files; unknown ones may still turn out to be copies of stored content).
struct ImportPlan {
    int newRecordings = 0;
    int newFiles = 0;
    std::int64_t newBytes = 0;
    int knownRecordings = 0;
    bool anyCard = false; // a source is a camera card
};

struct ImportFailure {
    std::string path; // the source file (or the source folder)
    std::string reason;
};

struct ImportReport {
    int copied = 0; // files
    std::int64_t copiedBytes = 0;
    int recordings = 0; // recordings copied
    double seconds = 0;
    int skipped = 0; // files already in the library
    std::vector<ImportFailure> failed;
    bool cancelled = false;
    std::string refusal; // set when nothing was done: not enough space, the index unusable
    bool ok() const { return failed.empty() && !cancelled && refusal.empty(); }
};

// Copies recordings from cards or folders into a library of drives:
// LIBRARY/<YYYY>/<YYYY-MM-DD>/<HHMMSS>_<name> by the recording's start on the camera clock, with
// its telemetry and GPS side files beside it under the same stem; GPS logs under the day's
// GPSLOG folder; the card's settings file and a record of each import under LIBRARY/imports.
// Every file is copied by VerifiedCopy and enters the index only once it is complete; content
// already in the library is never copied twice, and a card's files seen before (same card,
// path, size and time) are not read again. The camera's locked recordings come first, then
// the oldest: they are the next the camera overwrites.
//
// When the index's server goes away mid-import the import stops: the files moved into place stay
// (whether the last one's row was committed is unknown), and the next import indexes them.
//
// Run() blocks for the whole import: call it off the GUI thread. The progress callback is
// called on that thread. The sources are only read.
class LibraryImport {
public:
    LibraryImport(std::string library, std::vector<std::string> sources);

    // Read between files and chunks: when it turns true the import stops, removing the copy
    // it was making.
    void SetCancel(const std::atomic<bool>* cancel) { m_cancel = cancel; }
    void SetProgress(std::function<void(const ImportProgress&)> progress) {
        m_progress = std::move(progress);
    }
    // The index on this server rather than the one library.conf names (or library.sqlite).
    void SetDatabase(std::optional<DatabaseUrl> database) { m_database = std::move(database); }

    // Lists the sources against the index without reading any movie. False with `error`
    // when the library folder is missing (it is not created here) or its index cannot be
    // opened.
    bool Plan(ImportPlan& plan, std::string& error);

    ImportReport Run();

private:
    struct Work;
    std::string m_library;
    std::vector<std::string> m_sources;
    const std::atomic<bool>* m_cancel = nullptr;
    std::function<void(const ImportProgress&)> m_progress;
    std::optional<DatabaseUrl> m_database;
};

// "4.1 GB", "350 MB", "12 KB": sizes in the units a user reads (powers of 1000).
std::string SizeText(std::int64_t bytes);

} // namespace quello
