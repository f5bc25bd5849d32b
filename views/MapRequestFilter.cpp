#include "MapRequestFilter.h"

#include <QUrl>

namespace quello {

MapRequestFilter::MapRequestFilter(QObject* parent) : QWebEngineUrlRequestInterceptor(parent) {}

bool MapRequestFilter::IsAllowed(const QUrl& url, bool tiles) {
    if (!url.isValid())
        return false;
    const QString scheme = url.scheme();
    if (scheme == QLatin1String("qrc"))
        return (url.path().startsWith(QLatin1String("/map/")) &&
                !url.path().contains(QLatin1String(".."))) ||
               url.path() == QLatin1String("/qtwebchannel/qwebchannel.js");
    if (scheme == QLatin1String("data"))
        return true;
    return tiles && scheme == QLatin1String("https") &&
           url.host() == QLatin1String("tile.openstreetmap.org") && url.port(443) == 443 &&
           url.userInfo().isEmpty();
}

void MapRequestFilter::interceptRequest(QWebEngineUrlRequestInfo& info) {
    if (!IsAllowed(info.requestUrl(), m_tilesAllowed))
        info.block(true);
}

} // namespace quello
