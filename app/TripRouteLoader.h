#pragma once

#include "recordings/RecordingEntry.h"
#include "recordings/TripRoute.h"

#include <QObject>

#include <functional>
#include <vector>

template <typename T> class QFutureWatcher;

namespace quello {

// Loads the routes of a trip's other recordings on a worker thread (TripRoute::LoadOthers(),
// with the options the player would open each movie with: GpsOptionsForMovie()), as their side
// files are read from a card that may be slow. Works on copies of the entries, so the library
// may change meanwhile.
//
// GUI thread only. The handler runs on the GUI thread with the routes. Only the latest Start()
// is answered: a result that Start() or Cancel() overtook is dropped, as is one still running
// when the loader is destroyed.
class TripRouteLoader : public QObject {
    Q_OBJECT
public:
    using Routes = std::vector<TripRoute::Loaded>;
    using Handler = std::function<void(const Routes&)>;

    TripRouteLoader(Handler handler, QObject* parent = nullptr);
    ~TripRouteLoader() override;

    // Nothing to load (no entries): no worker, no answer.
    void Start(const std::vector<RecordingEntry>& entries);
    void Cancel();
    bool busy() const { return m_watcher != nullptr; }

private:
    Handler m_handler;
    QFutureWatcher<Routes>* m_watcher = nullptr;
};

} // namespace quello
