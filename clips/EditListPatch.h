#pragma once

#include <string>

namespace quello {

// The muxer's edit list ends the video where its last packet's picture ends, so a reordered
// reference frame kept after a clip's last frame would show. Sets the length of the video
// track's last edit in the movie at `path` to `seconds`, in place (a few bytes of its `moov`).
// True when the movie holds such an edit and it was rewritten. Plain function: any thread, for
// a file nobody else writes.
bool TrimVideoEdit(const std::string& path, double seconds);

} // namespace quello
