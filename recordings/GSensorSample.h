#pragma once

#include <cstdint>

namespace quello {

// One G-sensor reading in thousandths of a g; sample i covers video time i/10 s.
struct GSensorSample {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t z = 0;
};

} // namespace quello
