#include "TrackPlacement.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace quello {

namespace {

constexpr double kRadian = 3.14159265358979323846 / 180;
constexpr double kEarthRadiusKm = 6371.0088;
constexpr int kSamplesPerSecond = 10;
constexpr double kDay = 86400;

double DistanceKm(const TrackPoint& a, const TrackPoint& b) {
    const double dLat = (b.latitude - a.latitude) * kRadian;
    const double dLon = (b.longitude - a.longitude) * kRadian;
    const double h = std::sin(dLat / 2) * std::sin(dLat / 2) +
                     std::cos(a.latitude * kRadian) * std::cos(b.latitude * kRadian) *
                         std::sin(dLon / 2) * std::sin(dLon / 2);
    return 2 * kEarthRadiusKm * std::asin(std::min(1.0, std::sqrt(h)));
}

// The initial bearing from a to b, degrees in [0, 360).
double Bearing(const TrackPoint& a, const TrackPoint& b) {
    const double lat1 = a.latitude * kRadian, lat2 = b.latitude * kRadian;
    const double dLon = (b.longitude - a.longitude) * kRadian;
    const double y = std::sin(dLon) * std::cos(lat2);
    const double x =
        std::cos(lat1) * std::sin(lat2) - std::sin(lat1) * std::cos(lat2) * std::cos(dLon);
    const double degrees = std::atan2(y, x) / kRadian;
    return degrees < 0 ? degrees + 360 : degrees;
}

// Fills in the speeds and courses the source left out, from the neighbouring points.
void CompleteMotion(std::vector<TrackPoint>& track) {
    double lastCourse = 0;
    for (std::size_t i = 0; i < track.size(); ++i) {
        TrackPoint& p = track[i];
        if (track.size() < 2) {
            p.speedKmh = std::isnan(p.speedKmh) ? 0 : p.speedKmh;
            p.course = std::isnan(p.course) ? 0 : p.course;
            continue;
        }
        const TrackPoint& from = i == 0 ? track[0] : track[i - 1];
        const TrackPoint& to = i == 0 ? track[1] : track[i];
        const double km = DistanceKm(from, to);
        const double hours = (to.utc - from.utc) / 3600;
        if (std::isnan(p.speedKmh))
            p.speedKmh = hours > 0 ? km / hours : 0;
        if (std::isnan(p.course))
            p.course = km > 0 ? Bearing(from, to) : lastCourse;
        lastCourse = p.course;
    }
}

void WriteFix(const TrackPoint& p, std::int64_t clock, GpsFix& fix) {
    const time_t when = time_t(clock);
    std::tm tm{};
    // (A wide buffer first: the compiler can't know the fields' ranges.)
    char text[64] = {};
    if (::gmtime_r(&when, &tm) != nullptr)
        std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02d", tm.tm_year + 1900,
                      tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    std::memcpy(fix.dateTime, text, sizeof fix.dateTime - 1);
    std::snprintf(fix.latitude, sizeof fix.latitude, "%.6f", p.latitude);
    std::snprintf(fix.longitude, sizeof fix.longitude, "%.6f", p.longitude);
    fix.speed = std::int32_t(std::lround(std::clamp(p.speedKmh, 0.0, 1e6)));
    fix.heading = std::int32_t((std::lround(std::fmod(p.course, 360.0)) % 360 + 360) % 360);
}

std::int32_t Milli(double g) {
    return std::int32_t(std::lround(std::clamp(g, -1e6, 1e6) * 1000));
}

// floor(seconds * perSecond) when that lies in [0, limit), else -1.
int SlotOf(double seconds, int perSecond, int limit) {
    const double slot = std::floor(seconds * perSecond);
    return slot >= 0 && slot < limit ? int(slot) : -1;
}

} // namespace

bool PlaceTrack(const std::vector<TrackPoint>& points, const TrackWindow& window,
                TelemetrySet& set) {
    set = TelemetrySet{};
    std::vector<TrackPoint> track;
    track.reserve(points.size());
    for (const TrackPoint& p : points)
        if (std::isfinite(p.utc) && std::abs(p.latitude) <= 90 && std::abs(p.longitude) <= 180)
            track.push_back(p);
    std::stable_sort(track.begin(), track.end(),
                     [](const TrackPoint& a, const TrackPoint& b) { return a.utc < b.utc; });
    CompleteMotion(track);

    const int fixLimit =
        int(std::min<std::int64_t>(window.durationSeconds, TelemetrySet::kMaxFixes));
    const int sampleLimit = int(std::min<std::int64_t>(
        std::int64_t(window.durationSeconds) * kSamplesPerSecond, TelemetrySet::kMaxSamples));
    bool filled[TelemetrySet::kMaxFixes] = {};
    for (const TrackPoint& p : track) {
        const double since = p.utc - double(window.start) + double(window.offsetSeconds);
        if (const int slot = SlotOf(since, 1, fixLimit); slot >= 0 && !filled[slot]) {
            filled[slot] = true;
            WriteFix(p, window.start + slot, set.fixes[slot]);
            set.speeds[slot] = set.fixes[slot].speed;
            set.fixCount = std::max(set.fixCount, slot + 1);
        }
        const int sample = SlotOf(since, kSamplesPerSecond, sampleLimit);
        if (!p.hasAcceleration || sample < 0)
            continue;
        // A later reading ends the hold of the one before from its own sample on.
        const int heldUntil = std::min(sample + kSamplesPerSecond, sampleLimit);
        for (int i = sample; i < heldUntil; ++i)
            set.samples[i] = {Milli(p.acceleration[0]), Milli(p.acceleration[1]),
                              Milli(p.acceleration[2])};
        set.sampleCount = std::max(set.sampleCount, heldUntil);
    }
    return set.fixCount > 0 || set.sampleCount > 0;
}

void PlaceTimesOfDay(std::vector<TrackPoint>& points, const TrackWindow& window) {
    const double begin = double(window.start) - double(window.offsetSeconds);
    const double end = begin + double(window.durationSeconds);
    const double midnight = std::floor(begin / kDay) * kDay;
    for (TrackPoint& p : points) {
        const double nextDay = midnight + kDay + p.utc;
        p.utc = midnight + p.utc < begin && nextDay < end ? nextDay : midnight + p.utc;
    }
}

} // namespace quello
