#include "SeiTelemetry.h"

#include "recordings/TelemetrySources.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>

namespace quello {

namespace {

constexpr double kStandardGravity = 9.80665;

// The record whose time is nearest `seconds` among records sorted by time (not empty).
const SeiRecord& Nearest(const std::vector<SeiRecord>& sorted, double seconds) {
    const auto after = std::lower_bound(sorted.begin(), sorted.end(), seconds,
                                        [](const SeiRecord& r, double t) { return r.seconds < t; });
    if (after == sorted.begin())
        return *after;
    if (after == sorted.end() || seconds - (after - 1)->seconds <= after->seconds - seconds)
        return *(after - 1);
    return *after;
}

std::int32_t MilliG(double metresPerSecond2, double offsetG) {
    const double milli = (metresPerSecond2 / kStandardGravity + offsetG) * 1000.0;
    return std::int32_t(std::lround(std::clamp(milli, -1e6, 1e6)));
}

void FillFix(const SeiMessage& m, std::int64_t time, GpsFix& fix) {
    const std::time_t t = std::time_t(time);
    std::tm tm{};
    if (::gmtime_r(&t, &tm) != nullptr) {
        char text[64];
        std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02d", tm.tm_year + 1900,
                      tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
        std::memcpy(fix.dateTime, text, sizeof fix.dateTime - 1);
    }
    const bool located = m.has(SeiMessage::kLatitude) && m.has(SeiMessage::kLongitude) &&
                         std::isfinite(m.latitude) && std::isfinite(m.longitude) &&
                         std::abs(m.latitude) <= 90 && std::abs(m.longitude) <= 180;
    if (located) {
        std::snprintf(fix.latitude, sizeof fix.latitude, "%.6f", m.latitude);
        std::snprintf(fix.longitude, sizeof fix.longitude, "%.6f", m.longitude);
    }
    if (std::isfinite(m.speed))
        fix.speed = std::int32_t(std::lround(std::clamp(double(m.speed) * 3.6, 0.0, 1e6)));
    if (std::isfinite(m.heading))
        fix.heading = std::int32_t((std::lround(std::fmod(m.heading, 360.0)) % 360 + 360) % 360);
}

CarSecond SecondOf(const SeiMessage& m) {
    CarSecond s;
    s.present = true;
    s.gear = m.gear;
    s.acceleratorPedal = m.acceleratorPedal;
    s.steeringAngle = m.steeringAngle;
    s.leftBlinker = m.leftBlinker;
    s.rightBlinker = m.rightBlinker;
    s.brake = m.brake;
    s.assist = m.assist;
    return s;
}

bool IsMp4OrMov(const std::string& path) {
    const auto dot = path.find_last_of('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos)
        return false;
    std::string extension = path.substr(dot + 1);
    for (char& c : extension)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return extension == "mp4" || extension == "mov";
}

bool LoadForSources(const RecordingEntry& entry, TelemetrySet& out) {
    return SeiTelemetry::Load(entry, out, nullptr);
}

} // namespace

bool SeiTelemetry::Convert(const std::vector<SeiRecord>& records, std::int64_t startTime,
                           TelemetrySet& out, CarSignals* car) {
    if (records.empty())
        return false;
    // Packets come in decode order; reordered frames put their times out of order.
    std::vector<SeiRecord> sorted = records;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const SeiRecord& a, const SeiRecord& b) { return a.seconds < b.seconds; });
    const double first = sorted.front().seconds, last = sorted.back().seconds;
    const double span = std::max(0.0, last - std::min(first, 0.0));
    // 1e-6: a frame time such as 0.9999999 still starts its slot.
    const int fixes = std::min<int>(int(std::floor(span + 1e-6)) + 1, TelemetrySet::kMaxFixes);
    const int samples =
        std::min<int>(int(std::floor(span * 10 + 1e-6)) + 1, TelemetrySet::kMaxSamples);
    out = TelemetrySet{};
    if (car != nullptr)
        car->seconds.assign(std::size_t(fixes), CarSecond{});
    for (int i = 0; i < fixes; ++i) {
        const SeiMessage& m = Nearest(sorted, i).message;
        FillFix(m, startTime + i, out.fixes[i]);
        out.speeds[i] = out.fixes[i].speed;
        if (car != nullptr)
            car->seconds[std::size_t(i)] = SecondOf(m);
    }
    out.fixCount = fixes;
    for (int j = 0; j < samples; ++j) {
        const SeiMessage& m = Nearest(sorted, j / 10.0).message;
        GSensorSample& s = out.samples[j];
        s.x = MilliG(std::isfinite(m.accelerationX) ? m.accelerationX : 0, 0);
        s.y = MilliG(std::isfinite(m.accelerationY) ? -m.accelerationY : 0, 0);
        s.z = MilliG(std::isfinite(m.accelerationZ) ? m.accelerationZ : 0, 1);
    }
    out.sampleCount = samples;
    return true;
}

std::optional<std::int64_t> SeiTelemetry::StartFromName(const std::string& moviePath) {
    const auto slash = moviePath.find_last_of('/');
    const std::string name = slash == std::string::npos ? moviePath : moviePath.substr(slash + 1);
    std::tm tm{};
    int year = 0, month = 0, consumed = 0;
    if (std::sscanf(name.c_str(), "%4d-%2d-%2d_%2d-%2d-%2d%n", &year, &month, &tm.tm_mday,
                    &tm.tm_hour, &tm.tm_min, &tm.tm_sec, &consumed) != 6 ||
        consumed != 19 || year < 1971 || month < 1 || month > 12 || tm.tm_mday < 1 ||
        tm.tm_mday > 31 || tm.tm_hour > 23 || tm.tm_min > 59 || tm.tm_sec > 60)
        return std::nullopt;
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    return std::int64_t(::timegm(&tm));
}

bool SeiTelemetry::Load(const RecordingEntry& entry, TelemetrySet& out, CarSignals* car) {
    if (!IsMp4OrMov(entry.moviePath))
        return false;
    SeiTrack track;
    // A second more than the set holds, so its last second still finds its nearest frame.
    if (!SeiReader::Read(entry.moviePath, track, 2.0, TelemetrySet::kMaxFixes + 1.0))
        return false;
    std::int64_t start = entry.hasStartTime ? entry.startTime : 0;
    if (const auto fromName = StartFromName(entry.moviePath))
        start = *fromName;
    else if (track.hasCreationTime)
        start = track.creationTime;
    return Convert(track.records, start, out, car);
}

CarSignals SeiTelemetry::LoadCarSignals(const std::string& moviePath) {
    RecordingEntry entry;
    entry.moviePath = moviePath;
    // About 54 KB: off the stack.
    auto scratch = std::make_unique<TelemetrySet>();
    CarSignals car;
    Load(entry, *scratch, &car);
    return car;
}

void SeiTelemetry::Register() {
    SetMovieStreamTelemetry(&LoadForSources);
}

} // namespace quello
