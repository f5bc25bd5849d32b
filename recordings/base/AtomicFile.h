#pragma once

#include <cstdio>
#include <string>

namespace quello {

// Replaces one file atomically: the content goes to a new temporary file in the destination's
// folder, which Commit() flushes, syncs to disk and renames over the destination. Until then
// the destination is untouched; if Commit() is never reached or fails, the temporary file is
// removed, so a failure never leaves a partial file.
//
// The object owns the temporary file and its stream. Not copyable; use from one thread.
class AtomicFile {
public:
    AtomicFile() = default;
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary file for finalPath. False when the folder is missing or not
    // writable, the path is empty or holds a NUL byte, names a folder, or names an existing
    // file that has no write permission bit at all (a read-only file is not replaced).
    bool Open(const std::string& finalPath);

    // The stream to write to; valid between a successful Open() and Commit()/Discard(). A
    // writer that opens the file by name instead would hide its write errors from Commit().
    std::FILE* stream() const { return m_stream; }

    // Flushes, syncs and renames over the destination. False (and the temporary file removed)
    // when any write, the sync or the rename failed. True once the rename is done: the
    // destination then holds the new content, even if the folder itself cannot be synced.
    // A replaced destination keeps its permission bits.
    bool Commit();

    // Removes the temporary file without touching the destination.
    void Discard();

private:
    std::FILE* m_stream = nullptr;
    std::string m_tempPath;
    std::string m_finalPath;
};

} // namespace quello
