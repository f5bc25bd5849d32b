#pragma once

#include "LatestJob.h"

#include "cameras/CarSignals.h"
#include "cameras/TeslaCamTree.h"
#include "recordings/RecordingEntry.h"
#include "recordings/TelemetrySources.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace quello {

// Loads a recording's telemetry from the first source that has some: the camera's telemetry
// file at once, on the caller's thread, as always; every other source on a worker thread, as
// reading the GPS a movie holds runs ExifTool for up to seconds. The user's GPS choices for the
// movie's folder and the card's time zone set the track and the clock offset. With the set comes
// the saved or Sentry event a car's clip belongs to (TeslaEventOfClip), read alike.
//
// GUI thread only. The handler runs on the GUI thread, inside Start() for a telemetry file; for
// the other sources it runs inside Start() with an empty set marked pending (nothing shows the
// recording before its own), and again with the result. Only the latest Start() is answered: a
// result that Start() or Cancel() overtook is dropped, as is one still running when the loader is
// destroyed.
class TelemetryLoader : public QObject {
    Q_OBJECT
public:
    struct Loaded {
        TelemetrySet set{};
        TelemetryLoad load;
        CarSignals car; // the car's own signals when the set came from them, else empty
        std::int64_t offsetSeconds = 0;  // the clock offset asked for (the user's and the card's)
        bool pending = false;            // the empty set handed out while the worker still reads
        std::optional<TeslaEvent> event; // the car's saved or Sentry event the movie belongs to
    };
    using Handler = std::function<void(const Loaded&)>;

    TelemetryLoader(Handler handler, QObject* parent = nullptr);
    ~TelemetryLoader() override;

    void Start(const RecordingEntry& entry);
    void Cancel();
    bool busy() const { return m_job.busy(); }

    // What the window says about a loaded set: where its GPS came from when that is not the
    // camera's own file, and the clock shift applied; empty for the camera's file or nothing.
    static QString SourceNote(const Loaded& loaded);
    // What the map says beside an event's place: why the car kept it, then when and where.
    static QString EventText(const TeslaEvent& event);

private:
    Handler m_handler;
    LatestJob<std::shared_ptr<Loaded>> m_job;
};

} // namespace quello
