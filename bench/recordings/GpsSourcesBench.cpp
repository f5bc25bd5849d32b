// The telemetry sources beside the camera's .DAT, each against its goal:
// - a one-hour GPX track (3600 points) chosen for a one-minute recording: the whole load,
//   reading and placing, at most 50 ms;
// - the GPS of a one-minute movie (60 freeGPS blocks, 64 MB of picture data) extracted through
//   ExifTool by our reader, against a plain `exiftool -ee` run on the same file started the
//   same way, taking turns: at most 1.2 times as long. The ratios are printed at the end.
#include "recordings/EmbeddedTrackReader.h"
#include "recordings/TelemetrySources.h"
#include "recordings/base/ProgramOutput.h"
#include "tests/support/MovieBytes.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdlib.h>
#include <string>

namespace quello {
namespace {

// 2026-05-16 09:00:00 UTC: the hour's first point.
constexpr std::int64_t kHourStart = 1778922000;

std::string g_gpx, g_movie;
double g_ratio = 0, g_medianRatio = 0;

void Write(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

// A GPX 1.1 track as a logger writes it: one point a second heading north-east.
std::string HourGpx() {
    std::string gpx = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<gpx version=\"1.1\" "
                      "creator=\"bench\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n"
                      "<trk><name>hour</name><trkseg>\n";
    char point[200];
    for (int s = 0; s < 3600; ++s) {
        std::snprintf(point, sizeof point,
                      "<trkpt lat=\"%.9f\" lon=\"%.9f\"><ele>12.5</ele>"
                      "<time>2026-05-16T09:%02d:%02dZ</time><sat>9</sat></trkpt>\n",
                      40.7 + s * 0.0001, -73.9 + s * 0.0001, s / 60, s % 60);
        gpx += point;
    }
    return gpx + "</trkseg></trk>\n</gpx>\n";
}

std::string MinuteMovie() {
    std::vector<test::FreeGpsRecord> records;
    for (int s = 0; s < 60; ++s)
        records.push_back({2026,
                           5,
                           16,
                           9,
                           30,
                           s,
                           'N',
                           'W',
                           4042.0f + 0.01f * float(s),
                           7354.0f,
                           21.6f,
                           45.0f,
                           {256, 0, 256}});
    return test::FreeGpsMovie(std::uint64_t(kHourStart + 1800) + test::kSecondsFrom1904To1970, 60,
                              'C', records, std::size_t(64) << 20);
}

void BM_LoadHourGpxForOneMinute(benchmark::State& state) {
    auto set = std::make_unique<TelemetrySet>();
    const RecordingEntry entry{g_movie, "", true, kHourStart + 1800, 60};
    GpsOptions options;
    options.userGpx = g_gpx;
    TelemetryLoad load;
    for (auto _ : state) {
        load = LoadRecordingTelemetry(entry, options, *set);
        benchmark::DoNotOptimize(set->fixCount);
    }
    if (load.source != TelemetrySource::UserGpx || set->fixCount != 60)
        state.SkipWithError("the hour's GPX did not give the minute's 60 fixes");
}
BENCHMARK(BM_LoadHourGpxForOneMinute)->Unit(benchmark::kMillisecond);

// Our reader and the plain run take turns, so that the load of a shared machine weighs on
// both alike; each is timed on its own and the fastest of each is compared.
void BM_EmbeddedAgainstPlainExifTool(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    auto timed = [](auto&& run) {
        const auto start = Clock::now();
        run();
        return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    };
    std::vector<double> ours, plain;
    std::vector<TrackPoint> points;
    std::string output;
    for (auto _ : state) {
        ours.push_back(timed([&] { ReadEmbeddedTrack(g_movie, ExifToolRun{}, points); }));
        plain.push_back(timed([&] {
            RunProgramOutput({ExifToolRun{}.program, "-ee", g_movie}, 60000, std::size_t(1) << 28,
                             output);
        }));
    }
    if (points.size() != 60 || output.find("GPS Latitude") == std::string::npos) {
        state.SkipWithError("ExifTool did not report the movie's 60 fixes");
        return;
    }
    std::sort(ours.begin(), ours.end());
    std::sort(plain.begin(), plain.end());
    state.counters["reader_min_ms"] = ours.front();
    state.counters["plain_min_ms"] = plain.front();
    state.counters["reader_median_ms"] = ours[ours.size() / 2];
    state.counters["plain_median_ms"] = plain[plain.size() / 2];
    g_ratio = ours.front() / plain.front();
    g_medianRatio = ours[ours.size() / 2] / plain[plain.size() / 2];
}
BENCHMARK(BM_EmbeddedAgainstPlainExifTool)->Unit(benchmark::kMillisecond)->Iterations(40);

} // namespace
} // namespace quello

int main(int argc, char** argv) {
    char folder[] = "/tmp/quello-bench-XXXXXX";
    if (::mkdtemp(folder) == nullptr)
        return 1;
    quello::g_gpx = std::string(folder) + "/hour.gpx";
    quello::g_movie = std::string(folder) + "/FILE0001.MOV";
    quello::Write(quello::g_gpx, quello::HourGpx());
    quello::Write(quello::g_movie, quello::MinuteMovie());
    benchmark::Initialize(&argc, argv);
    benchmark::ConsoleReporter reporter(benchmark::ConsoleReporter::OO_Tabular);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    std::filesystem::remove_all(folder);
    if (quello::g_ratio > 0)
        std::printf("embedded GPS through our reader / plain exiftool -ee = %.2fx fastest, %.2fx "
                    "median (goal <= 1.2x)\n",
                    quello::g_ratio, quello::g_medianRatio);
    return 0;
}
