#include "GeoBox.h"

#include <algorithm>
#include <cmath>

namespace quello {
namespace {

constexpr double kEarthRadiusMetres = 6371008.8;
constexpr double kPi = 3.14159265358979323846;

double Radians(double degrees) {
    return degrees * kPi / 180.0;
}

double Degrees(double radians) {
    return radians * 180.0 / kPi;
}

} // namespace

double GreatCircleMetres(double lat1, double lon1, double lat2, double lon2) {
    const double dLat = Radians(lat2 - lat1);
    const double dLon = Radians(lon2 - lon1);
    const double a =
        std::sin(dLat / 2) * std::sin(dLat / 2) +
        std::cos(Radians(lat1)) * std::cos(Radians(lat2)) * std::sin(dLon / 2) * std::sin(dLon / 2);
    return 2 * kEarthRadiusMetres * std::asin(std::min(1.0, std::sqrt(a)));
}

std::vector<GeoBox> GeoBox::Around(double lat, double lon, double metres) {
    const double angle = metres / kEarthRadiusMetres;
    const double dLat = Degrees(angle);
    const double minLat = std::max(-90.0, lat - dLat);
    const double maxLat = std::min(90.0, lat + dLat);
    const double cosLat = std::cos(Radians(lat));
    if (lat - dLat <= -90 || lat + dLat >= 90 || std::sin(angle) >= cosLat || angle >= kPi / 2)
        return {{minLat, maxLat, -180, 180}};
    // The widest longitude a point of the circle reaches (not the naive dLat / cos(lat), which
    // falls short away from the equator).
    const double dLon = Degrees(std::asin(std::sin(angle) / cosLat));
    const double minLon = lon - dLon;
    const double maxLon = lon + dLon;
    if (minLon < -180)
        return {{minLat, maxLat, minLon + 360, 180}, {minLat, maxLat, -180, maxLon}};
    if (maxLon > 180)
        return {{minLat, maxLat, minLon, 180}, {minLat, maxLat, -180, maxLon - 360}};
    return {{minLat, maxLat, minLon, maxLon}};
}

} // namespace quello
