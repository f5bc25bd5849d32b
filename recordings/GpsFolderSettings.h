#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace quello {

// The user's GPS choices for the recordings of one folder, kept in the folder's ".quello-gps"
// file: a clock offset per recording, and a GPX file chosen for one recording or for the whole
// folder. A recording is named by its movie's file name ("FILE0001.MOV"), exactly as on disk.
//
// The file is UTF-8 text, one choice per line, fields separated by one tab:
//     offset<TAB>FILE0001.MOV<TAB>-3600
//     gpx<TAB>FILE0001.MOV<TAB>/home/me/drive.gpx
//     folder-gpx<TAB>drive.gpx
// A relative GPX path is taken from the folder. Reading is tolerant: lines that are empty,
// start with '#', have an unknown key or a bad value are ignored (a later line for the same
// recording wins). Save() writes the file anew with AtomicFile, exactly what the object holds
// (lines it ignored are dropped; a failed save leaves the old file whole; the last save wins).
//
// A plain value owning its data; not synchronized: keep each instance on one thread. Reading
// or saving touches only this folder's file.
class GpsFolderSettings {
public:
    static constexpr const char* kFileName = ".quello-gps";
    // The largest offset kept: a week either way covers any clock or time zone mistake.
    static constexpr std::int64_t kMaxOffsetSeconds = 7 * 24 * 3600;

    // Forgets everything, then reads the settings of `folder` (empty: the current folder).
    // False when the folder holds no readable settings file; the object is then empty, still
    // bound to the folder, and Save() creates the file.
    bool Load(const std::string& folder);
    // Writes the settings file of the folder given to Load(). False when it can't be written;
    // the file on disk is then unchanged.
    bool Save() const;

    // The offset in seconds for a recording; 0 when none was set.
    std::int64_t offsetSeconds(const std::string& movieName) const;
    // Sets a recording's offset (0 removes it). False, changing nothing, for a name that is
    // empty or holds a tab, line break or '/' or an offset beyond kMaxOffsetSeconds.
    bool SetOffsetSeconds(const std::string& movieName, std::int64_t seconds);

    // The GPX chosen for a recording, else the one chosen for the folder, else empty; a
    // relative path comes back joined to the folder.
    std::string userGpx(const std::string& movieName) const;
    // Chooses a GPX for one recording (empty path: remove the choice). False, changing nothing,
    // for a bad name as above or a path with a tab or line break.
    bool SetUserGpx(const std::string& movieName, const std::string& gpxPath);
    // The GPX chosen for the whole folder as stored (empty: none), and its setter.
    const std::string& folderGpx() const { return m_folderGpx; }
    bool SetFolderGpx(const std::string& gpxPath);

    const std::string& folder() const { return m_folder; }

private:
    std::string Resolved(const std::string& path) const;

    std::string m_folder;
    std::map<std::string, std::int64_t> m_offsets;
    std::map<std::string, std::string> m_gpx;
    std::string m_folderGpx;
};

} // namespace quello
