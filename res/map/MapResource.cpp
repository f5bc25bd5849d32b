#include "MapResource.h"

namespace quello {

QUrl MapPageUrl() {
    return QUrl(QStringLiteral("qrc:/map/map.html"));
}

} // namespace quello
