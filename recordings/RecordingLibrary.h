#pragma once

#include "RecordingEntry.h"

#include <array>
#include <ctime>
#include <string>

namespace quello {

// What the library list shows for one entry.
struct RecordingRow {
    std::string marker;   // "" with telemetry, "*" without, "+" when the movie is read-only
    std::string path;     // the movie's full path
    std::string timeText; // "hh:mm:ss MM-DD-YYYY" of the creation time, "" when unreadable
};

// The fixed-capacity list of recordings the user can play, in the order they were added.
// Entry i is always row i of the list that shows it. Owned by the main window; not
// thread-safe (used on the GUI thread only).
class RecordingLibrary {
public:
    static constexpr int kCapacity = 512;

    // Appends moviePath with its telemetry file and fills the row text; false (nothing added)
    // when the library is full. No duplicate check: the same file can be added twice.
    bool Add(const std::string& moviePath, RecordingRow& row);

    // Removes entry n (later entries move up) and keeps currentIndex on the same recording
    // where it can: an index at or past n moves back by one, but never below 0. Out-of-range
    // n changes nothing and returns false.
    bool Remove(int n);

    // Empties the library; currentIndex keeps its value.
    void Clear();

    int entryCount() const { return entryCount_; }
    bool isFull() const { return entryCount_ >= kCapacity; }
    const RecordingEntry& entry(int i) const { return entries_[static_cast<std::size_t>(i)]; }

    // The entry the playback controller has open or will open; -1 when none was chosen.
    int currentIndex() const { return currentIndex_; }
    void setCurrentIndex(int index) { currentIndex_ = index; }

private:
    std::array<RecordingEntry, kCapacity> entries_{};
    int entryCount_ = 0;
    int currentIndex_ = -1;
};

// "%02d:%02d:%02d %02d-%02d-%04d" from hour, minute, second, month (1-12), day, year.
std::string FormatRecordingTime(const std::tm& time);

// Deletes the movie and its telemetry file; failures (missing, not permitted) are ignored.
void DeleteRecordingFiles(const RecordingEntry& entry);

} // namespace quello
