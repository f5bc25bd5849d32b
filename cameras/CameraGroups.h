#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quello {

// One view of a moment: the camera (empty for a file whose name names none) and its movie.
struct CameraFile {
    std::string camera; // as CameraName::camera
    std::string label;  // as CameraName::label
    std::string path;
};

// The movies that several cameras recorded at one moment, or a single movie.
struct CameraGroup {
    std::string key;                 // CameraName::key; a file without camera tag: its name
    std::vector<CameraFile> cameras; // the main camera (front) first, never empty
    // The first camera's header times (MovieHeader), when it has them; without a creation time
    // the length alone when the header has one, else 0.
    bool hasStartTime = false;
    std::int64_t startTime = 0; // seconds since 1970 as stored, no zone
    std::uint32_t durationSeconds = 0;
};

// Groups the movies of one folder (full paths; duplicates count once) into moments. Files of
// one key join when their time spans (header creation time and length) overlap, each camera
// once per group. A file whose header has no creation time joins only others of its key that
// have none either, and only when their lengths differ by 3 s at most (a file with no header at
// all has no length to compare and joins by name alone); a file with times can't be checked
// against one without. A second file of a camera already in the group, or one that does not
// fit, starts a group of its own. Files without a recognised tag (or with a weak
// tag and no partner) are groups of one. Order: by key, then start, then first path.
// Reads each movie's header; plain function, safe on any thread.
std::vector<CameraGroup> GroupCameras(const std::vector<std::string>& paths);

// The movies directly in `folder` (.mp4, .mov, .ts, .avi in any case), grouped as above. Empty
// when the folder can't be read.
std::vector<CameraGroup> FolderCameraGroups(const std::string& folder);

// The group `moviePath` belongs to among the movies of its folder, reading the headers of the
// files of its key only; its own entry keeps `moviePath` as given, the others are its folder
// joined with their names. nullopt when the path's name is not a movie's.
std::optional<CameraGroup> CameraGroupOf(const std::string& moviePath);

// "F R", "F B LR RR": the cameras' labels in their order, as a moment's row shows them.
std::string CameraLabels(const std::vector<CameraFile>& cameras);

// The main camera's movie of the moment `moviePath` belongs to (CameraGroupOf's first camera):
// the movie whose telemetry, thresholds and GPS choices stand for every view of the moment.
// `moviePath` itself when it is a moment's only movie or no movie at all. Reads headers as
// CameraGroupOf does; plain function.
std::string MainCameraMovie(const std::string& moviePath);

// The camera of `group` that `name` names: its camera name or its label, either without regard
// to case ("back", "B", "Left_Repeater"). nullptr when none does. Plain function.
const CameraFile* FindCameraFile(const CameraGroup& group, std::string_view name);

// The cameras of `group` for a message: "front (F), back (B)"; empty when no file's name names
// a camera. Plain function.
std::string CameraList(const CameraGroup& group);

} // namespace quello
