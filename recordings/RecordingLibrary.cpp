#include "RecordingLibrary.h"

#include "MovieHeader.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace quello {

bool RecordingLibrary::Add(const std::string& moviePath, RecordingRow& row) {
    if (entryCount_ >= kCapacity)
        return false;
    RecordingEntry& e = entries_[static_cast<std::size_t>(entryCount_)];
    e = RecordingEntry{};
    e.moviePath = moviePath;

    row = RecordingRow{};
    row.path = moviePath;
    if (!FindTelemetryFile(moviePath, e.telemetryPath)) {
        e.telemetryPath.clear();
        row.marker = "*";
    }
    ++entryCount_;

    // The header reader leaves outputs it cannot fill untouched: a day of month of 0 marks
    // "no creation time".
    std::tm created{};
    std::uint32_t duration = 0;
    int readOnly = 0;
    ReadMovieHeader(moviePath, created, duration, readOnly);
    if (created.tm_mday != 0)
        row.timeText = FormatRecordingTime(created);
    if (readOnly)
        row.marker = "+";
    return true;
}

bool RecordingLibrary::Remove(int n) {
    if (n < 0 || n >= entryCount_)
        return false;
    for (int i = n; i + 1 < entryCount_; ++i)
        entries_[static_cast<std::size_t>(i)] =
            std::move(entries_[static_cast<std::size_t>(i + 1)]);
    entries_[static_cast<std::size_t>(entryCount_ - 1)] = RecordingEntry{};
    --entryCount_;
    if (currentIndex_ >= n && currentIndex_ > 0)
        --currentIndex_;
    return true;
}

void RecordingLibrary::Clear() {
    for (int i = 0; i < entryCount_; ++i)
        entries_[static_cast<std::size_t>(i)] = RecordingEntry{};
    entryCount_ = 0;
}

std::string FormatRecordingTime(const std::tm& t) {
    char text[64];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d %02d-%02d-%04d", t.tm_hour, t.tm_min, t.tm_sec,
                  t.tm_mon + 1, t.tm_mday, t.tm_year + 1900);
    return text;
}

namespace {

// Removes a file (or a link), never a folder: an empty folder would otherwise go too.
void RemoveFileOnly(const std::string& path) {
    if (path.empty())
        return;
    std::error_code ec;
    if (std::filesystem::is_directory(std::filesystem::symlink_status(path, ec)))
        return;
    std::filesystem::remove(path, ec);
}

} // namespace

void DeleteRecordingFiles(const RecordingEntry& entry) {
    RemoveFileOnly(entry.moviePath);
    RemoveFileOnly(entry.telemetryPath);
}

} // namespace quello
