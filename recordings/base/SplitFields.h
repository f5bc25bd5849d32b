#pragma once

#include <string_view>
#include <vector>

namespace quello {

// The fields of `text` between each `separator`, empty ones included: "a,,b" gives three, ""
// gives one empty field. The views point into `text`. Plain function: safe on any thread.
std::vector<std::string_view> SplitFields(std::string_view text, char separator);

} // namespace quello
