#include "LibraryImport.h"

#include "ImportSource.h"
#include "LibraryIndex.h"
#include "RecordingFacts.h"
#include "VerifiedCopy.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <set>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace quello {
namespace {

namespace fs = std::filesystem;

constexpr std::int64_t kMinimumReserve = 256LL << 20;

std::string TimeText(std::int64_t seconds, const char* format) {
    const std::time_t time = static_cast<std::time_t>(seconds);
    std::tm parts{};
    gmtime_r(&time, &parts);
    char text[64];
    std::strftime(text, sizeof text, format, &parts);
    return text;
}

std::string BaseName(const std::string& path) {
    return path.substr(path.rfind('/') + 1);
}

std::string StemOf(const std::string& name) {
    const auto dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string ExtensionOf(const std::string& name) {
    const auto dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot);
}

bool Exists(const std::string& path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0;
}

bool MakeFolders(const std::string& path) {
    std::error_code error;
    fs::create_directories(path, error);
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

// Whether any file in `folder` has the stem (a movie, its telemetry or a side file).
bool StemTaken(const std::string& folder, const std::string& stem) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        if (name.size() > stem.size() && name.compare(0, stem.size(), stem) == 0 &&
            name[stem.size()] == '.')
            return true;
    }
    return false;
}

std::int64_t FreeBytes(const std::string& path) {
    struct statvfs fs {};
    if (::statvfs(path.c_str(), &fs) != 0)
        return -1;
    return static_cast<std::int64_t>(fs.f_bavail) * static_cast<std::int64_t>(fs.f_frsize);
}

std::int64_t Now() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// The record of one import, LIBRARY/imports/<time>_<n>/import.jsonl: a line for the import,
// then one per stored file, each synced, so that a rebuilt index knows which card a file came
// from even after the import was killed.
class ImportLog {
public:
    ~ImportLog() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool Open(const std::string& library, const ImportSource& source, std::int64_t started) {
        const std::string base = library + "/imports/" + TimeText(started, "%Y-%m-%d_%H%M%S");
        for (int n = 1; n < 1000 && m_fd < 0; ++n) {
            m_folder = base + (n == 1 ? "" : "_" + std::to_string(n));
            std::error_code error;
            fs::create_directories(library + "/imports", error);
            if (::mkdir(m_folder.c_str(), 0755) == 0)
                m_fd = ::open((m_folder + "/import.jsonl").c_str(),
                              O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0644);
            else if (errno != EEXIST)
                return false;
        }
        if (m_fd < 0)
            return false;
        const GForceThresholds& t = source.thresholds();
        return Append({{"import", TimeText(started, "%Y-%m-%dT%H:%M:%SZ")},
                       {"card", source.identity()},
                       {"source", source.root()},
                       {"isCard", source.isCard()},
                       {"thresholds", {{"horizontal", t.horizontal}, {"vertical", t.vertical}}}});
    }
    const std::string& folder() const { return m_folder; }
    bool Append(const nlohmann::ordered_json& line) {
        const std::string text =
            line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
        return m_fd >= 0 && ::write(m_fd, text.data(), text.size()) == ssize_t(text.size()) &&
               ::fdatasync(m_fd) == 0;
    }

private:
    int m_fd = -1;
    std::string m_folder;
};

} // namespace

std::string SizeText(std::int64_t bytes) {
    static constexpr const char* kUnits[] = {"bytes", "KB", "MB", "GB", "TB"};
    double value = double(bytes);
    int unit = 0;
    while (value >= 1000 && unit < 4) {
        value /= 1000;
        ++unit;
    }
    char text[32];
    if (unit == 0)
        std::snprintf(text, sizeof text, "%lld bytes", static_cast<long long>(bytes));
    else
        std::snprintf(text, sizeof text, value < 10 ? "%.1f %s" : "%.0f %s", value, kUnits[unit]);
    return text;
}

// One import's state while it runs.
struct LibraryImport::Work {
    // The record of the source's import, made when its first file is stored.
    using LogFor = std::function<ImportLog&(const ImportSource&)>;
    std::string library;
    const std::atomic<bool>* cancel = nullptr;
    std::function<void(const ImportProgress&)> progress;
    LibraryIndex index;
    ImportReport report;
    ImportProgress state;
    std::set<std::string> cleaned; // folders whose leftovers were removed in this import
    bool diskFull = false;

    bool Cancelled() const { return cancel && cancel->load(std::memory_order_relaxed); }
    bool Stopped() const { return Cancelled() || diskFull || index.lost(); }
    void Tell() {
        if (progress)
            progress(state);
    }
    std::function<void(std::int64_t)> Counter() {
        return [this](std::int64_t n) {
            state.bytesDone += n;
            Tell();
        };
    }
    void Fail(const std::string& path, const std::string& reason) {
        report.failed.push_back({path, reason});
    }
    // The day's folder, created, with any leftovers of a killed import removed.
    std::string DayFolder(std::int64_t time, std::string& error) {
        const std::string relative = TimeText(time, "%Y/%Y-%m-%d");
        const std::string folder = library + "/" + relative;
        if (!MakeFolders(folder)) {
            error = "cannot create " + folder + ": " + std::strerror(errno);
            return {};
        }
        if (cleaned.insert(folder).second)
            VerifiedCopy::RemoveStale(folder);
        return relative;
    }

    // Copies a file to a temporary in `folder`, retried once when it failed for another reason
    // than a cancel or a full disk.
    VerifiedCopy::Result CopyOnce(VerifiedCopy& copy, const SourceFile& file,
                                  const std::string& folder, mode_t mode) {
        const std::int64_t before = state.bytesDone;
        auto result = copy.Copy(file.path, folder, BaseName(file.path), mode);
        if (!result.ok && !result.cancelled && !result.diskFull && Exists(file.path)) {
            state.bytesDone = before;
            result = copy.Copy(file.path, folder, BaseName(file.path), mode);
        }
        if (result.diskFull)
            diskFull = true;
        return result;
    }

    void ImportRecording(const ImportSource& source, const SourceRecording& recording,
                         const LogFor& logFor);
    void ImportLogFile(const ImportSource& source, const SourceFile& file, const LogFor& logFor);
};

void LibraryImport::Work::ImportRecording(const ImportSource& source,
                                          const SourceRecording& recording, const LogFor& logFor) {
    const SourceFile& movie = recording.movie;
    state.current = movie.path;
    std::int64_t size = movie.size;
    for (const auto& c : recording.companions)
        size += c.size;
    if (!Exists(movie.path)) {
        Fail(movie.path, "no longer on the source (removed after it was listed)");
        state.filesDone += 1 + int(recording.companions.size());
        return;
    }
    // Content already stored from elsewhere is found by its hash before anything is written;
    // only worth reading when a stored file has its size.
    if (index.HasContentOfSize(movie.size)) {
        std::string error;
        const std::string sha = VerifiedCopy::HashFile(movie.path, cancel, {}, error);
        if (sha.empty()) {
            if (!Cancelled())
                Fail(movie.path, error);
            return;
        }
        if (index.PathOfContent(sha)) {
            index.RememberSource(source.identity(), movie.relative, movie.size, movie.mtime, sha);
            report.skipped += 1 + int(recording.companions.size());
            state.filesDone += 1 + int(recording.companions.size());
            state.bytesDone += size;
            Tell();
            return;
        }
    }

    const RecordingFacts facts = ReadRecordingFacts(
        movie.path,
        !recording.companions.empty() && recording.companions.front().kind == "telemetry"
            ? recording.companions.front().path
            : std::string(),
        source.thresholds());
    std::string error;
    const std::string day = DayFolder(facts.hasStart ? facts.start : movie.mtime, error);
    if (day.empty()) {
        Fail(movie.path, error);
        return;
    }
    const std::string folder = library + "/" + day;
    const bool locked = movie.readOnly || facts.readOnly;
    const mode_t mode = locked ? 0444 : 0644;

    VerifiedCopy movieCopy(cancel, Counter());
    const auto movieResult = CopyOnce(movieCopy, movie, folder, mode);
    if (!movieResult.ok) {
        if (!movieResult.cancelled)
            Fail(movie.path, movieResult.error);
        return;
    }
    std::vector<std::unique_ptr<VerifiedCopy>> copies;
    std::vector<VerifiedCopy::Result> results;
    for (const auto& companion : recording.companions) {
        copies.push_back(std::make_unique<VerifiedCopy>(cancel, Counter()));
        results.push_back(CopyOnce(*copies.back(), companion, folder, mode));
        if (!results.back().ok) {
            if (!results.back().cancelled)
                Fail(companion.path, results.back().error);
            // The recording goes in whole or not at all: the next import tries it again.
            Fail(movie.path, "not stored: " + BaseName(companion.path) + " could not be copied");
            return;
        }
    }

    // Under the write lock no other import can store this content or take the name.
    if (!index.BeginWrite()) {
        Fail(movie.path, "the index: " + index.error());
        return;
    }
    if (index.PathOfContent(movieResult.sha256)) {
        index.RememberSource(source.identity(), movie.relative, movie.size, movie.mtime,
                             movieResult.sha256);
        index.Commit();
        report.skipped += 1 + int(recording.companions.size());
        state.filesDone += 1 + int(recording.companions.size());
        return;
    }
    const std::string baseStem = TimeText(facts.hasStart ? facts.start : movie.mtime, "%H%M%S") +
                                 "_" + StemOf(BaseName(movie.path));
    std::string stem;
    bool adopted = false;
    for (int n = 1; n < 10000 && stem.empty(); ++n) {
        const std::string candidate = baseStem + (n == 1 ? "" : "-" + std::to_string(n));
        const std::string moviePath = day + "/" + candidate + ExtensionOf(BaseName(movie.path));
        if (index.HasPath(moviePath))
            continue;
        if (StemTaken(folder, candidate)) {
            // A file under the name but in no row: an import killed after moving it into place.
            // The same content is taken as it is; anything else keeps its name.
            std::string hashError;
            if (Exists(library + "/" + moviePath) &&
                VerifiedCopy::HashFile(library + "/" + moviePath, cancel, {}, hashError) ==
                    movieResult.sha256) {
                stem = candidate;
                adopted = true;
            }
            continue;
        }
        stem = candidate;
    }
    LibraryRecording row;
    row.path = day + "/" + stem + ExtensionOf(BaseName(movie.path));
    row.sha256 = movieResult.sha256;
    row.size = movieResult.bytes;
    row.mtime = movie.mtime;
    row.hasStart = facts.hasStart;
    row.start = facts.start;
    row.length = facts.length;
    row.card = source.identity();
    row.isProtected = locked;
    row.telemetrySource = facts.telemetrySource;
    row.thresholds = source.thresholds();
    std::vector<LibraryFile> companions;
    std::vector<std::string> moved;
    bool placed = !stem.empty();
    if (placed && !adopted) {
        placed = movieCopy.MoveInto(library + "/" + row.path);
        if (placed)
            moved.push_back(library + "/" + row.path);
    }
    for (std::size_t i = 0; placed && i < recording.companions.size(); ++i) {
        const auto& companion = recording.companions[i];
        // Another camera's movie keeps its own name (its camera) beside the main one's.
        const std::string name = companion.kind == "view"
                                     ? baseStem.substr(0, baseStem.find('_') + 1) +
                                           StemOf(BaseName(companion.path)) +
                                           stem.substr(baseStem.size())
                                     : stem;
        LibraryFile file{day + "/" + name + ExtensionOf(BaseName(companion.path)),
                         results[i].sha256, results[i].bytes, companion.mtime, companion.kind};
        const std::string target = library + "/" + file.path;
        if (adopted && Exists(target)) {
            companions.push_back(file);
            continue;
        }
        placed = copies[i]->MoveInto(target);
        if (placed)
            moved.push_back(target);
        companions.push_back(file);
    }
    if (!placed || !index.AddRecording(row, companions, facts.fixes, facts.events) ||
        !index.Commit()) {
        const std::string reason =
            !placed ? std::string("cannot store it in ") + folder + ": " + std::strerror(errno)
                    : "the index: " + index.error();
        index.Rollback();
        // A server gone during the commit may have taken it: the files stay, and the next
        // import finds them indexed or adopts them.
        if (!index.lost())
            for (const auto& path : moved)
                ::unlink(path.c_str());
        Fail(movie.path, reason);
        return;
    }
    index.RememberSource(source.identity(), movie.relative, movie.size, movie.mtime, row.sha256);
    nlohmann::ordered_json line = {{"source", movie.relative}, {"size", movie.size},
                                   {"mtime", movie.mtime},     {"sha256", row.sha256},
                                   {"path", row.path},         {"kind", "movie"},
                                   {"protected", locked}};
    ImportLog& log = logFor(source);
    log.Append(line);
    for (std::size_t i = 0; i < companions.size(); ++i) {
        const auto& c = recording.companions[i];
        log.Append({{"source", c.relative},
                    {"size", c.size},
                    {"mtime", c.mtime},
                    {"sha256", companions[i].sha256},
                    {"path", companions[i].path},
                    {"kind", c.kind}});
    }
    report.copied += 1 + int(companions.size());
    report.copiedBytes += size;
    report.recordings += 1;
    state.filesDone += 1 + int(companions.size());
    Tell();
}

void LibraryImport::Work::ImportLogFile(const ImportSource& source, const SourceFile& file,
                                        const LogFor& logFor) {
    state.current = file.path;
    if (const auto known =
            index.KnownSource(source.identity(), file.relative, file.size, file.mtime);
        known && index.PathOfContent(*known)) {
        ++report.skipped;
        ++state.filesDone;
        return;
    }
    // Logs are named by their day (20260516.log); one named otherwise goes by its time.
    const std::string name = BaseName(file.path);
    std::int64_t day = file.mtime;
    int y = 0, m = 0, d = 0;
    if (std::sscanf(name.c_str(), "%4d%2d%2d", &y, &m, &d) == 3 && y >= 1970 && m >= 1 && m <= 12 &&
        d >= 1 && d <= 31) {
        std::tm parts{};
        parts.tm_year = y - 1900;
        parts.tm_mon = m - 1;
        parts.tm_mday = d;
        day = timegm(&parts);
    }
    std::string error;
    const std::string dayFolder = DayFolder(day, error);
    if (dayFolder.empty()) {
        Fail(file.path, error);
        return;
    }
    const std::string folder = library + "/" + dayFolder + "/GPSLOG";
    if (!MakeFolders(folder)) {
        Fail(file.path, "cannot create " + folder);
        return;
    }
    if (cleaned.insert(folder).second)
        VerifiedCopy::RemoveStale(folder);
    VerifiedCopy copy(cancel, Counter());
    const auto result = CopyOnce(copy, file, folder, 0644);
    if (!result.ok) {
        if (!result.cancelled)
            Fail(file.path, result.error);
        return;
    }
    if (!index.BeginWrite()) {
        Fail(file.path, "the index: " + index.error());
        return;
    }
    if (!index.PathOfContent(result.sha256)) {
        std::string path;
        for (int n = 1; n < 10000; ++n) {
            const std::string candidate = dayFolder + "/GPSLOG/" + StemOf(name) +
                                          (n == 1 ? "" : "-" + std::to_string(n)) +
                                          ExtensionOf(name);
            if (!index.HasPath(candidate) && !Exists(library + "/" + candidate)) {
                path = candidate;
                break;
            }
        }
        if (path.empty() || !copy.MoveInto(library + "/" + path) ||
            !index.AddFile({path, result.sha256, result.bytes, file.mtime, "gpslog"})) {
            const std::string reason = "cannot store it: " + index.error();
            index.Rollback();
            if (!path.empty())
                ::unlink((library + "/" + path).c_str());
            Fail(file.path, reason);
            return;
        }
        logFor(source).Append({{"source", file.relative},
                               {"size", file.size},
                               {"mtime", file.mtime},
                               {"sha256", result.sha256},
                               {"path", path},
                               {"kind", "gpslog"}});
        ++report.copied;
        report.copiedBytes += result.bytes;
    } else {
        ++report.skipped;
    }
    index.RememberSource(source.identity(), file.relative, file.size, file.mtime, result.sha256);
    index.Commit();
    ++state.filesDone;
    Tell();
}

LibraryImport::LibraryImport(std::string library, std::vector<std::string> sources)
    : m_library(std::move(library)), m_sources(std::move(sources)) {
    while (m_library.size() > 1 && m_library.back() == '/')
        m_library.pop_back();
}

namespace {

// Whether a source's movie is known: seen before on this card with its size and time, and its
// content is in the library.
bool KnownRecording(LibraryIndex& index, const std::string& card, const SourceFile& movie) {
    const auto sha = index.KnownSource(card, movie.relative, movie.size, movie.mtime);
    return sha && index.PathOfContent(*sha);
}

std::string OpenProblem(LibraryIndex& index, const std::string& library,
                        const std::optional<DatabaseUrl>& database) {
    switch (index.Open(library, database)) {
    case LibraryIndex::OpenResult::Ok:
        return {};
    case LibraryIndex::OpenResult::Malformed:
        return index.where() + " is damaged (" + index.error() +
               "); rebuild it from the files with 'quello index " + library + "'";
    case LibraryIndex::OpenResult::Newer:
        return index.where() + " was written by a newer version of this program";
    case LibraryIndex::OpenResult::Failed:
        break;
    }
    return "cannot open the library's index: " + index.error();
}

} // namespace

bool LibraryImport::Plan(ImportPlan& plan, std::string& error) {
    plan = {};
    LibraryIndex index;
    // Only looked at, never made: a library on a disk that is not plugged in must not turn
    // into an empty folder where its mount point would be.
    struct stat status {};
    if (::stat(m_library.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) {
        error = "the library folder " + m_library + " is not there";
        return false;
    }
    error = OpenProblem(index, m_library, m_database);
    if (!error.empty())
        return false;
    for (const auto& path : m_sources) {
        ImportSource source;
        if (!source.Scan(path))
            continue;
        plan.anyCard = plan.anyCard || source.isCard();
        for (const auto& recording : source.recordings()) {
            if (KnownRecording(index, source.identity(), recording.movie)) {
                ++plan.knownRecordings;
                continue;
            }
            ++plan.newRecordings;
            plan.newFiles += 1 + int(recording.companions.size());
            plan.newBytes += recording.movie.size;
            for (const auto& c : recording.companions)
                plan.newBytes += c.size;
        }
        for (const auto& log : source.gpsLogs()) {
            if (!index.KnownSource(source.identity(), log.relative, log.size, log.mtime)) {
                ++plan.newFiles;
                plan.newBytes += log.size;
            }
        }
    }
    return true;
}

ImportReport LibraryImport::Run() {
    const auto started = std::chrono::steady_clock::now();
    Work work;
    work.library = m_library;
    work.cancel = m_cancel;
    work.progress = m_progress;
    ImportReport& report = work.report;
    // A new library is one new folder in an existing one: a missing parent is more likely an
    // unplugged disk than a wish for a tree of new folders.
    struct stat status {};
    if (::mkdir(m_library.c_str(), 0755) != 0 && errno != EEXIST) {
        report.refusal =
            "cannot create the library folder " + m_library + ": " + std::strerror(errno);
        return report;
    }
    if (::stat(m_library.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) {
        report.refusal = m_library + " is not a folder";
        return report;
    }
    report.refusal = OpenProblem(work.index, m_library, m_database);
    if (!report.refusal.empty())
        return report;

    std::vector<ImportSource> sources;
    for (const auto& path : m_sources) {
        ImportSource source;
        if (source.Scan(path))
            sources.push_back(std::move(source));
        else
            work.Fail(path, source.error());
    }
    // What is left to copy, and the space it needs.
    struct Pending {
        const ImportSource* source;
        const SourceRecording* recording;
    };
    std::vector<Pending> pending;
    std::vector<std::pair<const ImportSource*, const SourceFile*>> logs;
    std::int64_t newBytes = 0;
    for (const auto& source : sources) {
        for (const auto& recording : source.recordings()) {
            if (KnownRecording(work.index, source.identity(), recording.movie)) {
                report.skipped += 1 + int(recording.companions.size());
                continue;
            }
            pending.push_back({&source, &recording});
            newBytes += recording.movie.size;
            for (const auto& c : recording.companions)
                newBytes += c.size;
            work.state.filesTotal += 1 + int(recording.companions.size());
        }
        for (const auto& log : source.gpsLogs()) {
            logs.push_back({&source, &log});
            newBytes += log.size;
            ++work.state.filesTotal;
        }
    }
    work.state.bytesTotal = newBytes;
    if (newBytes > 0) {
        const std::int64_t reserve = std::max(newBytes / 100, kMinimumReserve);
        const std::int64_t free = FreeBytes(m_library);
        if (free >= 0 && free < newBytes + reserve) {
            report.refusal = "not enough free space in " + m_library + ": the new files need " +
                             SizeText(newBytes) + " (with a reserve of " + SizeText(reserve) +
                             ": " + SizeText(newBytes + reserve) + "), but only " + SizeText(free) +
                             " is free; nothing was copied";
            return report;
        }
    }
    // A car keeps an event by copying its recent clips: imported first, the event's files come
    // with that content, and the recent copy is then skipped as already stored.
    const auto isEvent = [](const Pending& p) {
        const auto& companions = p.recording->companions;
        return std::any_of(companions.begin(), companions.end(),
                           [](const SourceFile& f) { return f.kind == "event"; });
    };
    std::stable_sort(pending.begin(), pending.end(), [&](const Pending& a, const Pending& b) {
        const SourceFile& x = a.recording->movie;
        const SourceFile& y = b.recording->movie;
        if (x.readOnly != y.readOnly)
            return x.readOnly;
        if (isEvent(a) != isEvent(b))
            return isEvent(a);
        return x.mtime != y.mtime ? x.mtime < y.mtime : x.path < y.path;
    });
    work.Tell();

    // Each source's import is recorded in the index, also when it brought nothing new; its
    // record in the library (and the card's settings file) only once a file was stored.
    std::map<const ImportSource*, std::unique_ptr<ImportLog>> importLogs;
    struct Tally {
        std::int64_t id = 0;
        int copied = 0, skipped = 0, failed = 0;
        std::int64_t bytes = 0;
    };
    std::map<const ImportSource*, Tally> tallies;
    const std::int64_t now = Now();
    for (const auto& source : sources)
        tallies[&source].id = work.index.BeginImport(source.identity(), source.root(), now);
    const Work::LogFor logFor = [&](const ImportSource& source) -> ImportLog& {
        auto& log = importLogs[&source];
        if (!log) {
            log = std::make_unique<ImportLog>();
            log->Open(m_library, source, now);
        }
        return *log;
    };
    // What one file or recording added to the report, counted for its source.
    const auto counted = [&](const ImportSource* source, const auto& step) {
        const ImportReport before = report;
        step();
        Tally& tally = tallies[source];
        tally.copied += report.copied - before.copied;
        tally.skipped += report.skipped - before.skipped;
        tally.failed += int(report.failed.size() - before.failed.size());
        tally.bytes += report.copiedBytes - before.copiedBytes;
    };
    for (const auto& item : pending) {
        if (work.Stopped())
            break;
        counted(item.source, [&] {
            if (!Exists(item.source->root()))
                work.Fail(item.recording->movie.path, "the source is gone (the card was removed?)");
            else
                work.ImportRecording(*item.source, *item.recording, logFor);
        });
    }
    for (const auto& [source, log] : logs) {
        if (work.Stopped())
            break;
        counted(source, [&] { work.ImportLogFile(*source, *log, logFor); });
    }
    // The card's settings as they were at this import, kept with its record.
    for (const auto& [source, log] : importLogs) {
        if (!source->settings() || log->folder().empty())
            continue;
        VerifiedCopy copy(nullptr, {});
        if (copy.Copy(source->settings()->path, log->folder(), "setup.cfg", 0444).ok)
            copy.MoveInto(log->folder() + "/setup.cfg");
    }
    if (work.diskFull)
        work.Fail(m_library, "the library's disk is full; the import stopped");
    if (work.index.lost())
        work.Fail(m_library, work.index.error() +
                                 "; the import stopped. The files copied so far stay in the "
                                 "library, and the next import completes its index");
    report.cancelled = work.Cancelled();
    work.index.UpdateTrips();
    for (const auto& [source, tally] : tallies)
        work.index.FinishImport(tally.id, tally.copied, tally.skipped, tally.failed, tally.bytes);
    report.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return report;
}

} // namespace quello
