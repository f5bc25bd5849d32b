#include "TripRouteLoader.h"

#include "device/MovieGpsOptions.h"

#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentRun>

namespace quello {

TripRouteLoader::TripRouteLoader(Handler handler, QObject* parent)
    : QObject(parent), m_handler(std::move(handler)) {}

TripRouteLoader::~TripRouteLoader() {
    Cancel();
}

void TripRouteLoader::Start(const std::vector<RecordingEntry>& entries) {
    Cancel();
    if (entries.empty())
        return;
    m_watcher = new QFutureWatcher<Routes>(this);
    connect(m_watcher, &QFutureWatcherBase::finished, this, [this] {
        const Routes routes = m_watcher->result();
        m_watcher->deleteLater();
        m_watcher = nullptr;
        m_handler(routes);
    });
    m_watcher->setFuture(QtConcurrent::run(
        [entries] { return TripRoute::LoadOthers(entries, GpsOptionsForMovie); }));
}

void TripRouteLoader::Cancel() {
    if (!m_watcher)
        return;
    // The worker runs to its end on its own (it reads files only); its result is dropped.
    m_watcher->disconnect(this);
    m_watcher->deleteLater();
    m_watcher = nullptr;
}

} // namespace quello
