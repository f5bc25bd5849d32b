#include "TelemetryLoader.h"

#include "cameras/SeiTelemetry.h"
#include "device/MovieGpsOptions.h"

namespace quello {

namespace {

std::shared_ptr<TelemetryLoader::Loaded> Load(const RecordingEntry& entry,
                                              const GpsOptions& options) {
    // About 54 KB: on the heap, and handed over without a copy.
    auto loaded = std::make_shared<TelemetryLoader::Loaded>();
    loaded->offsetSeconds = options.offsetSeconds;
    loaded->load = LoadRecordingTelemetry(entry, options, loaded->set);
    loaded->event = TeslaEventOfClip(entry.moviePath);
    if (loaded->load.source == TelemetrySource::Sei)
        loaded->car = SeiTelemetry::LoadCarSignals(entry.moviePath);
    return loaded;
}

} // namespace

TelemetryLoader::TelemetryLoader(Handler handler, QObject* parent)
    : QObject(parent), m_handler(std::move(handler)),
      m_job(this, [this](const std::shared_ptr<Loaded>& loaded) { m_handler(*loaded); }) {}

TelemetryLoader::~TelemetryLoader() = default;

void TelemetryLoader::Start(const RecordingEntry& entry) {
    Cancel();
    const GpsOptions options = GpsOptionsForMovie(entry.moviePath);
    if (!entry.telemetryPath.empty()) {
        m_handler(*Load(entry, options));
        return;
    }
    Loaded pending;
    pending.pending = true;
    m_handler(pending);
    // ExifTool has a time limit: an overtaken load ends on its own.
    m_job.Start([entry, options] { return Load(entry, options); });
}

QString TelemetryLoader::SourceNote(const Loaded& loaded) {
    QString from;
    switch (loaded.load.source) {
    case TelemetrySource::None:
    case TelemetrySource::Dat:
        return {};
    case TelemetrySource::Gpx:
        from = QStringLiteral("GPS: GPX file");
        break;
    case TelemetrySource::Nmea:
        from = QStringLiteral("GPS: NMEA log");
        break;
    case TelemetrySource::Embedded:
        from = QStringLiteral("GPS: in the movie");
        break;
    case TelemetrySource::UserGpx:
        from = QStringLiteral("GPS: chosen track");
        break;
    case TelemetrySource::Sei:
        from = QStringLiteral("GPS: the car's own data");
        break;
    }
    if (!loaded.load.offsetApplied || loaded.offsetSeconds == 0)
        return from;
    const std::int64_t shift =
        loaded.offsetSeconds < 0 ? -loaded.offsetSeconds : loaded.offsetSeconds;
    return QStringLiteral("%1, shifted %2%3:%4:%5")
        .arg(from, loaded.offsetSeconds < 0 ? QStringLiteral("-") : QStringLiteral("+"))
        .arg(shift / 3600)
        .arg(shift / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(shift % 60, 2, 10, QLatin1Char('0'));
}

QString TelemetryLoader::EventText(const TeslaEvent& event) {
    QString when = QString::fromStdString(event.time).replace(QLatin1Char('T'), QLatin1Char(' '));
    if (!event.city.empty())
        when += QStringLiteral(", ") + QString::fromStdString(event.city);
    if (event.reason.empty())
        return when;
    return QString::fromStdString(event.reason) + QLatin1Char('\n') + when;
}

void TelemetryLoader::Cancel() {
    m_job.Cancel();
}

} // namespace quello
