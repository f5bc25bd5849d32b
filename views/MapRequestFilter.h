#pragma once

#include <QWebEngineUrlRequestInterceptor>

#include <atomic>

class QUrl;

namespace quello {

// Keeps the map view's browser to the program's own map page and the map tile server: every
// other request (page, script, image, frame) is blocked before it leaves the program.
// Installed on the map view's profile; called on the browser's IO thread, so its one setting is
// atomic.
class MapRequestFilter : public QWebEngineUrlRequestInterceptor {
    Q_OBJECT

public:
    explicit MapRequestFilter(QObject* parent = nullptr);

    // True for the map page's own resources (qrc:/map/... and Qt's web channel script),
    // inline data and, when `tiles`, the tile server over HTTPS.
    static bool IsAllowed(const QUrl& url, bool tiles = true);

    // Off: no tile request leaves the program, as without a network. On by default.
    void SetTilesAllowed(bool allowed) { m_tilesAllowed = allowed; }

    void interceptRequest(QWebEngineUrlRequestInfo& info) override;

private:
    std::atomic<bool> m_tilesAllowed{true};
};

} // namespace quello
