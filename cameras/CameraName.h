#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quello {

// The camera a movie's file name names, for cameras that record several views at once and
// name each view's file alike, differing only by a tag before the extension.
struct CameraName {
    std::string key;    // the moment: the name without the camera tag (same in every view)
    std::string camera; // "front", "rear", "inside"; Tesla "front", "back", "left_repeater", ...
    std::string label;  // short, for display: F, R, I; Tesla F, B, LR, RR, LP, RP
    int order = 0;      // the main camera (front) first, then the others in this order
    // A bare trailing letter ("20240501_101500F.MP4") is a weak tag: it counts only when a
    // file of the same key with another camera is beside it (CameraGroups checks).
    bool weak = false;
};

// Parses a movie's file name (a path is cut to its last component) into its moment and camera.
// Recognised, the extension being .mp4, .mov, .ts or .avi in any case:
// - Tesla `YYYY-MM-DD_HH-MM-SS-<camera>` with front, back, left_repeater, right_repeater,
//   left_pillar, right_pillar, also after a prefix ending in `_` (a library's `100000_`);
// - `<stamp>_F|_R|_I`, `<stamp>_<kind>F|R|I` with kind N, E or P (normal, event, parking; the
//   kind stays in the key), `<stamp>-front|-back|-rear|-inside`: the stamp must hold at least
//   six digits, so that a name such as `CLIP_F.MP4` or `my-front.mp4` is not taken;
// - `<stamp>F|R|I` where the stamp is digits, `_` and `-` only, at least eight digits, and
//   ends in a digit (weak, see above).
// Anything else: nullopt. Tag letters and words are matched without regard to case.
// Plain function: no shared state, safe on any thread.
std::optional<CameraName> ParseCameraName(const std::string& fileName);

// True when the name ends in one of the movie extensions above. Plain function.
bool IsCameraMovieName(std::string_view fileName);

} // namespace quello
