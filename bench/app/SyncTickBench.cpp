// The full cost of one playback sync tick of the assembled window while a 1920x1080 movie
// plays with a full telemetry file (3000 samples, 300 fixes) loaded: SyncTelemetry plus the
// repaints it causes (waveform, gauges, speed text) and the map call. Goal: <= 2 ms.
//
// The window's own 100 ms timer is stopped; each iteration lets the movie play for 100 ms
// (not timed) and then times one tick. "tick_while_playing" is the steady state, where the
// gauges change once a second; "tick_new_second" first moves playback to a new second, so
// every timed tick redraws both gauges and moves the map marker.
//
// Repaints are counted by control: per tick, which of the window's widgets the tick repainted
// (a tick must repaint only what changed: the waveform's cursor layer, the slider, the speed
// text and the gauges when their values change), and how often the map's page repainted per
// marker move over the whole run (at most when the marker moves).
#include "BenchWindow.h"
#include "app/CPlayerApp.h"
#include "app/CPlayerDlg.h"
#include "res/skin/WindowLayout.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPaintEvent>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <map>
#include <memory>

#include <unistd.h>

namespace {

using quello::CPlayerDlg;
using quello::MediaState;

QTemporaryDir* g_dir = nullptr;
CPlayerDlg* g_window = nullptr;

// Counts paint events, by the window control they belong to ("ctl<id>"), while `ticking`, and
// those of the map's own window at any time.
class PaintCounter : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Paint || !watched->isWidgetType())
            return false;
        QString control = QStringLiteral("other");
        for (QObject* o = watched; o; o = o->parent()) {
            if (o->objectName() == QLatin1String("mapWindow")) {
                ++mapPaints;
                return false;
            }
            if (control == QLatin1String("other") && o->objectName().startsWith("ctl"))
                control = o->objectName();
        }
        // The slider and the speed text are drawn over the panel, so the panel repaints the
        // strip under them when they change: that belongs to them, not to the gauges.
        if (control == QLatin1String("ctl1061")) {
            auto* panel = static_cast<QWidget*>(watched);
            const QRect rect = static_cast<QPaintEvent*>(event)->rect();
            for (int over : {quello::kIdPosition, quello::kIdSpeedText}) {
                const QRect child = g_window->control(over)->geometry().translated(-panel->pos());
                if (child.contains(rect))
                    control = QStringLiteral("ctl%1").arg(over);
            }
        }
        if (ticking)
            ++tickPaints[control];
        return false;
    }
    void Reset() {
        tickPaints.clear();
        mapPaints = 0;
    }
    bool ticking = false;
    std::map<QString, int> tickPaints;
    int mapPaints = 0;
};
PaintCounter* g_paints = nullptr;

void RunEventsFor(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
}

void EnsurePlaying() {
    if (g_window->engine().GetState() != MediaState::Running)
        g_window->engine().TogglePlayPause();
}

struct TickTime {
    double sync = 0;  // SyncTelemetry itself, map call included
    double paint = 0; // the repaints it asked for
    double total() const { return sync + paint; }
};

TickTime TimedTick() {
    QElapsedTimer t;
    t.start();
    g_window->SyncTelemetry();
    TickTime time;
    time.sync = t.nsecsElapsed() * 1e-9;
    t.restart();
    // The repaints the tick asked for, and nothing else that is waiting.
    g_paints->ticking = true;
    QCoreApplication::sendPostedEvents(g_window->windowHandle(), QEvent::UpdateRequest);
    QCoreApplication::sendPostedEvents(g_window, QEvent::UpdateRequest);
    g_paints->ticking = false;
    time.paint = t.nsecsElapsed() * 1e-9;
    return time;
}

// The fix second a tick shows now (the map marker moves when it changes).
int ShownSecond() {
    return int(g_window->engine().GetPositionSeconds()) - 1;
}

void Report(benchmark::State& state, double maxSeconds, const TickTime& sum, int markerMoves) {
    const double ticks = double(state.iterations());
    for (const char* control : {"ctl1024", "ctl1018", "ctl1059", "ctl1061", "other"}) {
        const auto it = g_paints->tickPaints.find(QLatin1String(control));
        const int count = it == g_paints->tickPaints.end() ? 0 : it->second;
        state.counters[std::string("paints_") + control] = count / ticks;
    }
    state.counters["marker_moves"] = markerMoves;
    state.counters["map_paints"] = g_paints->mapPaints;
    state.counters["max_ms"] = maxSeconds * 1e3;
    state.counters["sync_ms"] = sum.sync * 1e3 / double(state.iterations());
    state.counters["paint_ms"] = sum.paint * 1e3 / double(state.iterations());
    state.counters["fixCount"] = g_window->telemetry().fixCount;
    state.counters["sampleCount"] = g_window->telemetry().sampleCount;
}

void TickWhilePlaying(benchmark::State& state) {
    double worst = 0;
    TickTime sum;
    g_paints->Reset();
    int markerMoves = 0, shown = -2;
    for (auto _ : state) {
        EnsurePlaying();
        RunEventsFor(100);
        markerMoves += ShownSecond() != shown;
        shown = ShownSecond();
        const TickTime t = TimedTick();
        sum.sync += t.sync;
        sum.paint += t.paint;
        worst = std::max(worst, t.total());
        state.SetIterationTime(t.total());
    }
    Report(state, worst, sum, markerMoves);
}

void TickNewSecond(benchmark::State& state) {
    double worst = 0;
    TickTime sum;
    int second = 1;
    g_paints->Reset();
    int markerMoves = 0, shown = -2;
    for (auto _ : state) {
        EnsurePlaying();
        second = second % 15 + 1;
        g_window->engine().SetPositionSeconds(second + 0.02);
        RunEventsFor(100);
        markerMoves += ShownSecond() != shown;
        shown = ShownSecond();
        const TickTime t = TimedTick();
        sum.sync += t.sync;
        sum.paint += t.paint;
        worst = std::max(worst, t.total());
        state.SetIterationTime(t.total());
    }
    Report(state, worst, sum, markerMoves);
}

BENCHMARK(TickWhilePlaying)
    ->Name("tick_while_playing")
    ->UseManualTime()
    ->Iterations(100)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(TickNewSecond)
    ->Name("tick_new_second")
    ->UseManualTime()
    ->Iterations(60)
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "qt.webenginecontext.info=false;js.*=false");
    quello::CPlayerApp::PrepareProcess();
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    benchmark::Initialize(&argc, argv);

    QTemporaryDir dir;
    g_dir = &dir;
    std::unique_ptr<CPlayerDlg> window = quello::bench::PlayBenchMovieInWindow(dir.path(), 20);
    if (!window)
        return 1;
    g_window = window.get();
    if (auto* timer = window->findChild<QTimer*>(QStringLiteral("syncTimer")))
        timer->stop();

    PaintCounter paints;
    g_paints = &paints;
    app.installEventFilter(&paints);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    window.reset();
    return 0;
}
