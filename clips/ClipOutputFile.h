#pragma once

#include <string>

namespace quello {

// One new file written under a temporary name in its destination's folder and renamed to the
// destination only once it is complete and synced, so that a failure or a cancel leaves
// nothing behind. Unlike AtomicFile it never replaces a file: an existing destination, even
// one that appears while the file is written, makes Commit() fail.
//
// The object owns the temporary file; destroying it uncommitted removes it. Not copyable; use
// from one thread.
class ClipOutputFile {
public:
    ClipOutputFile() = default;
    ~ClipOutputFile();
    ClipOutputFile(const ClipOutputFile&) = delete;
    ClipOutputFile& operator=(const ClipOutputFile&) = delete;

    // Creates the empty temporary file for `finalPath`. False, with a one-line reason in
    // `error`, when the destination exists or its folder can't take a new file.
    bool Create(const std::string& finalPath, std::string& error);
    // The temporary file's path, for a writer that opens it by name.
    const std::string& tempPath() const { return m_tempPath; }
    const std::string& finalPath() const { return m_finalPath; }

    // Writes all of `bytes` to the temporary file (for small files written in one go).
    bool WriteAll(const std::string& bytes);
    // Syncs the temporary file and renames it to the destination without replacing anything.
    bool Commit(std::string& error);
    // Removes the destination again after a successful Commit() (when a companion file of the
    // same job failed), or the temporary file before it.
    void Remove();

private:
    int m_fd = -1;
    bool m_committed = false;
    std::string m_tempPath;
    std::string m_finalPath;
};

} // namespace quello
