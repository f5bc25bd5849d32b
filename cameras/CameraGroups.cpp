#include "CameraGroups.h"

#include "CameraName.h"

#include "recordings/MovieHeader.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <map>
#include <tuple>

namespace quello {

namespace {

struct Movie {
    std::string path;
    bool tagged = false;
    CameraName name; // meaningful when tagged
    bool hasStartTime = false, hasLength = false;
    std::int64_t startTime = 0;
    std::uint32_t durationSeconds = 0;
};

Movie ReadMovie(const std::string& path) {
    Movie movie;
    movie.path = path;
    if (auto name = ParseCameraName(path)) {
        movie.tagged = true;
        movie.name = std::move(*name);
    }
    std::tm created{};
    std::uint32_t duration = 0;
    int readOnly = 0;
    ReadMovieHeader(path, created, duration, readOnly);
    // A converted time always has a day of month of 1..31; the header writes both or neither.
    if (created.tm_mday != 0) {
        movie.hasStartTime = true;
        movie.hasLength = true;
        movie.startTime = static_cast<std::int64_t>(timegm(&created));
        movie.durationSeconds = duration;
    } else {
        movie.hasLength = ReadMovieLength(path, movie.durationSeconds);
    }
    return movie;
}

// Views without header times are matched by their lengths, and one camera may start or stop
// writing a moment a second or two after another.
constexpr std::int64_t kLengthSlackSeconds = 3;

// A movie shorter than a second still spans one, so that two such views of one moment meet.
std::int64_t EndOf(const Movie& m) {
    return m.startTime + std::max<std::int64_t>(m.durationSeconds, 1);
}

bool SameMoment(const Movie& a, const Movie& b) {
    if (a.hasStartTime != b.hasStartTime)
        return false;
    if (a.hasStartTime)
        return a.startTime < EndOf(b) && b.startTime < EndOf(a);
    if (a.hasLength && b.hasLength)
        return std::llabs(std::int64_t(a.durationSeconds) - std::int64_t(b.durationSeconds)) <=
               kLengthSlackSeconds;
    return true;
}

CameraGroup Single(const Movie& m) {
    const auto slash = m.path.rfind('/');
    return {m.path.substr(slash == std::string::npos ? 0 : slash + 1),
            {{"", "", m.path}},
            m.hasStartTime,
            m.startTime,
            m.durationSeconds};
}

std::vector<std::string> FolderMovies(const std::string& folder) {
    std::vector<std::string> paths;
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator(folder, ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        std::error_code typeError;
        const std::string name = it->path().filename().string();
        if (IsCameraMovieName(name) && it->is_regular_file(typeError))
            paths.push_back(folder + (folder.ends_with('/') ? "" : "/") + name);
    }
    return paths;
}

} // namespace

std::vector<CameraGroup> GroupCameras(const std::vector<std::string>& paths) {
    std::vector<std::string> unique = paths;
    std::sort(unique.begin(), unique.end());
    unique.erase(std::unique(unique.begin(), unique.end()), unique.end());

    std::map<std::string, std::vector<Movie>> byKey;
    std::vector<Movie> untagged;
    for (const auto& path : unique) {
        Movie movie = ReadMovie(path);
        if (movie.tagged)
            byKey[movie.name.key].push_back(std::move(movie));
        else
            untagged.push_back(std::move(movie));
    }

    std::vector<CameraGroup> groups;
    for (auto& [key, movies] : byKey) {
        // A bare trailing letter is a tag only beside a file of another camera.
        for (auto it = movies.begin(); it != movies.end();) {
            const bool partnered = std::any_of(movies.begin(), movies.end(), [&](const Movie& m) {
                return m.name.camera != it->name.camera;
            });
            if (it->name.weak && !partnered) {
                untagged.push_back(std::move(*it));
                it = movies.erase(it);
            } else {
                ++it;
            }
        }
        std::stable_sort(movies.begin(), movies.end(), [](const Movie& a, const Movie& b) {
            return a.name.order < b.name.order;
        });
        std::vector<std::vector<const Movie*>> moments;
        for (const auto& movie : movies) {
            auto fits = [&](const std::vector<const Movie*>& moment) {
                return std::all_of(moment.begin(), moment.end(), [&](const Movie* other) {
                    return other->name.camera != movie.name.camera && SameMoment(*other, movie);
                });
            };
            const auto found = std::find_if(moments.begin(), moments.end(), fits);
            if (found != moments.end())
                found->push_back(&movie);
            else
                moments.push_back({&movie});
        }
        for (const auto& moment : moments) {
            const Movie& first = *moment.front();
            CameraGroup group{key, {}, first.hasStartTime, first.startTime, first.durationSeconds};
            for (const Movie* m : moment)
                group.cameras.push_back({m->name.camera, m->name.label, m->path});
            groups.push_back(std::move(group));
        }
    }
    for (const auto& movie : untagged)
        groups.push_back(Single(movie));

    std::sort(groups.begin(), groups.end(), [](const CameraGroup& a, const CameraGroup& b) {
        return std::tie(a.key, a.hasStartTime, a.startTime, a.cameras.front().path) <
               std::tie(b.key, b.hasStartTime, b.startTime, b.cameras.front().path);
    });
    return groups;
}

std::vector<CameraGroup> FolderCameraGroups(const std::string& folder) {
    return GroupCameras(FolderMovies(folder));
}

std::string CameraLabels(const std::vector<CameraFile>& cameras) {
    std::string labels;
    for (const CameraFile& camera : cameras)
        labels += (labels.empty() ? "" : " ") + camera.label;
    return labels;
}

std::optional<CameraGroup> CameraGroupOf(const std::string& moviePath) {
    const std::filesystem::path path(moviePath);
    const std::string name = path.filename().string();
    if (!IsCameraMovieName(name))
        return std::nullopt;
    const auto own = ParseCameraName(name);
    std::vector<std::string> paths{moviePath};
    if (own) {
        const std::string folder =
            path.has_parent_path() ? path.parent_path().string() : std::string(".");
        for (const auto& other : FolderMovies(folder)) {
            const auto otherName = ParseCameraName(other);
            if (otherName && otherName->key == own->key &&
                std::filesystem::path(other).filename() != name)
                paths.push_back(path.has_parent_path() ? other : other.substr(folder.size() + 1));
        }
    }
    for (auto& group : GroupCameras(paths))
        for (const auto& camera : group.cameras)
            if (camera.path == moviePath)
                return std::move(group);
    return std::nullopt;
}

std::string MainCameraMovie(const std::string& moviePath) {
    const auto group = CameraGroupOf(moviePath);
    return group ? group->cameras.front().path : moviePath;
}

const CameraFile* FindCameraFile(const CameraGroup& group, std::string_view name) {
    const auto same = [name](const std::string& text) {
        return !text.empty() && text.size() == name.size() &&
               std::equal(text.begin(), text.end(), name.begin(), [](char a, char b) {
                   return std::tolower(static_cast<unsigned char>(a)) ==
                          std::tolower(static_cast<unsigned char>(b));
               });
    };
    for (const auto& camera : group.cameras)
        if (same(camera.camera) || same(camera.label))
            return &camera;
    return nullptr;
}

std::string CameraList(const CameraGroup& group) {
    std::string cameras;
    for (const auto& camera : group.cameras)
        if (!camera.camera.empty())
            cameras += (cameras.empty() ? "" : ", ") + camera.camera + " (" + camera.label + ")";
    return cameras;
}

} // namespace quello
