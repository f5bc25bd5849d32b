#include "LibraryIndexImpl.h"

#include "GeoBox.h"

#include <algorithm>
#include <cmath>
#include <tuple>

namespace quello {
namespace {

// Ids asked for in one statement (`id IN (...)`); a short list is filled up with its first id,
// so that every such query is one prepared statement.
constexpr std::size_t kIdsPerQuery = 64;

GForceKind KindNamed(const std::string& name) {
    for (GForceKind kind : {GForceKind::Braking, GForceKind::Acceleration, GForceKind::LeftTurn,
                            GForceKind::RightTurn, GForceKind::Impact})
        if (name == GForceKindName(kind))
            return kind;
    return GForceKind::Impact;
}

// "id IN (?, ?, ...)" for kIdsPerQuery ids.
std::string IdList(const char* column) {
    std::string sql = std::string(column) + " IN (?";
    for (std::size_t i = 1; i < kIdsPerQuery; ++i)
        sql += ", ?";
    return sql + ")";
}

// The ids from `at` on, kIdsPerQuery of them, the last repeated to fill the list.
std::vector<SqlValue> IdChunk(const std::vector<std::int64_t>& ids, std::size_t at) {
    std::vector<SqlValue> values;
    for (std::size_t i = 0; i < kIdsPerQuery; ++i)
        values.emplace_back(ids[std::min(at + i, ids.size() - 1)]);
    return values;
}

} // namespace

std::optional<std::string> LibraryIndex::PathOfContent(const std::string& sha256) {
    auto s =
        m->Query("SELECT path FROM files WHERE sha256 = ? AND kind IN ('movie', 'gpslog')", sha256);
    if (!m->Row(s.get()))
        return std::nullopt;
    return s->Text(0);
}

bool LibraryIndex::HasContentOfSize(std::int64_t size) {
    auto s = m->Query("SELECT 1 FROM files WHERE size = ? AND kind IN ('movie', 'gpslog') LIMIT 1",
                      size);
    return m->Row(s.get());
}

bool LibraryIndex::HasPath(const std::string& path) {
    auto s = m->Query("SELECT 1 FROM files WHERE path = ?", path);
    return m->Row(s.get());
}

std::optional<std::string> LibraryIndex::KnownSource(const std::string& card,
                                                     const std::string& sourcePath,
                                                     std::int64_t size, std::int64_t mtime) {
    auto s = m->Query("SELECT sha256 FROM sources WHERE card = ? AND source_path = ? AND "
                      "size = ? AND mtime = ?",
                      card, sourcePath, size, mtime);
    if (!m->Row(s.get()))
        return std::nullopt;
    return s->Text(0);
}

bool LibraryIndex::malformed() const {
    return m->db && m->db->damaged();
}

bool LibraryIndex::lost() const {
    return m->db && m->db->lost();
}

std::vector<LibraryFile> LibraryIndex::Files() {
    std::vector<LibraryFile> files;
    auto s = m->Query("SELECT path, sha256, size, mtime, kind FROM files ORDER BY path");
    while (m->Row(s.get()))
        files.push_back({s->Text(0), s->Text(1), s->Int(2), s->Int(3), s->Text(4)});
    return files;
}

std::vector<LibraryRecording> LibraryIndex::Recordings() {
    std::vector<LibraryRecording> recordings;
    auto s = m->Query(std::string("SELECT ") + kRecordingColumns +
                      " FROM recordings r ORDER BY r.start, r.path");
    while (m->Row(s.get()))
        recordings.push_back(RecordingOf(*s));
    return recordings;
}

std::optional<LibraryRecording> LibraryIndex::RecordingAt(const std::string& path) {
    auto s = m->Query(
        std::string("SELECT ") + kRecordingColumns + " FROM recordings r WHERE r.path = ?", path);
    if (!m->Row(s.get()))
        return std::nullopt;
    return RecordingOf(*s);
}

std::vector<LibraryFix> LibraryIndex::Fixes(std::int64_t recordingId) {
    std::vector<LibraryFix> fixes;
    auto s = m->Query("SELECT second, latitude, longitude, speed, heading FROM fixes "
                      "WHERE recording_id = ? ORDER BY second",
                      recordingId);
    while (m->Row(s.get()))
        fixes.push_back({int(s->Int(0)), s->Real(1), s->Real(2), int(s->Int(3)), int(s->Int(4))});
    return fixes;
}

// The seconds of each recording within the radius, joined into spans. The one query on the
// spatial index: the box gives candidates, the great-circle distance decides.
bool LibraryIndex::Impl::NearSpans(
    const LibraryQuery& q, std::unordered_map<std::int64_t, std::vector<LibrarySpan>>& spans) {
    const double lat = *q.nearLatitude, lon = *q.nearLongitude;
    std::unordered_map<std::int64_t, std::vector<int>> seconds;
    for (const GeoBox& box : GeoBox::Around(lat, lon, q.radiusMetres)) {
        const auto inside = [&](double latitude, double longitude) {
            return latitude >= box.minLat && latitude <= box.maxLat && longitude >= box.minLon &&
                   longitude <= box.maxLon &&
                   GreatCircleMetres(lat, lon, latitude, longitude) <= q.radiusMetres;
        };
        bool failed = false;
        if (server()) {
            // The server's boxes carry their fixes.
            auto s = Query("SELECT recording_id, seconds, latitudes, longitudes FROM fix_box "
                           "WHERE area && box(point(?, ?), point(?, ?))",
                           box.minLon, box.minLat, box.maxLon, box.maxLat);
            while (Row(s.get(), &failed)) {
                const auto secondsOf = s->Numbers(1);
                const auto lats = s->Numbers(2), lons = s->Numbers(3);
                for (std::size_t i = 0; i < secondsOf.size() && i < lats.size() && i < lons.size();
                     ++i)
                    if (inside(lats[i], lons[i]))
                        seconds[s->Int(0)].push_back(int(secondsOf[i]));
            }
        } else {
            // A box's run: the ids from the box's own up to kFixesPerBox, of the same
            // recording; only its fixes inside the box leave the database. The '+' keeps the
            // planner on that range of ids rather than on all the recording's fixes through
            // their index.
            auto s = Query("SELECT f.recording_id, f.second, f.latitude, f.longitude "
                           "FROM fix_box AS b "
                           "CROSS JOIN fixes AS head ON head.id = b.id "
                           "CROSS JOIN fixes AS f ON f.id >= b.id AND f.id < b.id + ? "
                           "AND +f.recording_id = head.recording_id "
                           "WHERE b.max_lat >= ? AND b.min_lat <= ? "
                           "AND b.max_lon >= ? AND b.min_lon <= ? "
                           "AND f.latitude BETWEEN ? AND ? AND f.longitude BETWEEN ? AND ?",
                           kFixesPerBox, box.minLat, box.maxLat, box.minLon, box.maxLon, box.minLat,
                           box.maxLat, box.minLon, box.maxLon);
            while (Row(s.get(), &failed))
                if (inside(s->Real(2), s->Real(3)))
                    seconds[s->Int(0)].push_back(int(s->Int(1)));
        }
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
    if (!db) {
        NotOpen();
        return matches;
    }
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
    std::vector<std::int64_t> ids;
    for (const auto& entry : spans)
        ids.push_back(entry.first);
    if (near && ids.empty())
        return matches;

    // A recording overlaps [from, to] when it starts before `to` ends and ends after `from`;
    // it cannot start before `from` minus the longest length, which keeps the search on the
    // index of starts.
    std::string sql = std::string("SELECT ") + kRecordingColumns + " FROM recordings r WHERE 1 = 1";
    std::vector<SqlValue> values;
    std::int64_t longest = 0;
    if (q.from && !ReadInt("SELECT MAX(length) FROM recordings", longest))
        return matches;
    if (q.from) {
        sql += " AND r.has_start = 1 AND r.start >= ? AND r.start + r.length >= ?";
        values.insert(values.end(), {*q.from - longest, *q.from});
    }
    if (q.to) {
        sql += " AND r.has_start = 1 AND r.start <= ?";
        values.emplace_back(*q.to);
    }
    if (q.protectedOnly)
        sql += " AND r.protected = 1";
    const std::string eventKind = q.eventKind ? GForceKindName(*q.eventKind) : "";
    if (q.eventsOnly) {
        sql += std::string(" AND EXISTS (SELECT 1 FROM events e WHERE e.recording_id = r.id") +
               (q.eventKind ? " AND e.kind = ?)" : ")");
        if (q.eventKind)
            values.emplace_back(eventKind);
    }
    const auto collect = [&](const std::vector<SqlValue>& all) {
        auto s = db->Query(sql, all);
        bool failed = false;
        while (Row(s.get(), &failed))
            matches.push_back({RecordingOf(*s), {}, {}});
        return !failed;
    };
    if (near) {
        // The places' recordings a list of ids at a time: one statement for many, rather than
        // one round trip to a server for each.
        sql += " AND " + IdList("r.id");
        for (std::size_t at = 0; at < ids.size(); at += kIdsPerQuery) {
            std::vector<SqlValue> all = values;
            const auto chunk = IdChunk(ids, at);
            all.insert(all.end(), chunk.begin(), chunk.end());
            if (!collect(all))
                return {};
        }
        std::sort(matches.begin(), matches.end(), [](const LibraryMatch& a, const LibraryMatch& b) {
            return std::tie(a.recording.start, a.recording.path) <
                   std::tie(b.recording.start, b.recording.path);
        });
        for (LibraryMatch& match : matches)
            match.spans = std::move(spans[match.recording.id]);
    } else {
        sql += " ORDER BY r.start, r.path";
        if (!collect(values))
            return {};
    }
    if (q.eventsOnly && !AddEvents(matches, eventKind))
        return {};
    return matches;
}

// The matching events of each match, in the order they start.
bool LibraryIndex::Impl::AddEvents(std::vector<LibraryMatch>& matches, const std::string& kind) {
    std::vector<std::int64_t> ids;
    std::unordered_map<std::int64_t, LibraryMatch*> byId;
    for (LibraryMatch& match : matches) {
        ids.push_back(match.recording.id);
        byId[match.recording.id] = &match;
    }
    const std::string sql = "SELECT recording_id, kind, start_second, peak_second, end_second, "
                            "peak_g FROM events WHERE " +
                            IdList("recording_id") + (kind.empty() ? "" : " AND kind = ?") +
                            " ORDER BY recording_id, start_second, id";
    for (std::size_t at = 0; at < ids.size(); at += kIdsPerQuery) {
        std::vector<SqlValue> values = IdChunk(ids, at);
        if (!kind.empty())
            values.emplace_back(kind);
        auto e = db->Query(sql, values);
        bool failed = false;
        while (Row(e.get(), &failed))
            byId[e->Int(0)]->events.push_back(
                {e->Real(2), e->Real(3), e->Real(4), KindNamed(e->Text(1)), e->Real(5)});
        if (failed)
            return false;
    }
    return true;
}

} // namespace quello
