#include "TelemetryRoute.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace quello {

namespace {

constexpr std::size_t kUsableLength = 7; // the sync's rule for a fix that carries a position

} // namespace

std::optional<double> ParsePlainDecimal(std::string_view text, double limit) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    // Digits with at most one point and at least one digit: from_chars alone would also take
    // exponents, "inf" and "nan".
    std::size_t digits = 0, points = 0;
    for (char c : text) {
        if (c >= '0' && c <= '9')
            ++digits;
        else if (c == '.')
            ++points;
        else
            return std::nullopt;
    }
    if (digits == 0 || points > 1)
        return std::nullopt;
    double value = 0;
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
    if (error != std::errc() || end != text.data() + text.size() || !(value <= limit))
        return std::nullopt;
    return negative ? -value : value;
}

std::optional<RoutePoint> RoutePointOf(const GpsFix& fix, int second) {
    const std::size_t latitudeLength = ::strnlen(fix.latitude, sizeof fix.latitude);
    const std::size_t longitudeLength = ::strnlen(fix.longitude, sizeof fix.longitude);
    if (latitudeLength < kUsableLength || longitudeLength < kUsableLength)
        return std::nullopt;
    const auto latitude = ParsePlainDecimal({fix.latitude, latitudeLength}, 90);
    const auto longitude = ParsePlainDecimal({fix.longitude, longitudeLength}, 180);
    if (!latitude || !longitude)
        return std::nullopt;
    return RoutePoint{second, *latitude, *longitude};
}

std::vector<RoutePoint> RouteOf(const TelemetrySet& telemetry) {
    std::vector<RoutePoint> route;
    const int count = std::min(telemetry.fixCount, TelemetrySet::kMaxFixes);
    route.reserve(static_cast<std::size_t>(std::max(count, 0)));
    for (int i = 0; i < count; ++i)
        if (const auto point = RoutePointOf(telemetry.fixes[i], i + 1))
            route.push_back(*point);
    return route;
}

std::optional<RouteHit> NearestRoutePoint(const std::vector<std::vector<RoutePoint>>& routes,
                                          double latitude, double longitude) {
    constexpr double kDegree = 3.14159265358979323846 / 180;
    const double shrink =
        std::cos(latitude * kDegree); // a degree of longitude narrows to the poles
    std::optional<RouteHit> best;
    double bestDistance = 0;
    for (std::size_t r = 0; r < routes.size(); ++r)
        for (std::size_t p = 0; p < routes[r].size(); ++p) {
            const RoutePoint& point = routes[r][p];
            double dx = point.longitude - longitude;
            // Across the antimeridian the short way round is the other one.
            if (dx > 180)
                dx -= 360;
            else if (dx < -180)
                dx += 360;
            dx *= shrink;
            const double dy = point.latitude - latitude;
            const double distance = dx * dx + dy * dy;
            if (!best || distance < bestDistance) {
                best = RouteHit{static_cast<int>(r), static_cast<int>(p)};
                bestDistance = distance;
            }
        }
    return best;
}

} // namespace quello
