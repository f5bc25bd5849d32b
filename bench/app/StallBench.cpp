// Whether the window's GUI thread keeps up while a 1920x1080 30 fps movie plays at 1x with its
// telemetry and map, first on a quiet machine and then while `stress-ng --cpu N` (N = the
// number of cores) loads every core. A 5 ms timer on the GUI thread measures how late the event
// loop runs: every gap over 50 ms between two of its ticks is a stall a user sees as a frozen
// picture or a late click. Prints per phase the stalls, the longest gap, frames rendered and
// dropped and how fast the position advanced against real time.
// Usage: app_stall_bench [SECONDS_PER_PHASE]   (default 20)
// The last two phases also seek every 250 ms, and turn between 1x and -8x every 2 s.
#include "BenchWindow.h"
#include "app/CPlayerApp.h"
#include "app/CPlayerDlg.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <functional>
#include <memory>
#include <random>

namespace {

using namespace quello;

constexpr int kProbeMs = 5;
constexpr int kStallMs = 50;

// Counts how often, and by how much, the GUI thread's event loop ran late.
class StallProbe : public QObject {
public:
    StallProbe() {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(kProbeMs);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const qint64 gap = m_clock.restart();
            m_longest = std::max(m_longest, gap);
            if (gap > kStallMs)
                ++m_stalls;
        });
    }
    void Start() {
        m_stalls = 0;
        m_longest = 0;
        m_clock.start();
        m_timer.start();
    }
    void Stop() { m_timer.stop(); }
    int stalls() const { return m_stalls; }
    qint64 longest() const { return m_longest; }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    int m_stalls = 0;
    qint64 m_longest = 0;
};

void RunEventsFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Plays for `seconds` while `action` (if any) runs every `everyMs`.
void MeasurePhase(const char* name, CPlayerDlg& window, StallProbe& probe, int seconds,
                  int everyMs = 0, const std::function<void()>& action = {}) {
    CMediaGraph& engine = window.engine();
    QTimer acting;
    if (action) {
        QObject::connect(&acting, &QTimer::timeout, action);
        acting.start(everyMs);
    }
    const EngineStatistics before = engine.GetStatistics();
    const double startPosition = engine.GetPositionSeconds();
    QElapsedTimer wall;
    wall.start();
    probe.Start();
    RunEventsFor(seconds * 1000);
    probe.Stop();
    acting.stop();
    const double elapsed = wall.nsecsElapsed() / 1e9;
    const EngineStatistics after = engine.GetStatistics();
    std::printf("%-8s stalls>%dms %4d  longest %5lld ms  frames %5lld", name, kStallMs,
                probe.stalls(), static_cast<long long>(probe.longest()),
                static_cast<long long>(after.framesRendered - before.framesRendered));
    // libmpv counts drops from zero again after a seek, and a seek moves the position.
    if (action)
        std::printf("\n");
    else
        std::printf("  dropped %4lld  position/real time %.3f\n",
                    static_cast<long long>(after.framesDropped - before.framesDropped),
                    (engine.GetPositionSeconds() - startPosition) / elapsed);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "qt.webenginecontext.info=false;js.*=false");
    CPlayerApp::PrepareProcess();
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    const int seconds = argc > 1 ? std::max(1, QString(argv[1]).toInt()) : 20;

    QTemporaryDir dir;
    // Room for both phases and the map page's start.
    std::unique_ptr<CPlayerDlg> window =
        bench::PlayBenchMovieInWindow(dir.path(), 4 * seconds + 15);
    if (!window)
        return 1;

    StallProbe probe;
    MeasurePhase("quiet", *window, probe, seconds);

    QProcess stress;
    stress.start(QStringLiteral("stress-ng"),
                 {"--cpu", QString::number(std::max(1, QThread::idealThreadCount())), "--timeout",
                  QString::number(3 * seconds + 10), "--quiet"});
    if (!stress.waitForStarted(5000)) {
        std::fprintf(stderr, "stress-ng does not start (scripts/setup installs it)\n");
        return 1;
    }
    RunEventsFor(500); // its workers running
    MeasurePhase("loaded", *window, probe, seconds);
    // A user dragging through the movie: an exact seek every 250 ms somewhere in the first
    // half, each one keeping libmpv's core busy decoding up to the sought frame.
    std::mt19937 random(1);
    CMediaGraph& engine = window->engine();
    MeasurePhase("seeking", *window, probe, seconds, 250, [&] {
        engine.SetPositionSeconds(std::uniform_real_distribution<double>(0, seconds)(random));
    });
    // Turning between 1x and -8x every 2 s: every turn is a seek in the other direction.
    int turns = 0;
    MeasurePhase("turning", *window, probe, seconds, 2000, [&] {
        engine.SetRateIndex(++turns % 2 ? 7 : 0);
        if (engine.GetState() != MediaState::Running)
            engine.TogglePlayPause();
    });
    stress.kill();
    stress.waitForFinished(5000);
    window.reset();
    return 0;
}
