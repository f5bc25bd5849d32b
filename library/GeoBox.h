#pragma once

#include <vector>

namespace quello {

// A latitude/longitude box, in degrees: what the index's spatial search looks up.
struct GeoBox {
    double minLat, maxLat, minLon, maxLon;

    // The boxes holding every point within `metres` of (lat, lon): one, or two where the circle
    // crosses the antimeridian; the whole band of longitudes where it reaches a pole.
    static std::vector<GeoBox> Around(double lat, double lon, double metres);
};

// The distance along the earth's surface (a sphere of the mean radius), in metres.
double GreatCircleMetres(double lat1, double lon1, double lat2, double lon2);

} // namespace quello
