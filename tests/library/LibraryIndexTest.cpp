#include "library/LibraryIndex.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <thread>

namespace quello {
namespace {

using test::TempDir;

constexpr std::int64_t kMorning = 1778922000; // 2026-05-16 09:00:00 on the camera clock

LibraryRecording Recording(const std::string& name, std::int64_t start = kMorning,
                           std::uint32_t length = 60, const std::string& card = "card-1") {
    LibraryRecording r;
    r.path = "2026/2026-05-16/" + name + ".MOV";
    r.sha256 = "sha-" + name;
    r.size = 1000 + static_cast<std::int64_t>(name.size());
    r.mtime = start + length;
    r.hasStart = true;
    r.start = start;
    r.length = length;
    r.card = card;
    r.telemetrySource = "dat";
    return r;
}

LibraryFile Companion(const LibraryRecording& r, const std::string& kind, const std::string& sha,
                      const std::string& extension = ".DAT") {
    return {r.path.substr(0, r.path.size() - 4) + extension, sha, 0, r.mtime, kind};
}

// One fix a second from `seconds` points of a path.
std::vector<LibraryFix> Track(int seconds, const std::function<void(int, double&, double&)>& at) {
    std::vector<LibraryFix> fixes;
    for (int s = 0; s < seconds; ++s) {
        LibraryFix f;
        f.second = s;
        at(s, f.latitude, f.longitude);
        fixes.push_back(f);
    }
    return fixes;
}

// Runs SQL on the index file behind the program's back, as another tool would.
void ExecOn(const std::string& file, const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
        << sqlite3_errmsg(db);
    sqlite3_close(db);
}

TEST(LibraryIndex, StoresARecordingThatAReopenReadsBack) {
    const TempDir dir;
    LibraryRecording stored = Recording("094100_FILE0001");
    stored.isProtected = true;
    stored.telemetrySource = "gpx";
    stored.thresholds = {0.3, 0.7};
    const auto fixes = Track(3, [](int s, double& lat, double& lon) {
        lat = 52.5 + s * 0.001;
        lon = -13.25;
    });
    {
        LibraryIndex index;
        ASSERT_EQ(index.Open(dir.path()), LibraryIndex::OpenResult::Ok) << index.error();
        ASSERT_TRUE(index.AddRecording(stored, {Companion(stored, "telemetry", "x")}, fixes,
                                       {{1.0, 1.5, 2.1, GForceKind::LeftTurn, -0.6}}))
            << index.error();
        EXPECT_GT(stored.id, 0);
        EXPECT_EQ(stored.tripId, stored.id);
    }
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(dir.file("library.sqlite").c_str(), &db), SQLITE_OK);
    sqlite3_stmt* s = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "PRAGMA journal_mode", -1, &s, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(s), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)), "wal");
    sqlite3_finalize(s);
    sqlite3_close(db);

    LibraryIndex index;
    ASSERT_EQ(index.Open(dir.path()), LibraryIndex::OpenResult::Ok) << index.error();
    const auto back = index.RecordingAt(stored.path);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->id, stored.id);
    EXPECT_EQ(back->sha256, stored.sha256);
    EXPECT_EQ(back->start, stored.start);
    EXPECT_EQ(back->length, stored.length);
    EXPECT_TRUE(back->isProtected);
    EXPECT_EQ(back->telemetrySource, "gpx");
    EXPECT_EQ(back->thresholds.vertical, 0.7);
    const auto fixesBack = index.Fixes(stored.id);
    ASSERT_EQ(fixesBack.size(), 3u);
    EXPECT_EQ(fixesBack[2].latitude, fixes[2].latitude);
    EXPECT_EQ(fixesBack[2].longitude, -13.25);
    const auto files = index.Files();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0].path, "2026/2026-05-16/094100_FILE0001.DAT");
    EXPECT_EQ(files[1].kind, "movie");
}

// What Open() makes of a file it did not write: nothing is changed in any case.
TEST(LibraryIndex, OpenTellsDamagedAndNewerIndexesApart) {
    const auto realIndex = [](const TempDir& dir) {
        LibraryIndex index;
        ASSERT_EQ(index.Open(dir.path()), LibraryIndex::OpenResult::Ok);
        for (int i = 0; i < 40; ++i) {
            LibraryRecording r = Recording("r" + std::to_string(i), kMorning + 60 * i);
            ASSERT_TRUE(index.AddRecording(r, {},
                                           Track(60,
                                                 [](int s, double& lat, double& lon) {
                                                     lat = 40 + s * 1e-4;
                                                     lon = 10;
                                                 }),
                                           {}));
        }
    };
    const auto overwrite = [](const std::string& file, std::size_t from, std::size_t to) {
        std::string bytes = TempDir::read(file);
        ASSERT_GT(bytes.size(), to);
        for (std::size_t i = from; i < to; ++i)
            bytes[i] = static_cast<char>(i * 7919 % 251);
        std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
    };
    const struct {
        const char* name;
        std::function<void(const TempDir&)> make;
        LibraryIndex::OpenResult expected;
    } cases[] = {
        {"random bytes",
         [&](const TempDir& d) { d.write("library.sqlite", std::string(8192, '\x5a')); },
         LibraryIndex::OpenResult::Malformed},
        {"first page garbage",
         [&](const TempDir& d) {
             realIndex(d);
             overwrite(d.file("library.sqlite"), 0, 4096);
         },
         LibraryIndex::OpenResult::Malformed},
        {"every page after the first garbage",
         [&](const TempDir& d) {
             realIndex(d);
             const auto size = TempDir::read(d.file("library.sqlite")).size();
             overwrite(d.file("library.sqlite"), 4096, size - 1);
         },
         LibraryIndex::OpenResult::Malformed},
        {"newer schema",
         [&](const TempDir& d) {
             realIndex(d);
             ExecOn(d.file("library.sqlite"), "PRAGMA user_version = 99");
         },
         LibraryIndex::OpenResult::Newer},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TempDir dir;
        c.make(dir);
        const std::string before = TempDir::read(dir.file("library.sqlite"));
        LibraryIndex index;
        EXPECT_EQ(index.Open(dir.path()), c.expected);
        EXPECT_NE(index.error(), "");
        EXPECT_EQ(index.error().find('\n'), std::string::npos);
        EXPECT_TRUE(index.Recordings().empty());
        EXPECT_EQ(TempDir::read(dir.file("library.sqlite")), before);
    }
    LibraryIndex index;
    EXPECT_EQ(index.Open("/nonexistent/library"), LibraryIndex::OpenResult::Failed);
}

TEST(LibraryIndex, RecreateMovesOnlyTheIndexAside) {
    const TempDir dir;
    const std::string junk(5000, '\x13');
    dir.write("library.sqlite", junk);
    dir.write("library.sqlite-wal", "old journal");
    dir.write("2026/2026-05-16/094100_FILE0001.MOV", "movie");
    dir.write("library.sqlite.txt", "notes");
    LibraryIndex index;
    ASSERT_EQ(index.Open(dir.path()), LibraryIndex::OpenResult::Malformed);
    ASSERT_EQ(index.Recreate(dir.path()), LibraryIndex::OpenResult::Ok) << index.error();

    std::string aside; // library.sqlite.damaged-YYYYmmdd-HHMMSS
    for (const auto& name : dir.entries())
        if (name.rfind("library.sqlite.damaged-", 0) == 0 && name.size() == 38)
            aside = name;
    ASSERT_NE(aside, "");
    EXPECT_EQ(TempDir::read(dir.file(aside)), junk);
    EXPECT_EQ(TempDir::read(dir.file(aside + "-wal")), "old journal");
    EXPECT_EQ(TempDir::read(dir.file("2026/2026-05-16/094100_FILE0001.MOV")), "movie");
    EXPECT_EQ(TempDir::read(dir.file("library.sqlite.txt")), "notes");
    EXPECT_TRUE(index.Recordings().empty());
    LibraryRecording r = Recording("a");
    EXPECT_TRUE(index.AddRecording(r, {}, {}, {})) << index.error();
}

// A refused recording leaves no row behind, and the error names what is in the way.
TEST(LibraryIndex, RefusesStoredContentOrPathAndKeepsSharedCompanions) {
    const TempDir dir;
    LibraryIndex index;
    ASSERT_EQ(index.Open(dir.path()), LibraryIndex::OpenResult::Ok);
    LibraryRecording first = Recording("first");
    ASSERT_TRUE(index.AddRecording(first, {Companion(first, "telemetry", "empty")}, {}, {}));

    const auto withPath = [](LibraryRecording r, const std::string& path) {
        r.path = path;
        return r;
    };
    const auto withSha = [](LibraryRecording r, const std::string& sha) {
        r.sha256 = sha;
        return r;
    };
    const LibraryRecording other = Recording("other");
    const struct {
        const char* name;
        LibraryRecording recording;
        std::vector<LibraryFile> companions;
        const char* error; // nullptr: accepted
    } cases[] = {
        {"same content",
         withPath(first, "2026/x.MOV"),
         {},
         "already in the library: 2026/"
         "2026-05-16/first.MOV"},
        {"same path",
         withSha(first, "sha-new"),
         {},
         "already in the library: 2026/2026-05-16/"
         "first.MOV"},
        {"companion on a stored path",
         other,
         {Companion(other, "telemetry", "t"), Companion(first, "gpx", "g", ".DAT")},
         "already in the library: 2026/2026-05-16/first.DAT"},
        {"movie content as a companion's", withSha(other, "empty"), {}, nullptr},
        {"companion sharing content",
         Recording("third"),
         {Companion(Recording("third"), "telemetry", "empty")},
         nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto files = index.Files().size();
        const auto recordings = index.Recordings().size();
        LibraryRecording r = c.recording;
        const std::vector<LibraryFix> fixes(5, LibraryFix{0, 1.0, 2.0, 0, 0});
        const bool added = index.AddRecording(r, c.companions, fixes, {{}});
        EXPECT_EQ(added, c.error == nullptr) << index.error();
        if (c.error) {
            EXPECT_EQ(index.error(), c.error);
            EXPECT_EQ(index.Files().size(), files);
            EXPECT_EQ(index.Recordings().size(), recordings);
            EXPECT_EQ(r.id, c.recording.id);
        }
    }
    EXPECT_FALSE(index.AddFile({"logs/a.log", "sha-first", 1, 1, "gpslog"}));
    EXPECT_TRUE(index.AddFile({"logs/b.log", "sha-log", 77, 1, "gpslog"})) << index.error();
    EXPECT_EQ(index.PathOfContent("sha-log"), "logs/b.log");
    EXPECT_EQ(index.PathOfContent("empty"), "2026/2026-05-16/other.MOV");
    EXPECT_TRUE(index.HasContentOfSize(77));
    EXPECT_FALSE(index.HasContentOfSize(0)); // companions only
    EXPECT_TRUE(index.HasPath("2026/2026-05-16/third.DAT"));

    EXPECT_EQ(index.KnownSource("card-1", "DCIM/A.MOV", 5, 6), std::nullopt);
    EXPECT_TRUE(index.RememberSource("card-1", "DCIM/A.MOV", 5, 6, "old"));
    EXPECT_TRUE(index.RememberSource("card-1", "DCIM/A.MOV", 5, 6, "new"));
    EXPECT_EQ(index.KnownSource("card-1", "DCIM/A.MOV", 5, 6), "new");
    EXPECT_EQ(index.KnownSource("card-1", "DCIM/A.MOV", 5, 7), std::nullopt);
}

// A refusal inside the caller's transaction leaves it open; the caller's rollback undoes all.
TEST(LibraryIndex, CallersTransactionSurvivesARefusalAndRollsBackWhole) {
    for (const bool commit : {false, true}) {
        SCOPED_TRACE(commit ? "commit" : "rollback");
        const TempDir dir;
        LibraryIndex index;
        ASSERT_EQ(index.Open(dir.path()), LibraryIndex::OpenResult::Ok);
        ASSERT_TRUE(index.BeginWrite());
        LibraryRecording a = Recording("a"), again = Recording("a"), b = Recording("b");
        EXPECT_TRUE(index.AddRecording(a, {}, {{0, 1, 1, 0, 0}}, {}));
        EXPECT_FALSE(index.AddRecording(again, {}, {}, {}));
        EXPECT_TRUE(index.AddRecording(b, {}, {}, {})) << index.error();
        if (commit) {
            EXPECT_TRUE(index.Commit()) << index.error();
        } else {
            index.Rollback();
        }
        LibraryIndex reader;
        ASSERT_EQ(reader.Open(dir.path()), LibraryIndex::OpenResult::Ok);
        EXPECT_EQ(reader.Files().size(), commit ? 2u : 0u);
        EXPECT_EQ(reader.Fixes(a.id).size(), commit ? 1u : 0u);
        LibraryQuery near;
        near.nearLatitude = near.nearLongitude = 1;
        EXPECT_EQ(reader.Find(near).size(), commit ? 1u : 0u);
    }
}

TEST(LibraryIndex, TripsJoinWhereTheRecordingBeforeEnded) {
    const struct {
        const char* name;
        std::int64_t start; // from kMorning; < 0: no start time
        std::uint32_t length;
        const char* card;
        const char* trip; // the name of the trip's first recording
    } cases[] = {
        {"a1", 0, 60, "A", "a1"},     {"a2", 60, 60, "A", "a1"},
        {"a3", 123, 60, "A", "a1"},   // 3 s late still joins
        {"a4", 187, 60, "A", "a4"},   // 4 s late does not
        {"a5", 244, 0, "A", "a4"},    // 3 s early joins; no length: no end to join
        {"a6", 244, 60, "A", "a6"},   //
        {"b1", 60, 60, "B", "b1"},    // another card's trip of its own
        {"n1", -1, 60, "A", "n1"},    // without start: alone
        {"n2", -1, 60, "A", "n2"},    //
        {"z1", 4000, 60, "A", "z1"},  // an hour later
        {"z2", 4058, 120, "A", "z1"}, // overlapping by 2 s
        {"z3", 4180, 60, "A", "z1"},  //
    };
    const TempDir dir;
    LibraryIndex index;
    ASSERT_EQ(index.Open(dir.path()), LibraryIndex::OpenResult::Ok);
    std::map<std::string, std::int64_t> ids;
    for (const auto& c : cases) {
        LibraryRecording r = Recording(c.name, kMorning + c.start, c.length, c.card);
        r.hasStart = c.start >= 0;
        ASSERT_TRUE(index.AddRecording(r, {}, {}, {})) << index.error();
        ids[c.name] = r.id;
    }
    ASSERT_TRUE(index.UpdateTrips()) << index.error();
    for (const auto& c : cases) {
        const auto r = index.RecordingAt(Recording(c.name).path);
        ASSERT_TRUE(r);
        EXPECT_EQ(r->tripId, ids[c.trip]) << c.name;
    }
}

// A: east along 52 N for 30 s and back, over P at seconds 10 and 50 (6.85 m a second);
// B: an hour later north across P at second 15 (11.1 m a second), protected;
// C: Paris, with events; N: no start time, over P; E: at the antimeridian, then by the pole.
TEST(LibraryIndex, FindCombinesPlaceTimeEventsAndProtection) {
    const double pLat = 52.0, pLon = 13.001;
    const TempDir dir;
    LibraryIndex index;
    ASSERT_EQ(index.Open(dir.path()), LibraryIndex::OpenResult::Ok);
    const auto add = [&](LibraryRecording r, const std::vector<LibraryFix>& fixes,
                         const std::vector<GForceEvent>& events) {
        ASSERT_TRUE(index.AddRecording(r, {}, fixes, events)) << index.error();
    };
    add(Recording("A"),
        Track(60,
              [](int s, double& lat, double& lon) {
                  lat = 52.0;
                  lon = 13.0 + 1e-4 * (s <= 30 ? s : 60 - s);
              }),
        {{5, 6, 7, GForceKind::Braking, -0.5}, {40, 41, 42, GForceKind::Impact, 1.2}});
    LibraryRecording b = Recording("B", kMorning + 3600);
    b.isProtected = true;
    add(b,
        Track(60,
              [&](int s, double& lat, double& lon) {
                  lat = 51.9985 + 1e-4 * s;
                  lon = pLon;
              }),
        {});
    add(Recording("C", kMorning + 7200),
        Track(10,
              [](int, double& lat, double& lon) {
                  lat = 48.85;
                  lon = 2.35;
              }),
        {{3, 3.5, 4, GForceKind::Braking, -0.7}, {1, 2, 3, GForceKind::LeftTurn, 0.4}});
    LibraryRecording n = Recording("N", 0);
    n.hasStart = false;
    add(n, {{0, pLat, pLon, 0, 0}}, {});
    // Sixteen seconds standing at the antimeridian, then one by the pole: boxes of their own.
    add(Recording("E", kMorning + 86400 * 30),
        Track(17,
              [](int s, double& lat, double& lon) {
                  lat = s < 16 ? 0.0 : 89.9999;
                  lon = s < 16 ? -179.9999 : 179;
              }),
        {});

    const auto near = [](double lat, double lon, double radius) {
        LibraryQuery q;
        q.nearLatitude = lat;
        q.nearLongitude = lon;
        q.radiusMetres = radius;
        return q;
    };
    const auto window = [](std::optional<std::int64_t> from, std::optional<std::int64_t> to) {
        LibraryQuery q;
        if (from)
            q.from = kMorning + *from;
        if (to)
            q.to = kMorning + *to;
        return q;
    };
    const auto events = [](std::optional<GForceKind> kind) {
        LibraryQuery q;
        q.eventsOnly = true;
        q.eventKind = kind;
        return q;
    };
    LibraryQuery isProtected;
    isProtected.protectedOnly = true;
    LibraryQuery nearAfterA = near(pLat, pLon, 20);
    nearAfterA.from = kMorning + 61;

    const struct {
        const char* name;
        LibraryQuery query;
        std::string expected; // "name[spans]{event kinds}" each, in order
    } cases[] = {
        {"near P", near(pLat, pLon, 20), "N[0-0] A[8-12,48-52] B[14-16]"},
        {"near P, wider", near(pLat, pLon, 25), "N[0-0] A[7-13,47-53] B[13-17]"},
        {"nowhere", near(-33.9, 151.2, 1000), ""},
        {"across the antimeridian", near(0, 179.9999, 50), "E[0-15]"},
        {"by the pole", near(90, 0, 200), "E[16-16]"},
        {"the whole globe", near(0, 0, 3e7), "N[0-0] A[0-59] B[0-59] C[0-9] E[0-16]"},
        {"from A's end", window(60, std::nullopt), "A B C E"},
        {"from a second after A", window(61, std::nullopt), "B C E"},
        {"up to A's start", window(std::nullopt, 0), "A"},
        {"up to a second before", window(std::nullopt, -1), ""},
        {"between A and B", window(120, 3599), ""},
        {"touching B and C", window(3660, 7200), "B C"},
        {"events", events(std::nullopt), "A{braking,impact} C{left turn,braking}"},
        {"braking", events(GForceKind::Braking), "A{braking} C{braking}"},
        {"right turns", events(GForceKind::RightTurn), ""},
        {"protected", isProtected, "B"},
        {"near P after A", nearAfterA, "B[14-16]"},
    };
    for (const auto& c : cases) {
        std::string got;
        for (const LibraryMatch& m : index.Find(c.query)) {
            got += (got.empty() ? "" : " ") + m.recording.path.substr(16, 1);
            for (std::size_t i = 0; i < m.spans.size(); ++i)
                got += (i ? "," : "[") + std::to_string(m.spans[i].from) + "-" +
                       std::to_string(m.spans[i].to) + (i + 1 == m.spans.size() ? "]" : "");
            for (std::size_t i = 0; i < m.events.size(); ++i)
                got += std::string(i ? "," : "{") + GForceKindName(m.events[i].kind) +
                       (i + 1 == m.events.size() ? "}" : "");
        }
        EXPECT_EQ(got, c.expected) << c.name << ": " << index.error();
    }
    EXPECT_TRUE(index.Find(near(91, 0, 10)).empty());
    EXPECT_NE(index.error(), "");
}

// Two importers on one library: the second waits for the first's transaction, then writes.
TEST(LibraryIndex, TwoWritersTakeTurns) {
    const TempDir dir;
    LibraryIndex first, second;
    ASSERT_EQ(first.Open(dir.path()), LibraryIndex::OpenResult::Ok);
    ASSERT_EQ(second.Open(dir.path()), LibraryIndex::OpenResult::Ok);
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(first.BeginWrite());
        LibraryRecording mine = Recording("first" + std::to_string(round));
        ASSERT_TRUE(first.AddRecording(mine, {}, {}, {}));
        std::atomic<bool> committed = false, waited = false, added = false;
        std::thread other([&] {
            LibraryRecording theirs = Recording("second" + std::to_string(round));
            added = second.AddRecording(theirs, {}, {}, {});
            waited = committed.load();
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        committed = true;
        ASSERT_TRUE(first.Commit()) << first.error();
        other.join();
        EXPECT_TRUE(added) << second.error();
        EXPECT_TRUE(waited);
    }
    EXPECT_EQ(first.Recordings().size(), 6u);
}

} // namespace
} // namespace quello
