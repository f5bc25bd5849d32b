#pragma once

#include "LibraryIndex.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quello {

// The searches of the window's library list and map menu over the index. Plain values and
// functions; each call uses the index it is given, so one thread per index as LibraryIndex asks.

// How near a place a recording must have passed to be found there.
inline constexpr double kPassingRadiusMetres = 100;

// What the library list's search field asks for, as understood by ParseLibrarySearch().
struct LibrarySearch {
    enum class Kind {
        All,       // the empty field
        Date,      // "2026", "2026-05" or "2026-05-16": the days in that year, month or day
        Place,     // "LAT,LON": the recordings that passed within kPassingRadiusMetres
        Events,    // "braking", "acceleration", "turn", "left turn", "right turn", "impact",
                   // "event(s)": the recordings with such G-force events
        Protected, // "protected" or "locked": the recordings the camera locked
    };
    Kind kind = Kind::All;
    std::string datePrefix;
    double latitude = 0;
    double longitude = 0;
    std::vector<GForceKind> eventKinds; // Events: the kinds asked for; empty for any
};

// Reads the search field's text (case and surrounding blanks do not matter). Nothing when the
// text is none of the forms above, or names no real date or place.
std::optional<LibrarySearch> ParseLibrarySearch(std::string_view text);

// One day of the library as the list shows it: the day folder the recordings are stored in.
struct LibraryDay {
    std::string date;                     // "2026-05-16"
    int drives = 0;                       // trips, joined as the index joins them
    std::int64_t seconds = 0;             // the recordings' lengths added up
    std::vector<LibraryMatch> recordings; // in time order; spans and events as Find() gives them
};

// The recordings that match `search`, grouped by day, the newest day first. False with `error`
// on a database error, which `index` must not hold from before (use a freshly opened one).
// Reads the whole index for Kind::All: call it off the GUI thread.
bool ListLibrary(LibraryIndex& index, const LibrarySearch& search, std::vector<LibraryDay>& days,
                 std::string& error);

// One time a recording passed a place: the second of its fix nearest to the place, within
// kPassingRadiusMetres (a recording that came back later passes twice).
struct LibraryPassing {
    LibraryRecording recording;
    int second = 0;
};

// Every passing of the library's recordings at a place, in time order. False with `error` for
// a place off the globe or a database error (`index` freshly opened, as for ListLibrary).
bool FindPassings(LibraryIndex& index, double latitude, double longitude,
                  std::vector<LibraryPassing>& passings, std::string& error);

// "2026-05-16" from a library path "2026/2026-05-16/094100_FILE0001.MOV"; empty for a path
// not laid out so.
std::string DayOfLibraryPath(const std::string& path);

} // namespace quello
