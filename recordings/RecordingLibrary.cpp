#include "RecordingLibrary.h"

#include "MovieHeader.h"

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <system_error>

namespace quello {

bool RecordingLibrary::Add(const std::string& moviePath, RecordingRow& row) {
    if (m_entryCount >= kCapacity)
        return false;
    RecordingEntry& e = m_entries[static_cast<std::size_t>(m_entryCount)];
    e = RecordingEntry{};
    e.moviePath = moviePath;

    row = RecordingRow{};
    row.path = moviePath;
    if (!FindTelemetryFile(moviePath, e.telemetryPath)) {
        e.telemetryPath.clear();
        row.marker = "*";
    }
    ++m_entryCount;

    // The header reader leaves outputs it cannot fill untouched: a day of month of 0 marks
    // "no creation time".
    std::tm created{};
    std::uint32_t duration = 0;
    int readOnly = 0;
    ReadMovieHeader(moviePath, created, duration, readOnly);
    if (created.tm_mday != 0) {
        row.timeText = FormatRecordingTime(created);
        e.hasStartTime = true;
        e.startTime = static_cast<std::int64_t>(timegm(&created));
        e.durationSeconds = duration;
    }
    if (readOnly)
        row.marker = "+";
    return true;
}

bool RecordingLibrary::Add(const RecordingEntry& entry) {
    if (m_entryCount >= kCapacity)
        return false;
    m_entries[static_cast<std::size_t>(m_entryCount++)] = entry;
    return true;
}

bool RecordingLibrary::Remove(int n) {
    if (n < 0 || n >= m_entryCount)
        return false;
    for (int i = n; i + 1 < m_entryCount; ++i)
        m_entries[static_cast<std::size_t>(i)] =
            std::move(m_entries[static_cast<std::size_t>(i + 1)]);
    m_entries[static_cast<std::size_t>(m_entryCount - 1)] = RecordingEntry{};
    --m_entryCount;
    if (m_currentIndex >= n && m_currentIndex > 0)
        --m_currentIndex;
    return true;
}

void RecordingLibrary::Clear() {
    for (int i = 0; i < m_entryCount; ++i)
        m_entries[static_cast<std::size_t>(i)] = RecordingEntry{};
    m_entryCount = 0;
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
