#include "CDlgGMap.h"

#include "MapBridge.h"
#include "MapCallScript.h"
#include "MapProfile.h"
#include "MapRequestFilter.h"
#include "MapWebPage.h"
#include "quello/Version.h"
#include "res/map/MapResource.h"

#include <QEvent>
#include <QJsonArray>
#include <QVBoxLayout>
#include <QWebChannel>
#include <QWebEngineProfile>
#include <QWebEngineView>

namespace quello {

CDlgGMap::CDlgGMap(QWidget* parent) : QWidget(parent) {
    setVisible(false);

    // The program's name goes out with every tile request as the tile server's usage policy
    // asks.
    m_profile = MapProfile::Create(this);
    m_profile->setHttpUserAgent(
        QStringLiteral("QuelloPlayer/%1").arg(QString::fromLatin1(kVersion)));
    m_filter = new MapRequestFilter(this);
    m_profile->setUrlRequestInterceptor(m_filter);

    m_page = new MapWebPage(m_profile, this);
    auto* bridge = new MapBridge(this);
    connect(bridge, &MapBridge::clicked, this, &CDlgGMap::routeClicked);
    connect(bridge, &MapBridge::drawn, this, &CDlgGMap::routeDrawn);
    connect(bridge, &MapBridge::menu, this, &CDlgGMap::menuRequested);
    m_channel = new QWebChannel(this);
    m_channel->registerObject(QStringLiteral("bridge"), bridge);
    m_page->setWebChannel(m_channel);
    m_view = new QWebEngineView(this);
    m_view->setPage(m_page);
    m_view->setAcceptDrops(false);
    // The browser's own menu (Back, Reload ...) means nothing here; the page reports a right
    // click instead and the window shows the map's menu.
    m_view->setContextMenuPolicy(Qt::NoContextMenu);

    m_window = this;
    if (parent != nullptr) {
        m_window = new QWidget(this, Qt::Tool | Qt::FramelessWindowHint);
        m_window->setAttribute(Qt::WA_ShowWithoutActivating);
        m_window->setObjectName(QStringLiteral("mapWindow"));
        m_topLevel = parent->window();
        m_topLevel->installEventFilter(this);
    }
    auto* layout = new QVBoxLayout(m_window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);

    if (parent != nullptr) {
        setGeometry(parent->rect());
        parent->installEventFilter(this);
    }

    connect(m_page, &QWebEnginePage::loadFinished, this, &CDlgGMap::OnLoadFinished);
    m_page->load(MapPageUrl());
}

CDlgGMap::~CDlgGMap() {
    // The page must go before the profile it was made with.
    delete m_view;
    delete m_page;
    delete m_profile;
}

void CDlgGMap::SetLgtLat(const QString& lgt, const QString& lat, const QString& spd) {
    if (!m_pageLoaded)
        return;
    CallPage("SetLgtLat", QJsonArray{lgt, lat, spd});
    show();
}

namespace {

QJsonArray PointsJson(const std::vector<RoutePoint>& route) {
    QJsonArray points;
    for (const RoutePoint& p : route)
        points.append(QJsonArray{p.latitude, p.longitude});
    return points;
}

} // namespace

void CDlgGMap::SetRoute(const std::vector<RoutePoint>& route,
                        const std::vector<std::vector<RoutePoint>>& others) {
    QJsonArray trip;
    for (const auto& other : others)
        trip.append(PointsJson(other));
    const QJsonArray arguments{PointsJson(route), trip};
    if (!m_pageLoaded) {
        m_pendingRoute = arguments;
        return;
    }
    CallPage("SetRoute", arguments);
}

void CDlgGMap::SetEventPlace(double latitude, double longitude, const QString& text) {
    const QJsonArray arguments{latitude, longitude, text};
    if (!m_pageLoaded) {
        m_pendingEvent = arguments;
        return;
    }
    CallPage("SetEvent", arguments);
    show();
}

void CDlgGMap::ClearEventPlace() {
    m_pendingEvent.reset();
    if (m_pageLoaded)
        CallPage("SetEvent", QJsonArray{QJsonValue::Null});
}

void CDlgGMap::SetTilesAllowed(bool allowed) {
    m_filter->SetTilesAllowed(allowed);
}

QWebEnginePage* CDlgGMap::page() const {
    return m_page;
}

void CDlgGMap::FitToParent() {
    int height = this->height();
    if (QWidget* parent = parentWidget()) {
        setGeometry(parent->rect());
        height = parent->height();
    }
    if (m_pageLoaded)
        CallPage("fix", QJsonArray{height});
}

void CDlgGMap::SetCovered(bool covered) {
    m_covered = covered;
    PlaceWindow();
}

bool CDlgGMap::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        FitToParent();
    if (watched == m_topLevel) {
        switch (event->type()) {
        case QEvent::Move:
        case QEvent::WindowStateChange:
        case QEvent::Show:
        case QEvent::Hide:
            PlaceWindow();
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CDlgGMap::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    PlaceWindow();
}

void CDlgGMap::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    PlaceWindow();
}

void CDlgGMap::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    PlaceWindow();
}

void CDlgGMap::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    PlaceWindow();
}

void CDlgGMap::PlaceWindow() {
    if (m_window == this)
        return;
    const bool wanted = isVisible() && !m_covered && m_topLevel->isVisible() &&
                        !(m_topLevel->windowState() & Qt::WindowMinimized);
    if (wanted) {
        // From the main window's own geometry rather than mapToGlobal(): under a window
        // manager that places the main window after mapping it, its QWindow can keep the
        // position it was mapped at while the widget already has the real one.
        const QPoint origin = m_topLevel->geometry().topLeft() + mapTo(m_topLevel, QPoint(0, 0));
        m_window->setGeometry(QRect(origin, size()));
        m_window->show();
    } else {
        m_window->hide();
    }
}

void CDlgGMap::OnLoadFinished() {
    if (m_pageLoaded)
        return;
    m_pageLoaded = true;
    FitToParent();
    if (m_pendingRoute) {
        CallPage("SetRoute", *m_pendingRoute);
        m_pendingRoute.reset();
    }
    if (m_pendingEvent) {
        CallPage("SetEvent", *m_pendingEvent);
        m_pendingEvent.reset();
        show();
    }
    emit loaded();
}

void CDlgGMap::CallPage(const char* function, const QJsonArray& arguments) {
    m_page->runJavaScript(MapCallScript(function, arguments));
}

} // namespace quello
