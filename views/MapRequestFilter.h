#pragma once

#include <QWebEngineUrlRequestInterceptor>

class QUrl;

namespace quello {

// Keeps the map view's browser to the program's own map page and the map tile server: every
// other request (page, script, image, frame) is blocked before it leaves the program.
// Installed on the map view's private profile; called on the browser's IO thread, so it holds
// no state.
class MapRequestFilter : public QWebEngineUrlRequestInterceptor {
    Q_OBJECT

public:
    explicit MapRequestFilter(QObject* parent = nullptr);

    // True for the map page's own resources (qrc:/map/...), inline data and the tile server
    // over HTTPS.
    static bool IsAllowed(const QUrl& url);

    void interceptRequest(QWebEngineUrlRequestInfo& info) override;
};

} // namespace quello
