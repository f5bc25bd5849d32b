#pragma once

#include <QJsonValue>
#include <QObject>

namespace quello {

// The map page's way back to the program, published to the page over QWebChannel as "bridge".
// The page only reports; every value it sends is checked here before it goes further, as the
// page runs a browser engine on data from files. Owned by CDlgGMap; its slots run on the GUI
// thread.
class MapBridge : public QObject {
    Q_OBJECT

public:
    explicit MapBridge(QObject* parent = nullptr);

    // The user clicked on a route at this position. Anything but two numbers on the globe is
    // dropped: the values arrive as they were sent, before any conversion could turn a null (a
    // NaN in the page) or a text into a number.
    Q_INVOKABLE void routeClicked(const QJsonValue& latitude, const QJsonValue& longitude);
    // The page has drawn the route it was given with this many points of the current recording.
    Q_INVOKABLE void routeDrawn(const QJsonValue& points);
    // The user asked for the map's menu (a right click) at this position; checked as a click.
    Q_INVOKABLE void menuRequested(const QJsonValue& latitude, const QJsonValue& longitude);

signals:
    void clicked(double latitude, double longitude);
    void menu(double latitude, double longitude);
    void drawn(int points);
};

} // namespace quello
