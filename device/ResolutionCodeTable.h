#pragma once

#include <array>

namespace quello {

struct ResolutionCodeRow {
    const char* text; // the resolution's name as the user reads it
    int code;         // value of bits 1..6 of the settings record's mode byte
};

// The resolutions the camera offers, in their fixed order: a row's index is its position in
// any list of them.
inline constexpr std::array<ResolutionCodeRow, 6> ResolutionCodeTable{{
    {"1080P (1920x1080)", 2},
    {"1080P(1440x1080)", 5},
    {"720P (1280x720)", 8},
    {"WVGA 60fps(848x480)", 12},
    {"WVGA (848x480)", 13},
    {"VGA (640x480)", 14},
}};

// Index of the first row with `code`, or -1 when no row has it.
int ResolutionIndexForCode(int code);

} // namespace quello
