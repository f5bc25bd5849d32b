// Time from process start to the player's window shown with the camera card's recordings
// listed, over several fresh processes. Goal: <= 1.5 s.
//
//   app_startup_bench [CARD] [RUNS]
//
// CARD defaults to a demo card generated once into the build folder. Each run starts this
// program again as a child; the child builds the window exactly as the player does, waits
// until the window is exposed, the start-up card scan has filled the library and the paint
// has reached the screen, and prints that moment on the monotonic clock. The parent measures
// from just before it started the child. Runs on the platform QT_QPA_PLATFORM names (use
// xvfb-run for an X server; offscreen when there is no display).
#include "app/CPlayerApp.h"
#include "app/CPlayerDlg.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QWindow>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <ctime>
#include <vector>

#include <unistd.h>

namespace {

double MonotonicSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) + ts.tv_nsec * 1e-9;
}

int Child(int argc, char** argv, const QString& card) {
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    quello::CPlayerDlg window;
    window.SetCardRoot(card);
    window.show();
    QElapsedTimer limit;
    limit.start();
    while (limit.elapsed() < 60000) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        const bool exposed = window.windowHandle() && window.windowHandle()->isExposed();
        if (exposed && window.cardScanned() && window.library().entryCount() > 0)
            break;
    }
    // The rows just added reach the screen with the next paint.
    QCoreApplication::sendPostedEvents(window.windowHandle(), QEvent::UpdateRequest);
    QCoreApplication::sendPostedEvents(&window, QEvent::UpdateRequest);
    std::printf("ready %.6f rows %d\n", MonotonicSeconds(), window.library().entryCount());
    std::fflush(stdout);
    _exit(0); // the measurement is done; skip the teardown
}

} // namespace

int main(int argc, char** argv) {
    quello::CPlayerApp::PrepareProcess();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc >= 3 && QLatin1String(argv[1]) == QLatin1String("--child"))
        return Child(argc, argv, QString::fromLocal8Bit(argv[2]));

    QString card = argc >= 2 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(QUELLO_BENCH_CARD);
    const int runs = argc >= 3 ? std::max(1, std::atoi(argv[2])) : 7;
    if (!QFileInfo(card + "/DCIM").isDir()) {
        std::printf("generating the demo card in %s\n", qPrintable(card));
        if (QProcess::execute(QStringLiteral(QUELLO_MAKE_DEMO_CARD), {card}) != 0) {
            std::fprintf(stderr, "could not generate the demo card\n");
            return 1;
        }
    }

    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QProcess child;
        child.setProcessChannelMode(QProcess::SeparateChannels);
        const double started = MonotonicSeconds();
        child.start(QString::fromLocal8Bit(argv[0]), {QStringLiteral("--child"), card});
        if (!child.waitForFinished(120000) || child.exitCode() != 0) {
            std::fprintf(stderr, "run %d failed\n", i);
            return 1;
        }
        double ready = 0;
        int rows = 0;
        const QByteArray out = child.readAllStandardOutput();
        if (std::sscanf(out.constData(), "ready %lf rows %d", &ready, &rows) != 2 || rows <= 0) {
            std::fprintf(stderr, "run %d: no ready line: %s\n", i, out.constData());
            return 1;
        }
        times.push_back(ready - started);
        std::printf("run %d: %.0f ms (%d recordings)\n", i, (ready - started) * 1e3, rows);
    }
    std::sort(times.begin(), times.end());
    std::printf("start to window shown with the library filled: median %.0f ms, min %.0f ms, "
                "max %.0f ms over %d runs (goal <= 1500 ms)\n",
                times[times.size() / 2] * 1e3, times.front() * 1e3, times.back() * 1e3, runs);
    return 0;
}
