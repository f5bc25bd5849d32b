#include "ClipSpan.h"

#include "cameras/CameraGroups.h"
#include "cameras/CameraName.h"
#include "recordings/MovieListing.h"
#include "recordings/RecordingLibrary.h"
#include "recordings/RecordingTrip.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>

namespace quello {

namespace {

// Times within this of a recording's end or start are taken as that end or start: sums of
// lengths carry rounding errors far below a frame.
constexpr double kEpsilon = 1e-6;

std::string Name(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

std::string Seconds(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", value);
    return text;
}

// The length the cutter works to: the video track's duration from the header (no frame is
// decoded), else the container's.
bool MovieLength(const std::string& path, double& length, std::string& error) {
    av_log_set_level(AV_LOG_QUIET);
    AVFormatContext* ctx = nullptr;
    if (avformat_open_input(&ctx, path.c_str(), nullptr, nullptr) < 0) {
        error = "cannot read " + path;
        return false;
    }
    length = ctx->duration > 0 ? double(ctx->duration) / AV_TIME_BASE : 0;
    bool video = false;
    for (unsigned i = 0; i < ctx->nb_streams; ++i) {
        const AVStream* st = ctx->streams[i];
        if (st->codecpar->codec_type != AVMEDIA_TYPE_VIDEO ||
            (st->disposition & AV_DISPOSITION_ATTACHED_PIC))
            continue;
        video = true;
        if (st->duration > 0)
            length = double(st->duration) * av_q2d(st->time_base);
        break;
    }
    avformat_close_input(&ctx);
    if (!video || length <= 0) {
        error = path + (video ? " has no length" : " has no video track");
        return false;
    }
    return true;
}

// The span from `from`, seconds of trip[at], to `to`, seconds of trip[toAt], cut into the
// recordings of the trip.
ClipSpan Resolve(const std::vector<std::string>& trip, std::size_t at, double from,
                 std::size_t toAt, double to) {
    ClipSpan span;
    if (!std::isfinite(from) || !std::isfinite(to) || toAt < at || (toAt == at && to <= from)) {
        span.error = "the span must end after it starts";
        return span;
    }
    std::vector<double> lengths(trip.size()), starts(trip.size());
    for (std::size_t i = 0; i < trip.size(); ++i)
        if (!MovieLength(trip[i], lengths[i], span.error))
            return span;
    for (std::size_t i = at + 1; i < trip.size(); ++i)
        starts[i] = starts[i - 1] + lengths[i - 1];
    for (std::size_t i = at; i-- > 0;)
        starts[i] = starts[i + 1] - lengths[i];
    to += starts[toAt];
    if (to <= from) {
        span.error = "the span must end after it starts";
        return span;
    }
    span.tripStart = starts.front();
    span.tripEnd = starts.back() + lengths.back();
    const std::string& first = trip.front();
    const std::string& last = trip.back();
    if (to <= span.tripStart + kEpsilon || from >= span.tripEnd - kEpsilon) {
        span.error = "the span lies outside every recording of its trip (" + Name(first) + " to " +
                     Name(last) + ": " + Seconds(span.tripStart) + " s to " +
                     Seconds(span.tripEnd) + " s)";
        return span;
    }
    if (from < span.tripStart - kEpsilon) {
        span.error = "the span starts " + Seconds(span.tripStart - from) +
                     " s before the first recording of its trip (" + Name(first) + ")";
        return span;
    }
    if (to > span.tripEnd + kEpsilon) {
        span.error = "the span ends " + Seconds(to - span.tripEnd) +
                     " s after the end of the last recording of its trip (" + Name(last) + ")";
        return span;
    }
    for (std::size_t i = 0; i < trip.size(); ++i) {
        const double pieceFrom = std::max(0.0, from - starts[i]);
        const double pieceTo = std::min(lengths[i], to - starts[i]);
        if (pieceTo - pieceFrom > kEpsilon && pieceFrom < lengths[i] - kEpsilon)
            span.pieces.push_back({trip[i], pieceFrom, pieceTo, {}});
    }
    span.ok = true;
    return span;
}

// The movies of `folder` a trip of the movie named `name` may hold: those of its camera when
// its name names one, since the other cameras' files of a moment start and end alike and
// would join in their stead; else the folder's list as the player has it.
std::vector<std::string> CameraMovies(const std::string& folder, const std::string& name) {
    const auto camera = ParseCameraName(name);
    if (!camera)
        return ListMovieFiles(folder);
    std::vector<std::string> movies;
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator(folder, ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        const std::string other = it->path().filename().string();
        const auto otherCamera = ParseCameraName(other);
        std::error_code typeError;
        if (otherCamera && otherCamera->camera == camera->camera && it->is_regular_file(typeError))
            movies.push_back(it->path().string());
    }
    return movies;
}

} // namespace

ClipSpan FindClipSpan(const RecordingLibrary& library, int index, double from, double to) {
    return FindClipSpan(library, index, from, index, to);
}

ClipSpan FindClipSpan(const RecordingLibrary& library, int fromIndex, double from, int toIndex,
                      double to) {
    ClipSpan span;
    const std::vector<int> trip = FindTrip(library, fromIndex);
    if (trip.empty() || toIndex < 0 || toIndex >= library.entryCount()) {
        span.error = "no such recording";
        return span;
    }
    std::vector<std::string> paths;
    std::optional<std::size_t> at, toAt;
    for (const int i : trip) {
        if (i == fromIndex)
            at = paths.size();
        if (i == toIndex)
            toAt = paths.size();
        paths.push_back(library.entry(i).moviePath);
    }
    if (!at || !toAt) {
        span.error = Name(library.entry(toIndex).moviePath) + " does not follow on from " +
                     Name(library.entry(fromIndex).moviePath) + " in one trip";
        return span;
    }
    return Resolve(paths, *at, from, *toAt, to);
}

ClipSpan FindClipSpan(const std::string& moviePath, double from, double to) {
    namespace fs = std::filesystem;
    std::string folder = fs::path(moviePath).parent_path().string();
    if (folder.empty())
        folder = ".";
    std::vector<std::string> movies = CameraMovies(folder, Name(moviePath));
    SortFolderOrder(movies);
    const std::string name = Name(moviePath);
    const auto self = std::find_if(movies.begin(), movies.end(),
                                   [&](const std::string& m) { return Name(m) == name; });
    const std::ptrdiff_t near = self - movies.begin();
    if (self != movies.end())
        movies.erase(self);
    // The movie itself comes first, then its folder's others; a folder too big for a library
    // gives those nearest it in the folder's order.
    const std::ptrdiff_t room = RecordingLibrary::kCapacity - 1;
    const std::ptrdiff_t begin = std::clamp<std::ptrdiff_t>(
        near - room / 2, 0, std::max<std::ptrdiff_t>(0, std::ptrdiff_t(movies.size()) - room));
    auto library = std::make_unique<RecordingLibrary>(); // hundreds of entries: off the stack
    RecordingRow row;
    library->Add(moviePath, row);
    for (std::ptrdiff_t i = begin; i < std::ptrdiff_t(movies.size()) && !library->isFull(); ++i)
        library->Add(movies[std::size_t(i)], row);
    return FindClipSpan(*library, 0, from, to);
}

ClipSpan ShownByCamera(ClipSpan span, std::string_view camera) {
    if (!span.ok)
        return span;
    for (ClipPiece& piece : span.pieces) {
        const auto group = CameraGroupOf(piece.moviePath);
        const CameraFile* file = group ? FindCameraFile(*group, camera) : nullptr;
        if (!file) {
            const std::string cameras = group ? CameraList(*group) : std::string();
            span.ok = false;
            span.error =
                Name(piece.moviePath) + ": no camera '" + std::string(camera) +
                "' in this moment (" +
                (cameras.empty() ? "its file name names no camera" : "its cameras: " + cameras) +
                ")";
            span.pieces.clear();
            return span;
        }
        piece.telemetryPath = piece.telemetryMovie();
        piece.moviePath = file->path;
    }
    return span;
}

ClipSpan FindCameraClipSpan(const std::string& moviePath, double from, double to,
                            std::string_view camera) {
    if (camera.empty())
        return FindClipSpan(moviePath, from, to);
    return ShownByCamera(FindClipSpan(MainCameraMovie(moviePath), from, to), camera);
}

} // namespace quello
