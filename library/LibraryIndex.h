#pragma once

#include "DatabaseUrl.h"

#include "recordings/GForceEvents.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quello {

// One recording kept in the library: its movie and what the index knows of it. Paths are
// relative to the library folder ("2026/2026-05-16/094100_FILE0001.MOV"), so the library can
// move or be mounted elsewhere. Hashes are SHA-256 in lower-case hex.
struct LibraryRecording {
    std::int64_t id = 0; // the index's own number; 0 before it is stored
    std::string path;
    std::string sha256;
    std::int64_t size = 0;
    std::int64_t mtime = 0;      // the movie's modification time, seconds since 1970
    bool hasStart = false;       // false: the header gave no start time
    std::int64_t start = 0;      // camera clock, seconds since 1970 as stored (no zone)
    std::uint32_t length = 0;    // seconds
    std::string card;            // identity of the card (or file system) it was imported from
    bool isProtected = false;    // locked by the camera after an event
    std::string telemetrySource; // TelemetrySourceName(): "dat", "gpx", "nmea", "none" ...
    GForceThresholds thresholds; // the card's, as its settings file said at import
    std::int64_t tripId = 0;     // recordings of one trip share it (the first one's id)
};

// A file stored beside a recording under its stem (telemetry, GPX or NMEA side file), or on its
// own (a GPS log: recordingId 0).
struct LibraryFile {
    std::string path;
    std::string sha256;
    std::int64_t size = 0;
    std::int64_t mtime = 0;
    std::string kind; // "movie", "telemetry", "gpx", "nmea", "gpslog", "settings"
};

// One GPS fix of a recording, one a second.
struct LibraryFix {
    int second = 0; // of the recording
    double latitude = 0;
    double longitude = 0;
    int speed = 0;   // km/h
    int heading = 0; // degrees
};

// What `quello find` asks. Unset parts do not filter.
struct LibraryQuery {
    std::optional<double> nearLatitude, nearLongitude;
    double radiusMetres = 100;
    std::optional<std::int64_t> from, to; // camera clock, seconds since 1970 (no zone)
    bool eventsOnly = false;
    std::optional<GForceKind> eventKind; // with eventsOnly: only this kind
    bool protectedOnly = false;
};

struct LibrarySpan {
    int from = 0; // seconds of the recording, both ends included
    int to = 0;
};

struct LibraryMatch {
    LibraryRecording recording;
    std::vector<LibrarySpan> spans;  // where it was within the radius (near queries only)
    std::vector<GForceEvent> events; // the matching events (event queries only)
};

// The library's index: an SQLite database `library.sqlite` in the library folder, in WAL mode,
// or a database on a PostgreSQL server (a shared library used from several computers at once),
// with a schema version that Open() creates or migrates. The files are the truth: everything
// here can be rebuilt from them.
//
// Several processes may open one library at once (SQLite's own locking with a busy timeout, or
// the server's): writers are serialised by BeginWrite(), which takes the write lock at once.
// One object per thread; not copyable. Errors are returned, never thrown; error() says what
// went wrong last, in one line.
class LibraryIndex {
public:
    LibraryIndex();
    ~LibraryIndex();
    LibraryIndex(const LibraryIndex&) = delete;
    LibraryIndex& operator=(const LibraryIndex&) = delete;

    enum class OpenResult {
        Ok,
        Malformed, // SQLite says the file is not a database or is damaged: rebuild it
        Newer,     // made by a newer program (schema version above ours); left untouched
        Failed,    // could not open or create (permissions, missing folder, no server ...)
    };
    // Opens (creating the tables when missing) the index on `server` when given, else on the
    // server LibraryDatabase() names for the folder, else LIBRARY/library.sqlite.
    OpenResult Open(const std::string& libraryRoot,
                    const std::optional<DatabaseUrl>& server = std::nullopt);
    // Moves a damaged index aside ("library.sqlite.damaged-<time>") and creates an empty one.
    // Only the index and its -wal/-shm files are touched. On a server: opens it again.
    OpenResult Recreate(const std::string& libraryRoot);
    const std::string& error() const;
    // Where the index is: its file, or the server's URL (without a password: it has none).
    const std::string& where() const;
    bool onServer() const;
    // Whether SQLite has found the index damaged since Open(): a query that fails this way
    // (a page hit for the first time) calls for the same rebuild as OpenResult::Malformed.
    bool malformed() const;
    // Whether the server has gone away (stopped, the network cut): nothing more can be read
    // or written, and whether the last Commit() was taken is unknown.
    bool lost() const;

    // One write transaction, taken with the write lock (BEGIN IMMEDIATE). Between BeginWrite()
    // and Commit() the caller may move files into place: no other writer runs meanwhile.
    bool BeginWrite();
    bool Commit();
    void Rollback();

    // The library path of a movie or GPS log with this content, if one is stored.
    std::optional<std::string> PathOfContent(const std::string& sha256);
    // Whether a file of this size is stored (movies and logs): when none is, the content
    // cannot be there and need not be hashed first.
    bool HasContentOfSize(std::int64_t size);
    // Whether a library path is taken by a stored file (any kind).
    bool HasPath(const std::string& path);

    // Source files seen before: a card's file, by the card's identity, its path on the card,
    // size and modification time, gives the hash it had; then it need not be read again.
    std::optional<std::string> KnownSource(const std::string& card, const std::string& sourcePath,
                                           std::int64_t size, std::int64_t mtime);
    bool RememberSource(const std::string& card, const std::string& sourcePath, std::int64_t size,
                        std::int64_t mtime, const std::string& sha256);

    // Stores a recording with its companions, fixes and events; inside the caller's
    // transaction if one is open, else in its own. False when its movie's content or path, or
    // a companion's path, is already stored (nothing is written then; error() names the stored
    // path) or on a database error. Fixes without a valid latitude and longitude are left
    // out. On success `recording.id` is set, and `tripId` to the id when it was 0.
    bool AddRecording(LibraryRecording& recording, const std::vector<LibraryFile>& companions,
                      const std::vector<LibraryFix>& fixes, const std::vector<GForceEvent>& events);
    // Stores a GPS log or a settings file on its own.
    bool AddFile(const LibraryFile& file);

    // Deletes every row (recordings, files, fixes, events, sources, imports) for a rebuild from
    // the files; inside the caller's transaction, so that a failed rebuild keeps the old index.
    bool ClearAll();

    // Joins recordings into trips again (each starts where the one before of the same card
    // ended, within kTripJoinSeconds) and stores their trip ids.
    bool UpdateTrips();

    // The record of one import: started now, finished with its counts (and the time of
    // FinishImport). BeginImport returns 0 on a database error.
    std::int64_t BeginImport(const std::string& card, const std::string& source,
                             std::int64_t startedAt);
    bool FinishImport(std::int64_t importId, int copied, int skipped, int failed,
                      std::int64_t bytes);

    // Every stored file (recordings' movies and companions, logs, settings), by path.
    std::vector<LibraryFile> Files();
    std::vector<LibraryRecording> Recordings(); // ordered by start, then path
    std::optional<LibraryRecording> RecordingAt(const std::string& path);
    std::vector<LibraryFix> Fixes(std::int64_t recordingId);

    // Recordings matching every given condition, ordered by start, then path. Place queries
    // use the spatial index (SQLite's R*Tree, the server's GiST) for the box around the point, then
    // the exact great-circle distance; seconds one apart join into one span. A time window matches
    // the recordings it overlaps, ends included; recordings without a start time never match one.
    // Empty with error() set for a place off the globe, a radius not above 0, or a database error.
    std::vector<LibraryMatch> Find(const LibraryQuery& query);

    // The schema version this program writes.
    static int SchemaVersion();

private:
    struct Impl;
    std::unique_ptr<Impl> m;
};

} // namespace quello
