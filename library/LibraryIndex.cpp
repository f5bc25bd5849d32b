#include "LibraryIndexImpl.h"

#include "GeoBox.h"
#include "LibraryLocation.h"
#include "LibrarySchema.h"
#include "PgConnection.h"
#include "SqliteConnection.h"

#include "recordings/RecordingTrip.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <ctime>
#include <filesystem>

namespace quello {

namespace {

constexpr char kIndexFile[] = "library.sqlite";

// Every table, read once at opening: a damaged root page shows there instead of in the
// middle of an import.
constexpr const char* kTables[] = {"recordings", "files",   "fixes",  "fix_box",
                                   "events",     "sources", "imports"};

bool PlaceableFix(const LibraryFix& f) {
    return std::isfinite(f.latitude) && std::isfinite(f.longitude) && std::abs(f.latitude) <= 90 &&
           std::abs(f.longitude) <= 180;
}

// A run's values as the server's array text: "{1,2,3}", each number exact.
template <typename T>
std::string ArrayText(const std::vector<const LibraryFix*>& fixes, std::size_t at, int count,
                      T LibraryFix::*member) {
    std::string text = "{";
    for (int i = 0; i < count; ++i) {
        char number[32];
        const auto end =
            std::to_chars(number, number + sizeof number, fixes[at + std::size_t(i)]->*member).ptr;
        text.append(i ? "," : "").append(number, end);
    }
    return text + "}";
}

} // namespace

LibraryIndex::LibraryIndex() : m(std::make_unique<Impl>()) {}

LibraryIndex::~LibraryIndex() = default;

const std::string& LibraryIndex::error() const {
    return m->error;
}

const std::string& LibraryIndex::where() const {
    return m->where;
}

int LibraryIndex::SchemaVersion() {
    return LibrarySchema::kVersion;
}

bool LibraryIndex::onServer() const {
    return m->server();
}

LibraryIndex::OpenResult LibraryIndex::Open(const std::string& libraryRoot,
                                            const std::optional<DatabaseUrl>& server) {
    m->Close();
    m->error.clear();
    m->where.clear();
    const OpenResult result = m->Setup(libraryRoot, server);
    if (result != OpenResult::Ok) {
        // Closing would checkpoint the journal into a file this program should not change
        // (damaged, or a newer one's) and delete the journal with what it held.
        if (auto* file = dynamic_cast<SqliteConnection*>(m->db.get()))
            file->Close(true);
        m->Close();
    }
    return result;
}

LibraryIndex::OpenResult LibraryIndex::Impl::Setup(const std::string& root,
                                                   const std::optional<DatabaseUrl>& named) {
    std::optional<DatabaseUrl> url = named;
    if (!url) {
        std::string confError;
        url = LibraryDatabase(root, confError);
        if (!confError.empty()) {
            error = confError;
            return OpenResult::Failed;
        }
    }
    const auto failure = [&] {
        const bool damaged = db && db->damaged();
        if (error.empty())
            Failed();
        if (damaged)
            error = where + " is not a database or is damaged (" + error + ")";
        return damaged ? OpenResult::Malformed : OpenResult::Failed;
    };
    if (url) {
        where = url->ToString();
        auto connection = std::make_unique<PgConnection>();
        const bool connected = connection->Open(*url);
        db = std::move(connection);
        if (!connected)
            return failure();
    } else {
        where = root + "/" + kIndexFile;
        auto connection = std::make_unique<SqliteConnection>();
        const bool opened = connection->Open(where);
        db = std::move(connection);
        if (!opened)
            return failure();
    }
    std::int64_t version = 0;
    if (!ReadVersion(version))
        return failure();
    if (version > LibrarySchema::kVersion) {
        error = where + " was made by a newer program (index version " + std::to_string(version) +
                ", this one knows up to " + std::to_string(LibrarySchema::kVersion) + ")";
        return OpenResult::Newer;
    }
    if (version < LibrarySchema::kVersion && !Migrate(version))
        return version > LibrarySchema::kVersion ? OpenResult::Newer : failure();
    for (const char* table : kTables)
        if (!Run(std::string("SELECT 1 FROM ") + table + " LIMIT 1"))
            return failure();
    // A large import writes the fixes' tree all over; a bigger cache keeps it from spilling.
    if (!server())
        Exec("PRAGMA cache_size = -65536");
    return OpenResult::Ok;
}

// SQLite keeps the version in the file's header; a server in a table of its own, missing
// until the first migration makes it.
bool LibraryIndex::Impl::ReadVersion(std::int64_t& version) {
    if (!server())
        return ReadInt("PRAGMA user_version", version);
    std::int64_t exists = 0;
    if (!ReadInt("SELECT COUNT(*) FROM pg_catalog.pg_tables WHERE schemaname = "
                 "current_schema() AND tablename = 'quello_schema'",
                 exists))
        return false;
    version = 0;
    return exists == 0 || ReadInt("SELECT MAX(version) FROM quello_schema", version);
}

bool LibraryIndex::Impl::Migrate(std::int64_t& version) {
    if (!db->BeginWrite())
        return Failed();
    // Another process may have stepped the index up while this one waited for the lock.
    bool ok = ReadVersion(version);
    if (ok && version > LibrarySchema::kVersion) {
        error = "the library's index was made by a newer program meanwhile";
        ok = false;
    }
    if (ok && server() && version == 0)
        ok = Exec("CREATE TABLE quello_schema (version INTEGER NOT NULL)") &&
             Exec("INSERT INTO quello_schema (version) VALUES (0)");
    for (; ok && version < LibrarySchema::kVersion; ++version)
        for (const std::string& sql : LibrarySchema::Migration(int(version), db->dialect()))
            if (!(ok = Exec(sql)))
                break;
    const std::string setVersion =
        server() ? "UPDATE quello_schema SET version = " + std::to_string(LibrarySchema::kVersion)
                 : "PRAGMA user_version = " + std::to_string(LibrarySchema::kVersion);
    if (ok && Exec(setVersion) && Exec("COMMIT"))
        return true;
    // A role that may not create tables: say what the administrator has to do.
    if (auto* pg = dynamic_cast<PgConnection*>(db.get()); pg && pg->sqlState() == "42501")
        error = "cannot create the library's tables in " + where +
                ": the database should belong to the user the library connects as (createdb "
                "-O USER DBNAME), or grant it CREATE on its schema";
    Undo("ROLLBACK");
    return false;
}

LibraryIndex::OpenResult LibraryIndex::Recreate(const std::string& libraryRoot) {
    namespace fs = std::filesystem;
    if (m->server())
        return Open(libraryRoot);
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
    return m->db ? m->db->BeginWrite() || m->Failed() : m->NotOpen();
}

bool LibraryIndex::Commit() {
    if (!m->db)
        return m->NotOpen();
    if (m->Exec("COMMIT"))
        return true;
    if (m->db->InTransaction())
        m->Undo("ROLLBACK");
    return false;
}

void LibraryIndex::Rollback() {
    if (m->db && m->db->InTransaction())
        m->Undo("ROLLBACK");
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
    auto s = Query("SELECT path FROM files WHERE path = ? OR (sha256 = ? AND ? = 1 AND "
                   "kind IN ('movie', 'gpslog'))",
                   file.path, file.sha256, file.kind == "movie" || file.kind == "gpslog" ? 1 : 0);
    bool failed = false;
    if (Row(s.get(), &failed))
        taken = s->Text(0);
    return !failed;
}

// The fixes of a recording, in runs of up to kFixesPerBox consecutive ids, each run with one
// box in the spatial index named by its first fix's id. A box per fix would cost ten times as
// much to store (an R*Tree insert is several times a row's), and the runs still narrow a place
// query down to a few hundred metres of road. Each run is one multi-row statement; the ids are
// given, not left to the database, so that a run is a block of ids by construction (writers
// hold the write lock, so no other one takes ids meanwhile).
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
        std::vector<SqlValue> values;
        values.reserve(std::size_t(count) * 7);
        const LibraryFix& head = *placeable[at];
        GeoBox box{head.latitude, head.latitude, head.longitude, head.longitude};
        for (int i = 0; i < count; ++i) {
            const LibraryFix& f = *placeable[at + static_cast<std::size_t>(i)];
            values.insert(values.end(),
                          {next + i, recordingId, std::int64_t(f.second), f.latitude, f.longitude,
                           std::int64_t(f.speed), std::int64_t(f.heading)});
            box = {std::min(box.minLat, f.latitude), std::max(box.maxLat, f.latitude),
                   std::min(box.minLon, f.longitude), std::max(box.maxLon, f.longitude)};
        }
        auto s = db->Query(sql, values);
        while (s->Next()) {
        }
        if (s->failed())
            return Failed();
        const bool boxed =
            server() ? Run("INSERT INTO fix_box (id, recording_id, area, seconds, latitudes, "
                           "longitudes) VALUES (?, ?, box(point(?, ?), point(?, ?)), ?, ?, ?)",
                           next, recordingId, box.minLon, box.minLat, box.maxLon, box.maxLat,
                           ArrayText(placeable, at, count, &LibraryFix::second),
                           ArrayText(placeable, at, count, &LibraryFix::latitude),
                           ArrayText(placeable, at, count, &LibraryFix::longitude))
                     : Run("INSERT INTO fix_box (id, min_lat, max_lat, min_lon, max_lon) "
                           "VALUES (?, ?, ?, ?, ?)",
                           next, box.minLat, box.maxLat, box.minLon, box.maxLon);
        if (!boxed)
            return false;
        next += count;
    }
    return true;
}

// Runs an INSERT ... RETURNING id.
bool LibraryIndex::Impl::InsertId(const std::string& sql, std::int64_t& id,
                                  const std::vector<SqlValue>& values) {
    if (!db)
        return NotOpen();
    auto s = db->Query(sql + " RETURNING id", values);
    bool failed = false;
    if (!Row(s.get(), &failed))
        return failed ? false : (error = "the library's index gave no id", false);
    id = s->Int(0);
    while (s->Next()) {
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
    std::int64_t id = 0;
    if (!InsertId("INSERT INTO recordings (path, sha256, size, mtime, has_start, start, length, "
                  "card, protected, telemetry_source, threshold_horizontal, threshold_vertical, "
                  "trip_id) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
                  id,
                  {r.path, r.sha256, r.size, r.mtime, std::int64_t(r.hasStart ? 1 : 0),
                   r.hasStart ? r.start : 0, std::int64_t(r.length), r.card,
                   std::int64_t(r.isProtected ? 1 : 0), r.telemetrySource, r.thresholds.horizontal,
                   r.thresholds.vertical, r.tripId}))
        return false;
    // Until UpdateTrips() joins it, a recording is a trip of its own.
    if (r.tripId == 0 && !Run("UPDATE recordings SET trip_id = ? WHERE id = ?", id, id))
        return false;
    const std::string insertFile = "INSERT INTO files (path, sha256, size, mtime, kind, "
                                   "recording_id) VALUES (?, ?, ?, ?, ?, ?)";
    for (const LibraryFile* f : files)
        if (!Run(insertFile, f->path, f->sha256, f->size, f->mtime, f->kind, id))
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
        auto s = m->Query("SELECT id, card, has_start, start, length, trip_id "
                          "FROM recordings ORDER BY card, has_start, start, path");
        bool failed = false;
        std::string card;
        bool havePrevious = false;
        std::int64_t previousEnd = 0, previousTrip = 0;
        while (m->Row(s.get(), &failed)) {
            const std::int64_t id = s->Int(0);
            std::string thisCard = s->Text(1);
            const bool hasStart = s->Int(2) != 0;
            const std::int64_t start = s->Int(3);
            const std::int64_t length = s->Int(4);
            const std::int64_t stored = s->Int(5);
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
    std::int64_t id = 0;
    if (!m->InsertId("INSERT INTO imports (card, source, started_at, copied, skipped, failed, "
                     "bytes) VALUES (?, ?, ?, 0, 0, 0, 0)",
                     id, {card, source, startedAt}))
        return 0;
    return id;
}

bool LibraryIndex::FinishImport(std::int64_t importId, int copied, int skipped, int failed,
                                std::int64_t bytes) {
    return m->Run("UPDATE imports SET finished_at = ?, copied = ?, skipped = ?, failed = ?, "
                  "bytes = ? WHERE id = ?",
                  std::int64_t(std::time(nullptr)), copied, skipped, failed, bytes, importId);
}

} // namespace quello
