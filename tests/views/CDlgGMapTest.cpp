// The map view under offscreen QtWebEngine, without network: the page must work on a blank map.
#include "views/CDlgGMap.h"
#include "quello/Version.h"
#include "views/MapRequestFilter.h"

#include <QFile>
#include <QHostAddress>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <unistd.h>

namespace quello {
namespace {

constexpr int kTimeoutMs = 60000; // two cores under load: generous, the waits are polling

// Set before main() creates the application, so the binary runs the same from ctest and by
// hand: the browser's sandbox refuses to start as root, and a private runtime folder plus a
// logging rule keep its start-up quiet.
struct BrowserEnvironment {
    QTemporaryDir runtimeDir; // created 0700
    BrowserEnvironment() {
        if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
            qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
        if (runtimeDir.isValid())
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeDir.path()));
        // The map's tile cache goes where the test can see it, never to the user's.
        if (runtimeDir.isValid())
            qputenv("XDG_CACHE_HOME", QFile::encodeName(runtimeDir.path() + "/cache"));
        if (qEnvironmentVariableIsEmpty("QT_LOGGING_RULES"))
            qputenv("QT_LOGGING_RULES", "qt.webenginecontext.info=false");
    }
};
const BrowserEnvironment browserEnvironment;

struct MapFixture {
    QWidget host; // the main window's control 1025, 327 x 254 pixels
    std::unique_ptr<CDlgGMap> map;

    MapFixture() {
        host.resize(327, 254);
        host.show();
        map = std::make_unique<CDlgGMap>(&host);
    }
    QWebEnginePage* page() { return map->findChild<QWebEngineView*>()->page(); }
    bool waitLoaded() {
        return QTest::qWaitFor([&] { return map->pageLoaded(); }, kTimeoutMs);
    }

    // Runs script in the page and returns its result. Page calls are handled in order, so this
    // also waits until every earlier SetLgtLat has been carried out.
    QVariant eval(const QString& script) {
        std::optional<QVariant> result;
        page()->runJavaScript(script, [&](const QVariant& v) { result = v; });
        if (!QTest::qWaitFor([&] { return result.has_value(); }, kTimeoutMs)) {
            ADD_FAILURE() << "no answer from the page to " << script.toStdString();
            return {};
        }
        return *result;
    }

    // The marker ("-" before there is one) to the exact degree the page was given, then the
    // map's centre, which lies on whole pixels: at zoom 14 closer than 1e-4 degrees.
    QString where() {
        return eval("(marker ? marker.getLatLng().lat.toFixed(6) + ',' + "
                    "marker.getLatLng().lng.toFixed(6) : '-') + ' ' + "
                    "map.getCenter().lat.toFixed(3) + ',' + map.getCenter().lng.toFixed(3)")
            .toString();
    }
};

// Each position reaches the page as JSON arguments (the call script has its own fuzz target):
// the page shows the texts as text, and only a real new position moves the marker and pans
// the map. Nothing in the page reaches another site or replaces the page.
TEST(CDlgGMap, LoadsHiddenFollowsPositionsAndGoesNowhereElse) {
    // A server on this machine stands for any other site: nothing may reach it.
    QTcpServer elsewhere;
    ASSERT_TRUE(elsewhere.listen(QHostAddress::LocalHost));
    MapFixture f;
    EXPECT_EQ(f.map->geometry(), f.host.rect());
    f.map->SetLgtLat("22.5", "114.0", "10"); // before the page: dropped
    ASSERT_TRUE(f.waitLoaded());
    EXPECT_EQ(f.eval("inited").toInt(), 1) << "Leaflet did not start";
    EXPECT_EQ(f.eval("document.getElementById('map_canvas').style.height").toString(), "254px");
    EXPECT_TRUE(f.where().startsWith("- ")) << f.where().toStdString();
    EXPECT_TRUE(f.map->isHidden());
    f.host.resize(300, 200); // the view and the page follow their host
    EXPECT_EQ(f.map->geometry(), f.host.rect());
    EXPECT_EQ(f.eval("document.getElementById('map_canvas').style.height").toString(), "200px");

    f.map->SetLgtLat("22.500000", "114.000000", "30");
    EXPECT_FALSE(f.map->isHidden());
    EXPECT_EQ(f.where(), "22.500000,114.000000 22.500,114.000") << "marker, panned to it";
    // The user has moved the map away; the same fix again must leave it there.
    f.eval("map.setView([22.7, 114.2], 14, {animate: false}); 0");
    const char *home = "22.500000,114.000000 22.500,114.000",
               *away = "22.500000,114.000000 22.700,114.200",
               *sydney = "-33.865143,151.209900 -33.865,151.210";
    const struct {
        const char *name, *lgt, *lat, *spd, *where;
    } steps[] = {
        {"same position", "22.500000", "114.000000", "31", away},
        {"empty strings", "", "", "", away},
        {"new position", "-33.865143", "151.209900", "50", sydney},
        {"not a number", "22.5x", "114.0", "5", sydney},
        {"out of range", "91.000000", "114.000000", "5", sydney},
        {"back again", "22.500000", "114.000000", "5", home},
        {"within the view", "22.501000", "114.001000", "6", "22.501000,114.001000 22.500,114.000"},
        {"markup", "22.5", "114.0", "<img src=x onerror=alert(1)><b>bold</b>", home},
    };
    QString text = " Lgt:22.500000   Lat:114.000000   30Km/H";
    for (const auto& s : steps) {
        f.map->SetLgtLat(s.lgt, s.lat, s.spd);
        EXPECT_EQ(f.where(), s.where) << s.name;
        if (*s.lgt) // an empty position hides the text and leaves it
            text = QStringLiteral(" Lgt:%1   Lat:%2   %3Km/H").arg(s.lgt, s.lat, s.spd);
        EXPECT_EQ(f.eval("document.getElementById('gpsinfo').textContent").toString(), text);
        EXPECT_EQ(f.eval("document.getElementById('gpsinfo').children.length").toInt(), 0);
    }

    const QString site = QStringLiteral("http://127.0.0.1:%1/").arg(elsewhere.serverPort());
    for (const char* attempt : {"location.href = '%1page'; 0", "window.open('%1popup'); 0",
                                "fetch('%1data').catch(function () {}); 0",
                                "L.tileLayer('%1{z}/{x}/{y}.png').addTo(map); 0"})
        f.eval(QString::fromLatin1(attempt).arg(site));
    QTest::qWait(1500);
    EXPECT_FALSE(elsewhere.hasPendingConnections());
    EXPECT_EQ(f.page()->url(), QUrl("qrc:/map/map.html"));
    EXPECT_EQ(f.eval("inited").toInt(), 1) << "the page was replaced";
    EXPECT_EQ(f.eval("navigator.userAgent").toString(), QStringLiteral("QuelloPlayer/") + kVersion);
}

// The browser's own window lies over the view and hides while covered by the full-screen
// video, while the view is hidden and while the main window is.
TEST(CDlgGMap, BrowserWindowFollowsTheView) {
    MapFixture f;
    QWidget* window = f.map->findChild<QWidget*>("mapWindow");
    ASSERT_NE(window, nullptr);
    f.map->show();
    f.host.move(40, 30);
    EXPECT_EQ(window->geometry(), QRect(f.map->mapToGlobal(QPoint()), f.map->size()));
    const std::pair<const char*, std::function<void(bool)>> hiders[] = {
        {"covered", [&](bool on) { f.map->SetCovered(on); }},
        {"view hidden", [&](bool on) { f.map->setVisible(!on); }},
        {"main window hidden", [&](bool on) { f.host.setVisible(!on); }},
    };
    for (const auto& [what, hide] : hiders) {
        EXPECT_TRUE(window->isVisible()) << what;
        hide(true);
        EXPECT_FALSE(window->isVisible()) << what;
        hide(false);
    }
    EXPECT_TRUE(window->isVisible());
}

// The route is drawn from numbers only and fitted into view; a click on it comes back over the
// web channel as a position on the globe, and nothing else the page could send gets through.
// Without tiles the page says so at once and still shows the route, marker and scale.
TEST(CDlgGMap, DrawsTheRouteReportsClicksAndWorksOffline) {
    MapFixture f;
    f.map->SetTilesAllowed(false);
    QSignalSpy drawn(f.map.get(), &CDlgGMap::routeDrawn);
    QSignalSpy clicked(f.map.get(), &CDlgGMap::routeClicked);
    const std::vector<RoutePoint> route{{1, 22.50, 114.00}, {2, 22.51, 114.01}, {3, 22.52, 114.02}};
    f.map->SetRoute(route, {{{1, 22.40, 113.90}, {2, 22.45, 113.95}}, {}}); // kept until loaded
    ASSERT_TRUE(f.waitLoaded());
    ASSERT_TRUE(drawn.count() == 1 || drawn.wait(kTimeoutMs));
    EXPECT_EQ(drawn.at(0).at(0).toInt(), 3);
    EXPECT_EQ(f.eval("routeLayer.getLayers().map(function (l) { return l.getLatLngs().length; })")
                  .toList(),
              (QVariantList{2, 3}))
        << "an empty route draws no line; the current one is drawn last, on top";
    // Fitted to the map as shown, again when its size changes, until the user zooms by hand.
    f.map->show();
    const char* fill = "(function () { var a = map.latLngToContainerPoint([22.40, 113.90]), "
                       "b = map.latLngToContainerPoint([22.52, 114.02]), s = map.getSize(); "
                       "return Math.max((b.x - a.x) / s.x, (a.y - b.y) / s.y); })()";
    for (const QSize size : {QSize(327, 254), QSize(640, 500), QSize(200, 150)}) {
        f.host.resize(size);
        const double filled = f.eval(fill).toDouble();
        EXPECT_TRUE(filled >= 0.45 && filled <= 1) << filled << " at " << size.width();
    }
    f.eval("map.zoomOut(1, {animate: false}); 0");
    const int zoom = f.eval("map.getZoom()").toInt();
    f.host.resize(327, 254);
    EXPECT_EQ(f.eval("map.getZoom()").toInt(), zoom) << "refitted over the user's zoom";
    EXPECT_TRUE(f.eval("map.getBounds().contains([[22.40, 113.90], [22.52, 114.02]])").toBool());

    f.eval("routeLayer.getLayers()[1].fire('click', {latlng: L.latLng(22.51, 474.01)}); 0");
    ASSERT_TRUE(clicked.count() == 1 || clicked.wait(kTimeoutMs));
    EXPECT_DOUBLE_EQ(clicked.at(0).at(0).toDouble(), 22.51);
    EXPECT_NEAR(clicked.at(0).at(1).toDouble(), 114.01, 1e-9) << "wrapped onto the globe";
    f.eval("bridge.routeClicked(91, 0); bridge.routeClicked(NaN, 1); "
           "bridge.routeClicked('22', 114); bridge.routeClicked(1); bridge.routeDrawn(-1); "
           "bridge.routeDrawn(2.5); 0");
    QTest::qWait(500);
    EXPECT_EQ(clicked.count(), 1);
    EXPECT_EQ(drawn.count(), 1);

    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return f.eval("document.body.classList.contains('offline')").toBool(); },
        kTimeoutMs));
    EXPECT_EQ(f.eval("getComputedStyle(document.getElementById('offline')).display").toString(),
              "block");
    EXPECT_EQ(f.eval("document.getElementById('offline').textContent").toString(),
              "map tiles unavailable (offline)");
    EXPECT_EQ(f.eval("document.querySelectorAll('.leaflet-control-scale').length").toInt(), 1);
    f.map->SetLgtLat("22.510000", "114.010000", "40");
    EXPECT_TRUE(f.where().startsWith("22.510000,114.010000 ")) << "marker offline";

    f.map->SetRoute({}, {});
    EXPECT_EQ(f.eval("routeLayer.getLayers().length").toInt(), 0);
}

// An event's place, given before the page has loaded, shows once it has, in place of the fix
// marker and with its text as text; a place off the globe or a clear removes it, and the next
// fix brings the fix marker back.
TEST(CDlgGMap, MarksAnEventsPlaceInsteadOfAFix) {
    MapFixture f;
    f.map->SetEventPlace(37.5, -122.25, "sentry\n<b>2024-05-01</b>");
    ASSERT_TRUE(f.waitLoaded());
    const QString shown = "(eventMarker ? eventMarker.getLatLng().lat + ',' + "
                          "eventMarker.getLatLng().lng + ' ' + "
                          "eventMarker.getTooltip().getContent().textContent + ' ' + "
                          "eventMarker.getTooltip().getContent().children.length : '-') + ' ' + "
                          "(marker ? 'fix' : '-')";
    EXPECT_EQ(f.eval(shown).toString(), "37.5,-122.25 sentry\n<b>2024-05-01</b> 0 -");
    EXPECT_FALSE(f.map->isHidden());
    const struct {
        const char* name;
        std::function<void()> step;
        const char* shown;
    } steps[] = {
        {"a fix", [&] { f.map->SetLgtLat("37.500000", "-122.250000", "0"); },
         "37.5,-122.25 sentry\n<b>2024-05-01</b> 0 fix"},
        {"another place", [&] { f.map->SetEventPlace(-33.5, 151.0, "saved"); },
         "-33.5,151 saved 0 -"},
        {"off the globe", [&] { f.map->SetEventPlace(91, 0, "x"); }, "- -"},
        {"again", [&] { f.map->SetEventPlace(-33.5, 151.0, "saved"); }, "-33.5,151 saved 0 -"},
        {"cleared", [&] { f.map->ClearEventPlace(); }, "- -"},
        {"the fix again", [&] { f.map->SetLgtLat("37.500000", "-122.250000", "0"); }, "- fix"},
    };
    for (const auto& s : steps) {
        s.step();
        EXPECT_EQ(f.eval(shown).toString(), s.shown) << s.name;
    }
}

TEST(MapRequestFilter, AllowsOnlyThePageAndTheTileServer) {
    const std::pair<const char*, bool> cases[] = {
        {"qrc:/map/map.html", true},
        {"qrc:/skin/149.png", false},
        {"qrc:/map/../skin/149.png", false},
        {"https://tile.openstreetmap.org/14/13390/7147.png", true},
        {"http://tile.openstreetmap.org/14/13390/7147.png", false},
        {"https://tile.openstreetmap.org:8443/14/1/2.png", false},
        {"https://tile.openstreetmap.org.example.com/14/1/2.png", false},
        {"https://user@tile.openstreetmap.org/14/1/2.png", false},
        {"data:image/png;base64,iVBORw0KGgo=", true},
        {"qrc:///qtwebchannel/qwebchannel.js", true},
        {"", false},
    };
    for (const auto& [url, allowed] : cases) {
        EXPECT_EQ(MapRequestFilter::IsAllowed(QUrl(url)), allowed) << url;
        EXPECT_EQ(MapRequestFilter::IsAllowed(QUrl(url), false),
                  allowed && !QByteArray(url).contains("tile."))
            << url << " offline";
    }
}

} // namespace
} // namespace quello
