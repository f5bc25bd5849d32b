// Loads a full telemetry file (five minutes: 3000 "[S]" and 300 "[G]" lines) and compares it
// with the cheapest possible reading of the same file, an fgets loop that only counts lines.
// Prints the ratio of the two at the end; the goal is a load at most three times the scan. Also
// times the G-force event finder over the loaded samples.
#include "recordings/GForceEvents.h"
#include "recordings/TelemetryParser.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <stdlib.h>
#include <string>

namespace quello {
namespace {

std::string g_path;

std::string WriteFullFile(const std::string& folder) {
    const std::string path = folder + "/FULL.DAT";
    std::ofstream out(path, std::ios::binary);
    for (int second = 0; second < 300; ++second) {
        for (int tenth = 0; tenth < 10; ++tenth) {
            const int t = second * 10 + tenth;
            out << "[S]\t" << (t * 37 % 2000 - 1000) << '\t' << (t * 11 % 600 - 300) << '\t'
                << (1000 + t % 50) << "\r\n";
        }
        out << "[G]\t2024/05/17\t" << 10 + second / 3600 << ':' << (second / 60) % 60 << ':'
            << second % 60 << "\tN25.0" << 330000 + second * 17 << "\tE121.5"
            << 640000 + second * 23 << '\t' << (40 + second % 60) << '\t' << (second * 3) % 360
            << "\r\n";
    }
    return path;
}

void BM_ParseTelemetryFile(benchmark::State& state) {
    auto set = std::make_unique<TelemetrySet>();
    for (auto _ : state) {
        const bool ok = ParseTelemetryFile(g_path, *set);
        benchmark::DoNotOptimize(ok);
        benchmark::DoNotOptimize(set->sampleCount);
    }
    // In the camera's order (ten samples, then the second's fix) the fix of the last second
    // fills slot 299 and ends the load before that second's samples.
    if (set->sampleCount != 2990 || set->fixCount != 300)
        state.SkipWithError("the full file did not load as expected");
}
BENCHMARK(BM_ParseTelemetryFile);

void BM_PlainLineScan(benchmark::State& state) {
    char line[1024];
    for (auto _ : state) {
        std::FILE* file = std::fopen(g_path.c_str(), "r");
        int lines = 0;
        while (file && std::fgets(line, sizeof line, file))
            ++lines;
        if (file)
            std::fclose(file);
        benchmark::DoNotOptimize(lines);
    }
}
BENCHMARK(BM_PlainLineScan);

// The G-force event finder over a full recording's samples, which swing past 0.4 g often.
void BM_FindGForceEvents(benchmark::State& state) {
    auto set = std::make_unique<TelemetrySet>();
    ParseTelemetryFile(g_path, *set);
    std::size_t events = 0;
    for (auto _ : state) {
        const auto found = FindGForceEvents(set->samples, set->sampleCount, GForceThresholds{});
        events = found.size();
        benchmark::DoNotOptimize(events);
    }
    state.counters["samples"] = set->sampleCount;
    state.counters["events"] = double(events);
}
BENCHMARK(BM_FindGForceEvents)->Unit(benchmark::kMicrosecond);

// Keeps the fastest repetition of each benchmark so the ratio can be printed afterwards.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    RatioReporter() : ConsoleReporter(OO_Tabular) {} // plain text: the figures go into reports

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred)
                continue;
            const std::string name = run.run_name.function_name;
            const double time = run.GetAdjustedRealTime();
            const auto found = best.find(name);
            best[name] = found == best.end() ? time : std::min(found->second, time);
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> best;
};

} // namespace
} // namespace quello

int main(int argc, char** argv) {
    char folder[] = "/tmp/quello-bench-XXXXXX";
    if (::mkdtemp(folder) == nullptr)
        return 1;
    quello::g_path = quello::WriteFullFile(folder);
    benchmark::Initialize(&argc, argv);
    quello::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    std::filesystem::remove_all(folder);

    const auto parse = reporter.best.find("BM_ParseTelemetryFile");
    const auto scan = reporter.best.find("BM_PlainLineScan");
    if (parse == reporter.best.end() || scan == reporter.best.end())
        return 0; // a filter left one side out: no ratio to give
    const double ratio = parse->second / scan->second;
    std::printf("telemetry load / plain line scan = %.2fx (goal <= 3x)\n", ratio);
    return 0;
}
