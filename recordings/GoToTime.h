#pragma once

#include <optional>
#include <string_view>

namespace quello {

// Reads what a user types to go to a moment of a recording, as seconds from its start:
// - the camera's clock time "hh:mm:ss" (three fields), taken against `clockStartSecond`, the
//   recording's creation time as seconds since midnight; a time before the start is taken on
//   the next day, for recordings across midnight;
// - a position "m:ss", "m:ss.s" or plain seconds "65.3".
// Nothing when the text is neither, or when the moment lies outside 0..durationSeconds.
// Plain function.
std::optional<double> ParseGoToTime(std::string_view text, int clockStartSecond,
                                    double durationSeconds);

} // namespace quello
