#include "LibraryMaintenance.h"

#include "LibraryIndex.h"
#include "RecordingFacts.h"
#include "VerifiedCopy.h"

#include "recordings/base/WholeFile.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <sstream>
#include <sys/stat.h>

namespace quello {
namespace {

namespace fs = std::filesystem;

bool HasEnding(const std::string& name, const char* ending) {
    const std::string e = ending;
    if (name.size() <= e.size())
        return false;
    for (std::size_t i = 0; i < e.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(name[name.size() - e.size() + i])) != e[i])
            return false;
    return true;
}

bool IsDigits(const std::string& text, std::size_t count) {
    return text.size() >= count && std::all_of(text.begin(), text.begin() + std::ptrdiff_t(count),
                                               [](char c) { return c >= '0' && c <= '9'; });
}

struct Stat {
    std::int64_t size = -1;
    std::int64_t mtime = 0;
    bool readOnly = false;
};

Stat StatOf(const std::string& path) {
    Stat result;
    struct stat status {};
    if (::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode)) {
        result.size = status.st_size;
        result.mtime = status.st_mtim.tv_sec;
        result.readOnly = (status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
    }
    return result;
}

// What the import records say about a stored file.
struct Imported {
    std::string card;
    std::string source;
    std::int64_t size = 0;
    std::int64_t mtime = 0;
    std::string sha256;
    bool isProtected = false;
    GForceThresholds thresholds;
};

struct ImportRecord {
    std::string card;
    std::string source;
    std::int64_t started = 0;
    int copied = 0;
    std::int64_t bytes = 0;
};

std::int64_t ParseUtc(const std::string& text) {
    std::tm parts{};
    if (!strptime(text.c_str(), "%Y-%m-%dT%H:%M:%SZ", &parts))
        return 0;
    return timegm(&parts);
}

void ReadImportRecords(const std::string& library, std::map<std::string, Imported>& files,
                       std::vector<ImportRecord>& imports) {
    std::error_code error;
    std::vector<std::string> folders;
    for (const auto& entry : fs::directory_iterator(library + "/imports", error))
        folders.push_back(entry.path().string());
    std::sort(folders.begin(), folders.end());
    for (const auto& folder : folders) {
        std::string text;
        if (!ReadWholeFile(folder + "/import.jsonl", 64 << 20, text))
            continue;
        std::istringstream lines(text);
        std::string line;
        ImportRecord record;
        GForceThresholds thresholds;
        bool header = false;
        while (std::getline(lines, line)) {
            // A line cut short by a killed import is no record: it is skipped.
            const auto json = nlohmann::json::parse(line, nullptr, false);
            if (!json.is_object())
                continue;
            if (json.contains("import")) {
                header = true;
                record.card = json.value("card", "");
                record.source = json.value("source", "");
                record.started = ParseUtc(json.value("import", ""));
                if (const auto t = json.find("thresholds"); t != json.end() && t->is_object()) {
                    thresholds.horizontal = t->value("horizontal", thresholds.horizontal);
                    thresholds.vertical = t->value("vertical", thresholds.vertical);
                }
                continue;
            }
            if (!header || !json.contains("path"))
                continue;
            Imported file{record.card,
                          json.value("source", ""),
                          json.value("size", std::int64_t(0)),
                          json.value("mtime", std::int64_t(0)),
                          json.value("sha256", ""),
                          json.value("protected", false),
                          thresholds};
            files[json.value("path", "")] = file;
            ++record.copied;
            record.bytes += file.size;
        }
        if (header)
            imports.push_back(record);
    }
}

// Files of one stored recording: the movie and what lies beside it under its stem.
struct StoredRecording {
    std::string movie;                                           // relative
    std::vector<std::pair<std::string, std::string>> companions; // relative path, kind
};

void ListLibrary(const std::string& library, std::vector<StoredRecording>& recordings,
                 std::vector<std::string>& logs) {
    std::error_code error;
    std::vector<std::string> days;
    for (const auto& year : fs::directory_iterator(library, error)) {
        const std::string yearName = year.path().filename().string();
        if (!year.is_directory() || yearName.size() != 4 || !IsDigits(yearName, 4))
            continue;
        std::error_code inner;
        for (const auto& day : fs::directory_iterator(year.path(), inner))
            if (day.is_directory() && IsDigits(day.path().filename().string(), 4))
                days.push_back(yearName + "/" + day.path().filename().string());
    }
    std::sort(days.begin(), days.end());
    for (const auto& day : days) {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(library + "/" + day, error))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        for (const auto& name : names) {
            if (name.front() == '.' || !HasEnding(name, ".mov"))
                continue;
            StoredRecording recording;
            recording.movie = day + "/" + name;
            const std::string stem = name.substr(0, name.size() - 4);
            static constexpr const char* kCompanions[][2] = {
                {".DAT", "telemetry"}, {".dat", "telemetry"}, {".gpx", "gpx"},  {".GPX", "gpx"},
                {".nmea", "nmea"},     {".NMEA", "nmea"},     {".txt", "nmea"}, {".TXT", "nmea"}};
            for (const auto& [ending, kind] : kCompanions)
                if (std::binary_search(names.begin(), names.end(), stem + ending))
                    recording.companions.push_back({day + "/" + stem + ending, kind});
            recordings.push_back(std::move(recording));
        }
        std::vector<std::string> logNames;
        for (const auto& entry : fs::directory_iterator(library + "/" + day + "/GPSLOG", error))
            logNames.push_back(entry.path().filename().string());
        std::sort(logNames.begin(), logNames.end());
        for (const auto& name : logNames)
            if (name.front() != '.' && HasEnding(name, ".log"))
                logs.push_back(day + "/GPSLOG/" + name);
    }
}

double Since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

LibraryMaintenance::LibraryMaintenance(std::string library) : m_library(std::move(library)) {
    while (m_library.size() > 1 && m_library.back() == '/')
        m_library.pop_back();
}

MaintenanceReport LibraryMaintenance::Rebuild(bool rehash) {
    const auto started = std::chrono::steady_clock::now();
    MaintenanceReport report;
    LibraryIndex index;
    std::map<std::string, LibraryFile> known;
    switch (index.Open(m_library, m_database)) {
    case LibraryIndex::OpenResult::Ok:
        if (!rehash)
            for (auto& file : index.Files())
                known[file.path] = file;
        break;
    case LibraryIndex::OpenResult::Malformed:
        if (index.Recreate(m_library) != LibraryIndex::OpenResult::Ok) {
            report.refusal = "cannot make a new index: " + index.error();
            return report;
        }
        report.recreated = true;
        break;
    case LibraryIndex::OpenResult::Newer:
        report.refusal =
            index.where() + " was written by a newer version of this program; it is left as it is";
        return report;
    case LibraryIndex::OpenResult::Failed:
        report.refusal = "cannot open the library's index: " + index.error();
        return report;
    }

    std::map<std::string, Imported> imported;
    std::vector<ImportRecord> imports;
    ReadImportRecords(m_library, imported, imports);
    std::vector<StoredRecording> recordings;
    std::vector<std::string> logs;
    ListLibrary(m_library, recordings, logs);

    std::int64_t total = 0, done = 0;
    for (const auto& r : recordings) {
        total += std::max<std::int64_t>(0, StatOf(m_library + "/" + r.movie).size);
        for (const auto& c : r.companions)
            total += std::max<std::int64_t>(0, StatOf(m_library + "/" + c.first).size);
    }
    for (const auto& log : logs)
        total += std::max<std::int64_t>(0, StatOf(m_library + "/" + log).size);
    const auto counter = [&](std::int64_t n) {
        done += n;
        if (m_progress)
            m_progress(done, total);
    };
    // The hash of a file: the old index's when it is unchanged, else read.
    const auto hashOf = [&](const std::string& relative, const Stat& stat) -> std::string {
        if (const auto it = known.find(relative);
            it != known.end() && it->second.size == stat.size && it->second.mtime == stat.mtime) {
            counter(stat.size);
            return it->second.sha256;
        }
        std::string error;
        std::string sha =
            VerifiedCopy::HashFile(m_library + "/" + relative, m_cancel, counter, error);
        if (sha.empty())
            report.problems.push_back({relative, "unreadable: " + error});
        return sha;
    };

    if (!index.BeginWrite() || !index.ClearAll()) {
        report.refusal = "cannot write the index: " + index.error();
        index.Rollback();
        return report;
    }
    for (const auto& stored : recordings) {
        if (m_cancel && m_cancel->load())
            break;
        const Stat stat = StatOf(m_library + "/" + stored.movie);
        const std::string sha = hashOf(stored.movie, stat);
        if (sha.empty())
            continue;
        const auto origin = imported.find(stored.movie);
        const Imported* from = origin == imported.end() ? nullptr : &origin->second;
        const std::string telemetry =
            !stored.companions.empty() && stored.companions.front().second == "telemetry"
                ? m_library + "/" + stored.companions.front().first
                : std::string();
        const GForceThresholds thresholds = from ? from->thresholds : GForceThresholds{};
        const RecordingFacts facts =
            ReadRecordingFacts(m_library + "/" + stored.movie, telemetry, thresholds);
        LibraryRecording row;
        row.path = stored.movie;
        row.sha256 = sha;
        row.size = stat.size;
        row.mtime = stat.mtime;
        row.hasStart = facts.hasStart;
        row.start = facts.start;
        row.length = facts.length;
        row.card = from ? from->card : std::string();
        row.isProtected = stat.readOnly || (from && from->isProtected);
        row.telemetrySource = facts.telemetrySource;
        row.thresholds = thresholds;
        std::vector<LibraryFile> companions;
        for (const auto& [path, kind] : stored.companions) {
            const Stat cstat = StatOf(m_library + "/" + path);
            const std::string csha = hashOf(path, cstat);
            if (!csha.empty())
                companions.push_back({path, csha, cstat.size, cstat.mtime, kind});
        }
        if (!index.AddRecording(row, companions, facts.fixes, facts.events)) {
            report.problems.push_back({stored.movie, index.error()});
            continue;
        }
        ++report.recordings;
        report.files += 1 + int(companions.size());
        report.bytes += stat.size;
        if (from)
            index.RememberSource(from->card, from->source, from->size, from->mtime, sha);
    }
    for (const auto& log : logs) {
        const Stat stat = StatOf(m_library + "/" + log);
        const std::string sha = hashOf(log, stat);
        if (sha.empty())
            continue;
        if (!index.AddFile({log, sha, stat.size, stat.mtime, "gpslog"})) {
            report.problems.push_back({log, index.error()});
            continue;
        }
        ++report.files;
        report.bytes += stat.size;
        if (const auto it = imported.find(log); it != imported.end())
            index.RememberSource(it->second.card, it->second.source, it->second.size,
                                 it->second.mtime, sha);
    }
    for (const auto& record : imports) {
        const auto id = index.BeginImport(record.card, record.source, record.started);
        index.FinishImport(id, record.copied, 0, 0, record.bytes);
    }
    if ((m_cancel && m_cancel->load()) || !index.UpdateTrips() || !index.Commit()) {
        const bool cancelled = m_cancel && m_cancel->load();
        report.refusal = cancelled ? "cancelled; the index is as it was"
                                   : "cannot write the index: " + index.error();
        index.Rollback();
    }
    report.seconds = Since(started);
    return report;
}

MaintenanceReport LibraryMaintenance::Verify() {
    const auto started = std::chrono::steady_clock::now();
    MaintenanceReport report;
    LibraryIndex index;
    if (index.Open(m_library, m_database) != LibraryIndex::OpenResult::Ok) {
        report.refusal = "cannot read the library's index (" + index.error() +
                         "); rebuild it with 'quello index " + m_library + "'";
        return report;
    }
    const auto files = index.Files();
    std::int64_t total = 0, done = 0;
    for (const auto& file : files)
        total += file.size;
    for (const auto& file : files) {
        if (m_cancel && m_cancel->load()) {
            report.refusal = "cancelled";
            break;
        }
        const std::string path = m_library + "/" + file.path;
        const Stat stat = StatOf(path);
        if (stat.size < 0) {
            report.problems.push_back({file.path, "missing"});
            continue;
        }
        std::string error;
        // Read from the disk, not from the cache, so that what rotted there is seen.
        const std::string sha = VerifiedCopy::HashFile(
            path, m_cancel,
            [&](std::int64_t n) {
                done += n;
                if (m_progress)
                    m_progress(done, total);
            },
            error, true);
        ++report.files;
        report.bytes += stat.size;
        if (sha.empty())
            report.problems.push_back({file.path, "unreadable: " + error});
        else if (sha != file.sha256)
            report.problems.push_back({file.path, "changed since import (SHA-256 " + sha +
                                                      ", imported as " + file.sha256 + ")"});
    }
    report.seconds = Since(started);
    return report;
}

} // namespace quello
