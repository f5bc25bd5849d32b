#include "TelemetrySlice.h"

#include "recordings/TelemetrySet.h"
#include "recordings/base/WholeFile.h"

#include <algorithm>
#include <cstring>

namespace quello {

namespace {

// The parser reads lines in pieces of at most 1023 bytes and takes a piece as a sample or a
// fix only when it is at least 9 characters long (CR LF counting as one, a NUL ending it) and
// starts with "[S]\t" or "[G]\t". A bigger telemetry file is no camera's.
constexpr std::size_t kPieceMax = 1023;
constexpr std::size_t kMinLineLength = 9;
constexpr std::size_t kMaxFileBytes = 64u << 20;

char Kind(const std::string& piece) {
    std::size_t length = ::strnlen(piece.data(), piece.size());
    if (length == piece.size() && length >= 2 && piece[length - 1] == '\n' &&
        piece[length - 2] == '\r')
        --length;
    if (length < kMinLineLength || piece[0] != '[' || piece[2] != ']' || piece[3] != '\t')
        return 0;
    return piece[1] == 'S' || piece[1] == 'G' ? piece[1] : 0;
}

} // namespace

bool TelemetrySlice::Load(const std::string& path) {
    m_samples.clear();
    m_fixes.clear();
    std::string text;
    if (!ReadWholeFile(path, kMaxFileBytes, text))
        return false;
    int fixCount = 0;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t newline = text.find('\n', at);
        const std::size_t end =
            std::min(newline == std::string::npos ? text.size() : newline + 1, at + kPieceMax);
        std::string piece = text.substr(at, end - at);
        at = end;
        const char kind = Kind(piece);
        if (kind == 0)
            continue;
        // A line that had no line end of its own gets one, so that the next stays its own.
        if (piece.back() != '\n')
            piece += '\n';
        if (kind == 'S') {
            m_samples.push_back(std::move(piece));
        } else {
            // The parser's rule: a fix lands in the slot of the second its preceding samples
            // reached, never before the slot after the previous fix.
            const int slot = std::max(fixCount, int(m_samples.size()) / 10);
            m_fixes.resize(std::size_t(slot) + 1);
            m_fixes[std::size_t(slot)] = std::move(piece);
            fixCount = slot + 1;
        }
        if (fixCount >= TelemetrySet::kMaxFixes ||
            int(m_samples.size()) >= TelemetrySet::kMaxSamples)
            break;
    }
    return true;
}

const std::string* TelemetrySlice::fix(int i) const {
    const auto& text = m_fixes[std::size_t(i)];
    return text ? &*text : nullptr;
}

std::string TelemetrySlice::Text(int firstSample, int samples, int firstFix, int fixes) const {
    firstSample = std::clamp(firstSample, 0, sampleCount());
    samples = std::clamp(samples, 0, sampleCount() - firstSample);
    firstFix = std::clamp(firstFix, 0, fixCount());
    fixes = std::clamp(fixes, 0, fixCount() - firstFix);
    std::vector<const std::string*> sampleLines, fixLines;
    for (int i = 0; i < samples; ++i)
        sampleLines.push_back(&sample(firstSample + i));
    for (int i = 0; i < fixes; ++i)
        fixLines.push_back(fix(firstFix + i));
    return Compose(sampleLines, fixLines);
}

std::string TelemetrySlice::Compose(const std::vector<const std::string*>& samples,
                                    const std::vector<const std::string*>& fixes) {
    const int sampleTotal = int(samples.size());
    std::string out;
    int written = 0;  // samples written so far
    int nextSlot = 0; // the slot the parser gives the next fix at the least
    for (int slot = 0; slot < int(fixes.size()); ++slot) {
        const std::string* fix = fixes[std::size_t(slot)];
        if (!fix)
            continue;
        // A skipped second is re-created the way the camera made it: by samples reaching past
        // it before the next fix.
        while (written < sampleTotal && written < slot * 10)
            out += *samples[std::size_t(written++)];
        if (std::max(nextSlot, written / 10) != slot)
            break; // too few samples left to reach this second: the slice ends before it
        out += *fix;
        nextSlot = slot + 1;
    }
    while (written < sampleTotal)
        out += *samples[std::size_t(written++)];
    return out;
}

} // namespace quello
