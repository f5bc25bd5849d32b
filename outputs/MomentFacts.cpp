#include "outputs/MomentFacts.h"

#include "recordings/TelemetryRoute.h"
#include "recordings/TelemetrySet.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace quello {

namespace {

// Far past any movie's length, and small enough for the clock arithmetic.
constexpr double kLongestPosition = 1e9;

std::optional<SnapshotFacts::Clock> ClockAt(const std::tm& created, long long seconds,
                                            int millisecond) {
    using namespace std::chrono;
    const year_month_day start{year{created.tm_year + 1900}, month(unsigned(created.tm_mon + 1)),
                               day(unsigned(created.tm_mday))};
    if (!start.ok())
        return std::nullopt;
    const sys_seconds at = sys_days{start} + hours{created.tm_hour} + minutes{created.tm_min} +
                           std::chrono::seconds{created.tm_sec + seconds};
    const sys_days date = floor<days>(at);
    const year_month_day ymd{date};
    const hh_mm_ss time{at - date};
    return SnapshotFacts::Clock{int(ymd.year()),
                                int(unsigned(ymd.month())),
                                int(unsigned(ymd.day())),
                                int(time.hours().count()),
                                int(time.minutes().count()),
                                int(time.seconds().count()),
                                millisecond};
}

} // namespace

SnapshotFacts FactsForMoment(const std::tm& created, bool hasCreated, double positionSeconds,
                             const TelemetrySet& telemetry) {
    const double position =
        std::isfinite(positionSeconds) ? std::clamp(positionSeconds, 0.0, kLongestPosition) : 0.0;
    const double whole = std::floor(position);
    const auto second = static_cast<long long>(whole);
    SnapshotFacts facts;
    if (hasCreated)
        facts.taken =
            ClockAt(created, second,
                    std::min(999, static_cast<int>(std::lround((position - whole) * 1000))));

    const int fixCount = std::clamp(telemetry.fixCount, 0, TelemetrySet::kMaxFixes);
    if (second >= 1 && second <= fixCount) {
        const GpsFix& fix = telemetry.fixes[second - 1];
        if (const auto point = RoutePointOf(fix, static_cast<int>(second)))
            facts.fix =
                SnapshotFacts::Fix{point->latitude, point->longitude, fix.speed, fix.heading};
    }
    return facts;
}

} // namespace quello
