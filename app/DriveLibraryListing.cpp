#include "DriveLibraryListing.h"

#include "cameras/CameraGroups.h"
#include "cameras/CameraName.h"
#include "library/LibraryIndex.h"
#include "library/LibraryLocation.h"
#include "library/LibrarySearch.h"
#include "recordings/MovieHeader.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QTimeZone>

#include <algorithm>
#include <map>
#include <utility>

namespace quello {

namespace {

// "1:02:00", "4:05": hours only when there are any.
QString Duration(std::int64_t seconds) {
    const QString minutesSeconds =
        QStringLiteral("%1:%2")
            .arg(seconds / 60 % 60, seconds >= 3600 ? 2 : 1, 10, QLatin1Char('0'))
            .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return seconds >= 3600 ? QStringLiteral("%1:%2").arg(seconds / 3600).arg(minutesSeconds)
                           : minutesSeconds;
}

// The other cameras' movies the library keeps beside its recordings (files of kind "view"), by
// their folder and moment: "2024/2024-05-01/100000_2024-05-01_10-00-00".
std::map<std::string, std::vector<std::pair<int, CameraFile>>>
StoredViews(LibraryIndex& index, const std::string& root) {
    std::map<std::string, std::vector<std::pair<int, CameraFile>>> views;
    for (const LibraryFile& file : index.Files()) {
        const auto name = file.kind == "view" ? ParseCameraName(file.path) : std::nullopt;
        if (!name)
            continue;
        const std::string folder = file.path.substr(0, file.path.rfind('/') + 1);
        views[folder + name->key].push_back(
            {name->order, CameraFile{name->camera, name->label, root + "/" + file.path}});
    }
    return views;
}

QString Plural(int count, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(count).arg(QLatin1String(count == 1 ? one : many));
}

} // namespace

std::shared_ptr<DriveLibraryListing> DriveLibraryListing::Read(const QString& root,
                                                               const QString& search) {
    auto listing = std::make_shared<DriveLibraryListing>();
    const auto parsed = ParseLibrarySearch(search.toUtf8().toStdString());
    const std::string rootPath = QFile::encodeName(root).toStdString();
    LibraryIndex index;
    std::vector<LibraryDay> days;
    std::string error;
    if (!parsed) {
        listing->error = QStringLiteral("not a search: %1").arg(search);
        return listing;
    }
    // Without its index the folder is a library that is still empty: nothing is made there
    // before the first import.
    if (!IsLibrary(rootPath)) {
        listing->ok = true;
        return listing;
    }
    if (index.Open(rootPath) != LibraryIndex::OpenResult::Ok ||
        !ListLibrary(index, *parsed, days, error)) {
        listing->error =
            error.empty() ? QString::fromStdString(index.error()) : QString::fromStdString(error);
        return listing;
    }
    listing->ok = true;
    const auto storedViews = StoredViews(index, rootPath);
    for (const LibraryDay& day : days) {
        Day listed;
        listed.date = QString::fromStdString(day.date);
        listed.summary = QStringLiteral("%1 — %2, %3, %4")
                             .arg(listed.date, Plural(day.drives, "drive", "drives"),
                                  Plural(int(day.recordings.size()), "recording", "recordings"),
                                  Duration(day.seconds));
        for (const LibraryMatch& match : day.recordings) {
            const LibraryRecording& r = match.recording;
            Recording recording;
            recording.entry.moviePath = rootPath + "/" + r.path;
            if (!FindTelemetryFile(recording.entry.moviePath, recording.entry.telemetryPath))
                recording.entry.telemetryPath.clear();
            recording.entry.hasStartTime = r.hasStart;
            recording.entry.startTime = r.start;
            recording.entry.durationSeconds = r.length;
            recording.name = QString::fromStdString(r.path.substr(r.path.rfind('/') + 1));
            const QString clock = r.hasStart
                                      ? QDateTime::fromSecsSinceEpoch(r.start, QTimeZone::utc())
                                            .toString(QStringLiteral("HH:mm:ss"))
                                      : QStringLiteral("--:--:--");
            recording.timeText = QStringLiteral("%1  %2").arg(clock, Duration(r.length));
            recording.isProtected = r.isProtected;
            const auto name = ParseCameraName(r.path);
            const auto views =
                name ? storedViews.find(r.path.substr(0, r.path.rfind('/') + 1) + name->key)
                     : storedViews.end();
            if (views != storedViews.end()) {
                std::vector<std::pair<int, CameraFile>> cameras = views->second;
                cameras.push_back({name->order, {name->camera, name->label, {}}});
                std::stable_sort(cameras.begin(), cameras.end(),
                                 [](const auto& a, const auto& b) { return a.first < b.first; });
                std::vector<CameraFile> files;
                for (auto& [order, file] : cameras) {
                    if (!file.path.empty())
                        recording.otherViews.push_back(file.path);
                    files.push_back(std::move(file));
                }
                recording.timeText +=
                    QStringLiteral("  ") + QString::fromStdString(CameraLabels(files));
            }
            listed.recordings.push_back(std::move(recording));
        }
        listing->days.push_back(std::move(listed));
    }
    return listing;
}

} // namespace quello
