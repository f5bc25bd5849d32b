#pragma once

#include "recordings/TelemetryRoute.h"

#include <QJsonArray>
#include <QWidget>

#include <optional>
#include <vector>

class QWebChannel;
class QWebEnginePage;
class QWebEngineProfile;
class QWebEngineView;

namespace quello {

class MapRequestFilter;
class MapWebPage;

// The map view: an embedded browser showing the map page from the program's resources, with
// one marker that follows the GPS fix of the playing second and the route of the recording and
// of its trip, or, without fixes, the place of a car's saved or Sentry event; a click on a route
// and a right click anywhere on the map are reported back.
//
// The main window creates it as a child of its map host (control 1025); it covers the host's
// client area and starts hidden. Once the page has loaded, every SetLgtLat shows it. It owns
// its browser, page, web channel and browser profile (see MapProfile; User-Agent
// "QuelloPlayer/<version>", requests limited to the page's resources and the tile server).
// GUI thread only.
//
// With a parent, the browser sits in a frameless tool window of its own that this widget keeps
// exactly over its own place on screen: shown and hidden with it, moved with the window,
// hidden while that window is minimised or SetCovered(true). A browser inside the main window
// would make Qt compose that whole window through OpenGL on every video frame, which without a
// GPU costs more than playing the movie.
//
// Every value reaches the page as a JSON-encoded argument of a page function; calls are
// asynchronous and arrive in the order they were made. Calls made before the page has loaded
// are dropped (the next sync tick repeats them).
class CDlgGMap : public QWidget {
    Q_OBJECT

public:
    explicit CDlgGMap(QWidget* parent);
    ~CDlgGMap() override;

    // Hands a position to the page: lgt is the latitude text and lat the longitude text (the
    // names are the page's), spd the speed text in km/h. Empty strings leave the marker where
    // it is; the same position again does not move or pan the map. Shows the view once the page
    // has loaded.
    void SetLgtLat(const QString& lgt, const QString& lat, const QString& spd);
    // Covers the parent's client area and gives the page the parent's height. Also runs by
    // itself after the page has loaded and whenever the parent is resized.
    void FitToParent();
    // While covered (the video fills the screen) the map's window stays hidden.
    void SetCovered(bool covered);
    // Draws `route` (the current recording) and, fainter, `others` (the rest of its trip) and
    // fits them into view once. Empty routes clear the drawing. Kept until the page has loaded
    // when it has not yet.
    void SetRoute(const std::vector<RoutePoint>& route,
                  const std::vector<std::vector<RoutePoint>>& others);
    // Marks a place that is no GPS fix (where a car put a saved or Sentry event) with `text`
    // beside it, in place of the fix marker, brings it into view with the route and shows the
    // view; ClearEventPlace() removes it. The same place again leaves the map as it is. Kept
    // until the page has loaded when it has not yet.
    void SetEventPlace(double latitude, double longitude, const QString& text);
    void ClearEventPlace();
    // Off: the map works as without a network (no tile is requested).
    void SetTilesAllowed(bool allowed);
    // True from the first completed page load on.
    bool pageLoaded() const { return m_pageLoaded; }
    QWebEnginePage* page() const;

signals:
    // Emitted once, when the page has loaded and been fitted.
    void loaded();
    // The user clicked on a route at this position (checked to be on the globe).
    void routeClicked(double latitude, double longitude);
    // The page has drawn a route given by SetRoute; `points` of the current recording.
    void routeDrawn(int points);
    // The user asked for the map's menu (a right click) at this position; the window shows it
    // at the pointer.
    void menuRequested(double latitude, double longitude);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Brings the map's own window to this widget's place and visibility.
    void PlaceWindow();
    void OnLoadFinished();
    void CallPage(const char* function, const QJsonArray& arguments);

    QWebEngineProfile* m_profile = nullptr;
    QWebChannel* m_channel = nullptr;
    MapRequestFilter* m_filter = nullptr;
    MapWebPage* m_page = nullptr;
    QWebEngineView* m_view = nullptr;
    QWidget* m_window = nullptr;   // the tool window holding the view, or this widget itself
    QWidget* m_topLevel = nullptr; // the window this widget lies in, watched for moves
    bool m_covered = false;
    bool m_pageLoaded = false;
    std::optional<QJsonArray> m_pendingRoute;
    std::optional<QJsonArray> m_pendingEvent;
};

} // namespace quello
