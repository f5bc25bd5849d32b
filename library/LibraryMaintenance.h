#pragma once

#include "DatabaseUrl.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quello {

struct MaintenanceProblem {
    std::string path; // relative to the library
    std::string what; // "changed", "missing", "unreadable: ...", "duplicate of ..."
};

struct MaintenanceReport {
    int recordings = 0;
    int files = 0;
    std::int64_t bytes = 0;
    double seconds = 0;
    bool recreated = false; // the damaged index was moved aside and made anew
    std::vector<MaintenanceProblem> problems;
    std::string refusal; // nothing could be done
};

// The two jobs that read the whole library back: rebuilding its index from the files (the files
// are the truth: nothing in the library is moved or deleted by it), and checking every stored
// file against the hash it had at import. Both block for as long as they read: call them off
// the GUI thread. `progress` gets the bytes read so far and the total.
class LibraryMaintenance {
public:
    explicit LibraryMaintenance(std::string library);
    void SetCancel(const std::atomic<bool>* cancel) { m_cancel = cancel; }
    void SetProgress(std::function<void(std::int64_t done, std::int64_t total)> progress) {
        m_progress = std::move(progress);
    }
    // The index on this server rather than the one library.conf names (or library.sqlite).
    void SetDatabase(std::optional<DatabaseUrl> database) { m_database = std::move(database); }

    // Builds the index anew from the files and the import records (which card a file came from,
    // the card's thresholds). A damaged index is moved aside first. Hashes of the old index are
    // kept for files whose size and time did not change, unless `rehash`.
    MaintenanceReport Rebuild(bool rehash);

    // Re-hashes every indexed file from the disk; problems name the files whose bytes changed
    // since import or that are missing.
    MaintenanceReport Verify();

private:
    std::string m_library;
    const std::atomic<bool>* m_cancel = nullptr;
    std::function<void(std::int64_t, std::int64_t)> m_progress;
    std::optional<DatabaseUrl> m_database;
};

} // namespace quello
