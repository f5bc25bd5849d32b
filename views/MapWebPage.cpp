#include "MapWebPage.h"

#include "MapRequestFilter.h"
#include "res/map/MapResource.h"

#include <QDesktopServices>
#include <QUrl>

namespace quello {

MapWebPage::MapWebPage(QWebEngineProfile* profile, QObject* parent)
    : QWebEnginePage(profile, parent) {}

bool MapWebPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) {
    if (isMainFrame && url == MapPageUrl())
        return true;
    if (type == NavigationTypeLinkClicked &&
        url == QUrl(QStringLiteral("https://www.openstreetmap.org/copyright")))
        QDesktopServices::openUrl(url);
    return false;
}

void MapWebPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString&, int,
                                          const QString&) {}

void MapWebPage::javaScriptAlert(const QUrl&, const QString&) {}

bool MapWebPage::javaScriptConfirm(const QUrl&, const QString&) {
    return false;
}

bool MapWebPage::javaScriptPrompt(const QUrl&, const QString&, const QString&, QString*) {
    return false;
}

} // namespace quello
