#pragma once

#include <chrono>
#include <cstdint>
#include <iosfwd>
#include <string>

namespace quello {

// The progress of a long job on stdout: files, bytes, rate and time left, on one line rewritten
// in place when stdout is a terminal, else a plain line for each file done. Used on one thread.
class JobProgress {
public:
    explicit JobProgress(std::ostream& out);
    ~JobProgress();
    JobProgress(const JobProgress&) = delete;
    JobProgress& operator=(const JobProgress&) = delete;

    void Show(int files, int totalFiles, std::int64_t bytes, std::int64_t totalBytes);
    // The progress of a job over a span of video: seconds done of the total, the speed against
    // real time and the time left. On a terminal only: a pipe gets the report alone.
    void ShowSpan(double doneSeconds, double totalSeconds);
    // Clears the live line, so that the report starts on a clean line.
    void Finish();

private:
    std::ostream& m_out;
    bool m_terminal;
    bool m_open = false;
    int m_lastFiles = -1;
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point m_shown{};
};

// "1:05" or "1:02:05" for a count of seconds.
std::string ClockText(double seconds);

} // namespace quello
