// Costs of the telemetry views on the GUI thread, to compare with the 100 ms sync tick.
//   views_bench                      (offscreen; the map needs QTWEBENGINE_DISABLE_SANDBOX=1
//                                     when run as root, which this tool sets itself)
#include "recordings/RecordingLibrary.h"
#include "recordings/TelemetryParser.h"
#include "recordings/TripRoute.h"
#include "views/CDlgGMap.h"
#include "views/CMyWaveForm.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <benchmark/benchmark.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

namespace quello {
namespace {

// The strip's size on the main window.
constexpr int kWidth = 642, kHeight = 142;

void loadRecording(CMyWaveForm& w) {
    std::vector<GSensorSample> samples(CMyWaveForm::kMaxPoints);
    for (int i = 0; i < CMyWaveForm::kMaxPoints; ++i)
        samples[i] = GSensorSample{static_cast<int>(800 * std::sin(i / 13.0)),
                                   static_cast<int>(500 * std::cos(i / 7.0)),
                                   1000 + static_cast<int>(300 * std::sin(i / 3.0))};
    std::vector<std::int32_t> speeds(300);
    for (int i = 0; i < 300; ++i)
        speeds[i] = 60 + static_cast<int>(40 * std::sin(i / 20.0));
    w.SetGSensorData(samples.data(), static_cast<int>(samples.size()));
    w.SetSpeedData(speeds.data(), static_cast<int>(speeds.size()));
    w.SetAxisSeconds(12 * 3600, 12 * 3600 + 300);
    w.SetTotalSeconds(300);
}

// Every layer drawn from scratch: what a new recording, a view switch or the printed strip
// costs. Argument: 0 = G view (3 x 3000 points), 1 = speed view.
void BM_WaveformFullPaint(benchmark::State& state) {
    CMyWaveForm w;
    w.resize(kWidth, kHeight);
    loadRecording(w);
    if (state.range(0) == 1)
        w.ToggleSpeedView();
    QImage target(kWidth, kHeight, QImage::Format_RGB32);
    int cursor = 0;
    for (auto _ : state) {
        w.SetCursor(cursor = (cursor + 1) % CMyWaveForm::kMaxPoints);
        QPainter p(&target);
        w.DrawAll(&p);
    }
}
BENCHMARK(BM_WaveformFullPaint)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// One sync tick: the cursor and the playing second move and the widget repaints itself.
void BM_WaveformTickPaint(benchmark::State& state) {
    CMyWaveForm w;
    w.resize(kWidth, kHeight);
    w.show(); // hidden, every render would come with a resize and rebuild the cache
    loadRecording(w);
    QImage target(kWidth, kHeight, QImage::Format_RGB32);
    w.render(&target);
    int cursor = 0;
    for (auto _ : state) {
        cursor = (cursor + 1) % CMyWaveForm::kMaxPoints;
        w.SetCursor(cursor);
        w.SetCurrentSecond(cursor / 10);
        w.render(&target);
    }
}
BENCHMARK(BM_WaveformTickPaint)->Unit(benchmark::kMicrosecond);

struct LoadedMap {
    QWidget host;
    std::unique_ptr<CDlgGMap> map;
    LoadedMap() {
        host.resize(327, 254);
        host.show();
        map = std::make_unique<CDlgGMap>(&host);
        if (!QTest::qWaitFor([&] { return map->pageLoaded(); }, 60000))
            qFatal("the map page did not load");
    }
    // Waits until the page has carried out every call made so far.
    void drain() {
        bool done = false;
        map->findChild<QWebEngineView*>()->page()->runJavaScript(
            "0", [&](const QVariant&) { done = true; });
        if (!QTest::qWaitFor([&] { return done; }, 60000))
            qFatal("the map page stopped answering");
    }
};

const char* const kLatitudes[] = {"22.543210", "22.543310"};

// The GUI thread's share of one SetLgtLat: the call returns before the page has run it.
void BM_MapSetLgtLatCall(benchmark::State& state) {
    LoadedMap m;
    int i = 0;
    for (auto _ : state)
        m.map->SetLgtLat(kLatitudes[++i % 2], "114.012345", "45");
    m.drain();
}
BENCHMARK(BM_MapSetLgtLatCall)->Unit(benchmark::kMicrosecond)->Iterations(500);

// One SetLgtLat that moves the marker, until the page has finished it (marker moved, map panned).
void BM_MapSetLgtLatRoundTrip(benchmark::State& state) {
    LoadedMap m;
    int i = 0;
    for (auto _ : state) {
        m.map->SetLgtLat(kLatitudes[++i % 2], "114.012345", "45");
        m.drain();
    }
}
BENCHMARK(BM_MapSetLgtLatRoundTrip)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

// Baseline for the one above: an empty script's round trip to the same page.
void BM_MapEmptyScriptRoundTrip(benchmark::State& state) {
    LoadedMap m;
    for (auto _ : state)
        m.drain();
}
BENCHMARK(BM_MapEmptyScriptRoundTrip)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

// A trip of `count` one-minute recordings of 300 fixes each: movie headers (all the trip needs
// of a movie) and telemetry files in a temporary folder.
struct TripOnDisk {
    QTemporaryDir dir;
    RecordingLibrary library;
    explicit TripOnDisk(int count) {
        const auto be = [](std::uint64_t v, int width) {
            std::string out;
            for (int i = width - 1; i >= 0; --i)
                out.push_back(char(v >> (8 * i)));
            return out;
        };
        const auto box = [&](const char* type, const std::string& body) {
            return be(body.size() + 8, 4) + type + body;
        };
        for (int r = 0; r < count; ++r) {
            const std::uint64_t start = 3862000000u + 300u * std::uint64_t(r); // since 1904
            const std::string mvhd = box("mvhd", be(0, 4) + be(start, 4) + be(start, 4) + be(1, 4) +
                                                     be(300, 4) + std::string(80, '\0'));
            const std::string base = dir.filePath(QString::number(r)).toStdString();
            std::ofstream(base + ".MOV", std::ios::binary) << box("moov", mvhd);
            std::ofstream dat(base + ".DAT");
            for (int i = 0; i < 300; ++i) {
                char line[96];
                std::snprintf(line, sizeof line,
                              "[G]\t2026/05/16\t09:41:07\tN%.6f\tE%.6f\t50\t90\n",
                              22.5 + 0.0001 * (r * 300 + i), 114.0 + 0.0001 * i);
                dat << line;
            }
            RecordingRow row;
            library.Add(base + ".MOV", row);
        }
    }
};

// From a recording's telemetry file to its route and its trip's drawn on the page: the file
// read, the trip's other files read, the route sent and drawn.
void BM_RouteLoadToDrawn(benchmark::State& state) {
    TripOnDisk trip(static_cast<int>(state.range(0)));
    LoadedMap m;
    QSignalSpy drawn(m.map.get(), &CDlgGMap::routeDrawn);
    auto telemetry = std::make_unique<TelemetrySet>();
    TripRoute route;
    for (auto _ : state) {
        drawn.clear();
        ParseTelemetryFile(trip.library.entry(0).telemetryPath, *telemetry);
        route.Build(trip.library, 0, *telemetry);
        // In the player on a worker; here in line, as part of the way to the drawn routes.
        route.SetOthers(TripRoute::LoadOthers(route.otherEntries(), SavedGpsOptions));
        m.map->SetRoute(route.current(), route.others());
        if (!drawn.wait(60000))
            qFatal("the route was not drawn");
    }
    state.counters["recordings"] = double(route.others().size() + 1);
    state.counters["points"] = drawn.at(0).at(0).toDouble();
}
BENCHMARK(BM_RouteLoadToDrawn)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
} // namespace quello

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The browser refuses to start its sandbox as root; this tool runs nothing but our page.
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
