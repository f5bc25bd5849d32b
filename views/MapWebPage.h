#pragma once

#include <QWebEnginePage>

namespace quello {

// The browser page of the map view. It loads nothing but the map page and its tiles (see
// MapRequestFilter), opens no windows or dialogs and keeps the page's console quiet. A click on
// the map's attribution link opens the tile provider's copyright page in the user's browser.
// Owned by CDlgGMap; GUI thread only.
class MapWebPage : public QWebEnginePage {
    Q_OBJECT

public:
    MapWebPage(QWebEngineProfile* profile, QObject* parent = nullptr);

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message,
                                  int lineNumber, const QString& sourceID) override;
    void javaScriptAlert(const QUrl& securityOrigin, const QString& msg) override;
    bool javaScriptConfirm(const QUrl& securityOrigin, const QString& msg) override;
    bool javaScriptPrompt(const QUrl& securityOrigin, const QString& msg,
                          const QString& defaultValue, QString* result) override;
};

} // namespace quello
