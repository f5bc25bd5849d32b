// The library index's inside, shared by its two files: LibraryIndex.cpp (opening, migrating,
// writing) and LibraryIndexRead.cpp (reading back and searching). Not a public header.
#pragma once

#include "LibraryIndex.h"
#include "SqlConnection.h"

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace quello {
namespace index_detail {

// Fixes under one box of the spatial index: 16 s of road, some 200 m in town.
constexpr int kFixesPerBox = 32;

constexpr char kRecordingColumns[] =
    "r.id, r.path, r.sha256, r.size, r.mtime, r.has_start, r.start, r.length, r.card, "
    "r.protected, r.telemetry_source, r.threshold_horizontal, r.threshold_vertical, r.trip_id";

inline LibraryRecording RecordingOf(const SqlRows& s) {
    LibraryRecording r;
    r.id = s.Int(0);
    r.path = s.Text(1);
    r.sha256 = s.Text(2);
    r.size = s.Int(3);
    r.mtime = s.Int(4);
    r.hasStart = s.Int(5) != 0;
    r.start = s.Int(6);
    r.length = static_cast<std::uint32_t>(s.Int(7));
    r.card = s.Text(8);
    r.isProtected = s.Int(9) != 0;
    r.telemetrySource = s.Text(10);
    r.thresholds.horizontal = s.Real(11);
    r.thresholds.vertical = s.Real(12);
    r.tripId = s.Int(13);
    return r;
}

inline SqlValue Value(std::int64_t v) {
    return v;
}
inline SqlValue Value(int v) {
    return std::int64_t(v);
}
inline SqlValue Value(double v) {
    return v;
}
inline SqlValue Value(const std::string& v) {
    return v;
}

} // namespace index_detail

using namespace index_detail;

struct LibraryIndex::Impl {
    std::unique_ptr<SqlConnection> db;
    std::string where; // the index file or the server's URL, for messages
    std::string error;

    void Close() { db.reset(); }

    bool NotOpen() {
        error = "the library's index is not open";
        return false;
    }

    bool server() const { return db && db->dialect() == SqlConnection::Dialect::Postgres; }

    // The connection's last error as this index's.
    bool Failed() {
        error = db ? db->error() : "the library's index is not open";
        return false;
    }

    template <typename... Args>
    std::unique_ptr<SqlRows> Query(const std::string& sql, const Args&... args) {
        if (!db) {
            NotOpen();
            return nullptr;
        }
        return db->Query(sql, {Value(args)...});
    }

    // Steps to the next row: false at the end or on an error (then `failed` is set).
    bool Row(SqlRows* s, bool* failed = nullptr) {
        if (s && s->Next())
            return true;
        if (!s || s->failed()) {
            if (s)
                Failed();
            if (failed)
                *failed = true;
        }
        return false;
    }

    // Runs a statement that returns no rows (or whose rows do not matter).
    template <typename... Args> bool Run(const std::string& sql, const Args&... args) {
        auto s = Query(sql, args...);
        while (s && s->Next()) {
        }
        return s && !s->failed() ? true : (s ? Failed() : false);
    }

    bool Exec(const std::string& sql) { return db ? db->Exec(sql) || Failed() : NotOpen(); }

    // Runs without letting a failure hide the error that made it necessary.
    void Undo(const char* sql) {
        if (db && !db->lost())
            db->Exec(sql);
    }

    // A write of several statements: its own transaction, taken with the write lock at once
    // so that two importers wait for each other instead of failing; inside the caller's
    // transaction a savepoint, so that a failure undoes this write only and leaves the
    // caller's transaction open.
    bool BeginScope(bool& own) {
        if (!db)
            return NotOpen();
        own = !db->InTransaction();
        return own ? db->BeginWrite() || Failed() : Exec("SAVEPOINT quello_write");
    }

    bool EndScope(bool own, bool ok) {
        if (own) {
            if (ok && Exec("COMMIT"))
                return true;
            if (db->InTransaction())
                Undo("ROLLBACK");
            return false;
        }
        if (!ok)
            Undo("ROLLBACK TO quello_write");
        Undo("RELEASE quello_write");
        return ok;
    }

    bool ReadInt(const std::string& sql, std::int64_t& value) {
        auto s = Query(sql);
        bool failed = false;
        value = Row(s.get(), &failed) ? s->Int(0) : 0;
        return !failed;
    }

    OpenResult Setup(const std::string& root, const std::optional<DatabaseUrl>& server);
    bool ReadVersion(std::int64_t& version);
    bool Migrate(std::int64_t& version);
    bool Insert(LibraryRecording& recording, const std::vector<LibraryFile>& companions,
                const std::vector<LibraryFix>& fixes, const std::vector<GForceEvent>& events);
    bool TakenBy(const LibraryFile& file, std::optional<std::string>& taken);
    bool AddFixes(std::int64_t recordingId, const std::vector<LibraryFix>& fixes);
    bool InsertId(const std::string& sql, std::int64_t& id, const std::vector<SqlValue>& values);
    std::vector<LibraryMatch> Find(const LibraryQuery& query);
    bool NearSpans(const LibraryQuery& query,
                   std::unordered_map<std::int64_t, std::vector<LibrarySpan>>& spans);
    bool AddEvents(std::vector<LibraryMatch>& matches, const std::string& kind);
};

} // namespace quello
