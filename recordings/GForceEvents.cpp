#include "GForceEvents.h"

#include <algorithm>
#include <cmath>

namespace quello {

namespace {

// Dividing, not multiplying by 0.1, gives the nearest double to each tenth.
constexpr double kSamplesPerSecond = 10.0;

struct Reading {
    double horizontal, vertical; // in g
};

Reading Read(const GSensorSample& s) {
    return {std::hypot(s.x, s.y) / 1000.0, std::abs(s.z - 1000) / 1000.0};
}

bool Above(const Reading& r, const GForceThresholds& t) {
    return (t.horizontal > 0 && r.horizontal > t.horizontal) ||
           (t.vertical > 0 && r.vertical > t.vertical);
}

// How far the sample goes past the thresholds that it crosses, as a share of them: the peak is
// the sample that crosses most.
double Strength(const Reading& r, const GForceThresholds& t) {
    double s = 0;
    if (t.horizontal > 0)
        s = std::max(s, r.horizontal / t.horizontal);
    if (t.vertical > 0)
        s = std::max(s, r.vertical / t.vertical);
    return s;
}

void Classify(const GSensorSample& s, GForceEvent& event) {
    const double x = s.x / 1000.0, y = s.y / 1000.0, z = (s.z - 1000) / 1000.0;
    if (std::abs(z) > std::abs(x) && std::abs(z) > std::abs(y)) {
        event.kind = GForceKind::Impact;
        event.peakG = z;
    } else if (std::abs(x) >= std::abs(y)) {
        event.kind = x < 0 ? GForceKind::Braking : GForceKind::Acceleration;
        event.peakG = x;
    } else {
        event.kind = y < 0 ? GForceKind::LeftTurn : GForceKind::RightTurn;
        event.peakG = y;
    }
}

double Level(int level) {
    return std::clamp(level, 0, 10) == 0 ? 0.0 : 0.2 + 0.1 * (10 - std::clamp(level, 0, 10));
}

} // namespace

const char* GForceKindName(GForceKind kind) {
    switch (kind) {
    case GForceKind::Braking:
        return "braking";
    case GForceKind::Acceleration:
        return "acceleration";
    case GForceKind::LeftTurn:
        return "left turn";
    case GForceKind::RightTurn:
        return "right turn";
    case GForceKind::Impact:
        break;
    }
    return "impact";
}

GForceThresholds ThresholdsForSensitivity(int x, int y, int z) {
    const double hx = Level(x), hy = Level(y);
    double horizontal = hx > 0 && hy > 0 ? std::min(hx, hy) : std::max(hx, hy);
    return {horizontal, Level(z)};
}

std::vector<GForceEvent> FindGForceEvents(const GSensorSample* samples, int count,
                                          const GForceThresholds& thresholds) {
    std::vector<GForceEvent> events;
    if (samples == nullptr)
        return events;
    int first = -1, peak = -1;
    double peakStrength = 0;
    const auto close = [&](int last) {
        GForceEvent event;
        event.start = first / kSamplesPerSecond;
        event.peak = peak / kSamplesPerSecond;
        event.end = (last + 1) / kSamplesPerSecond;
        Classify(samples[peak], event);
        events.push_back(event);
        first = -1;
    };
    for (int i = 0; i < count; ++i) {
        const Reading r = Read(samples[i]);
        if (!Above(r, thresholds)) {
            if (first >= 0)
                close(i - 1);
            continue;
        }
        const double strength = Strength(r, thresholds);
        if (first < 0 || strength > peakStrength) {
            if (first < 0)
                first = i;
            peak = i;
            peakStrength = strength;
        }
    }
    if (first >= 0)
        close(count - 1);
    return events;
}

double EventJumpPoint(const GForceEvent& event) {
    return std::max(0.0, event.peak - kEventLeadSeconds);
}

std::optional<int> NextEvent(const std::vector<GForceEvent>& events, double position,
                             bool forward) {
    const int count = static_cast<int>(events.size());
    if (forward) {
        for (int i = 0; i < count; ++i)
            if (EventJumpPoint(events[static_cast<std::size_t>(i)]) > position + 0.05)
                return i;
    } else {
        for (int i = count - 1; i >= 0; --i)
            if (EventJumpPoint(events[static_cast<std::size_t>(i)]) < position - 0.5)
                return i;
    }
    return std::nullopt;
}

} // namespace quello
