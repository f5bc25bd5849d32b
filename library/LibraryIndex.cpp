#include "LibraryIndex.h"

#include "recordings/RecordingTrip.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <thread>
#include <tuple>
#include <unordered_map>

namespace quello {

namespace {

constexpr int kSchemaVersion = 1;
constexpr char kIndexFile[] = "library.sqlite";
// Long enough for another importer's whole write (a movie's rows) to end first.
constexpr int kBusyTimeoutMs = 10000;
constexpr double kEarthRadiusMetres = 6371008.8;
constexpr double kPi = 3.14159265358979323846;
// Fixes under one box of the spatial index: 16 s of road, some 200 m in town.
constexpr int kFixesPerBox = 32;

// The steps from one schema version to the next: kMigrations[v] turns version v into v + 1.
// Plain SQL types and statements throughout, so that the tables could live on a database
// server; the spatial index (fix_box) is the one thing only SQLite has.
const std::vector<std::vector<const char*>> kMigrations = {
    {
        "CREATE TABLE recordings ("
        " id INTEGER PRIMARY KEY,"
        " path TEXT NOT NULL UNIQUE,"
        " sha256 TEXT NOT NULL UNIQUE,"
        " size BIGINT NOT NULL,"
        " mtime BIGINT NOT NULL,"
        " has_start INTEGER NOT NULL,"
        " start BIGINT NOT NULL,"
        " length INTEGER NOT NULL,"
        " card TEXT NOT NULL,"
        " protected INTEGER NOT NULL,"
        " telemetry_source TEXT NOT NULL,"
        " threshold_horizontal DOUBLE PRECISION NOT NULL,"
        " threshold_vertical DOUBLE PRECISION NOT NULL,"
        " trip_id BIGINT)",
        "CREATE INDEX recordings_start ON recordings (start)",
        // The longest recording bounds how far before a time window an overlapping one can
        // start: with this index that bound is one lookup.
        "CREATE INDEX recordings_length ON recordings (length)",
        "CREATE TABLE files ("
        " id INTEGER PRIMARY KEY,"
        " path TEXT NOT NULL UNIQUE,"
        " sha256 TEXT NOT NULL,"
        " size BIGINT NOT NULL,"
        " mtime BIGINT NOT NULL,"
        " kind TEXT NOT NULL,"
        " recording_id BIGINT REFERENCES recordings (id))",
        // Companions may share content (two empty side files); movies and logs may not.
        "CREATE UNIQUE INDEX files_content ON files (sha256) WHERE kind IN ('movie', 'gpslog')",
        "CREATE INDEX files_size ON files (size)",
        "CREATE INDEX files_recording ON files (recording_id)",
        "CREATE TABLE fixes ("
        " id INTEGER PRIMARY KEY,"
        " recording_id BIGINT NOT NULL REFERENCES recordings (id),"
        " second INTEGER NOT NULL,"
        " latitude DOUBLE PRECISION NOT NULL,"
        " longitude DOUBLE PRECISION NOT NULL,"
        " speed INTEGER NOT NULL,"
        " heading INTEGER NOT NULL)",
        "CREATE INDEX fixes_recording ON fixes (recording_id, second)",
        "CREATE VIRTUAL TABLE fix_box USING rtree(id, min_lat, max_lat, min_lon, max_lon)",
        "CREATE TABLE events ("
        " id INTEGER PRIMARY KEY,"
        " recording_id BIGINT NOT NULL REFERENCES recordings (id),"
        " kind TEXT NOT NULL,"
        " start_second DOUBLE PRECISION NOT NULL,"
        " peak_second DOUBLE PRECISION NOT NULL,"
        " end_second DOUBLE PRECISION NOT NULL,"
        " peak_g DOUBLE PRECISION NOT NULL)",
        "CREATE INDEX events_recording ON events (recording_id)",
        "CREATE TABLE sources ("
        " card TEXT NOT NULL,"
        " source_path TEXT NOT NULL,"
        " size BIGINT NOT NULL,"
        " mtime BIGINT NOT NULL,"
        " sha256 TEXT NOT NULL,"
        " PRIMARY KEY (card, source_path, size, mtime))",
        "CREATE TABLE imports ("
        " id INTEGER PRIMARY KEY,"
        " card TEXT NOT NULL,"
        " source TEXT NOT NULL,"
        " started_at BIGINT NOT NULL,"
        " finished_at BIGINT,"
        " copied INTEGER NOT NULL,"
        " skipped INTEGER NOT NULL,"
        " failed INTEGER NOT NULL,"
        " bytes BIGINT NOT NULL)",
    },
};

// Every table, read once at opening: a damaged root page shows there instead of in the
// middle of an import.
constexpr const char* kTables[] = {"recordings", "files",   "fixes",  "fix_box",
                                   "events",     "sources", "imports"};

constexpr char kRecordingColumns[] =
    "r.id, r.path, r.sha256, r.size, r.mtime, r.has_start, r.start, r.length, r.card, "
    "r.protected, r.telemetry_source, r.threshold_horizontal, r.threshold_vertical, r.trip_id";

bool IsDamage(int rc) {
    const int primary = rc & 0xff;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

void BindOne(sqlite3_stmt* s, int i, std::int64_t v) {
    sqlite3_bind_int64(s, i, v);
}
void BindOne(sqlite3_stmt* s, int i, int v) {
    sqlite3_bind_int(s, i, v);
}
void BindOne(sqlite3_stmt* s, int i, double v) {
    sqlite3_bind_double(s, i, v);
}
void BindOne(sqlite3_stmt* s, int i, const std::string& v) {
    sqlite3_bind_text(s, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
}

std::string Text(sqlite3_stmt* s, int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s, column));
    return text ? std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(s, column)))
                : std::string();
}

LibraryRecording RecordingOf(sqlite3_stmt* s) {
    LibraryRecording r;
    r.id = sqlite3_column_int64(s, 0);
    r.path = Text(s, 1);
    r.sha256 = Text(s, 2);
    r.size = sqlite3_column_int64(s, 3);
    r.mtime = sqlite3_column_int64(s, 4);
    r.hasStart = sqlite3_column_int(s, 5) != 0;
    r.start = sqlite3_column_int64(s, 6);
    r.length = static_cast<std::uint32_t>(sqlite3_column_int64(s, 7));
    r.card = Text(s, 8);
    r.isProtected = sqlite3_column_int(s, 9) != 0;
    r.telemetrySource = Text(s, 10);
    r.thresholds.horizontal = sqlite3_column_double(s, 11);
    r.thresholds.vertical = sqlite3_column_double(s, 12);
    r.tripId = sqlite3_column_int64(s, 13);
    return r;
}

GForceKind KindNamed(const std::string& name) {
    for (GForceKind kind : {GForceKind::Braking, GForceKind::Acceleration, GForceKind::LeftTurn,
                            GForceKind::RightTurn, GForceKind::Impact})
        if (name == GForceKindName(kind))
            return kind;
    return GForceKind::Impact;
}

double Radians(double degrees) {
    return degrees * kPi / 180.0;
}

double Degrees(double radians) {
    return radians * 180.0 / kPi;
}

double GreatCircleMetres(double lat1, double lon1, double lat2, double lon2) {
    const double dLat = Radians(lat2 - lat1);
    const double dLon = Radians(lon2 - lon1);
    const double a =
        std::sin(dLat / 2) * std::sin(dLat / 2) +
        std::cos(Radians(lat1)) * std::cos(Radians(lat2)) * std::sin(dLon / 2) * std::sin(dLon / 2);
    return 2 * kEarthRadiusMetres * std::asin(std::min(1.0, std::sqrt(a)));
}

struct Box {
    double minLat, maxLat, minLon, maxLon;
};

// The boxes holding every point within `metres` of (lat, lon): one, or two where the circle
// crosses the antimeridian; the whole band of longitudes where it reaches a pole.
std::vector<Box> BoxesAround(double lat, double lon, double metres) {
    const double angle = metres / kEarthRadiusMetres;
    const double dLat = Degrees(angle);
    const double minLat = std::max(-90.0, lat - dLat);
    const double maxLat = std::min(90.0, lat + dLat);
    const double cosLat = std::cos(Radians(lat));
    if (lat - dLat <= -90 || lat + dLat >= 90 || std::sin(angle) >= cosLat || angle >= kPi / 2)
        return {{minLat, maxLat, -180, 180}};
    // The widest longitude a point of the circle reaches (not the naive dLat / cos(lat), which
    // falls short away from the equator).
    const double dLon = Degrees(std::asin(std::sin(angle) / cosLat));
    const double minLon = lon - dLon;
    const double maxLon = lon + dLon;
    if (minLon < -180)
        return {{minLat, maxLat, minLon + 360, 180}, {minLat, maxLat, -180, maxLon}};
    if (maxLon > 180)
        return {{minLat, maxLat, minLon, 180}, {minLat, maxLat, -180, maxLon - 360}};
    return {{minLat, maxLat, minLon, maxLon}};
}

bool PlaceableFix(const LibraryFix& f) {
    return std::isfinite(f.latitude) && std::isfinite(f.longitude) && std::abs(f.latitude) <= 90 &&
           std::abs(f.longitude) <= 180;
}

} // namespace

struct LibraryIndex::Impl {
    sqlite3* db = nullptr;
    std::string error;
    bool malformed = false;
    std::unordered_map<std::string, sqlite3_stmt*> statements;

    ~Impl() { Close(); }

    void Close() {
        for (auto& entry : statements)
            sqlite3_finalize(entry.second);
        statements.clear();
        if (db)
            sqlite3_close_v2(db);
        db = nullptr;
    }

    bool Fail(int rc, const std::string& what) {
        if (IsDamage(rc))
            malformed = true;
        const char* detail = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
        error = what + ": " + detail;
        return false;
    }

    bool NotOpen() {
        error = "the library's index is not open";
        return false;
    }

    // A prepared statement kept for the life of the connection; each use resets it.
    sqlite3_stmt* Prepare(const std::string& sql) {
        if (!db) {
            NotOpen();
            return nullptr;
        }
        const auto found = statements.find(sql);
        if (found != statements.end())
            return found->second;
        sqlite3_stmt* s = nullptr;
        const int rc =
            sqlite3_prepare_v3(db, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &s, nullptr);
        if (rc != SQLITE_OK) {
            Fail(rc, "the library's index cannot be read");
            return nullptr;
        }
        statements.emplace(sql, s);
        return s;
    }

    template <typename... Args> sqlite3_stmt* Use(const std::string& sql, const Args&... args) {
        sqlite3_stmt* s = Prepare(sql);
        if (!s)
            return nullptr;
        sqlite3_reset(s);
        sqlite3_clear_bindings(s);
        int i = 0;
        (BindOne(s, ++i, args), ...);
        return s;
    }

    // Steps a statement that returns no rows (or whose rows do not matter).
    template <typename... Args> bool Run(const std::string& sql, const Args&... args) {
        sqlite3_stmt* s = Use(sql, args...);
        if (!s)
            return false;
        int rc;
        while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        }
        sqlite3_reset(s);
        return rc == SQLITE_DONE || Fail(rc, "the library's index cannot be written");
    }

    // Steps to the next row: false at the end or on an error (then `failed` is set).
    bool Row(sqlite3_stmt* s, bool* failed = nullptr) {
        if (!s) {
            if (failed)
                *failed = true;
            return false;
        }
        const int rc = sqlite3_step(s);
        if (rc == SQLITE_ROW)
            return true;
        sqlite3_reset(s);
        if (rc != SQLITE_DONE) {
            Fail(rc, "the library's index cannot be read");
            if (failed)
                *failed = true;
        }
        return false;
    }

    bool Exec(const char* sql) {
        const int rc = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
        return rc == SQLITE_OK || Fail(rc, std::string("the library's index failed (") + sql + ")");
    }

    // Runs without letting a failure hide the error that made it necessary.
    void Undo(const char* sql) { sqlite3_exec(db, sql, nullptr, nullptr, nullptr); }

    // A write of several statements: its own transaction, taken with the write lock at once
    // so that two importers wait for each other instead of failing; inside the caller's
    // transaction a savepoint, so that a failure undoes this write only and leaves the
    // caller's transaction open.
    bool BeginScope(bool& own) {
        if (!db)
            return NotOpen();
        own = sqlite3_get_autocommit(db) != 0;
        return Exec(own ? "BEGIN IMMEDIATE" : "SAVEPOINT quello_write");
    }

    bool EndScope(bool own, bool ok) {
        if (own) {
            if (ok && Exec("COMMIT"))
                return true;
            if (!sqlite3_get_autocommit(db))
                Undo("ROLLBACK");
            return false;
        }
        if (!ok)
            Undo("ROLLBACK TO quello_write");
        Undo("RELEASE quello_write");
        return ok;
    }

    bool ReadInt(const char* sql, std::int64_t& value) {
        sqlite3_stmt* s = Use(sql);
        bool failed = false;
        if (!Row(s, &failed))
            return failed ? false : (value = 0, true);
        value = sqlite3_column_int64(s, 0);
        sqlite3_reset(s);
        return true;
    }

    OpenResult Setup(const std::string& path);
    bool Migrate(std::int64_t& version);
    bool Insert(LibraryRecording& recording, const std::vector<LibraryFile>& companions,
                const std::vector<LibraryFix>& fixes, const std::vector<GForceEvent>& events);
    bool TakenBy(const LibraryFile& file, std::optional<std::string>& taken);
    bool AddFixes(std::int64_t recordingId, const std::vector<LibraryFix>& fixes);
    std::vector<LibraryMatch> Find(const LibraryQuery& query);
    bool NearSpans(const LibraryQuery& query,
                   std::unordered_map<std::int64_t, std::vector<LibrarySpan>>& spans);
};

LibraryIndex::LibraryIndex() : m(std::make_unique<Impl>()) {}

LibraryIndex::~LibraryIndex() = default;

const std::string& LibraryIndex::error() const {
    return m->error;
}

int LibraryIndex::SchemaVersion() {
    return kSchemaVersion;
}

LibraryIndex::OpenResult LibraryIndex::Open(const std::string& libraryRoot) {
    m->Close();
    m->error.clear();
    m->malformed = false;
    const OpenResult result = m->Setup(libraryRoot + "/" + kIndexFile);
    if (result != OpenResult::Ok) {
        // Closing would checkpoint the journal into a file this program should not change
        // (damaged, or a newer one's) and delete the journal with what it held.
        if (m->db)
            sqlite3_db_config(m->db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
        m->Close();
    }
    return result;
}

LibraryIndex::OpenResult LibraryIndex::Impl::Setup(const std::string& path) {
    // One object per thread: SQLite's own locking of the connection is not needed.
    const int rc =
        sqlite3_open_v2(path.c_str(), &db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        Fail(rc, "cannot open " + path);
        return OpenResult::Failed;
    }
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    const auto failure = [&] {
        if (malformed)
            error = path + " is not a database or is damaged (" + error + ")";
        return malformed ? OpenResult::Malformed : OpenResult::Failed;
    };
    std::int64_t version = 0, tables = 0;
    if (!Exec("PRAGMA foreign_keys = ON") ||
        !ReadInt("SELECT COUNT(*) FROM sqlite_master", tables) ||
        !ReadInt("PRAGMA user_version", version))
        return failure();
    if (version > kSchemaVersion) {
        error = path + " was made by a newer program (index version " + std::to_string(version) +
                ", this one knows up to " + std::to_string(kSchemaVersion) + ")";
        return OpenResult::Newer;
    }
    // WAL lets `quello find` read while an import writes; the mode is kept in the file. The
    // switch needs the file to itself and gets SQLITE_BUSY at once, without the busy handler,
    // when a second program opens a new library at the same moment: it is tried again.
    for (int waited = 0;; waited += 20) {
        char* mode = nullptr;
        const int rc = sqlite3_exec(
            db, "PRAGMA journal_mode = WAL",
            [](void* out, int, char** values, char**) {
                *static_cast<char**>(out) = values[0] ? sqlite3_mprintf("%s", values[0]) : nullptr;
                return 0;
            },
            &mode, nullptr);
        const bool wal = rc == SQLITE_OK && mode && std::string(mode) == "wal";
        sqlite3_free(mode);
        if (wal)
            break;
        const bool busy =
            rc == SQLITE_OK || (rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED;
        if (!busy || waited >= kBusyTimeoutMs) {
            if (!Exec("PRAGMA journal_mode = WAL"))
                return failure();
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (version < kSchemaVersion && !Migrate(version))
        return version > kSchemaVersion ? OpenResult::Newer : failure();
    for (const char* table : kTables)
        if (!Run(std::string("SELECT 1 FROM ") + table + " LIMIT 1"))
            return failure();
    // A large import writes the fixes' tree all over; a bigger cache keeps it from spilling.
    Exec("PRAGMA cache_size = -65536");
    return OpenResult::Ok;
}

bool LibraryIndex::Impl::Migrate(std::int64_t& version) {
    if (!Exec("BEGIN IMMEDIATE"))
        return false;
    // Another process may have stepped the file up while this one waited for the lock.
    bool ok = ReadInt("PRAGMA user_version", version);
    if (ok && version > kSchemaVersion) {
        error = "the library's index was made by a newer program meanwhile";
        ok = false;
    }
    for (; ok && version < kSchemaVersion; ++version)
        for (const char* sql : kMigrations[static_cast<std::size_t>(version)])
            if (!(ok = Exec(sql)))
                break;
    const std::string setVersion = "PRAGMA user_version = " + std::to_string(kSchemaVersion);
    if (ok && Exec(setVersion.c_str()) && Exec("COMMIT"))
        return true;
    Undo("ROLLBACK");
    return false;
}

LibraryIndex::OpenResult LibraryIndex::Recreate(const std::string& libraryRoot) {
    namespace fs = std::filesystem;
    m->Close();
    m->error.clear();
    const std::string index = libraryRoot + "/" + kIndexFile;
    std::error_code ec;
    if (fs::exists(index, ec)) {
        char stamp[32];
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
        const std::string base = index + ".damaged-" + stamp;
        std::string aside = base;
        for (int n = 2; fs::exists(aside, ec) || fs::exists(aside + "-wal", ec); ++n)
            aside = base + "-" + std::to_string(n);
        // The journal goes with its database: left behind, an old -wal would be replayed into
        // the fresh index.
        for (const char* suffix : {"", "-wal", "-shm"}) {
            if (*suffix && !fs::exists(index + suffix, ec))
                continue;
            fs::rename(index + suffix, aside + suffix, ec);
            if (ec) {
                m->error = "cannot move " + index + suffix + " aside: " + ec.message();
                return OpenResult::Failed;
            }
        }
    }
    return Open(libraryRoot);
}

bool LibraryIndex::BeginWrite() {
    return m->db ? m->Exec("BEGIN IMMEDIATE") : m->NotOpen();
}

bool LibraryIndex::Commit() {
    if (!m->db)
        return m->NotOpen();
    if (m->Exec("COMMIT"))
        return true;
    if (!sqlite3_get_autocommit(m->db))
        m->Undo("ROLLBACK");
    return false;
}

void LibraryIndex::Rollback() {
    if (m->db && !sqlite3_get_autocommit(m->db))
        m->Undo("ROLLBACK");
}

std::optional<std::string> LibraryIndex::PathOfContent(const std::string& sha256) {
    sqlite3_stmt* s = m->Use("SELECT path FROM files WHERE sha256 = ? AND kind IN ('movie', "
                             "'gpslog')",
                             sha256);
    if (!m->Row(s))
        return std::nullopt;
    std::string path = Text(s, 0);
    sqlite3_reset(s);
    return path;
}

bool LibraryIndex::HasContentOfSize(std::int64_t size) {
    sqlite3_stmt* s =
        m->Use("SELECT 1 FROM files WHERE size = ? AND kind IN ('movie', 'gpslog') LIMIT 1", size);
    const bool found = m->Row(s);
    if (found)
        sqlite3_reset(s);
    return found;
}

bool LibraryIndex::HasPath(const std::string& path) {
    sqlite3_stmt* s = m->Use("SELECT 1 FROM files WHERE path = ?", path);
    const bool found = m->Row(s);
    if (found)
        sqlite3_reset(s);
    return found;
}

std::optional<std::string> LibraryIndex::KnownSource(const std::string& card,
                                                     const std::string& sourcePath,
                                                     std::int64_t size, std::int64_t mtime) {
    sqlite3_stmt* s = m->Use("SELECT sha256 FROM sources WHERE card = ? AND source_path = ? AND "
                             "size = ? AND mtime = ?",
                             card, sourcePath, size, mtime);
    if (!m->Row(s))
        return std::nullopt;
    std::string sha = Text(s, 0);
    sqlite3_reset(s);
    return sha;
}

bool LibraryIndex::RememberSource(const std::string& card, const std::string& sourcePath,
                                  std::int64_t size, std::int64_t mtime,
                                  const std::string& sha256) {
    return m->Run("INSERT INTO sources (card, source_path, size, mtime, sha256) "
                  "VALUES (?, ?, ?, ?, ?) ON CONFLICT (card, source_path, size, mtime) "
                  "DO UPDATE SET sha256 = excluded.sha256",
                  card, sourcePath, size, mtime, sha256);
}

// The stored path that `file` would collide with: its own path, or (movies and logs) a file of
// the same content. False on a database error.
bool LibraryIndex::Impl::TakenBy(const LibraryFile& file, std::optional<std::string>& taken) {
    sqlite3_stmt* s =
        Use("SELECT path FROM files WHERE path = ? OR (sha256 = ? AND ? = 1 AND "
            "kind IN ('movie', 'gpslog'))",
            file.path, file.sha256, file.kind == "movie" || file.kind == "gpslog" ? 1 : 0);
    bool failed = false;
    if (Row(s, &failed)) {
        taken = Text(s, 0);
        sqlite3_reset(s);
    }
    return !failed;
}

// The fixes of a recording, in runs of up to kFixesPerBox consecutive ids, each run with one
// box in the spatial index named by its first fix's id. A box per fix would cost ten times as
// much to store (an R*Tree insert is several times a row's), and the runs still narrow a place
// query down to a few hundred metres of road. Each run is one multi-row statement; the ids are
// given, not left to the database, so that a run is a block of ids by construction.
bool LibraryIndex::Impl::AddFixes(std::int64_t recordingId, const std::vector<LibraryFix>& fixes) {
    std::vector<const LibraryFix*> placeable;
    for (const LibraryFix& f : fixes)
        if (PlaceableFix(f))
            placeable.push_back(&f);
    std::int64_t next = 0;
    if (placeable.empty() || !ReadInt("SELECT MAX(id) FROM fixes", next))
        return placeable.empty();
    ++next;
    for (std::size_t at = 0; at < placeable.size(); at += kFixesPerBox) {
        const int count =
            static_cast<int>(std::min<std::size_t>(kFixesPerBox, placeable.size() - at));
        std::string sql = "INSERT INTO fixes (id, recording_id, second, latitude, longitude, "
                          "speed, heading) VALUES (?, ?, ?, ?, ?, ?, ?)";
        for (int i = 1; i < count; ++i)
            sql += ", (?, ?, ?, ?, ?, ?, ?)";
        sqlite3_stmt* s = Use(sql);
        if (!s)
            return false;
        const LibraryFix& head = *placeable[at];
        Box box{head.latitude, head.latitude, head.longitude, head.longitude};
        for (int i = 0, column = 0; i < count; ++i) {
            const LibraryFix& f = *placeable[at + static_cast<std::size_t>(i)];
            BindOne(s, ++column, next + i);
            BindOne(s, ++column, recordingId);
            BindOne(s, ++column, f.second);
            BindOne(s, ++column, f.latitude);
            BindOne(s, ++column, f.longitude);
            BindOne(s, ++column, f.speed);
            BindOne(s, ++column, f.heading);
            box = {std::min(box.minLat, f.latitude), std::max(box.maxLat, f.latitude),
                   std::min(box.minLon, f.longitude), std::max(box.maxLon, f.longitude)};
        }
        const int rc = sqlite3_step(s);
        sqlite3_reset(s);
        if (rc != SQLITE_DONE)
            return Fail(rc, "the library's index cannot be written");
        if (!Run("INSERT INTO fix_box (id, min_lat, max_lat, min_lon, max_lon) "
                 "VALUES (?, ?, ?, ?, ?)",
                 next, box.minLat, box.maxLat, box.minLon, box.maxLon))
            return false;
        next += count;
    }
    return true;
}

bool LibraryIndex::Impl::Insert(LibraryRecording& r, const std::vector<LibraryFile>& companions,
                                const std::vector<LibraryFix>& fixes,
                                const std::vector<GForceEvent>& events) {
    const LibraryFile movie{r.path, r.sha256, r.size, r.mtime, "movie"};
    std::vector<const LibraryFile*> files{&movie};
    for (const LibraryFile& f : companions)
        files.push_back(&f);
    for (const LibraryFile* file : files) {
        std::optional<std::string> taken;
        if (!TakenBy(*file, taken))
            return false;
        if (taken) {
            error = "already in the library: " + *taken;
            return false;
        }
    }
    if (!Run("INSERT INTO recordings (path, sha256, size, mtime, has_start, start, length, card, "
             "protected, telemetry_source, threshold_horizontal, threshold_vertical, trip_id) "
             "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
             r.path, r.sha256, r.size, r.mtime, r.hasStart ? 1 : 0, r.hasStart ? r.start : 0,
             std::int64_t(r.length), r.card, r.isProtected ? 1 : 0, r.telemetrySource,
             r.thresholds.horizontal, r.thresholds.vertical, r.tripId))
        return false;
    const std::int64_t id = sqlite3_last_insert_rowid(db);
    // Until UpdateTrips() joins it, a recording is a trip of its own.
    if (r.tripId == 0 && !Run("UPDATE recordings SET trip_id = ? WHERE id = ?", id, id))
        return false;
    const std::string insertFile = "INSERT INTO files (path, sha256, size, mtime, kind, "
                                   "recording_id) VALUES (?, ?, ?, ?, ?, ?)";
    if (!Run(insertFile, movie.path, movie.sha256, movie.size, movie.mtime, movie.kind, id))
        return false;
    for (const LibraryFile& f : companions)
        if (!Run(insertFile, f.path, f.sha256, f.size, f.mtime, f.kind, id))
            return false;
    if (!AddFixes(id, fixes))
        return false;
    for (const GForceEvent& e : events)
        if (!Run("INSERT INTO events (recording_id, kind, start_second, peak_second, end_second, "
                 "peak_g) VALUES (?, ?, ?, ?, ?, ?)",
                 id, std::string(GForceKindName(e.kind)), e.start, e.peak, e.end, e.peakG))
            return false;
    r.id = id;
    if (r.tripId == 0)
        r.tripId = id;
    return true;
}

bool LibraryIndex::AddRecording(LibraryRecording& recording,
                                const std::vector<LibraryFile>& companions,
                                const std::vector<LibraryFix>& fixes,
                                const std::vector<GForceEvent>& events) {
    m->error.clear();
    bool own = false;
    if (!m->BeginScope(own))
        return false;
    LibraryRecording stored = recording;
    const bool ok = m->Insert(stored, companions, fixes, events);
    if (!m->EndScope(own, ok))
        return false;
    recording = stored;
    return true;
}

bool LibraryIndex::AddFile(const LibraryFile& file) {
    m->error.clear();
    bool own = false;
    if (!m->BeginScope(own))
        return false;
    std::optional<std::string> taken;
    bool ok = m->TakenBy(file, taken);
    if (ok && taken) {
        m->error = "already in the library: " + *taken;
        ok = false;
    }
    ok = ok && m->Run("INSERT INTO files (path, sha256, size, mtime, kind, recording_id) "
                      "VALUES (?, ?, ?, ?, ?, NULL)",
                      file.path, file.sha256, file.size, file.mtime, file.kind);
    return m->EndScope(own, ok);
}

bool LibraryIndex::ClearAll() {
    bool own = false;
    if (!m->BeginScope(own))
        return false;
    // Children before the rows they point at.
    static constexpr const char* kTables[] = {"fix_box",    "fixes",   "events", "files",
                                              "recordings", "sources", "imports"};
    bool ok = true;
    for (const char* table : kTables)
        ok = ok && m->Exec((std::string("DELETE FROM ") + table).c_str());
    return m->EndScope(own, ok);
}

bool LibraryIndex::UpdateTrips() {
    struct Entry {
        std::int64_t id, tripId;
    };
    std::vector<Entry> changed;
    {
        sqlite3_stmt* s = m->Use("SELECT id, card, has_start, start, length, trip_id "
                                 "FROM recordings ORDER BY card, has_start, start, path");
        bool failed = false;
        std::string card;
        bool havePrevious = false;
        std::int64_t previousEnd = 0, previousTrip = 0;
        while (m->Row(s, &failed)) {
            const std::int64_t id = sqlite3_column_int64(s, 0);
            std::string thisCard = Text(s, 1);
            const bool hasStart = sqlite3_column_int(s, 2) != 0;
            const std::int64_t start = sqlite3_column_int64(s, 3);
            const std::int64_t length = sqlite3_column_int64(s, 4);
            const std::int64_t stored = sqlite3_column_int64(s, 5);
            if (thisCard != card)
                havePrevious = false;
            std::int64_t trip = id;
            if (hasStart && havePrevious && std::llabs(start - previousEnd) <= kTripJoinSeconds)
                trip = previousTrip;
            if (hasStart) {
                // A recording without length has no end for the next one to start at.
                havePrevious = length > 0;
                previousEnd = start + length;
                previousTrip = trip;
            }
            card = std::move(thisCard);
            if (trip != stored)
                changed.push_back({id, trip});
        }
        if (failed)
            return false;
    }
    bool own = false;
    if (!m->BeginScope(own))
        return false;
    bool ok = true;
    for (const Entry& e : changed)
        if (!(ok = m->Run("UPDATE recordings SET trip_id = ? WHERE id = ?", e.tripId, e.id)))
            break;
    return m->EndScope(own, ok);
}

std::int64_t LibraryIndex::BeginImport(const std::string& card, const std::string& source,
                                       std::int64_t startedAt) {
    if (!m->Run("INSERT INTO imports (card, source, started_at, copied, skipped, failed, bytes) "
                "VALUES (?, ?, ?, 0, 0, 0, 0)",
                card, source, startedAt))
        return 0;
    return sqlite3_last_insert_rowid(m->db);
}

bool LibraryIndex::FinishImport(std::int64_t importId, int copied, int skipped, int failed,
                                std::int64_t bytes) {
    return m->Run("UPDATE imports SET finished_at = ?, copied = ?, skipped = ?, failed = ?, "
                  "bytes = ? WHERE id = ?",
                  std::int64_t(std::time(nullptr)), copied, skipped, failed, bytes, importId);
}

std::vector<LibraryFile> LibraryIndex::Files() {
    std::vector<LibraryFile> files;
    sqlite3_stmt* s = m->Use("SELECT path, sha256, size, mtime, kind FROM files ORDER BY path");
    while (m->Row(s))
        files.push_back({Text(s, 0), Text(s, 1), sqlite3_column_int64(s, 2),
                         sqlite3_column_int64(s, 3), Text(s, 4)});
    return files;
}

std::vector<LibraryRecording> LibraryIndex::Recordings() {
    std::vector<LibraryRecording> recordings;
    sqlite3_stmt* s = m->Use(std::string("SELECT ") + kRecordingColumns +
                             " FROM recordings r ORDER BY r.start, r.path");
    while (m->Row(s))
        recordings.push_back(RecordingOf(s));
    return recordings;
}

std::optional<LibraryRecording> LibraryIndex::RecordingAt(const std::string& path) {
    sqlite3_stmt* s = m->Use(
        std::string("SELECT ") + kRecordingColumns + " FROM recordings r WHERE r.path = ?", path);
    if (!m->Row(s))
        return std::nullopt;
    LibraryRecording r = RecordingOf(s);
    sqlite3_reset(s);
    return r;
}

std::vector<LibraryFix> LibraryIndex::Fixes(std::int64_t recordingId) {
    std::vector<LibraryFix> fixes;
    sqlite3_stmt* s = m->Use("SELECT second, latitude, longitude, speed, heading FROM fixes "
                             "WHERE recording_id = ? ORDER BY second",
                             recordingId);
    while (m->Row(s))
        fixes.push_back({sqlite3_column_int(s, 0), sqlite3_column_double(s, 1),
                         sqlite3_column_double(s, 2), sqlite3_column_int(s, 3),
                         sqlite3_column_int(s, 4)});
    return fixes;
}

bool LibraryIndex::malformed() const {
    return m->malformed;
}

// The seconds of each recording within the radius, joined into spans. The one query on the
// spatial index: the box gives candidates, the great-circle distance decides.
bool LibraryIndex::Impl::NearSpans(
    const LibraryQuery& q, std::unordered_map<std::int64_t, std::vector<LibrarySpan>>& spans) {
    const double lat = *q.nearLatitude, lon = *q.nearLongitude;
    std::unordered_map<std::int64_t, std::vector<int>> seconds;
    for (const Box& box : BoxesAround(lat, lon, q.radiusMetres)) {
        // A box's run: the ids from the box's own up to kFixesPerBox, of the same recording.
        // The '+' keeps the planner on that range of ids rather than on all the recording's
        // fixes through their index.
        sqlite3_stmt* s = Use("SELECT f.recording_id, f.second, f.latitude, f.longitude "
                              "FROM fix_box AS b "
                              "CROSS JOIN fixes AS head ON head.id = b.id "
                              "CROSS JOIN fixes AS f ON f.id >= b.id AND f.id < b.id + ? "
                              "AND +f.recording_id = head.recording_id "
                              "WHERE b.max_lat >= ? AND b.min_lat <= ? "
                              "AND b.max_lon >= ? AND b.min_lon <= ?",
                              kFixesPerBox, box.minLat, box.maxLat, box.minLon, box.maxLon);
        bool failed = false;
        while (Row(s, &failed))
            if (GreatCircleMetres(lat, lon, sqlite3_column_double(s, 2),
                                  sqlite3_column_double(s, 3)) <= q.radiusMetres)
                seconds[sqlite3_column_int64(s, 0)].push_back(sqlite3_column_int(s, 1));
        if (failed)
            return false;
    }
    for (auto& [id, list] : seconds) {
        std::sort(list.begin(), list.end());
        // The boxes of the two halves of the antimeridian may both bring a run's fixes.
        list.erase(std::unique(list.begin(), list.end()), list.end());
        auto& out = spans[id];
        for (int second : list) {
            if (!out.empty() && second <= out.back().to + 1)
                out.back().to = std::max(out.back().to, second);
            else
                out.push_back({second, second});
        }
    }
    return true;
}

std::vector<LibraryMatch> LibraryIndex::Find(const LibraryQuery& query) {
    return m->Find(query);
}

std::vector<LibraryMatch> LibraryIndex::Impl::Find(const LibraryQuery& q) {
    error.clear();
    std::vector<LibraryMatch> matches;
    const bool near = q.nearLatitude && q.nearLongitude;
    if (near && !(std::abs(*q.nearLatitude) <= 90 && std::abs(*q.nearLongitude) <= 180 &&
                  std::isfinite(q.radiusMetres) && q.radiusMetres > 0)) {
        error = "the place must be a latitude of -90..90, a longitude of -180..180 and a radius "
                "above 0";
        return matches;
    }
    std::unordered_map<std::int64_t, std::vector<LibrarySpan>> spans;
    if (near && !NearSpans(q, spans))
        return matches;

    // A recording overlaps [from, to] when it starts before `to` ends and ends after `from`;
    // it cannot start before `from` minus the longest length, which keeps the search on the
    // index of starts.
    std::string sql = std::string("SELECT ") + kRecordingColumns + " FROM recordings r WHERE 1 = 1";
    std::int64_t longest = 0;
    if (q.from && !ReadInt("SELECT MAX(length) FROM recordings", longest))
        return matches;
    if (q.from)
        sql += " AND r.has_start = 1 AND r.start >= ? AND r.start + r.length >= ?";
    if (q.to)
        sql += " AND r.has_start = 1 AND r.start <= ?";
    if (q.protectedOnly)
        sql += " AND r.protected = 1";
    const std::string eventKind = q.eventKind ? GForceKindName(*q.eventKind) : "";
    if (q.eventsOnly)
        sql += std::string(" AND EXISTS (SELECT 1 FROM events e WHERE e.recording_id = r.id") +
               (q.eventKind ? " AND e.kind = ?)" : ")");
    if (near)
        sql += " AND r.id = ?";
    else
        sql += " ORDER BY r.start, r.path";
    sqlite3_stmt* s = Prepare(sql);
    if (!s)
        return matches;

    const auto collect = [&](std::int64_t id) {
        sqlite3_reset(s);
        sqlite3_clear_bindings(s);
        int i = 0;
        if (q.from) {
            BindOne(s, ++i, *q.from - longest);
            BindOne(s, ++i, *q.from);
        }
        if (q.to)
            BindOne(s, ++i, *q.to);
        if (q.eventsOnly && q.eventKind)
            BindOne(s, ++i, eventKind);
        if (near)
            BindOne(s, ++i, id);
        bool failed = false;
        while (Row(s, &failed))
            matches.push_back({RecordingOf(s), {}, {}});
        return !failed;
    };
    if (near) {
        for (const auto& entry : spans)
            if (!collect(entry.first))
                return {};
        std::sort(matches.begin(), matches.end(), [](const LibraryMatch& a, const LibraryMatch& b) {
            return std::tie(a.recording.start, a.recording.path) <
                   std::tie(b.recording.start, b.recording.path);
        });
        for (LibraryMatch& match : matches)
            match.spans = std::move(spans[match.recording.id]);
    } else if (!collect(0)) {
        return {};
    }

    if (q.eventsOnly) {
        const std::string eventsSql = std::string("SELECT kind, start_second, peak_second, "
                                                  "end_second, peak_g FROM events WHERE "
                                                  "recording_id = ?") +
                                      (q.eventKind ? " AND kind = ?" : "") +
                                      " ORDER BY start_second";
        for (LibraryMatch& match : matches) {
            sqlite3_stmt* e = q.eventKind ? Use(eventsSql, match.recording.id, eventKind)
                                          : Use(eventsSql, match.recording.id);
            bool failed = false;
            while (Row(e, &failed))
                match.events.push_back({sqlite3_column_double(e, 1), sqlite3_column_double(e, 2),
                                        sqlite3_column_double(e, 3), KindNamed(Text(e, 0)),
                                        sqlite3_column_double(e, 4)});
            if (failed)
                return {};
        }
    }
    return matches;
}

} // namespace quello
