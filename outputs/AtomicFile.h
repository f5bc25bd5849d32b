#pragma once

#include <cstdio>
#include <string>

namespace quello {

// Replaces one file atomically: the content goes to a new temporary file in the destination's
// folder, which commit() flushes, syncs to disk and renames over the destination. Until then
// the destination is untouched; if commit() is never reached or fails, the temporary file is
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
    bool open(const std::string& finalPath);

    // The stream to write to; valid between a successful open() and commit()/discard(). A
    // writer that opens the file by name instead would hide its write errors from commit().
    std::FILE* stream() const { return stream_; }

    // Flushes, syncs and renames over the destination. False (and the temporary file removed)
    // when any write, the sync or the rename failed. True once the rename is done: the
    // destination then holds the new content, even if the folder itself cannot be synced.
    // A replaced destination keeps its permission bits.
    bool commit();

    // Removes the temporary file without touching the destination.
    void discard();

private:
    std::FILE* stream_ = nullptr;
    std::string tempPath_;
    std::string finalPath_;
};

} // namespace quello
