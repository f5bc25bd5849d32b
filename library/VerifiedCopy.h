#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <sys/types.h>

namespace quello {

// Copies one file into a folder and proves the copy: the source is read once (never written,
// its access time left alone where the system allows) and hashed (SHA-256) while it is written
// to a hidden temporary name in the target folder; the copy is synced, dropped from the page
// cache, read back from the disk and hashed again. Only a copy whose two hashes agree can be
// moved to its final name, with the source's modification time.
//
// The object owns its temporary file until MoveInto() takes it; the destructor removes one that
// was not taken. The temporary is locked (flock) while it is owned, so RemoveStale() of another
// import never takes it for a leftover. One thread at a time.
class VerifiedCopy {
public:
    struct Result {
        bool ok = false;
        bool cancelled = false; // *cancel became true: nothing is left behind
        bool diskFull = false;  // the target's file system is full (ENOSPC, EDQUOT)
        std::string sha256;     // of the bytes read from the source
        std::int64_t bytes = 0;
        std::string error; // one line, when !ok
    };

    // `cancel` (may be null) is read between chunks; `onBytes` (may be empty) is called with
    // the count of each chunk read from the source.
    VerifiedCopy(const std::atomic<bool>* cancel, std::function<void(std::int64_t)> onBytes);
    ~VerifiedCopy();
    VerifiedCopy(const VerifiedCopy&) = delete;
    VerifiedCopy& operator=(const VerifiedCopy&) = delete;

    // Copies `source` into `folder` (which must exist) under a temporary name for `name`, with
    // the permission bits `mode`. A copy made before and not taken is removed first.
    Result Copy(const std::string& source, const std::string& folder, const std::string& name,
                mode_t mode);

    // Renames the verified copy to finalPath, never replacing a file there (false with errno
    // EEXIST then, the copy kept for another try), and syncs the folder. False also when no
    // verified copy is held.
    bool MoveInto(const std::string& finalPath);

    // Removes the temporary copy, if one is held.
    void Discard();

    // The SHA-256 of a whole file in hex, reading it once; "" with `error` set on a failure or
    // a cancel. `dropCache` first drops the file's cached pages so the disk itself is read.
    static std::string HashFile(const std::string& path, const std::atomic<bool>* cancel,
                                const std::function<void(std::int64_t)>& onBytes,
                                std::string& error, bool dropCache = false);

    // Removes the temporaries in `folder` that no live copy holds (left by a killed import).
    static void RemoveStale(const std::string& folder);

    static constexpr const char* kTempPrefix = ".quello-part-";
    static constexpr const char* kNewPrefix = ".quello-new-"; // before the copy holds its lock

private:
    const std::atomic<bool>* m_cancel;
    std::function<void(std::int64_t)> m_onBytes;
    int m_fd = -1;
    std::string m_tempPath;
    bool m_verified = false;
};

} // namespace quello
