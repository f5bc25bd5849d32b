#pragma once

#include "RecordingEntry.h"

#include <array>
#include <ctime>
#include <string>

namespace quello {

// The text of one entry: its marker, path and creation time.
struct RecordingRow {
    std::string marker;   // "" with telemetry, "*" without, "+" when the movie is read-only
    std::string path;     // the movie's full path
    std::string timeText; // "hh:mm:ss MM-DD-YYYY" of the creation time, "" when unreadable
};

// A fixed-capacity list of recordings in the order they were added; removing one moves the
// later ones up, so an entry's index is its position in that order. Owns its entries. Not
// thread-safe: use from one thread at a time.
class RecordingLibrary {
public:
    static constexpr int kCapacity = 512;

    // Appends moviePath with its telemetry file and fills the row text; false (nothing added)
    // when the library is full. No duplicate check: the same file can be added twice.
    bool Add(const std::string& moviePath, RecordingRow& row);
    // Appends an entry whose telemetry file, start and length are already known (a library's
    // index holds them), without reading any file; false when the library is full.
    bool Add(const RecordingEntry& entry);

    // Removes entry n (later entries move up) and keeps currentIndex on the same recording
    // where it can: an index at or past n moves back by one, but never below 0. Out-of-range
    // n changes nothing and returns false.
    bool Remove(int n);

    // Empties the library; currentIndex keeps its value.
    void Clear();

    int entryCount() const { return m_entryCount; }
    bool isFull() const { return m_entryCount >= kCapacity; }
    const RecordingEntry& entry(int i) const { return m_entries[static_cast<std::size_t>(i)]; }

    // The chosen entry; -1 when none was chosen. Not checked against entryCount().
    int currentIndex() const { return m_currentIndex; }
    void SetCurrentIndex(int index) { m_currentIndex = index; }

private:
    std::array<RecordingEntry, kCapacity> m_entries{};
    int m_entryCount = 0;
    int m_currentIndex = -1;
};

// "%02d:%02d:%02d %02d-%02d-%04d" from hour, minute, second, month (1-12), day, year.
std::string FormatRecordingTime(const std::tm& time);

// Deletes the movie and its telemetry file; failures (missing, not permitted) are ignored.
void DeleteRecordingFiles(const RecordingEntry& entry);

} // namespace quello
