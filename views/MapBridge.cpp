#include "MapBridge.h"

#include <cmath>

namespace quello {

MapBridge::MapBridge(QObject* parent) : QObject(parent) {}

void MapBridge::routeClicked(const QJsonValue& latitude, const QJsonValue& longitude) {
    if (!latitude.isDouble() || !longitude.isDouble())
        return;
    const double lat = latitude.toDouble(), lng = longitude.toDouble();
    if (std::isfinite(lat) && std::isfinite(lng) && std::abs(lat) <= 90 && std::abs(lng) <= 180)
        emit clicked(lat, lng);
}

void MapBridge::routeDrawn(const QJsonValue& points) {
    const double count = points.toDouble(-1);
    if (points.isDouble() && count >= 0 && count <= 1e6 && count == std::floor(count))
        emit drawn(static_cast<int>(count));
}

} // namespace quello
