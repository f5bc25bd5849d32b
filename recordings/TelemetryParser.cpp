#include "TelemetryParser.h"

#include "base/FileRead.h"
#include "base/OpenRegular.h"
#include "base/Utf8Text.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quello {

namespace {

// The camera's reader took lines into a 1024-byte buffer: at most 1023 characters per piece,
// a longer line being judged piece by piece.
constexpr std::size_t kLineBuffer = 1024;
constexpr std::size_t kPieceMax = kLineBuffer - 1;
constexpr std::size_t kReadChunk = 16384;
constexpr std::size_t kMinLineLength = 9;
// Each token keeps at most 23 characters: enough for any field it can end up in.
constexpr std::size_t kTokenBuffer = 24;

// Whitespace as the C locale's isspace() sees it, independent of the process locale.
bool IsSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

const char* SkipSpace(const char* p) {
    while (IsSpace(*p))
        ++p;
    return p;
}

// A "%d" conversion: optional whitespace, optional sign, at least one digit. Values beyond the
// 32-bit range saturate. On failure nothing is stored and the caller stops converting.
bool ScanInt(const char*& p, std::int32_t& out) {
    const char* q = SkipSpace(p);
    const bool negative = *q == '-';
    if (*q == '-' || *q == '+')
        ++q;
    if (*q < '0' || *q > '9')
        return false;
    constexpr std::int64_t kLimit = std::int64_t(INT32_MAX) + 1;
    std::int64_t value = 0;
    for (; *q >= '0' && *q <= '9'; ++q)
        value = std::min(value * 10 + (*q - '0'), kLimit);
    value = negative ? -value : std::min<std::int64_t>(value, INT32_MAX);
    out = std::int32_t(value);
    p = q;
    return true;
}

// A "%s" conversion: optional whitespace, then the run of non-blank characters. The whole run
// is consumed; only its first `capacity - 1` characters are kept, always zero-terminated.
bool ScanToken(const char*& p, char* out, std::size_t capacity) {
    const char* q = SkipSpace(p);
    if (*q == '\0')
        return false;
    std::size_t kept = 0;
    for (; *q != '\0' && !IsSpace(*q); ++q) {
        if (kept + 1 < capacity)
            out[kept++] = *q;
    }
    out[kept] = '\0';
    p = q;
    return true;
}

void CopyTruncated(char* out, std::size_t capacity, const char* text) {
    std::size_t n = 0;
    for (; text[n] != '\0' && n + 1 < capacity; ++n)
        out[n] = text[n];
    out[n] = '\0';
}

// A coordinate token's hemisphere letter becomes the sign: the negative letter turns into "-",
// any other first character is dropped.
void StoreCoordinate(char (&out)[12], const char* token, char negativeLetter) {
    if (token[0] == '\0') {
        out[0] = '\0';
    } else if (token[0] == negativeLetter) {
        out[0] = '-';
        CopyTruncated(out + 1, sizeof out - 1, token + 1);
    } else {
        CopyTruncated(out, sizeof out, token + 1);
    }
}

void ParseSample(const char* p, GSensorSample& sample) {
    // Values that fail to convert stay 0, like a scanf that stops at its first mismatch.
    ScanInt(p, sample.x) && ScanInt(p, sample.y) && ScanInt(p, sample.z);
}

void ParseFix(const char* p, GpsFix& fix) {
    char date[kTokenBuffer] = {}, time[kTokenBuffer] = {};
    char latitude[kTokenBuffer] = {}, longitude[kTokenBuffer] = {};
    ScanToken(p, date, sizeof date) && ScanToken(p, time, sizeof time) &&
        ScanToken(p, latitude, sizeof latitude) && ScanToken(p, longitude, sizeof longitude) &&
        ScanInt(p, fix.speed) && ScanInt(p, fix.heading);

    // dateTime = "<date> <time>", cut at the field's width.
    const std::size_t dateLength = std::strlen(date);
    CopyTruncated(fix.dateTime, sizeof fix.dateTime, date);
    if (dateLength + 1 < sizeof fix.dateTime) {
        fix.dateTime[dateLength] = ' ';
        CopyTruncated(fix.dateTime + dateLength + 1, sizeof fix.dateTime - dateLength - 1, time);
    }
    StoreCoordinate(fix.latitude, latitude, 'S');
    StoreCoordinate(fix.longitude, longitude, 'W');
}

// Hands out the file as the camera's text-mode reader saw it: CR LF arrives as one LF, and
// lines come in pieces of at most 1023 characters.
class PieceReader {
public:
    explicit PieceReader(int fd) : m_fd(fd) {}

    // Fills `line` with the next piece, zero-terminated; returns its length, 0 at the end of
    // the file or on a read error.
    std::size_t Next(char (&line)[kLineBuffer]) {
        std::size_t n = 0;
        while (n < kPieceMax && Fill()) {
            const char* start = m_buffer + m_pos;
            const std::size_t take = std::min(m_len - m_pos, kPieceMax - n);
            const void* newline = std::memchr(start, '\n', take);
            // (min() only tells the compiler what memchr guarantees: the LF lies within `take`.)
            const std::size_t count = std::min(
                take, newline ? std::size_t(static_cast<const char*>(newline) - start) + 1 : take);
            std::memcpy(line + n, start, count);
            n += count;
            m_pos += count;
            if (newline) {
                if (n >= 2 && line[n - 2] == '\r') {
                    line[n - 2] = '\n';
                    --n;
                }
                line[n] = '\0';
                return n;
            }
        }
        // A full piece ending in CR whose LF follows: the pair is one line end.
        if (n == kPieceMax && line[n - 1] == '\r' && Fill() && m_buffer[m_pos] == '\n') {
            line[n - 1] = '\n';
            ++m_pos;
        }
        line[n] = '\0';
        return n;
    }

private:
    bool Fill() {
        if (m_pos < m_len)
            return true;
        const ssize_t got = ReadSome(m_fd, m_buffer, sizeof m_buffer);
        if (got <= 0)
            return false;
        m_pos = 0;
        m_len = std::size_t(got);
        return true;
    }

    int m_fd;
    std::size_t m_pos = 0;
    std::size_t m_len = 0;
    char m_buffer[kReadChunk];
};

void ParseLines(PieceReader& reader, TelemetrySet& set) {
    char line[kLineBuffer];
    for (std::size_t n; (n = reader.Next(line)) > 0;) {
        // Like a C string, the piece ends at its first NUL byte.
        const std::size_t length = ::strnlen(line, n);
        if (length >= kMinLineLength && line[0] == '[' && line[2] == ']' && line[3] == '\t') {
            if (line[1] == 'S') {
                GSensorSample& sample = set.samples[set.sampleCount];
                sample = GSensorSample{};
                ParseSample(line + 4, sample);
                ++set.sampleCount;
            } else if (line[1] == 'G') {
                // A fix lands in the slot of the second its preceding samples reached; slots
                // skipped on the way stay empty.
                const int slot = std::max(set.fixCount, set.sampleCount / 10);
                GpsFix fix;
                ParseFix(line + 4, fix);
                set.fixes[slot] = fix;
                set.speeds[slot] = fix.speed;
                set.fixCount = slot + 1;
            }
        }
        if (set.fixCount >= TelemetrySet::kMaxFixes || set.sampleCount >= TelemetrySet::kMaxSamples)
            break;
    }
    set.fixCount = std::max(set.fixCount, set.sampleCount / 10);
}

} // namespace

bool ParseTelemetryFile(const std::string& path, TelemetrySet& set) {
    set = TelemetrySet{};
    if (Utf8Length(path) < 5)
        return false;
    // Only a regular file is a telemetry file; a FIFO cannot hang the caller.
    const int fd = OpenRegular(path);
    if (fd < 0)
        return false;
    PieceReader reader(fd);
    ParseLines(reader, set);
    ::close(fd);
    return true;
}

} // namespace quello
