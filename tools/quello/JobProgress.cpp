#include "JobProgress.h"

#include "library/LibraryImport.h"

#include <cstdio>
#include <ostream>
#include <unistd.h>

namespace quello {

std::string ClockText(double seconds) {
    const long s = long(seconds + 0.5);
    char text[32];
    if (s >= 3600)
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    else
        std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
    return text;
}

JobProgress::JobProgress(std::ostream& out) : m_out(out), m_terminal(::isatty(1) == 1) {}

JobProgress::~JobProgress() {
    Finish();
}

void JobProgress::Show(int files, int totalFiles, std::int64_t bytes, std::int64_t totalBytes) {
    const auto now = std::chrono::steady_clock::now();
    const double elapsed = std::chrono::duration<double>(now - m_start).count();
    const bool fileDone = files != m_lastFiles;
    if (m_terminal ? now - m_shown < std::chrono::milliseconds(200) && !fileDone : !fileDone)
        return;
    m_shown = now;
    m_lastFiles = files;
    const double rate = elapsed > 0 ? double(bytes) / elapsed : 0;
    std::string line = std::to_string(files) + "/" + std::to_string(totalFiles) + " files, " +
                       SizeText(bytes) + " of " + SizeText(totalBytes);
    if (rate > 0) {
        line += ", " + SizeText(std::int64_t(rate)) + "/s";
        if (totalBytes > bytes)
            line += ", " + ClockText(double(totalBytes - bytes) / rate) + " left";
    }
    if (m_terminal) {
        m_out << "\r\033[K" << line << std::flush;
        m_open = true;
    } else {
        m_out << line << "\n" << std::flush;
    }
}
void JobProgress::ShowSpan(double doneSeconds, double totalSeconds) {
    const auto now = std::chrono::steady_clock::now();
    if (!m_terminal || now - m_shown < std::chrono::milliseconds(200))
        return;
    m_shown = now;
    const double elapsed = std::chrono::duration<double>(now - m_start).count();
    char text[160];
    int n =
        std::snprintf(text, sizeof text, "%.1f of %.1f s of video (%d %%)", doneSeconds,
                      totalSeconds, totalSeconds > 0 ? int(100 * doneSeconds / totalSeconds) : 100);
    if (elapsed > 0 && doneSeconds > 0)
        std::snprintf(text + n, sizeof text - std::size_t(n), ", %.2fx real time, %s left",
                      doneSeconds / elapsed,
                      ClockText((totalSeconds - doneSeconds) * elapsed / doneSeconds).c_str());
    m_out << "\r\033[K" << text << std::flush;
    m_open = true;
}

void JobProgress::Finish() {
    if (m_open)
        m_out << "\r\033[K" << std::flush;
    m_open = false;
}

} // namespace quello
