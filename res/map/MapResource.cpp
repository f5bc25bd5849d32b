#include "MapResource.h"

namespace quello {

QUrl mapPageUrl() {
    return QUrl(QStringLiteral("qrc:/map/map.html"));
}

} // namespace quello
