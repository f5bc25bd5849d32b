#include "MapBridge.h"

#include <cmath>

namespace quello {

MapBridge::MapBridge(QObject* parent) : QObject(parent) {}

namespace {

// Two numbers on the globe, as they arrived, before any conversion could turn a null (a NaN in
// the page) or a text into a number.
bool OnTheGlobe(const QJsonValue& latitude, const QJsonValue& longitude) {
    if (!latitude.isDouble() || !longitude.isDouble())
        return false;
    const double lat = latitude.toDouble(), lng = longitude.toDouble();
    return std::isfinite(lat) && std::isfinite(lng) && std::abs(lat) <= 90 && std::abs(lng) <= 180;
}

} // namespace

void MapBridge::routeClicked(const QJsonValue& latitude, const QJsonValue& longitude) {
    if (OnTheGlobe(latitude, longitude))
        emit clicked(latitude.toDouble(), longitude.toDouble());
}

void MapBridge::menuRequested(const QJsonValue& latitude, const QJsonValue& longitude) {
    if (OnTheGlobe(latitude, longitude))
        emit menu(latitude.toDouble(), longitude.toDouble());
}

void MapBridge::routeDrawn(const QJsonValue& points) {
    const double count = points.toDouble(-1);
    if (points.isDouble() && count >= 0 && count <= 1e6 && count == std::floor(count))
        emit drawn(static_cast<int>(count));
}

} // namespace quello
