// The library's index on two synthetic libraries of one-minute recordings, 2 000 and 20 000 (a
// year of driving: 60 fixes each, 1.2 million in the larger), built through LibraryIndex in one
// transaction as an import of a whole card would. Against its goals:
// - building the larger index takes seconds to tens of seconds;
// - a recording with 300 fixes is stored in well under a millisecond inside a transaction;
// - Find near a place (100 m) and Find over one day each take at most 50 ms on the larger
//   index, and at most twice as long as on the smaller one. Both libraries hold the same
//   drives around the place and on the day asked for, so only the library's size differs;
// - on a PostgreSQL server (the bench's own, on a Unix socket, as the tests start one), Find
//   takes at most twice as long as on SQLite, same run (the `/1` runs against the `/0` ones).
#include "library/LibraryIndex.h"
#include "tests/support/PgTestServer.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace quello {
namespace {

constexpr std::int64_t kFirstDay = 1767254400; // 2026-01-01 00:00 on the camera clock
constexpr int kRecordingsPerTrip = 20;         // a twenty-minute drive
constexpr int kTripsPerDay = 5;
constexpr double kCentreLat = 48.137, kCentreLon = 11.575;
constexpr double kMetresPerDegree = 111195.08;
constexpr double kPi = 3.14159265358979323846;

// Trip t circles the city centre at its own distance (2 km + 7 m x t) at 30 to 60 km/h,
// starting from its own bearing; its drive begins at one of the day's five hours.
struct Trip {
    double radius, bearing, speed;
    std::int64_t start;
};

Trip TripNumber(int t) {
    static constexpr int kHours[kTripsPerDay] = {7, 9, 12, 16, 19};
    return {2000.0 + 7.0 * t, std::fmod(t * 2.399963, 2 * kPi), 30.0 + (t * 13 % 31),
            kFirstDay + std::int64_t(t / kTripsPerDay) * 86400 + kHours[t % kTripsPerDay] * 3600 +
                (t * 17 % 40) * 60};
}

void Place(const Trip& trip, int second, double& lat, double& lon) {
    const double angle = trip.bearing + second * (trip.speed / 3.6) / trip.radius;
    lat = kCentreLat + trip.radius * std::cos(angle) / kMetresPerDegree;
    lon = kCentreLon +
          trip.radius * std::sin(angle) / (kMetresPerDegree * std::cos(kCentreLat * kPi / 180));
}

void AddRecordingNumber(LibraryIndex& index, int n, int fixCount, std::vector<LibraryFix>& fixes) {
    const int t = n / kRecordingsPerTrip, minute = n % kRecordingsPerTrip;
    const Trip trip = TripNumber(t);
    LibraryRecording r;
    r.start = trip.start + minute * 60;
    char name[80];
    const std::time_t start = r.start;
    std::tm day{};
    gmtime_r(&start, &day);
    std::snprintf(name, sizeof name, "%04d/%04d-%02d-%02d/%02d%02d%02d_FILE%05d.MOV",
                  day.tm_year + 1900, day.tm_year + 1900, day.tm_mon + 1, day.tm_mday, day.tm_hour,
                  day.tm_min, day.tm_sec, n);
    r.path = name;
    r.sha256 = std::to_string(n) + std::string(64 - std::to_string(n).size(), 'a');
    r.size = 100000000 + n;
    r.mtime = r.start + 60;
    r.hasStart = true;
    r.length = std::uint32_t(fixCount);
    r.card = "card-" + std::to_string(t / 200);
    r.isProtected = n % 37 == 0;
    r.telemetrySource = "dat";
    fixes.clear();
    for (int s = 0; s < fixCount; ++s) {
        LibraryFix f;
        f.second = s;
        Place(trip, minute * 60 + s, f.latitude, f.longitude);
        f.speed = int(trip.speed);
        fixes.push_back(f);
    }
    std::vector<GForceEvent> events;
    if (n % 10 == 3)
        events.push_back({12, 12.4, 13.1, GForceKind::Braking, -0.55});
    if (n % 97 == 5)
        events.push_back({40, 40.2, 40.3, GForceKind::Impact, 1.4});
    const LibraryFile dat{r.path.substr(0, r.path.size() - 4) + ".DAT", r.sha256 + "d", 108000,
                          r.mtime, "telemetry"};
    if (!index.AddRecording(r, {dat}, fixes, events))
        std::fprintf(stderr, "recording %d: %s\n", n, index.error().c_str());
}

struct Library {
    std::string folder;
    std::unique_ptr<LibraryIndex> index;
    double buildSeconds = 0;
};

// By size and backend (0: SQLite, 1: the server).
std::map<std::pair<int, int>, Library> g_libraries;
std::string g_root;
std::unique_ptr<test::PgTestServer> g_server;

LibraryIndex* LibraryOf(int recordings, int backend = 0) {
    Library& library = g_libraries[{recordings, backend}];
    if (library.index)
        return library.index.get();
    const std::string name = "library_" + std::to_string(recordings);
    library.folder = g_root + "/" + name + (backend ? "_server" : "");
    std::filesystem::create_directories(library.folder);
    library.index = std::make_unique<LibraryIndex>();
    std::optional<DatabaseUrl> server;
    if (backend) {
        if (!g_server)
            g_server = std::make_unique<test::PgTestServer>();
        std::string error;
        if (!g_server->ok() || !g_server->CreateDatabase(name) ||
            !(server = DatabaseUrl::Parse(g_server->Url(name), error))) {
            std::fprintf(stderr, "no server: %s\n", g_server->error().c_str());
            return nullptr;
        }
    }
    if (library.index->Open(library.folder, server) != LibraryIndex::OpenResult::Ok) {
        std::fprintf(stderr, "%s\n", library.index->error().c_str());
        return nullptr;
    }
    const auto started = std::chrono::steady_clock::now();
    std::vector<LibraryFix> fixes;
    library.index->BeginWrite();
    for (int n = 0; n < recordings; ++n)
        AddRecordingNumber(*library.index, n, 60, fixes);
    const bool ok = library.index->Commit() && library.index->UpdateTrips();
    // The server plans its queries from statistics that a fresh table lacks until autovacuum
    // comes by; a library that has lived a while has them.
    if (backend)
        LibraryIndex().Open(library.folder, server);
    library.buildSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("index of %d recordings (%d fixes) on %s built in %.1f s\n", recordings,
                recordings * 60, backend ? "the server" : "SQLite", library.buildSeconds);
    std::fflush(stdout);
    return ok ? library.index.get() : nullptr;
}

// A place on trip 50's ring: within reach of the trips of rings up to 100 m away, 0 to 99,
// all in both libraries.
LibraryQuery NearQuery() {
    double lat = 0, lon = 0;
    Place(TripNumber(50), 300, lat, lon);
    LibraryQuery q;
    q.nearLatitude = lat;
    q.nearLongitude = lon;
    q.radiusMetres = 100;
    return q;
}

// The tenth day: its five drives, in both libraries.
LibraryQuery DayQuery() {
    LibraryQuery q;
    q.from = kFirstDay + 9 * 86400;
    q.to = *q.from + 86399;
    return q;
}

void BM_Find(benchmark::State& state, LibraryQuery (*query)()) {
    LibraryIndex* index = LibraryOf(int(state.range(0)), int(state.range(1)));
    if (!index) {
        state.SkipWithError("the index could not be built");
        return;
    }
    const LibraryQuery q = query();
    std::size_t matches = 0, spans = 0;
    for (auto _ : state) {
        const auto found = index->Find(q);
        matches = found.size();
        spans = 0;
        for (const auto& m : found)
            spans += m.spans.size();
        benchmark::DoNotOptimize(matches);
    }
    state.counters["matches"] = double(matches);
    state.counters["spans"] = double(spans);
    state.counters["build_s"] =
        g_libraries[{int(state.range(0)), int(state.range(1))}].buildSeconds;
}
BENCHMARK_CAPTURE(BM_Find, near_100m, NearQuery)
    ->ArgsProduct({{2000, 20000}, {0, 1}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Find, one_day, DayQuery)
    ->ArgsProduct({{2000, 20000}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

// One recording of 300 fixes, its telemetry file and events added to an index of 2 000, in a
// transaction that is rolled back afterwards.
void BM_AddRecording300Fixes(benchmark::State& state) {
    LibraryIndex* index = LibraryOf(2000);
    if (!index || !index->BeginWrite()) {
        state.SkipWithError("no index to add to");
        return;
    }
    std::vector<LibraryFix> fixes;
    int n = 1000000;
    for (auto _ : state)
        AddRecordingNumber(*index, n++, 300, fixes);
    index->Rollback();
}
BENCHMARK(BM_AddRecording300Fixes)->Unit(benchmark::kMicrosecond)->Iterations(2000);

} // namespace
} // namespace quello

int main(int argc, char** argv) {
    const char* tmp = std::getenv("TMPDIR");
    std::string folder = std::string(tmp && *tmp ? tmp : "/tmp") + "/quello-bench-XXXXXX";
    if (::mkdtemp(folder.data()) == nullptr)
        return 1;
    quello::g_root = folder;
    benchmark::Initialize(&argc, argv);
    benchmark::ConsoleReporter reporter(benchmark::ConsoleReporter::OO_Tabular);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    quello::g_libraries.clear();
    quello::g_server.reset();
    std::filesystem::remove_all(folder);
    return 0;
}
