#include "TeslaCamTree.h"

#include "CameraName.h"

#include "recordings/base/WholeFile.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <tuple>

namespace quello {

namespace fs = std::filesystem;

namespace {

// An event.json is a few hundred bytes; anything far larger is not one.
constexpr std::size_t kEventFileLimit = 1 << 20;

// `text` laid out as `pattern`, where 'd' stands for a digit.
bool Matches(const std::string& text, std::string_view pattern) {
    if (text.size() != pattern.size())
        return false;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (pattern[i] == 'd' ? !(text[i] >= '0' && text[i] <= '9') : text[i] != pattern[i])
            return false;
    return true;
}

constexpr std::string_view kStampPattern = "dddd-dd-dd_dd-dd-dd";

std::int64_t StampSeconds(const std::string& stamp) {
    std::tm t{};
    t.tm_year = std::atoi(stamp.substr(0, 4).c_str()) - 1900;
    t.tm_mon = std::atoi(stamp.substr(5, 2).c_str()) - 1;
    t.tm_mday = std::atoi(stamp.substr(8, 2).c_str());
    t.tm_hour = std::atoi(stamp.substr(11, 2).c_str());
    t.tm_min = std::atoi(stamp.substr(14, 2).c_str());
    t.tm_sec = std::atoi(stamp.substr(17, 2).c_str());
    return static_cast<std::int64_t>(timegm(&t));
}

struct Entries {
    std::vector<fs::path> files, folders;
};

Entries ListEntries(const fs::path& folder, std::vector<std::string>& problems) {
    Entries entries;
    std::error_code ec;
    auto it = fs::directory_iterator(folder, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        std::error_code typeError;
        if (it->is_directory(typeError))
            entries.folders.push_back(it->path());
        else
            entries.files.push_back(it->path());
    }
    if (ec)
        problems.push_back(folder.string() + ": cannot be read (" + ec.message() + ")");
    std::sort(entries.files.begin(), entries.files.end());
    std::sort(entries.folders.begin(), entries.folders.end());
    return entries;
}

std::optional<double> Number(const nlohmann::json& value) {
    if (value.is_number())
        return value.get<double>();
    if (!value.is_string())
        return std::nullopt;
    // Decimal only: strtod would also take hexadecimal and leading blanks.
    const std::string text = value.get<std::string>();
    double number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return number;
}

std::string Text(const nlohmann::json& object, const char* key) {
    const auto it = object.find(key);
    if (it == object.end())
        return {};
    if (it->is_string())
        return it->get<std::string>();
    if (it->is_number())
        return it->dump();
    return {};
}

// Fills `event` from the event file at `file`; says in `problem` why it could not.
void ReadEventFile(const fs::path& file, TeslaEvent& event) {
    std::error_code ec;
    std::string content;
    if (!fs::exists(file, ec)) {
        event.problem = "no event.json";
        return;
    }
    if (!ReadWholeFile(file.string(), kEventFileLimit, content)) {
        event.problem = "event.json cannot be read";
        return;
    }
    const auto json = nlohmann::json::parse(content, nullptr, false);
    if (json.is_discarded() || !json.is_object()) {
        event.problem = "event.json is not a JSON object";
        return;
    }
    if (const auto time = Text(json, "timestamp"); !time.empty())
        event.time = time;
    event.city = Text(json, "city");
    event.reason = Text(json, "reason");
    event.camera = Text(json, "camera");
    if (json.contains("est_lat") && json.contains("est_lon")) {
        const auto latitude = Number(json["est_lat"]), longitude = Number(json["est_lon"]);
        // (0, 0) lies in the open sea where no car stands: a missing fix written as zeros.
        if (latitude && longitude && std::abs(*latitude) <= 90 && std::abs(*longitude) <= 180 &&
            !(*latitude == 0 && *longitude == 0)) {
            event.hasPosition = true;
            event.latitude = *latitude;
            event.longitude = *longitude;
        }
    }
}

// The clips of one folder as moments of `kind`; anything else there is a problem.
void AddClips(const fs::path& folder, const std::vector<fs::path>& files, TeslaClipKind kind,
              const std::optional<TeslaEvent>& event, TeslaCamDrive& drive) {
    std::vector<std::string> movies;
    for (const auto& file : files) {
        const std::string name = file.filename().string();
        const auto camera = ParseCameraName(name);
        if (camera && Matches(camera->key, kStampPattern))
            movies.push_back(file.string());
        else if (!event || (name != "event.json" && name != "thumb.png"))
            drive.problems.push_back(file.string() + ": not a Tesla camera's clip");
    }
    for (auto& group : GroupCameras(movies)) {
        TeslaMoment moment{kind,
                           group.key,
                           !group.hasStartTime,
                           group.startTime,
                           group.durationSeconds,
                           std::move(group.cameras),
                           event};
        if (moment.startFromName)
            moment.startTime = StampSeconds(moment.key);
        drive.moments.push_back(std::move(moment));
    }
    if (event && movies.empty())
        drive.problems.push_back(folder.string() + ": an event without clips");
}

void ScanEvents(const fs::path& folder, TeslaClipKind kind, TeslaCamDrive& drive) {
    const Entries entries = ListEntries(folder, drive.problems);
    for (const auto& file : entries.files)
        drive.problems.push_back(file.string() + ": not in an event's folder");
    for (const auto& eventFolder : entries.folders) {
        const TeslaEvent event = ReadTeslaEvent(eventFolder.string());
        if (!event.problem.empty())
            drive.problems.push_back(eventFolder.string() + ": " + event.problem);
        const Entries inside = ListEntries(eventFolder, drive.problems);
        AddClips(eventFolder, inside.files, kind, event, drive);
    }
}

} // namespace

TeslaEvent ReadTeslaEvent(const std::string& eventFolder) {
    TeslaEvent event;
    event.folder = eventFolder;
    const std::string name = fs::path(eventFolder).filename().string();
    if (Matches(name, kStampPattern))
        event.time = name.substr(0, 10) + "T" + name.substr(11, 2) + ":" + name.substr(14, 2) +
                     ":" + name.substr(17, 2);
    const fs::path thumbnail = fs::path(eventFolder) / "thumb.png";
    std::error_code ec;
    if (fs::is_regular_file(thumbnail, ec))
        event.thumbnailPath = thumbnail.string();

    ReadEventFile(fs::path(eventFolder) / "event.json", event);
    return event;
}

std::optional<TeslaEvent> TeslaEventOfClip(const std::string& moviePath) {
    const fs::path movie(moviePath);
    std::error_code ec;
    // In a library of drives the import put the event's file beside its front clip.
    fs::path beside = movie;
    beside.replace_extension(".json");
    if (ParseCameraName(movie.filename().string()) && fs::is_regular_file(beside, ec)) {
        TeslaEvent event;
        event.folder = movie.parent_path().string();
        fs::path thumbnail = movie;
        if (fs::is_regular_file(thumbnail.replace_extension(".png"), ec))
            event.thumbnailPath = thumbnail.string();
        ReadEventFile(beside, event);
        return event;
    }
    const fs::path folder = movie.parent_path();
    const std::string kept = folder.parent_path().filename().string();
    if (folder.filename().empty() || (kept != "SavedClips" && kept != "SentryClips"))
        return std::nullopt;
    return ReadTeslaEvent(folder.string());
}

TeslaCamDrive ScanTeslaCam(const std::string& root) {
    TeslaCamDrive drive;
    std::error_code ec;
    fs::path folder = fs::path(root) / "TeslaCam";
    if (!fs::is_directory(folder, ec)) {
        folder = fs::path(root);
        if (folder.filename().empty())
            folder = folder.parent_path();
        if (folder.filename() != "TeslaCam" || !fs::is_directory(folder, ec)) {
            drive.problems.push_back(root + ": no TeslaCam folder");
            return drive;
        }
    }
    drive.teslaCamFolder = folder.string();

    const Entries top = ListEntries(folder, drive.problems);
    for (const auto& sub : top.folders) {
        const std::string name = sub.filename().string();
        if (name == "RecentClips") {
            const Entries recent = ListEntries(sub, drive.problems);
            AddClips(sub, recent.files, TeslaClipKind::Recent, std::nullopt, drive);
            for (const auto& day : recent.folders) {
                if (!Matches(day.filename().string(), "dddd-dd-dd")) {
                    drive.problems.push_back(day.string() + ": not a day's folder");
                    continue;
                }
                AddClips(day, ListEntries(day, drive.problems).files, TeslaClipKind::Recent,
                         std::nullopt, drive);
            }
        } else if (name == "SavedClips") {
            ScanEvents(sub, TeslaClipKind::Saved, drive);
        } else if (name == "SentryClips") {
            ScanEvents(sub, TeslaClipKind::Sentry, drive);
        } else {
            drive.problems.push_back(sub.string() + ": not a folder of TeslaCam clips");
        }
    }
    for (const auto& file : top.files)
        drive.problems.push_back(file.string() + ": not in a folder of TeslaCam clips");
    std::stable_sort(
        drive.moments.begin(), drive.moments.end(), [](const TeslaMoment& a, const TeslaMoment& b) {
            return std::tie(a.startTime, a.kind, a.key) < std::tie(b.startTime, b.kind, b.key);
        });
    return drive;
}

RecordingEntry TeslaMomentEntry(const TeslaMoment& moment) {
    RecordingEntry entry;
    entry.moviePath = moment.cameras.front().path;
    entry.hasStartTime = true;
    entry.startTime = moment.startTime;
    entry.durationSeconds = moment.durationSeconds;
    return entry;
}

} // namespace quello
