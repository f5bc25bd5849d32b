// Plays a 1920x1080 30 fps H.264 movie headless through CMediaGraph into a 730x546 video host
// (letterbox 730x410) at 1x, 2x, 4x, 8x, -2x and -8x, and prints per rate the process CPU %,
// frames rendered and dropped, the mean render time, how fast the position advanced against
// the rate in real time and how many distinct frames a second reached the host, next to the
// CPU % of `ffmpeg -re -i MOVIE -f null -` (decode only) on the same stretch of the file, which
// takes turns with the engine at 1x for ROUNDS rounds. Then times open -> first frame, exact
// seek and one-frame step (median of 20) against bare libmpv doing the same, and the engine's
// exact one-frame step back across a key frame against its step forward.
// Usage: playback_bench [SECONDS_PER_RATE [ROUNDS]]   (default 8 and 5)
#include "BareMpv.h"

#include "EngineDrain.h"
#include "playback/CMediaGraph.h"
#include "playback/CVideoHost.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

using namespace quello;

double CpuSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Runs a program to its end; returns its CPU % of one core over its wall time, or -1.
double RunForCpu(const std::vector<const char*>& argv) {
    const double cpuBefore = CpuSeconds(RUSAGE_CHILDREN);
    QElapsedTimer wall;
    wall.start();
    const pid_t pid = fork();
    if (pid == 0) {
        std::freopen("/dev/null", "w", stderr);
        execvp(argv[0], const_cast<char* const*>(argv.data()));
        _exit(127);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0)
        return -1;
    return 100.0 * (CpuSeconds(RUSAGE_CHILDREN) - cpuBefore) / (wall.nsecsElapsed() / 1e9);
}

using bench::EngineDrain;
using bench::Pump;

// Runs the event loop until one more frame has been rendered; false after 20 s.
bool PumpUntilRendered(CMediaGraph& graph, std::int64_t before) {
    QElapsedTimer timer;
    timer.start();
    QTimer tick; // bounds each wait for events
    tick.start(50);
    while (graph.GetStatistics().framesRendered <= before) {
        if (timer.elapsed() > 20000)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// `prepare` runs before each timed run, outside the time.
double MedianMs(int runs, const std::function<bool()>& run,
                const std::function<void()>& prepare = {}) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        if (prepare)
            prepare();
        QElapsedTimer timer;
        timer.start();
        if (!run())
            return -1;
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    return Median(times);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    const double secondsPerRate = argc > 1 ? std::atof(argv[1]) : 8.0;
    const int rounds = std::max(1, argc > 2 ? std::atoi(argv[2]) : 5);

    QTemporaryDir dir;
    const QByteArray movie = QFile::encodeName(dir.filePath("bench-1080p30.mp4"));
    std::printf("encoding a 40 s 1920x1080 30 fps H.264 movie with sound...\n");
    if (RunForCpu({"ffmpeg",
                   "-nostdin",
                   "-y",
                   "-f",
                   "lavfi",
                   "-i",
                   "testsrc2=s=1920x1080:r=30:d=40",
                   "-f",
                   "lavfi",
                   "-i",
                   "sine=f=440:d=40",
                   "-c:v",
                   "libx264",
                   "-preset",
                   "veryfast",
                   "-g",
                   "30",
                   "-pix_fmt",
                   "yuv420p",
                   "-c:a",
                   "aac",
                   "-shortest",
                   movie.constData(),
                   nullptr}) < 0) {
        std::fprintf(stderr, "ffmpeg could not write the movie\n");
        return 1;
    }

    CMediaGraph graph;
    graph.SetAudioOutput("null");
    EngineDrain drain(graph);
    CVideoHost host;
    host.resize(730, 546);
    host.show();

    // Steady state: a direction change near the end costs libmpv a second or two of decoding
    // before the first backward frame, which is not what is measured here.
    constexpr double kWarmUp = 1.0;
    struct Row {
        double cpu = -1, played = 0, renderMs = 0, wallSeconds = 1;
        std::int64_t rendered = 0, dropped = 0;
    };
    const auto playAt = [&](int rateIndex, double rate) {
        Row row;
        if (graph.OpenMovie(QString::fromUtf8(movie), &host, &drain) != 0)
            return row;
        const double duration = graph.GetDurationSeconds();
        if (rate < 0)
            graph.SetPositionSeconds(duration - 0.2);
        graph.SetRateIndex(rateIndex);
        graph.TogglePlayPause();
        Pump(kWarmUp);
        const EngineStatistics before = graph.GetStatistics();
        row.wallSeconds =
            std::min(secondsPerRate, 0.85 * (duration - 0.5) / std::abs(rate) - kWarmUp);
        const double cpuBefore = CpuSeconds(RUSAGE_SELF);
        const double positionBefore = graph.GetPositionSeconds();
        Pump(row.wallSeconds);
        row.cpu = 100.0 * (CpuSeconds(RUSAGE_SELF) - cpuBefore) / row.wallSeconds;
        row.played = graph.GetPositionSeconds() - positionBefore;
        const EngineStatistics after = graph.GetStatistics();
        row.rendered = after.framesRendered - before.framesRendered;
        row.dropped = after.framesDropped - before.framesDropped;
        row.renderMs = after.meanRenderMs;
        graph.CloseMovie();
        return row;
    };

    // The machine's speed drifts by more than the difference being measured: ffmpeg and the
    // engine at 1x take turns on the same stretch of the movie, and each pair gives a ratio.
    const QByteArray decodeSeconds = QByteArray::number(kWarmUp + secondsPerRate);
    std::vector<double> decodeCpus, ratios;
    Row first;
    for (int round = 0; round < rounds; ++round) {
        const double decodeCpu =
            RunForCpu({"ffmpeg", "-nostdin", "-re", "-t", decodeSeconds.constData(), "-i",
                       movie.constData(), "-f", "null", "-", nullptr});
        const Row row = playAt(0, 1.0);
        if (decodeCpu <= 0 || row.cpu < 0) {
            std::fprintf(stderr, "ffmpeg or the engine could not play the movie\n");
            return 1;
        }
        if (round == 0)
            first = row;
        decodeCpus.push_back(decodeCpu);
        ratios.push_back(row.cpu / decodeCpu);
        std::printf("1x round %d: decode only %.1f %%, engine %.1f %%, ratio %.2fx\n", round + 1,
                    decodeCpu, row.cpu, row.cpu / decodeCpu);
    }
    const double decodeCpu = Median(decodeCpus);
    std::printf("\ndecode only (ffmpeg -re -i MOVIE -f null -): CPU %.1f %% (median); "
                "1x ratio median of %d rounds %.2fx\n\n",
                decodeCpu, rounds, Median(ratios));

    std::printf("%-6s %8s %10s %9s %9s %14s %12s %10s %8s\n", "rate", "CPU %", "vs decode",
                "rendered", "dropped", "render ms/frm", "played s", "of rate", "fps");
    const struct {
        int index;
        const char* name;
        double rate;
    } rates[] = {{0, "1x", 1}, {1, "2x", 2},   {2, "4x", 4},
                 {3, "8x", 8}, {5, "-2x", -2}, {7, "-8x", -8}};
    for (const auto& rate : rates) {
        const Row row = rate.index == 0 ? first : playAt(rate.index, rate.rate);
        if (row.cpu < 0) {
            std::fprintf(stderr, "OpenMovie failed\n");
            return 1;
        }
        std::printf("%-6s %8.1f %9.2fx %9lld %9lld %14.2f %12.2f %10.2f %8.1f\n", rate.name,
                    row.cpu, row.cpu / decodeCpu, static_cast<long long>(row.rendered),
                    static_cast<long long>(row.dropped), row.renderMs, row.played,
                    row.played / (rate.rate * row.wallSeconds), row.rendered / row.wallSeconds);
    }

    constexpr int kRuns = 20;
    std::vector<double> targets;
    for (int i = 0; i < kRuns; ++i)
        targets.push_back(0.5 + (i * 3.7 - int(i * 3.7 / 10.5) * 10.5)); // spread over the GOPs

    // Each open starts from a closed engine that has settled: libmpv takes ~200 ms to shut
    // down in the first ~100 ms after a load, which is not what is measured here.
    const double engineOpen = MedianMs(
        kRuns,
        [&] {
            return graph.OpenMovie(QString::fromUtf8(movie), &host, &drain) == 0 &&
                   graph.GetStatistics().framesRendered > 0;
        },
        [&] {
            Pump(0.2);
            graph.CloseMovie();
        });
    int next = 0;
    const double engineSeek = MedianMs(kRuns, [&] {
        const std::int64_t before = graph.GetStatistics().framesRendered;
        graph.SetPositionSeconds(targets[next++ % kRuns]);
        return PumpUntilRendered(graph, before);
    });
    graph.SetPositionSeconds(1.0);
    PumpUntilRendered(graph, graph.GetStatistics().framesRendered);
    const double engineStep = MedianMs(kRuns, [&] {
        const std::int64_t before = graph.GetStatistics().framesRendered;
        graph.StepForward(0);
        return PumpUntilRendered(graph, before);
    });
    // Back from the middle of a key-frame interval across its key frame (at 2.0 s): each step
    // decodes from the key frame before the frame shown.
    graph.SetPositionSeconds(2.4);
    PumpUntilRendered(graph, graph.GetStatistics().framesRendered);
    // A step back is done when the position has moved back: libmpv renders on the way.
    const double engineBackStep = MedianMs(kRuns, [&] {
        const double before = graph.GetPositionSeconds();
        graph.StepFrameExact(-1);
        QElapsedTimer timer;
        timer.start();
        QTimer tick;
        tick.start(10);
        while (graph.GetPositionSeconds() > before - 0.001) {
            if (timer.elapsed() > 20000)
                return false;
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        return true;
    });
    graph.CloseMovie();

    bench::BareMpv bare;
    const std::string path = movie.toStdString();
    const double bareOpen = MedianMs(
        kRuns, [&] { return bare.Open(path); },
        [&] {
            Pump(0.2);
            bare.Close();
        });
    next = 0;
    const double bareSeek = MedianMs(kRuns, [&] { return bare.Seek(targets[next++ % kRuns]); });
    bare.Seek(1.0);
    const double bareStep = MedianMs(kRuns, [&] { return bare.Step(); });
    bare.Close();

    std::printf("\n%-26s %10s %12s %8s\n", "median of 20 (ms)", "engine", "bare libmpv", "ratio");
    const struct {
        const char* name;
        double engine, bare;
    } latencies[] = {{"open -> first frame", engineOpen, bareOpen},
                     {"exact seek", engineSeek, bareSeek},
                     {"frame step", engineStep, bareStep}};
    for (const auto& l : latencies)
        std::printf("%-26s %10.1f %12.1f %7.2fx\n", l.name, l.engine, l.bare, l.engine / l.bare);
    std::printf("\n%-26s %10.1f ms, %.2fx the frame step\n", "frame back-step (engine)",
                engineBackStep, engineBackStep / engineStep);
    return 0;
}
